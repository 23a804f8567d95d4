#include "RecordReading.h"

#include "RangeReader.h"
#include "StoredRound.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <functional>
#include <future>
#include <map>
#include <utility>
#include <vector>

// The rounds of a record, read table by table, and around the pages of a
// damaged file that cannot be read.

namespace quiltaro {

namespace {

// Keys looked for one by one in a damaged table, at most.
constexpr qint64 maxLookups = 4'000'000;

// Reads the rows whose keys lie in [first, last]. A damaged inner page can
// also hide keys without an error: once the file is known damaged, each key
// not `seen` is looked for on its own.
void readAround(RangeReader& reader, qint64 first, qint64 last, bool& damaged,
                const std::function<bool(qint64)>& seen) {
    reader.read(first, last);
    if (damaged || reader.damaged())
        for (qint64 id = first; id <= last && id - first < maxLookups; ++id)
            if (!seen(id))
                reader.read(id, id);
    damaged = damaged || reader.damaged();
}

struct Game {
    QString token;
    qint64 started = 0;
    QString pupil;
    QString className;
};
using Games = std::map<qint64, Game>;

Games readGames(const QSqlDatabase& db, int version, bool& damaged) {
    Games games;
    qint64 first = 0, last = 0;
    if (!keyRange(db, QStringLiteral("games"), first, last)) {
        damaged = true;
        return games;
    }
    const bool named = version >= 3;   // pupils have names from the third schema on
    const bool classed = version >= 7; // and classes from the seventh
    RangeReader reader(db,
                       QStringLiteral("SELECT id, token, started_at%1%2 FROM games"
                                      " WHERE id BETWEEN ? AND ? ORDER BY id")
                           .arg(named ? QStringLiteral(", pupil") : QString(),
                                classed ? QStringLiteral(", class_name") : QString()),
                       [&](const Row& row) {
                           games[row.integer(0)] = {row.text(1), row.integer(2),
                                                    named ? row.text(3) : QString(),
                                                    classed ? row.text(4) : QString()};
                       });
    readAround(reader, first, last, damaged, [&](qint64 id) { return games.count(id) > 0; });
    return games;
}

// How many answers of each round in [first, last] lay outside the interval,
// counted by SQLite on a connection of its own (a clone of `connection`'s),
// so that the count runs on another core while the rounds are read. A round
// without any has no entry; the others come in the order of their keys.
struct OutsideCounts {
    std::vector<std::pair<qint64, int>> byRound;
    // Verdicts a newer version stored that this one does not know, by round.
    std::vector<std::pair<qint64, int>> unknownByRound;
    bool damaged = false;
};

bool hasIndex(const QSqlDatabase& db, const QString& name) {
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = ?"));
    q.addBindValue(name);
    return q.exec() && q.next();
}

// The verdicts a newer version wrote, by round. Without their index (a
// record no game of this version has opened since), finding them would read
// every guess: they are left to the export, which reads the guesses.
void countUnknown(const QSqlDatabase& db, qint64 first, qint64 last, OutsideCounts& counts) {
    if (!hasIndex(db, QLatin1String(unknownVerdictsIndex)))
        return;
    RangeReader unknown(db,
                        QStringLiteral("SELECT round_id, COUNT(*) FROM guesses"
                                       " WHERE round_id BETWEEN ? AND ? AND verdict NOT IN (%1)"
                                       " GROUP BY round_id ORDER BY round_id")
                            .arg(knownVerdictsSql()),
                        [&](const Row& row) {
                            counts.unknownByRound.emplace_back(row.integer(0),
                                                               static_cast<int>(row.integer(1)));
                        });
    unknown.read(first, last);
    counts.damaged = counts.damaged || unknown.damaged();
}

OutsideCounts countOutside(const QString& connection, qint64 first, qint64 last) {
    OutsideCounts counts;
    const QString name = connection + QStringLiteral("-outside");
    {
        QSqlDatabase db = QSqlDatabase::cloneDatabase(connection, name);
        if (!db.open()) {
            counts.damaged = true;
        } else {
            RangeReader reader(db,
                               QStringLiteral("SELECT round_id, COUNT(*) FROM guesses"
                                              " WHERE round_id BETWEEN ? AND ? AND verdict = '%1'"
                                              " GROUP BY round_id ORDER BY round_id")
                                   .arg(QLatin1String(verdictName(Verdict::Outside))),
                               [&](const Row& row) {
                                   counts.byRound.emplace_back(row.integer(0),
                                                               static_cast<int>(row.integer(1)));
                               });
            reader.read(first, last);
            counts.damaged = reader.damaged();
            countUnknown(db, first, last, counts);
        }
    }
    QSqlDatabase::removeDatabase(name);
    return counts;
}

// The rounds of one record as they are read, and where each key landed.
struct Rounds {
    std::vector<RoundRecord> list;
    std::map<qint64, size_t> byId;
    bool damaged = false;
};

// One row of the rounds table as a round: its game's token, pupil and start
// from `game`, its guesses to come (or, in the first schema, from the row).
RoundRecord roundOfRow(const Row& row, int version, bool counting, const Game* game,
                       RoundReading& reading) {
    StoredRound stored;
    if (game) {
        stored.gameToken = game->token;
        stored.pupil = game->pupil;
        stored.className = game->className;
        stored.gameStarted = game->started;
    } else { // a round whose game was lost keeps a game of its own number
        stored.gameToken = QStringLiteral("partie-%1").arg(row.integer(1));
    }
    stored.started = row.integer(2);
    stored.ended = row.integer(3);
    stored.scoreBefore = static_cast<int>(row.integer(4));
    stored.scoreAfter = static_cast<int>(row.integer(5));
    stored.lowBound = row.real(6);
    stored.highBound = row.real(7);
    stored.redValue = row.real(8);
    stored.ending = row.name(9);
    if (version >= 5) {
        stored.kind = row.text(11);
        stored.levels = row.text(12);
    }
    RoundRecord r = reading.roundOf(stored);
    if (counting)
        r.counts = RoundRecord::Counts{static_cast<int>(row.integer(10)), 0};
    else // the guesses come later, row by row: room for them once
        r.guesses.reserve(static_cast<size_t>(std::clamp<qint64>(row.integer(10), 0, 64)));
    if (version < 2) {
        // The first schema kept the answers only: the rules give the verdicts.
        std::vector<std::string> answers;
        for (const QString& a : row.text(11).split(QLatin1Char(' '), Qt::SkipEmptyParts))
            answers.push_back(a.toStdString());
        const auto verdicts = replayVerdicts(r.lowBound, r.highBound, r.redValue, answers);
        for (size_t i = 0; i < answers.size(); ++i)
            r.guesses.push_back({answers[i], verdicts[i]});
    }
    return r;
}

void readRoundRows(const QSqlDatabase& db, int version, bool counting, const Games& games,
                   qint64 first, qint64 last, Rounds& rounds) {
    RoundReading reading;
    RangeReader reader(
        db,
        QStringLiteral("SELECT id, game_id, started_at, ended_at, score_before, score_after,"
                       " low_bound, high_bound, red_value, ending, tries%1 FROM rounds"
                       " WHERE id BETWEEN ? AND ? ORDER BY id")
            .arg(version < 2   ? QStringLiteral(", guesses")
                 : version < 5 ? QString()
                               : QStringLiteral(", kind, level")),
        [&, game = games.end()](const Row& row) mutable {
            // A game's rounds come one after the other: it is looked up once.
            if (game == games.end() || game->first != row.integer(1))
                game = games.find(row.integer(1));
            const Game* of = game != games.end() ? &game->second : nullptr;
            rounds.byId[row.integer(0)] = rounds.list.size();
            rounds.list.push_back(roundOfRow(row, version, counting, of, reading));
        });
    readAround(reader, first, last, rounds.damaged,
               [&](qint64 id) { return rounds.byId.count(id) > 0; });
}

void readGuesses(const QSqlDatabase& db, qint64 first, qint64 last, Rounds& rounds) {
    RangeReader reader(db,
                       QStringLiteral("SELECT round_id, answer, verdict FROM guesses"
                                      " WHERE round_id BETWEEN ? AND ?"
                                      " ORDER BY round_id, position"),
                       [&, found = rounds.byId.end()](const Row& row) mutable {
                           // Guesses come round by round: the round is looked up once.
                           const qint64 id = row.integer(0);
                           if (found == rounds.byId.end() || found->first != id)
                               found = rounds.byId.find(id);
                           if (found != rounds.byId.end())
                               RoundReading::addGuess(rounds.list[found->second], row.answer(1),
                                                      row.name(2));
                       });
    reader.read(first, last);
    if (rounds.damaged || reader.damaged())
        for (const auto& [id, index] : rounds.byId)
            if (rounds.list[index].guesses.empty())
                reader.read(id, id);
    rounds.damaged = rounds.damaged || reader.damaged();
}

} // namespace

bool wholeFile(const QSqlDatabase& db) {
    QSqlQuery q(db);
    return q.exec(QStringLiteral("PRAGMA quick_check(1)")) && q.next() &&
           q.value(0).toString() == QLatin1String("ok");
}

std::vector<RoundRecord> readRounds(const QSqlDatabase& db, int version, bool& damaged,
                                    Detail detail) {
    Rounds rounds;
    const Games games = readGames(db, version, damaged);
    rounds.damaged = damaged;
    qint64 first = 0, last = 0;
    if (!keyRange(db, QStringLiteral("rounds"), first, last)) {
        damaged = true;
        return {};
    }
    // The first schema kept the answers in the round's row: they are read
    // whole, counted or not.
    const bool counting = detail == Detail::Counts && version >= 2;
    std::future<OutsideCounts> outside;
    if (counting)
        outside = std::async(std::launch::async, countOutside, db.connectionName(), first, last);
    readRoundRows(db, version, counting, games, first, last, rounds);
    if (counting) {
        const OutsideCounts counts = outside.get();
        for (const auto& [id, count] : counts.byRound)
            if (const auto found = rounds.byId.find(id); found != rounds.byId.end())
                rounds.list[found->second].counts->outside = count;
        for (const auto& [id, count] : counts.unknownByRound)
            if (const auto found = rounds.byId.find(id); found != rounds.byId.end())
                rounds.list[found->second].counts->unknown = count;
        rounds.damaged = rounds.damaged || counts.damaged;
    } else if (version >= 2 && !rounds.list.empty()) {
        readGuesses(db, first, last, rounds);
    }
    damaged = rounds.damaged;
    return std::move(rounds.list);
}

} // namespace quiltaro
