#pragma once

#include "RecordStore.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <vector>

class QTextStream;

namespace quiltaro {

// The three difficulty bands, by the score at the start of a round.
enum class ScoreBand { Integers, Tenths, Hundredths };
ScoreBand scoreBandOf(int scoreBefore);

// One game as the teacher sees it.
struct GameSummary {
    qint64 number = 0; // the game's number in the record
    QDateTime started;
    int rounds = 0;
    int found = 0;  // rounds won
    int gaveUp = 0; // rounds given up
    int finalScore = 0;
    // Mean tries of the numbers found, per band; negative when none was.
    std::array<double, 3> meanTries{-1, -1, -1};
    double meanTriesFound() const;
    int triesFound = 0;
};

// What the results window shows, read without writing anything.
struct ResultsData {
    enum class State { Empty, Ready, Unreadable, Newer };
    State state = State::Empty;
    QString problem; // why it is unreadable
    // The file is damaged: what is shown is what could be read of it, and
    // the warning says how much that is.
    bool damaged = false;
    QString warning;
    qint64 games = 0;
    qint64 rounds = 0;
    QDateTime first;
    QDateTime last;
    std::vector<GameSummary> recent; // the last games, oldest first
};

// With `checkWhole`, the whole file is checked for damage first, which reads
// all of it; without, damage is found only where the queries run into it,
// and recordIsWhole tells the rest later.
ResultsData loadResults(const QString& path, int recentGames = 30, bool checkWhole = true);
bool recordIsWhole(const QString& path);
// The same from rounds read elsewhere (a server), oldest first.
ResultsData summariseRounds(const std::vector<RoundRecord>& rounds, int recentGames = 30);

// Every round as CSV, UTF-8 with a header line. Dates are local ISO 8601
// with their offset, numbers have a decimal point.
void writeCsv(const std::vector<RoundRecord>& rounds, QTextStream& out);

} // namespace quiltaro
