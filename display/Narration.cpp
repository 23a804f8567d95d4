#include "Narration.h"

#include "NumberText.h"

namespace quiltaro {

namespace {
std::string plain(double value) {
    return withDecimalComma(shortestDecimal(value));
}
} // namespace

std::string Narration::describe(const RoundState& s) const {
    std::string text;
    if (roundShown) {
        text += "Le nombre en rouge est entre " + plain(s.lowBound) + " et " + plain(s.highBound) +
                ".\n";
        text += "Essai n° " + std::to_string(shownTry) + " : " + s.shownAnswer + "\n";
        if (!judgement.empty())
            text += judgement + "\n";
    }
    text += "Score : " + std::to_string(s.score) + " sur 10.";
    return text;
}

} // namespace quiltaro
