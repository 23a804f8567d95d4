#include "RecordReading.h"

#include "LocalTimes.h"
#include "RangeReader.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <cstring>
#include <future>
#include <map>
#include <utility>
#include <vector>

// The rounds of a record, read table by table, and around the pages of a
// damaged file that cannot be read.

namespace quiltaro {

namespace {

Verdict verdictOf(const char* name) {
    for (Verdict v : {Verdict::TooHigh, Verdict::TooLow, Verdict::Right, Verdict::Outside})
        if (std::strcmp(name, verdictName(v)) == 0)
            return v;
    return Verdict::Outside;
}

Ending endingOf(const char* name) {
    for (Ending e : {Ending::Won, Ending::GaveUp, Ending::NewRound, Ending::ProgramEnd})
        if (std::strcmp(name, endingName(e)) == 0)
            return e;
    return Ending::ProgramEnd;
}

// How many answers of each round in [first, last] lay outside the interval,
// counted by SQLite on a connection of its own (a clone of `connection`'s),
// so that the count runs on another core while the rounds are read. A round
// without any has no entry; the others come in the order of their keys.
struct OutsideCounts {
    std::vector<std::pair<qint64, int>> byRound;
    bool damaged = false;
};

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
        }
    }
    QSqlDatabase::removeDatabase(name);
    return counts;
}

} // namespace

bool wholeFile(const QSqlDatabase& db) {
    QSqlQuery q(db);
    return q.exec(QStringLiteral("PRAGMA quick_check(1)")) && q.next() &&
           q.value(0).toString() == QLatin1String("ok");
}

std::vector<RoundRecord> readRounds(const QSqlDatabase& db, int version, bool& damaged,
                                    Detail detail) {
    std::vector<RoundRecord> rounds;
    // The first schema kept the answers in the round's row: they are read
    // whole, counted or not.
    const bool counting = detail == Detail::Counts && version >= 2;
    struct Game {
        QString token;
        QDateTime started;
        QString pupil;
    };
    std::map<qint64, Game> games;
    LocalTimes gameTimes, roundTimes;
    // Keys looked for one by one in a damaged table, at most.
    constexpr qint64 maxLookups = 4'000'000;
    qint64 first = 0, last = 0;
    if (keyRange(db, QStringLiteral("games"), first, last)) {
        RangeReader reader(db,
                           QStringLiteral("SELECT id, token, started_at%1 FROM games"
                                          " WHERE id BETWEEN ? AND ? ORDER BY id")
                               .arg(version < 3 ? QString() : QStringLiteral(", pupil")),
                           [&](const Row& row) {
                               games[row.integer(0)] = {row.text(1), row.time(2, gameTimes),
                                                        version < 3 ? QString() : row.text(3)};
                           });
        reader.read(first, last);
        // A damaged inner page can also hide keys without an error: each
        // one not seen is looked for on its own.
        if (damaged || reader.damaged())
            for (qint64 id = first; id <= last && id - first < maxLookups; ++id)
                if (!games.count(id))
                    reader.read(id, id);
        damaged = damaged || reader.damaged();
    } else {
        damaged = true;
    }

    std::map<qint64, size_t> byId;
    if (!keyRange(db, QStringLiteral("rounds"), first, last)) {
        damaged = true;
        return rounds;
    }
    std::future<OutsideCounts> outside;
    if (counting)
        outside = std::async(std::launch::async, countOutside, db.connectionName(), first, last);
    RangeReader roundReader(
        db,
        QStringLiteral("SELECT id, game_id, started_at, ended_at, score_before, score_after,"
                       " low_bound, high_bound, red_value, ending, tries%1 FROM rounds"
                       " WHERE id BETWEEN ? AND ? ORDER BY id")
            .arg(version < 2   ? QStringLiteral(", guesses")
                 : version < 5 ? QString()
                               : QStringLiteral(", kind, level")),
        [&, game = games.end()](const Row& row) mutable {
            RoundRecord r;
            const qint64 gameId = row.integer(1);
            r.started = row.time(2, roundTimes);
            r.ended = row.time(3, roundTimes);
            // A game's rounds come one after the other: it is looked up once.
            if (game == games.end() || game->first != gameId)
                game = games.find(gameId);
            // A round whose game was lost keeps a game of its own number.
            r.gameToken =
                game != games.end() ? game->second.token : QStringLiteral("partie-%1").arg(gameId);
            r.gameStarted = game != games.end() ? game->second.started : r.started;
            if (game != games.end())
                r.pupil = game->second.pupil;
            r.scoreBefore = static_cast<int>(row.integer(4));
            r.scoreAfter = static_cast<int>(row.integer(5));
            r.lowBound = row.real(6);
            r.highBound = row.real(7);
            r.redValue = static_cast<float>(row.real(8));
            r.ending = endingOf(row.utf8(9));
            if (version >= 5) {
                r.kind = kindFromName(row.text(11));
                r.levels = levelsFromName(row.text(12));
            }
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
            byId[row.integer(0)] = rounds.size();
            rounds.push_back(std::move(r));
        });
    roundReader.read(first, last);
    if (damaged || roundReader.damaged())
        for (qint64 id = first; id <= last && id - first < maxLookups; ++id)
            if (!byId.count(id))
                roundReader.read(id, id);
    damaged = damaged || roundReader.damaged();
    if (counting) {
        const OutsideCounts counts = outside.get();
        for (const auto& [id, count] : counts.byRound)
            if (const auto found = byId.find(id); found != byId.end())
                rounds[found->second].counts->outside = count;
        damaged = damaged || counts.damaged;
        return rounds;
    }
    if (version < 2 || rounds.empty())
        return rounds;
    RangeReader guessReader(
        db,
        QStringLiteral("SELECT round_id, answer, verdict FROM guesses"
                       " WHERE round_id BETWEEN ? AND ?"
                       " ORDER BY round_id, position"),
        [&, found = byId.end()](const Row& row) mutable {
            // Guesses come round by round: the round is looked up once.
            const qint64 id = row.integer(0);
            if (found == byId.end() || found->first != id)
                found = byId.find(id);
            if (found != byId.end())
                rounds[found->second].guesses.push_back({row.answer(1), verdictOf(row.utf8(2))});
        });
    guessReader.read(first, last);
    if (damaged || guessReader.damaged())
        for (const auto& [id, index] : byId)
            if (rounds[index].guesses.empty())
                guessReader.read(id, id);
    damaged = damaged || guessReader.damaged();
    return rounds;
}

} // namespace quiltaro
