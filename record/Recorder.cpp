#include "Recorder.h"

#include <QUuid>

namespace quiltaro {

Recorder::Recorder(RecordStore& store, Now now) : store_(store), now_(std::move(now)) {}

Recorder::~Recorder() = default; // the writer stops, keeping aside what it could not write

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
    // Started with the game, so that the record is opened and room kept on
    // disk for its rounds before the first one ends.
    if (!writer_)
        writer_.emplace(store_, written_);
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
    r.pupil = pupil_;
    r.className = className_;
    r.gameStarted = game_->started;
    r.started = now_();
    r.scoreBefore = r.scoreAfter = s.score;
    r.lowBound = s.lowBound;
    r.highBound = s.highBound;
    r.redValue = s.redValue;
    r.kind = s.kind;
    r.levels = s.levels;
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

void Recorder::seatLeft() {
    if (ended_)
        return;
    endRound(Ending::NewRound);
    game_.reset();
}

void Recorder::programEnding() {
    const auto deadline = RecordWriter::Clock::now() + patienceAtEnd;
    programEndingBy(deadline);
    waitUntil(deadline);
}

void Recorder::programEndingBy(RecordWriter::Clock::time_point deadline) {
    if (ended_)
        return;
    endRound(Ending::ProgramEnd);
    ended_ = true;
    // The windows are gone already: the last rounds may wait a moment for
    // the record; those it cannot take by then are kept beside it.
    if (writer_)
        writer_->stopBy(deadline);
}

bool Recorder::waitUntil(RecordWriter::Clock::time_point deadline) {
    return !writer_ || writer_->waitUntil(deadline);
}

void Recorder::endRound(Ending ending) {
    if (!round_)
        return;
    round_->ending = ending;
    round_->ended = now_();
    if (!writer_)
        writer_.emplace(store_, written_);
    writer_->add(std::move(*round_));
    round_.reset();
}

size_t Recorder::waiting() {
    return writer_ ? writer_->waiting() : 0;
}

} // namespace quiltaro
