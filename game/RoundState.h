#pragma once

#include "Levels.h"

#include <cstdint>
#include <string>

namespace quiltaro {

// The one record the whole game works on. Field names and types follow the
// rules of the game closely: the 16-bit counters and the single-precision
// values are what the judging compares against, so they must not be widened.
struct RoundState {
    // Game-wide fields: they live for the whole run.
    std::u16string keyChar;   // last character typed on the game window (one UTF-16 unit)
    std::string typedAnswer;  // digits and at most one '.', never first, at most 7 characters
    std::string shownAnswer;  // typedAnswer with a decimal comma
    std::string solutionText; // the red value in the program's number-to-text form
    std::int16_t tryNumber = 0;
    std::int16_t score = 0;
    // The time of day, in seconds since midnight, at which the last wait
    // ends: set by the Pacer as each wait begins. Nothing reads it; the waits
    // keep their deadlines on the monotonic clock, and the record its own times.
    float timeMark = 0.0f;
    // The kinds of number the teacher keeps this pupil's rounds between.
    LevelRange levels;

    // Game-window fields.
    double lowBound = 0;
    double highBound = 0;
    float redValue = 0.0f;
    double scaleLow = 0;
    double scaleHigh = 0;
    double lowX = 50;
    double highX = 430;
    double redX = 50;
    float lineY = 120.0f;
    int pointTyped = 0;
    std::int16_t zoomStep = 0;
    float guessValue = 0.0f;
    // The kind of number the round on the line was drawn at.
    NumberKind kind = NumberKind::Whole;

    static constexpr int maxAnswerLength = 7;
    static constexpr std::int16_t maxScore = 10;

    // What the game window's load reaction sets; the fields of a round are
    // filled by the first generation before anything reads them.
    void loadGameWindow() {
        tryNumber = 1;
        score = 0;
        pointTyped = 0;
    }
};

} // namespace quiltaro
