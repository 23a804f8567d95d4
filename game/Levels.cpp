#include "Levels.h"

#include <algorithm>
#include <cctype>

namespace quiltaro {

namespace {

struct KindNames {
    NumberKind kind;
    const char* name;        // as written in files and on the command line
    const char* description; // as a teacher reads it
};
constexpr KindNames kinds[] = {{NumberKind::Whole, "entiers", "entiers"},
                               {NumberKind::Tenths, "dixiemes", "dixièmes"},
                               {NumberKind::Hundredths, "centiemes", "centièmes"}};

const KindNames& namesOf(NumberKind kind) {
    return kinds[static_cast<int>(kind)];
}

// Lower case, and the accented letters a French keyboard gives in these names
// without their accent; whatever else is there stays, and is refused.
std::string folded(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        // é, è, É, È in UTF-8: 0xC3 then 0xA9, 0xA8, 0x89, 0x88.
        if (c == 0xC3 && i + 1 < text.size()) {
            const unsigned char next = static_cast<unsigned char>(text[i + 1]);
            if (next == 0xA9 || next == 0xA8 || next == 0x89 || next == 0x88) {
                out += 'e';
                ++i;
                continue;
            }
        }
        out += static_cast<char>(c < 0x80 ? std::tolower(c) : c);
    }
    return out;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

} // namespace

NumberKind kindForScore(int score) {
    if (score <= 2)
        return NumberKind::Whole;
    return score <= 6 ? NumberKind::Tenths : NumberKind::Hundredths;
}

NumberKind kindPlayed(int score, const LevelRange& range) {
    return std::clamp(kindForScore(score), range.lowest, range.highest);
}

const char* kindName(NumberKind kind) {
    return namesOf(kind).name;
}

std::string kindDescription(NumberKind kind) {
    return namesOf(kind).description;
}

std::optional<NumberKind> parseKind(std::string_view text) {
    const std::string name = folded(trimmed(text));
    for (const KindNames& k : kinds)
        if (name == k.name)
            return k.kind;
    return std::nullopt;
}

std::optional<LevelRange> parseLevel(std::string_view text) {
    text = trimmed(text);
    const size_t dash = text.find('-');
    if (dash == std::string_view::npos) {
        const std::optional<NumberKind> kind = parseKind(text);
        if (!kind)
            return std::nullopt;
        // Whole numbers alone: a class that has not met decimals yet. The
        // others go on to the finer kinds as the score rises.
        if (*kind == NumberKind::Whole)
            return LevelRange{NumberKind::Whole, NumberKind::Whole};
        return LevelRange{*kind, NumberKind::Hundredths};
    }
    const std::optional<NumberKind> lowest = parseKind(text.substr(0, dash));
    const std::optional<NumberKind> highest = parseKind(text.substr(dash + 1));
    if (!lowest || !highest || *highest < *lowest)
        return std::nullopt;
    return LevelRange{*lowest, *highest};
}

std::string levelName(const LevelRange& range) {
    if (range.lowest == range.highest && range.lowest != NumberKind::Tenths)
        return kindName(range.lowest);
    if (range.highest == NumberKind::Hundredths && range.lowest != NumberKind::Whole)
        return kindName(range.lowest);
    return std::string(kindName(range.lowest)) + '-' + kindName(range.highest);
}

std::string levelDescription(const LevelRange& range) {
    if (range == LevelRange{})
        return "selon le score (entiers, puis dixièmes, puis centièmes)";
    if (range.lowest == range.highest)
        return range.lowest == NumberKind::Whole ? "nombres entiers seulement"
                                                 : kindDescription(range.lowest) + " seulement";
    if (range.highest == NumberKind::Hundredths)
        return "à partir des " + kindDescription(range.lowest);
    return "des " + kindDescription(range.lowest) + " aux " + kindDescription(range.highest);
}

} // namespace quiltaro
