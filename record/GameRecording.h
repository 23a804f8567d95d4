#pragma once

#include "ClassLists.h"
#include "ClassRecorder.h"
#include "Pupils.h"
#include "RecordStore.h"
#include "Recorder.h"

#include <QStringList>

#include <optional>

namespace quiltaro {

// Where a game's rounds go, as the login is set up. Without a class list,
// into the login's record, in the account's name, nothing asked. With one or
// more, each pupil says who plays (the class first, when there are several)
// and gets a record of their own.
class GameRecording {
public:
    // One class the login serves, with its list as read.
    struct Class {
        ClassListSource source;
        ClassList list;
    };

    // `listFile`: the only class list to ask from, if any, of the class
    // `className` (empty: unnamed).
    explicit GameRecording(ProblemReport& report, const QString& listFile = classListFile(),
                           const QString& className = {});
    // The classes of `sources`; those whose list cannot be read or names
    // nobody are left out, and said why in problems().
    GameRecording(ProblemReport& report, const std::vector<ClassListSource>& sources);

    RoundObserver& observer();
    // The classes asked from, each with at least one name; empty when
    // nobody is asked.
    const std::vector<Class>& classes() const { return classes_; }
    // The class named `className`, or null.
    const Class* classNamed(const QString& className) const;
    // The names to ask from when there is one class; empty when nobody is
    // asked or when the class is asked first.
    QStringList classList() const;
    // The class list with its levels when there is one class; empty else.
    const ClassList& list() const;
    // Why a class list was not used, in French; empty when every one was,
    // or when there is none.
    QString problem() const { return problems_.join(QLatin1Char('\n')); }
    const QStringList& problems() const { return problems_; }
    // The classes of `sources` read again, when their lists changed on
    // disk: a class that names nobody any more is asked from no more, a new
    // one is. False, with nothing changed, when nobody would be asked, or
    // when nobody was asked at start (the rounds go on into the login's
    // record until the next start).
    bool readAgain(const std::vector<ClassListSource>& sources);
    // `pupil` of `className` sits down: what the chooser tells.
    void choose(const QString& pupil, const QString& className = {});
    // Told on a record's thread, with its path, each time rounds went into
    // it, whoever plays. Set before the game starts.
    void whenWritten(const RecordWriter::Written& written);

private:
    void start(ProblemReport& report);

    std::vector<Class> classes_;
    QStringList problems_;
    std::optional<RecordStore> store_;
    std::optional<Recorder> recorder_; // after its store: it goes first
    std::optional<ClassRecorder> class_;
};

} // namespace quiltaro
