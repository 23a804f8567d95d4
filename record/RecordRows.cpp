#include "RecordReading.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <functional>
#include <map>

// The rows of a record, read table by table, and around the pages of a
// damaged file that cannot be read.

namespace quiltaro {

namespace {

// Reads the rows of one table whose first column lies in a range, ordered by
// it. A range that fails is read again past the last row it gave, or in two
// halves, until what fails is one damaged page's worth of keys.
class RangeReader {
public:
    RangeReader(const QSqlDatabase& db, QString sql, std::function<void(const QSqlQuery&)> take)
        : db_(db), sql_(std::move(sql)), take_(std::move(take)) {}

    void read(qint64 first, qint64 last) {
        while (first <= last) {
            if (failures_ > maxFailures) {
                damaged_ = true;
                return;
            }
            QSqlQuery q(db_);
            q.setForwardOnly(true);
            q.prepare(sql_);
            q.addBindValue(first);
            q.addBindValue(last);
            qint64 reached = first - 1;
            if (q.exec())
                while (q.next()) {
                    reached = q.value(0).toLongLong();
                    take_(q);
                }
            if (!q.lastError().isValid())
                return;
            damaged_ = true;
            ++failures_;
            if (reached >= first) {
                first = reached + 1;
                continue;
            }
            if (first == last)
                return; // this key's page is lost
            const qint64 middle = first + (last - first) / 2;
            read(first, middle);
            first = middle + 1;
        }
    }
    bool damaged() const { return damaged_; }

private:
    // A damaged root or interior page makes every range fail: give up on the
    // table rather than halve forever.
    static constexpr int maxFailures = 100000;
    const QSqlDatabase& db_;
    QString sql_;
    std::function<void(const QSqlQuery&)> take_;
    bool damaged_ = false;
    int failures_ = 0;
};

// The smallest and largest key of a table, read from the edges of its tree:
// one query each, since together they would scan the whole table.
bool keyRange(const QSqlDatabase& db, const QString& table, qint64& first, qint64& last) {
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT MIN(id) FROM ") + table) || !q.next())
        return false;
    if (q.value(0).isNull()) {
        first = 1, last = 0; // empty
        return true;
    }
    first = q.value(0).toLongLong();
    q.finish();
    if (!q.exec(QStringLiteral("SELECT MAX(id) FROM ") + table) || !q.next())
        return false;
    last = q.value(0).toLongLong();
    return true;
}

QDateTime fromMs(const QVariant& v) {
    return QDateTime::fromMSecsSinceEpoch(v.toLongLong());
}

} // namespace

bool wholeFile(const QSqlDatabase& db) {
    QSqlQuery q(db);
    return q.exec(QStringLiteral("PRAGMA quick_check(1)")) && q.next() &&
           q.value(0).toString() == QLatin1String("ok");
}

std::vector<RoundRecord> readRounds(const QSqlDatabase& db, int version, bool& damaged) {
    std::vector<RoundRecord> rounds;
    struct Game {
        QString token;
        QDateTime started;
        QString pupil;
    };
    std::map<qint64, Game> games;
    // Keys looked for one by one in a damaged table, at most.
    constexpr qint64 maxLookups = 4'000'000;
    qint64 first = 0, last = 0;
    if (keyRange(db, QStringLiteral("games"), first, last)) {
        RangeReader reader(db,
                           QStringLiteral("SELECT id, token, started_at%1 FROM games"
                                          " WHERE id BETWEEN ? AND ? ORDER BY id")
                               .arg(version < 3 ? QString() : QStringLiteral(", pupil")),
                           [&](const QSqlQuery& q) {
                               games[q.value(0).toLongLong()] = {
                                   q.value(1).toString(), fromMs(q.value(2)),
                                   version < 3 ? QString() : q.value(3).toString()};
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
    RangeReader roundReader(
        db,
        QStringLiteral("SELECT id, game_id, started_at, ended_at, score_before, score_after,"
                       " low_bound, high_bound, red_value, ending%1 FROM rounds"
                       " WHERE id BETWEEN ? AND ? ORDER BY id")
            .arg(version < 2 ? QStringLiteral(", guesses") : QString()),
        [&](const QSqlQuery& q) {
            RoundRecord r;
            const qint64 gameId = q.value(1).toLongLong();
            r.started = fromMs(q.value(2));
            r.ended = fromMs(q.value(3));
            const auto game = games.find(gameId);
            // A round whose game was lost keeps a game of its own number.
            r.gameToken =
                game != games.end() ? game->second.token : QStringLiteral("partie-%1").arg(gameId);
            r.gameStarted = game != games.end() ? game->second.started : r.started;
            if (game != games.end())
                r.pupil = game->second.pupil;
            r.scoreBefore = q.value(4).toInt();
            r.scoreAfter = q.value(5).toInt();
            r.lowBound = q.value(6).toDouble();
            r.highBound = q.value(7).toDouble();
            r.redValue = static_cast<float>(q.value(8).toDouble());
            r.ending = endingFromName(q.value(9).toString()).value_or(Ending::ProgramEnd);
            if (version < 2) {
                // The first schema kept the answers only: the rules give the verdicts.
                std::vector<std::string> answers;
                for (const QString& a :
                     q.value(10).toString().split(QLatin1Char(' '), Qt::SkipEmptyParts))
                    answers.push_back(a.toStdString());
                const auto verdicts = replayVerdicts(r.lowBound, r.highBound, r.redValue, answers);
                for (size_t i = 0; i < answers.size(); ++i)
                    r.guesses.push_back({answers[i], verdicts[i]});
            }
            byId[q.value(0).toLongLong()] = rounds.size();
            rounds.push_back(std::move(r));
        });
    roundReader.read(first, last);
    if (damaged || roundReader.damaged())
        for (qint64 id = first; id <= last && id - first < maxLookups; ++id)
            if (!byId.count(id))
                roundReader.read(id, id);
    damaged = damaged || roundReader.damaged();
    if (version < 2 || rounds.empty())
        return rounds;
    RangeReader guessReader(
        db,
        QStringLiteral("SELECT round_id, answer, verdict FROM guesses"
                       " WHERE round_id BETWEEN ? AND ?"
                       " ORDER BY round_id, position"),
        [&](const QSqlQuery& q) {
            const auto found = byId.find(q.value(0).toLongLong());
            if (found != byId.end())
                rounds[found->second].guesses.push_back(
                    {q.value(1).toString().toStdString(),
                     verdictFromName(q.value(2).toString()).value_or(Verdict::Outside)});
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
