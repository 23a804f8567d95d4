#include "RecordCounting.h"

#include "LocalTimes.h"
#include "RangeReader.h"
#include "RecordReading.h"
#include "Salvage.h"
#include "SqliteConnection.h"
#include "SqliteErrors.h"
#include "Worker.h"

#include <QFileInfo>
#include <QSqlQuery>
#include <QVariant>

#include <map>
#include <tuple>
#include <utility>

#include <sys/stat.h>

// SQLite could group the rounds itself (GROUP BY day, level and levels), but
// its sorter costs more than the reading: some 10 ms a pupil's school year
// of 5,000 rounds against 2 ms for the scan below, and the outside answers
// another 4 ms joined in. The rounds are read as numbers, in the order of
// their keys, and grouped by the caller.
namespace quiltaro {

namespace {

// One statement's rows, straight from SQLite; false when it did not end
// (damage), which sends the record to the reading round by round.
template <typename Take> bool eachRow(sqlite3* handle, const char* sql, Take take) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(handle, sql, -1, &statement, nullptr) != SQLITE_OK)
        return false;
    const Row row(statement);
    int status = SQLITE_ROW;
    bool going = true;
    while (going && (status = sqlite3_step(statement)) == SQLITE_ROW)
        going = take(row);
    sqlite3_finalize(statement);
    return going && status == SQLITE_DONE;
}

// What tells that a game wrote meanwhile: the file and its log, to the
// nanosecond, and their sizes.
std::tuple<qint64, qint64, qint64, qint64> stampOf(const QString& path) {
    std::tuple<qint64, qint64, qint64, qint64> stamp{};
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0)
        stamp = {qint64(st.st_mtim.tv_nsec) + qint64(st.st_mtim.tv_sec) * 1000000000,
                 qint64(st.st_size), 0, 0};
    if (::stat(QFile::encodeName(path + QStringLiteral("-wal")).constData(), &st) == 0) {
        std::get<2>(stamp) = qint64(st.st_mtim.tv_nsec) + qint64(st.st_mtim.tv_sec) * 1000000000;
        std::get<3>(stamp) = qint64(st.st_size);
    }
    return stamp;
}

struct Game {
    QString token;
    size_t pupil = 0; // in CountedRecord::pupils
};

// The names a round's row holds, each made once: a record holds a handful,
// and mostly the name of the row before.
template <typename Value> class Names {
public:
    explicit Names(Value (*make)(const QString&)) : make_(make) {}
    const Value& of(QLatin1StringView name) {
        if (last_ && QLatin1StringView(last_->first) == name)
            return last_->second;
        const QByteArray key(name.data(), name.size());
        auto it = made_.find(key);
        if (it == made_.end())
            it = made_.emplace(key, make_(QString::fromUtf8(key))).first;
        last_ = &*it;
        return it->second;
    }

private:
    Value (*make_)(const QString&);
    std::map<QByteArray, Value> made_;
    const std::pair<const QByteArray, Value>* last_ = nullptr;
};

// The level of a kind's name, or -1 where the score gives it.
int levelOfKind(const QString& kind) {
    const std::optional<NumberKind> k = kindFromName(kind);
    return k ? int(*k) : -1;
}

QString levelsNamed(const QString& levels) {
    const std::optional<LevelRange> range = levelsFromName(levels);
    return range ? QString::fromStdString(levelName(*range)) : QString();
}

bool readGames(sqlite3* handle, std::map<qint64, Game>& games, CountedRecord& record) {
    std::map<std::pair<QString, QString>, size_t> pupils;
    return eachRow(handle, "SELECT id, token, pupil, class_name FROM games", [&](const Row& row) {
        const auto [at, fresh] = pupils.emplace(std::pair(row.text(2), row.text(3)), pupils.size());
        if (fresh)
            record.pupils.push_back({at->first.first, at->first.second, {}});
        const QString token = row.text(1);
        games[row.integer(0)] = {token, at->second};
        record.games.push_back(token);
        return true;
    });
}

// How many answers of each round lay outside the interval, through their own
// index, by round key.
bool readOutside(sqlite3* handle, std::vector<std::pair<qint64, int>>& outside) {
    const QByteArray sql = QStringLiteral("SELECT round_id, COUNT(*) FROM guesses WHERE verdict ="
                                          " '%1' GROUP BY round_id ORDER BY round_id")
                               .arg(QLatin1String(verdictName(Verdict::Outside)))
                               .toUtf8();
    return eachRow(handle, sql.constData(), [&](const Row& row) {
        outside.emplace_back(row.integer(0), int(row.integer(1)));
        return true;
    });
}

// Whether a newer version wrote verdicts this one does not know: then the
// reading round by round tells the teacher. Without their index, no reading
// finds them.
bool holdsUnknownVerdicts(QSqlDatabase& db) {
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = '%1'")
                    .arg(QLatin1String(unknownVerdictsIndex))) ||
        !q.next())
        return false;
    q.finish();
    return !q.exec(QStringLiteral("SELECT 1 FROM guesses WHERE verdict NOT IN (%1) LIMIT 1")
                       .arg(knownVerdictsSql())) ||
           q.next();
}

