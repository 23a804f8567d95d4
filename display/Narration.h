#pragma once

#include "RoundState.h"

#include <string>

namespace quiltaro {

// What the game window shows, told in words for a screen reader. Nothing is
// drawn from it; it follows the drawing.
struct Narration {
    int shownTry = 0;        // the try number on the try line
    std::string judgement;   // the last judgement, until the next try begins
    bool roundShown = false; // false on the blank window at the end of the game

    std::string describe(const RoundState& state) const;
};

} // namespace quiltaro
