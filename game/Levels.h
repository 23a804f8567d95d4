#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quiltaro {

// The kind of number a round's red value is: whole, to a tenth, to a
// hundredth. The score picks one (0 to 2 points, 3 to 6, 7 to 10); a
// teacher may keep a class's rounds between two of them.
enum class NumberKind { Whole, Tenths, Hundredths };

// The kind the score alone gives, as the game has always played it.
NumberKind kindForScore(int score);

// The kinds a class plays at, both included. The default lets the score
// decide everything, as without a setting.
struct LevelRange {
    NumberKind lowest = NumberKind::Whole;
    NumberKind highest = NumberKind::Hundredths;
    bool operator==(const LevelRange&) const = default;
};

// The score's kind, kept between the lowest and the highest of `range`.
NumberKind kindPlayed(int score, const LevelRange& range);

// The names a level is written with, the same in the configuration file, the
// class list and on the command line: "entiers", "dixiemes", "centiemes" for
// one kind and the ones above it ("entiers" alone means whole numbers only,
// "centiemes" hundredths only), or "MIN-MAX", such as "entiers-dixiemes".
// Accents and case are allowed ("dixièmes", "Entiers"); nothing else is.
std::optional<LevelRange> parseLevel(std::string_view text);
// The shortest name that parseLevel reads back as `range`.
std::string levelName(const LevelRange& range);
// What a teacher reads, in French (UTF-8): "à partir des dixièmes"...
std::string levelDescription(const LevelRange& range);
// One kind, in French: "entiers", "dixièmes", "centièmes".
std::string kindDescription(NumberKind kind);
// The name of one kind as written in a record: "entiers", "dixiemes", "centiemes".
const char* kindName(NumberKind kind);
std::optional<NumberKind> parseKind(std::string_view text);

} // namespace quiltaro
