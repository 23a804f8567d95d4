#pragma once

#include "ClassRecorder.h"
#include "Pupils.h"
#include "RecordStore.h"
#include "Recorder.h"

#include <QStringList>

#include <optional>

namespace quiltaro {

// Where a game's rounds go, as the login is set up. Without a class list,
// into the login's record, in the account's name, nothing asked. With one,
// each pupil says who plays and gets a record of their own.
class GameRecording {
public:
    // `listFile`: the class list to ask from, if any.
    explicit GameRecording(ProblemReport& report, const QString& listFile = classListFile());

    RoundObserver& observer();
    // The names to ask from; empty when nobody is asked.
    const QStringList& classList() const { return list_.names; }
    // The class list with its levels; empty when there is none.
    const ClassList& list() const { return list_; }
    // Why the class list was not used, in French; empty when it was, or
    // when there is none.
    const QString& problem() const { return problem_; }
    // `pupil` sits down: what the chooser tells.
    void choose(const QString& pupil);
    // Told on a record's thread, with its path, each time rounds went into
    // it, whoever plays. Set before the game starts.
    void whenWritten(const RecordWriter::Written& written);

private:
    ClassList list_;
    QString problem_;
    std::optional<RecordStore> store_;
    std::optional<Recorder> recorder_; // after its store: it goes first
    std::optional<ClassRecorder> class_;
};

} // namespace quiltaro
