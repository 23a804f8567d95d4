#include "ServerRounds.h"

#include "ServerConnection.h"
#include "StoredRound.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <limits>
#include <optional>
#include <set>

namespace quiltaro {

namespace {

// Namespace of the identities, so that they never meet UUIDs made otherwise.
const QUuid roundNamespace(QStringLiteral("6f1c0b4e-8d2a-4c43-9a55-2f7e1d3c9b10"));

// Milliseconds since the epoch, as the server's times are read and written.
QVariant ms(const QDateTime& t) {
    return QVariant(static_cast<double>(t.toMSecsSinceEpoch()));
}

// What a server's text column takes: no NUL character, a bounded length.
// An empty text is a text: never NULL.
QString clean(const QString& text, int maxLength) {
    QString t = text.left(maxLength);
    t.remove(QChar(0));
    return t.isNull() ? QString(QLatin1String("")) : t;
}

const char* const roundColumns =
    "game_token, pupil,"
    " round(date_part('epoch', game_started) * 1000)::bigint,"
    " round(date_part('epoch', started) * 1000)::bigint,"
    " round(date_part('epoch', ended) * 1000)::bigint,"
    " score_before, score_after, low_bound, high_bound, red_value, ending,"
    " answers::text, verdicts::text, arrival, kind, level, class_name";

// The margin read again behind the highest arrival seen: rounds committed
// late, after rounds that arrived after them.
constexpr qint64 lateArrivals = 5000;

} // namespace

QUuid roundIdentity(const RoundRecord& r) {
    return QUuid::createUuidV5(roundNamespace, QStringLiteral("%1/%2/%3")
                                                   .arg(r.gameToken)
                                                   .arg(r.started.toMSecsSinceEpoch())
                                                   .arg(r.ended.toMSecsSinceEpoch()));
}

QString textArrayLiteral(const QStringList& items) {
    QStringList quoted;
    for (QString item : items) {
        item.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
            .replace(QLatin1Char('"'), QLatin1String("\\\""));
        quoted << QLatin1Char('"') + item + QLatin1Char('"');
    }
    return QLatin1Char('{') + quoted.join(QLatin1Char(',')) + QLatin1Char('}');
}

QStringList parseTextArray(const QString& literal) {
    QStringList items;
    if (literal.size() < 2 || literal.front() != QLatin1Char('{'))
        return items;
    QString item;
    bool inQuotes = false, quotedItem = false, any = false;
    for (qsizetype i = 1; i < literal.size(); ++i) {
        const QChar c = literal[i];
        if (inQuotes) {
            if (c == QLatin1Char('\\') && i + 1 < literal.size())
                item += literal[++i];
            else if (c == QLatin1Char('"'))
                inQuotes = false;
            else
                item += c;
        } else if (c == QLatin1Char('"')) {
            inQuotes = quotedItem = any = true;
        } else if (c == QLatin1Char(',') || c == QLatin1Char('}')) {
            if (any || c == QLatin1Char(','))
                items << (quotedItem || item != QLatin1String("NULL") ? item : QString());
            item.clear();
            quotedItem = any = false;
            if (c == QLatin1Char('}'))
                break;
        } else {
            item += c;
            any = true;
        }
    }
    return items;
}

bool sendRound(ServerConnection& server, const RoundRecord& r, const QString& computersClass) {
    // A pupil is a first name within a class: the round's own class goes,
    // the computer's only for rounds played before classes had names.
    const QString& className = r.className.isEmpty() ? computersClass : r.className;
    if (!server.open())
        return false;
    const ServerConnection::Watch watch(server);
    QSqlQuery q(server.database());
    if (!server.prepare(
            q,
            QStringLiteral(
                "INSERT INTO quiltaro.rounds (id, class_name, pupil, game_token, game_started, "
                "started,"
                " ended, score_before, score_after, low_bound, high_bound, red_value, ending, "
                "answers,"
                " verdicts, kind, level) VALUES (?::uuid, ?, ?, ?, to_timestamp(?::float8 / 1000),"
                " to_timestamp(?::float8 / 1000), to_timestamp(?::float8 / 1000), ?, ?, ?::float8,"
                " ?::float8, ?::float4, ?, ?::text[], ?::text[], ?, ?) ON CONFLICT DO NOTHING")))
        return false;
    QStringList answers, verdicts;
    for (size_t i = 0; i < r.guesses.size(); ++i) {
        answers << clean(QString::fromStdString(r.guesses[i].answer), 20);
        verdicts << clean(verdictWord(r, i), 20);
    }
    for (const QVariant& v :
         {QVariant(roundIdentity(r).toString(QUuid::WithoutBraces)),
          QVariant(clean(className, 200)), QVariant(clean(r.pupil, 200)),
          QVariant(clean(r.gameToken, 100)), ms(r.gameStarted), ms(r.started), ms(r.ended),
          QVariant(std::clamp(r.scoreBefore, -32768, 32767)),
          QVariant(std::clamp(r.scoreAfter, -32768, 32767)), QVariant(r.lowBound),
          QVariant(r.highBound), QVariant(static_cast<double>(r.redValue)),
          QVariant(clean(endingWord(r), 20)), QVariant(textArrayLiteral(answers)),
          QVariant(textArrayLiteral(verdicts)), kindValue(r.kind), levelsValue(r.levels)})
        q.addBindValue(v);
    return server.exec(q);
}

bool refusedForGood(const ServerConnection& server) {
    // Data exceptions and broken constraints: the round itself is at fault.
    const QString state = server.sqlState();
    return state.startsWith(QLatin1String("22")) || state.startsWith(QLatin1String("23"));
}

namespace {

// One row of roundColumns as a round. Games share their token and pupil:
// one copy of each in memory, kept in `last`.
RoundRecord roundOfRow(const QSqlQuery& q, RoundReading& reading, StoredRound& last) {
    StoredRound stored;
    const QString token = q.value(0).toString(), pupil = q.value(1).toString();
    stored.gameToken = token == last.gameToken ? last.gameToken : (last.gameToken = token);
    stored.pupil = pupil == last.pupil ? last.pupil : (last.pupil = pupil);
    stored.gameStarted = q.value(2).toLongLong();
    stored.started = q.value(3).toLongLong();
    stored.ended = q.value(4).toLongLong();
    stored.scoreBefore = q.value(5).toInt();
    stored.scoreAfter = q.value(6).toInt();
    stored.lowBound = q.value(7).toDouble();
    stored.highBound = q.value(8).toDouble();
    stored.redValue = q.value(9).toDouble();
    const QString ending = q.value(10).toString();
    stored.ending = ending;
    stored.kind = q.value(14).toString();
    stored.levels = q.value(15).toString();
    const QString className = q.value(16).toString();
    stored.className = className == last.className ? last.className : (last.className = className);
    RoundRecord r = reading.roundOf(stored);
    const QStringList answers = parseTextArray(q.value(11).toString());
    const QStringList verdicts = parseTextArray(q.value(12).toString());
    r.guesses.reserve(answers.size());
    for (qsizetype i = 0; i < answers.size(); ++i)
        RoundReading::addGuess(r, answers[i].toStdString(), verdicts.value(i));
    return r;
}

bool readRounds(ServerConnection& server, const QString& className, qint64 after,
                ServerRounds& into) {
    if (!server.open())
        return false;
    const ServerConnection::Watch watch(server);
    QSqlQuery q(server.database());
    q.setForwardOnly(true);
    if (!server.prepare(
            q, QStringLiteral("SELECT %1 FROM quiltaro.rounds WHERE arrival > ?%2 ORDER BY arrival")
                   .arg(QLatin1String(roundColumns),
                        className.isEmpty() ? QString() : QStringLiteral(" AND class_name = ?"))))
        return false;
    q.addBindValue(after);
    if (!className.isEmpty())
        q.addBindValue(className);
    if (!server.exec(q))
        return false;
    RoundReading reading;
    StoredRound last;
    const qint64 readBefore = into.arrival;
    while (q.next()) {
        // Only a round of the margin read again can have been read before.
        const qint64 arrival = q.value(13).toLongLong();
        if (arrival <= readBefore && !into.recent.insert(arrival).second)
            continue;
        if (arrival > readBefore)
            into.recent.insert(into.recent.end(), arrival);
        // The rows come in order of arrival: those far behind are done with.
        while (*into.recent.begin() <= arrival - lateArrivals)
            into.recent.erase(into.recent.begin());
        into.arrival = std::max(into.arrival, arrival);
        into.rounds.push_back(roundOfRow(q, reading, last));
    }
    if (q.lastError().isValid())
        return server.failedWith(q.lastError());
    while (!into.recent.empty() && *into.recent.begin() <= into.arrival - lateArrivals)
        into.recent.erase(into.recent.begin());
    return true;
}

bool startedBefore(const RoundRecord& a, const RoundRecord& b) {
    return a.started < b.started;
}

void oldestFirst(std::vector<RoundRecord>::iterator first,
                 std::vector<RoundRecord>::iterator last) {
    // Rounds mostly arrive in the order they were played.
    if (!std::is_sorted(first, last, startedBefore))
        std::stable_sort(first, last, startedBefore);
}

} // namespace

ServerRounds readServerRounds(ServerConnection& server, const QString& className) {
    ServerRounds read;
    read.ok = readNewRounds(server, className, read);
    if (!read.ok)
        read = ServerRounds{};
    return read;
}

bool readPupilRounds(ServerConnection& server, const QString& className, const QStringList& pupils,
                     bool unnamed, std::vector<RoundRecord>& into) {
    if (!server.open())
        return false;
    const ServerConnection::Watch watch(server);
    QSqlQuery q(server.database());
    q.setForwardOnly(true);
    // The names alone find a pupil's rounds in the index of each pupil's
    // rounds; the unnamed are looked for only when asked.
    if (!server.prepare(
            q, QStringLiteral("SELECT %1 FROM quiltaro.rounds WHERE (pupil = ANY(?::text[])%2)%3"
                              " ORDER BY started, arrival")
                   .arg(QLatin1String(roundColumns),
                        unnamed ? QStringLiteral(" OR btrim(pupil) = ''") : QString(),
                        className.isEmpty() ? QString() : QStringLiteral(" AND class_name = ?"))))
        return false;
    q.addBindValue(textArrayLiteral(pupils));
    if (!className.isEmpty())
        q.addBindValue(className);
    if (!server.exec(q))
        return false;
    RoundReading reading;
    StoredRound last;
    while (q.next())
        into.push_back(roundOfRow(q, reading, last));
    return !q.lastError().isValid() || server.failedWith(q.lastError());
}

bool readNewRounds(ServerConnection& server, const QString& className, ServerRounds& since) {
    const size_t before = since.rounds.size();
    const bool read =
        readRounds(server, className, std::max<qint64>(0, since.arrival - lateArrivals), since);
    // The new ones in order, then merged with those read before.
    const auto older = since.rounds.begin() + static_cast<std::ptrdiff_t>(before);
    oldestFirst(older, since.rounds.end());
    std::inplace_merge(since.rounds.begin(), older, since.rounds.end(), startedBefore);
    return read;
}

} // namespace quiltaro
