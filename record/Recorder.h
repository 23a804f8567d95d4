#pragma once

#include "RecordStore.h"
#include "RecordWriter.h"
#include "RoundObserver.h"

#include <QDateTime>

#include <chrono>
#include <functional>
#include <optional>

namespace quiltaro {

// Follows the game as the rules and the windows tell it, and hands every
// round that ends to a RecordWriter, which writes it on a thread of its own:
// nothing the record does can be seen in the game's pace. The store is used
// by that thread only, from the first round that ends until the program ends.
class Recorder final : public RoundObserver {
public:
    using Now = std::function<QDateTime()>;
    explicit Recorder(RecordStore& store, Now now = &QDateTime::currentDateTime);
    ~Recorder() override;

    void gameStarted() override;
    void roundGenerated(const RoundState& state) override;
    void guessJudged(const RoundState& state, const std::string& answer, Verdict verdict) override;
    void gaveUp(const RoundState& state) override;
    void gameEnded() override;
    // The round on the line ends and the writer is told to end by
    // `deadline`; returns at once. A class's recorders are all told, then
    // waited for together (waitUntil).
    void programEndingBy(RecordWriter::Clock::time_point deadline);
    // Whether the writer has ended by `deadline`.
    bool waitUntil(RecordWriter::Clock::time_point deadline);
    // Both, with patienceAtEnd.
    void programEnding() override;

    // Who plays: every round that starts from now on carries this name.
    void setPupil(QString pupil) { pupil_ = std::move(pupil); }
    const QString& pupil() const { return pupil_; }
    // The pupil's class, on every round from now on; empty when none is named.
    void setClass(QString className) { className_ = std::move(className); }
    const QString& className() const { return className_; }
    // Another pupil takes the seat: the round on the line ends, as left for
    // a new round, and the game with it. Written on the writer's thread, as
    // every round.
    void seatLeft();
    // Told on the record's thread, with its path, each time rounds went in:
    // what sends them on to a server listens here. Set before the first round.
    void whenWritten(RecordWriter::Written written) { written_ = std::move(written); }

    // Rounds ended and not yet in the record, once the writer has tried each
    // of them at least once: for tests and the benchmark.
    size_t waiting();
    bool roundInProgress() const { return round_.has_value(); }
    // How long the program's end waits at most for the last rounds to be on
    // disk, in the record or beside it for the next run.
    static constexpr std::chrono::milliseconds patienceAtEnd{1000};

private:
    struct Game {
        QString token;
        QDateTime started;
    };
    void beginGame();
    void endRound(Ending ending);

    RecordStore& store_;
    Now now_;
    QString pupil_;
    QString className_;
    std::optional<Game> game_;
    std::optional<RoundRecord> round_;
    RecordWriter::Written written_;
    std::optional<RecordWriter> writer_; // from the first round that ends
    bool ended_ = false;
};

} // namespace quiltaro
