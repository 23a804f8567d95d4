#pragma once

#include "RecordStore.h"
#include "Recorder.h"

#include <QString>

#include <functional>
#include <map>
#include <memory>

namespace quiltaro {

// The record of a class sharing one login: each pupil's rounds go to that
// pupil's own record, through a store and a recorder of its own, so that
// one pupil can be erased without touching the others. The game tells it
// who sits down; everything else it passes on to that pupil's recorder.
class ClassRecorder final : public RoundObserver {
public:
    using PathOf = std::function<QString(const QString& pupil, const QString& className)>;
    ClassRecorder(ProblemReport& report, PathOf pathOf,
                  Recorder::Now now = &QDateTime::currentDateTime);
    ~ClassRecorder() override;

    // `pupil` of `className` plays from now on. The round the pupil before
    // left on the line ends; the same pupil again goes on as before. Two
    // pupils of one first name in two classes are two pupils. Nothing is
    // opened or written here: the pupil's store opens on its writer's thread.
    void choose(const QString& pupil, const QString& className = {});
    // Who plays; empty until someone was chosen.
    QString pupil() const { return current_ ? current_->recorder->pupil() : QString(); }
    QString className() const { return current_ ? current_->recorder->className() : QString(); }
    // Told as each pupil's recorder tells (Recorder::whenWritten). Set
    // before anyone is chosen.
    void whenWritten(RecordWriter::Written written) { written_ = std::move(written); }
    // The recorder of a pupil who played in this run, or null: for tests.
    Recorder* recorderOf(const QString& pupil, const QString& className = {});

    void gameStarted() override;
    void roundGenerated(const RoundState& state) override;
    void guessJudged(const RoundState& state, const std::string& answer, Verdict verdict) override;
    void gaveUp(const RoundState& state) override;
    void gameEnded() override;
    void programEnding() override;

private:
    struct Seat {
        std::unique_ptr<RecordStore> store;
        std::unique_ptr<Recorder> recorder; // after its store: it goes first
    };
    RoundObserver& current();

    ProblemReport& report_;
    PathOf pathOf_;
    Recorder::Now now_;
    RecordWriter::Written written_;
    std::map<std::pair<QString, QString>, Seat> seats_; // by class, then first name
    Seat* current_ = nullptr;
};

} // namespace quiltaro
