#include "ClassRecorder.h"

namespace quiltaro {

ClassRecorder::ClassRecorder(ProblemReport& report, PathOf pathOf, Recorder::Now now)
    : report_(report), pathOf_(std::move(pathOf)), now_(std::move(now)) {}

ClassRecorder::~ClassRecorder() = default;

void ClassRecorder::choose(const QString& pupil, const QString& className) {
    if (current_ && current_->recorder->pupil() == pupil &&
        current_->recorder->className() == className)
        return;
    if (current_)
        current_->recorder->seatLeft();
    auto [seat, added] = seats_.try_emplace({className, pupil});
    if (added) {
        seat->second.store = std::make_unique<RecordStore>(pathOf_(pupil, className), report_);
        seat->second.recorder = std::make_unique<Recorder>(*seat->second.store, now_);
        seat->second.recorder->setPupil(pupil);
        seat->second.recorder->setClass(className);
        if (written_)
            seat->second.recorder->whenWritten(written_);
    }
    current_ = &seat->second;
}

Recorder* ClassRecorder::recorderOf(const QString& pupil, const QString& className) {
    const auto seat = seats_.find({className, pupil});
    return seat != seats_.end() ? seat->second.recorder.get() : nullptr;
}

RoundObserver& ClassRecorder::current() {
    // Before anyone is chosen nothing can be played; should it be, it is
    // nobody's and not kept.
    return current_ ? static_cast<RoundObserver&>(*current_->recorder) : RoundObserver::none();
}

void ClassRecorder::gameStarted() {
    current().gameStarted();
}

void ClassRecorder::roundGenerated(const RoundState& state) {
    current().roundGenerated(state);
}

void ClassRecorder::guessJudged(const RoundState& state, const std::string& answer,
                                Verdict verdict) {
    current().guessJudged(state, answer, verdict);
}

void ClassRecorder::gaveUp(const RoundState& state) {
    current().gaveUp(state);
}

void ClassRecorder::gameEnded() {
    current().gameEnded();
}

void ClassRecorder::programEnding() {
    // Every pupil of the run: those who left may still have a round on its
    // way to the disk. All are told first, then waited for together: a
    // class on a full disk waits patienceAtEnd in all, not once per pupil.
    const auto deadline = RecordWriter::Clock::now() + Recorder::patienceAtEnd;
    for (auto& [who, seat] : seats_)
        seat.recorder->programEndingBy(deadline);
    for (auto& [who, seat] : seats_)
        seat.recorder->waitUntil(deadline);
}

} // namespace quiltaro