// Where each round went, by key: its pupil in the record, and its place.
using Placed = std::vector<std::tuple<qint64, size_t, size_t>>;

bool readRounds(sqlite3* handle, const std::map<qint64, Game>& games, CountedRecord& record,
                Placed& placed) {
    Names<int> kinds(levelOfKind);
    Names<QString> levels(levelsNamed);
    LocalTimes times;
    auto game = games.end();
    return eachRow(handle,
                   "SELECT id, game_id, started_at, ended_at, score_before, score_after, tries,"
                   " ending, kind, level FROM rounds ORDER BY id",
                   [&](const Row& row) {
                       const qint64 id = row.integer(0);
                       if (game == games.end() || game->first != row.integer(1))
                           game = games.find(row.integer(1));
                       const std::optional<Ending> ending = endingFromName(row.name(7));
                       if (game == games.end() || !ending)
                           return false; // a lost game, a newer version's ending
                       CountedRound r;
                       r.started = row.integer(2);
                       r.ended = row.integer(3);
                       r.day = times.dayAt(r.started);
                       r.scoreBefore = int(row.integer(4));
                       r.scoreAfter = int(row.integer(5));
                       r.tries = int(row.integer(6));
                       const int level = kinds.of(row.name(8));
                       r.level = level >= 0 ? level : int(kindForScore(r.scoreBefore));
                       r.won = *ending == Ending::Won;
                       r.gaveUp = *ending == Ending::GaveUp;
                       r.game = game->second.token;
                       r.levels = levels.of(row.name(9));
                       std::vector<CountedRound>& to = record.pupils[game->second.pupil].rounds;
                       placed.emplace_back(id, game->second.pupil, to.size());
                       to.push_back(std::move(r));
                       return true;
                   });
}

// Both lists go by key.
void addOutside(const std::vector<std::pair<qint64, int>>& outside, const Placed& placed,
                CountedRecord& record) {
    auto round = placed.begin();
    for (const auto& [id, count] : outside) {
        while (round != placed.end() && std::get<0>(*round) < id)
            ++round;
        if (round != placed.end() && std::get<0>(*round) == id)
            record.pupils[std::get<1>(*round)].rounds[std::get<2>(*round)].outside = count;
    }
}

// A record of many rounds has its answers outside counted on a connection
// and a core of their own, while its rounds are read: a pupil's 100,000
// rounds, on its own, is read in the time of the longer of the two.
constexpr qint64 roundsCountedApart = 20000;

std::optional<CountedRecord> readOpened(QSqlDatabase& db, const QString& file, bool checkWhole) {
    sqlite3* handle = sqliteHandle(db);
    QSqlQuery version(db);
    if (!handle || !version.exec(QStringLiteral("PRAGMA user_version")) || !version.next() ||
        version.value(0).toInt() != RecordStore::schemaVersion)
        return std::nullopt;
    version.finish();
    qint64 first = 0, last = 0;
    if (holdsUnknownVerdicts(db) || (checkWhole && !wholeFile(db)) ||
        !keyRange(db, QStringLiteral("rounds"), first, last))
        return std::nullopt;
    std::vector<std::pair<qint64, int>> outside;
    bool outsideRead = false;
    Worker apart;
    const bool countedApart = last - first >= roundsCountedApart;
    if (countedApart)
        apart.start([&](std::stop_token) {
            outsideRead =
                withSqliteConnection(QStringLiteral("counting-outside"), [&](QSqlDatabase& other) {
                    return openReadOnly(other, file) && readOutside(sqliteHandle(other), outside);
                });
        });
    CountedRecord record;
    std::map<qint64, Game> games;
    Placed placed;
    const bool read = readGames(handle, games, record) && readRounds(handle, games, record, placed);
    if (countedApart)
        apart.join();
    else
        outsideRead = readOutside(handle, outside);
    if (!read || !outsideRead)
        return std::nullopt;
    addOutside(outside, placed, record);
    std::erase_if(record.pupils, [](const CountedRecord::Pupil& p) { return p.rounds.empty(); });
    return record;
}

} // namespace

std::optional<CountedRecord> readCounted(const QString& path, bool checkWhole) {
    const QFileInfo file(path);
    if (!file.isFile() || !file.isReadable() || file.size() == 0 || !keptAsideFiles(path).isEmpty())
        return std::nullopt;
    const auto before = stampOf(path);
    std::optional<CountedRecord> record;
    {
        const ReadableRecord readable(path);
        if (QFileInfo::exists(readable.path() + QStringLiteral("-wal")) &&
            (!readable.logSteady() || logDamaged(readable.path())))
            return std::nullopt;
        record = withSqliteConnection(QStringLiteral("counting"), [&](QSqlDatabase& db) {
            return openReadOnly(db, readable.path()) ? readOpened(db, readable.path(), checkWhole)
                                                     : std::nullopt;
        });
    }
    // A game wrote meanwhile: the reading round by round reads it again.
    if (stampOf(path) != before)
        return std::nullopt;
    return record;
}

} // namespace quiltaro
