#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// A record read for counting only: each round as a few numbers, with no
// text, guess or time of day made for it.

namespace quiltaro {

// One round as the counts need it. Text is shared with the reading's own
// copy of it (a game's token, the levels' name), not made anew each round.
struct CountedRound {
    QDate day;          // the local day it started
    qint64 started = 0; // ms since the epoch
    qint64 ended = 0;   // ms since the epoch
    int scoreBefore = 0;
    int scoreAfter = 0;
    int tries = 0;
    int outside = 0;
    int level = 0; // 0: whole numbers, 1: tenths, 2: hundredths
    bool won = false;
    bool gaveUp = false;
    QString game;   // the game's token
    QString levels; // the levels set, by name; empty before levels
    bool played() const { return tries > 0 || won || gaveUp; }
};

// A record's rounds for counting, by the pupil and class its games name
// (empty when they name none), each pupil's in the order played.
struct CountedRecord {
    struct Pupil {
        QString name;
        QString className;
        std::vector<CountedRound> rounds;
    };
    std::vector<Pupil> pupils;
    std::vector<QString> games; // the tokens of its games, each once
};

// Reads the record at `path` for counting, without writing anything, when
// it can be read so: a record of this version, whole as far as the reading
// sees, nothing kept beside it and nothing a newer version wrote in it.
// Otherwise nothing: the record is to be read round by round, which knows
// what to tell of it. `checkWhole`: SQLite's quick check of the file first,
// for damage that ends a scan early without an error.
std::optional<CountedRecord> readCounted(const QString& path, bool checkWhole);

} // namespace quiltaro
