#include "Recorder.h"

#include <QUuid>

#include <chrono>
#include <thread>

namespace quiltaro {

Recorder::Recorder(RecordStore& store, Now now) : store_(store), now_(std::move(now)) {}

void Recorder::beginGame() {
    game_ = Game{QUuid::createUuid().toString(QUuid::WithoutBraces), now_()};
}

void Recorder::gameStarted() {
    if (ended_)
        return;
    // A round still on the line (the pupil went back to the welcome window
    // and pressed "commencer" again) goes on, in the game it began in; the
    // rounds after it belong to the new game.
    beginGame();
}

void Recorder::roundGenerated(const RoundState& s) {
    if (ended_)
        return;
    endRound(Ending::NewRound);
    // A round played after the farewell, once the pupil went back to the
    // game window: a game of its own.
    if (!game_)
        beginGame();
    RoundRecord r;
    r.gameToken = game_->token;
    r.gameStarted = game_->started;
    r.started = now_();
    r.scoreBefore = r.scoreAfter = s.score;
    r.lowBound = s.lowBound;
    r.highBound = s.highBound;
    r.redValue = s.redValue;
    round_ = std::move(r);
}

void Recorder::guessJudged(const RoundState& s, const std::string& answer, Verdict verdict) {
    if (!round_)
        return;
    round_->guesses.push_back({answer, verdict});
    round_->scoreAfter = s.score;
    if (verdict == Verdict::Right)
        endRound(Ending::Won);
}

void Recorder::gaveUp(const RoundState& s) {
    if (!round_)
        return;
    round_->scoreAfter = s.score;
    endRound(Ending::GaveUp);
}

void Recorder::gameEnded() {
    // A round still on the line stays open: the pupil may come back to it,
    // and it ends when a new round replaces it or the program ends.
    game_.reset();
}

void Recorder::programEnding() {
    if (ended_)
        return;
    endRound(Ending::ProgramEnd);
    ended_ = true;
    flush();
    // There is no next round to try again on. Another copy of the game holds
    // the record only for a moment, and the windows are already gone, so the
    // last rounds may wait a little for it rather than be lost.
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(2);
    while (!waiting_.empty() && store_.foundBusy() && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        flush();
    }
}

void Recorder::endRound(Ending ending) {
    if (!round_)
        return;
    round_->ending = ending;
    round_->ended = now_();
    waiting_.push_back(std::move(*round_));
    ++roundsEnded_;
    round_.reset();
    while (waiting_.size() > maxWaiting)
        waiting_.pop_front();
}

void Recorder::betweenReactions() {
    if (waiting_.empty())
        return;
    if (retryOnNextRound_ && roundsEnded_ == roundsEndedAtFailure_)
        return;
    flush();
}

void Recorder::flush() {
    bool freshStart = false;
    while (!waiting_.empty()) {
        const QString setAsideBefore = store_.setAside();
        if (!store_.write(waiting_.front())) {
            // A corrupt file was just set aside: the round goes to the new one.
            if (!freshStart && store_.setAside() != setAsideBefore) {
                freshStart = true;
                continue;
            }
            retryOnNextRound_ = true;
            roundsEndedAtFailure_ = roundsEnded_;
            if (!store_.usable())
                waiting_.clear(); // nothing will ever take them this run
            return;
        }
        waiting_.pop_front();
    }
    retryOnNextRound_ = false;
}

} // namespace quiltaro
