#pragma once

// The event fuzzer's record: what the rules told of each round, kept apart
// from the real record it is passed on to, and what the record's report said.
#include "RecordStore.h"
#include "RecordTesting.h"
#include "Recorder.h"

#include <QStringList>

#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace quiltaro::test {

// What the rules told the record, kept apart from it: the rounds that ended,
// each with its interval, its guesses and how it ended. Passes it all on to
// the real record.
struct Tally final : RoundObserver {
    RoundObserver& next;
    std::vector<RoundRecord> ended;
    std::optional<RoundRecord> open;
    bool over = false;
    explicit Tally(RoundObserver& n) : next(n) {}
    void end(Ending ending) {
        if (open)
            open->ending = ending, ended.push_back(*open), open.reset();
    }
    void gameStarted() override { next.gameStarted(); }
    void roundGenerated(const RoundState& s) override {
        if (!over) {
            end(Ending::NewRound);
            open = RoundRecord{};
            open->scoreBefore = open->scoreAfter = s.score;
            open->lowBound = s.lowBound, open->highBound = s.highBound, open->redValue = s.redValue;
        }
        next.roundGenerated(s);
    }
    void guessJudged(const RoundState& s, const std::string& answer, Verdict verdict) override {
        if (open) {
            open->guesses.push_back({answer, verdict}), open->scoreAfter = s.score;
            if (verdict == Verdict::Right)
                end(Ending::Won);
        }
        next.guessJudged(s, answer, verdict);
    }
    void gaveUp(const RoundState& s) override {
        if (open)
            open->scoreAfter = s.score, end(Ending::GaveUp);
        next.gaveUp(s);
    }
    void gameEnded() override { next.gameEnded(); }
    void programEnding() override {
        if (!over)
            end(Ending::ProgramEnd), over = true;
        next.programEnding();
    }
};

// What a record's report told, kept after the record went.
struct Told {
    QStringList texts;
    std::set<Problem> kinds;
};

// One program's record, written by the real recorder into a file of its own.
struct Record {
    std::shared_ptr<Told> told = std::make_shared<Told>();
    ProblemReport report{[t = told](const QString& text) { t->texts << text; }};
    bool troubled = false; // held by the second copy, or its disk filled
    RecordStore store;
    // Rounds are known by their game and times: the fuzzer may end two in one
    // millisecond, which no pupil does.
    Recorder recorder{store, pupilsTime};
    Tally tally{recorder};
    explicit Record(const QString& path) : store(path, report) {
        report.watch([t = told](Problem p, const QString&) { t->kinds.insert(p); });
    }
};

bool sameRound(const RoundRecord& r, const RoundRecord& e) {
    return r.guesses == e.guesses && r.ending == e.ending && r.lowBound == e.lowBound &&
           r.highBound == e.highBound && r.redValue == e.redValue &&
           r.scoreBefore == e.scoreBefore && r.scoreAfter == e.scoreAfter;
}

} // namespace quiltaro::test
