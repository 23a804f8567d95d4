#pragma once

#include "RecordStore.h"
#include "RoundObserver.h"

#include <QDateTime>

#include <deque>
#include <functional>
#include <optional>

namespace quiltaro {

// Follows the game as the rules and the windows tell it, and hands every
// round that ends to the store. Nothing touches the disk while a reaction
// runs: finished rounds wait in memory until betweenReactions.
class Recorder final : public RoundObserver {
public:
    using Now = std::function<QDateTime()>;
    explicit Recorder(RecordStore& store, Now now = &QDateTime::currentDateTime);

    void gameStarted() override;
    void roundGenerated(const RoundState& state) override;
    void guessJudged(const RoundState& state, const std::string& answer, Verdict verdict) override;
    void gaveUp(const RoundState& state) override;
    void gameEnded() override;
    void programEnding() override;
    void betweenReactions() override;

    // Writes what waits, each round in its own transaction.
    void flush();
    size_t waiting() const { return waiting_.size(); }
    bool roundInProgress() const { return round_.has_value(); }

    // More than this many unwritten rounds (a disk full for a whole day of
    // games): the oldest go, so that memory stays bounded.
    static constexpr size_t maxWaiting = 2000;

private:
    struct Game {
        QString token;
        QDateTime started;
    };
    void beginGame();
    void endRound(Ending ending);

    RecordStore& store_;
    Now now_;
    std::optional<Game> game_;
    std::optional<RoundRecord> round_;
    std::deque<RoundRecord> waiting_;
    // After a failed write, the next attempt waits for a new round to end, so
    // that a locked or full disk is not tried after every key.
    bool retryOnNextRound_ = false;
    long roundsEnded_ = 0;
    long roundsEndedAtFailure_ = 0;
    bool ended_ = false;
};

} // namespace quiltaro
