#include "ServerCounts.h"

#include "CountedFigures.h"
#include "DayGroups.h"
#include "ServerConnection.h"
#include "ServerRounds.h"
#include "ServerTally.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTimeZone>
#include <QVariant>

#include <optional>

namespace quiltaro {

namespace {

const QString unnamedPupil = QStringLiteral("Sans nom");

// The session's days are this computer's: its zone, if the server knows it
// and counts the same offsets (a summer's day and a winter's).
bool sameZone(ServerConnection& server, QSqlQuery& q) {
    const QString zone = QString::fromUtf8(QTimeZone::systemTimeZoneId());
    if (zone.isEmpty() ||
        !server.prepare(q, QStringLiteral("SELECT set_config('TimeZone', ?, false),"
                                          " to_char(to_timestamp(1750000000),"
                                          " 'YYYY-MM-DD HH24:MI'),"
                                          " to_char(to_timestamp(1765000000),"
                                          " 'YYYY-MM-DD HH24:MI')")))
        return false;
    q.addBindValue(zone);
    if (!server.exec(q) || !q.next())
        return false; // a zone the server does not know is refused as a wrong value (22023)
    const QString format = QStringLiteral("yyyy-MM-dd HH:mm");
    return q.value(1).toString() == QDateTime::fromSecsSinceEpoch(1750000000).toString(format) &&
           q.value(2).toString() == QDateTime::fromSecsSinceEpoch(1765000000).toString(format);
}

Counting countClass(ServerConnection& server, const QString& className, CountsByPupil& counts) {
    if (!server.open())
        return Counting::Failed;
    const ServerConnection::Watch watch(server);
    QSqlQuery q(server.database());
    if (!sameZone(server, q))
        return server.isOpen() && server.sqlState() != QLatin1String("57014")
                   ? Counting::NotCountable
                   : Counting::Failed;
    return tallyOnServer(server, className, counts);
}

bool holdsSeveralClasses(ServerConnection& server, bool& several) {
    if (!server.open())
        return false;
    const ServerConnection::Watch watch(server);
    QSqlQuery q(server.database());
    // The ends of the classes' index, rather than every class.
    if (!runForClass(server, q,
                     QStringLiteral("SELECT min(class_name) IS DISTINCT FROM max(class_name)"
                                    " FROM quiltaro.rounds"),
                     {}) ||
        !q.next())
        return false;
    several = q.value(0).toBool();
    return true;
}

// The counts under the names the window shows; nothing when two would
// become one.
std::optional<std::vector<PupilRounds>> byShownName(CountsByPupil counts,
                                                    const QString& className) {
    std::map<QString, PupilCount> shown;
    for (auto& [key, count] : counts) {
        putInOrder(count);
        if (!shown.emplace(key.trimmed().isEmpty() ? unnamedPupil : key, std::move(count)).second)
            return std::nullopt;
    }
    std::vector<PupilRounds> pupils;
    for (auto& [name, count] : shown)
        pupils.push_back(
            {name, {}, className, std::make_shared<const PupilCount>(std::move(count))});
    sortByName(pupils);
    return pupils;
}

RoundsOfPupils readingFrom(const ServerSettings& settings) {
    return [settings](const QStringList& names, Detail, std::stop_token stop) {
        ServerConnection server(settings.conninfo, {3, 60000, 65000});
        // A window that no longer waits cuts the reading, however long the
        // server would make it wait.
        const std::stop_callback cut(stop, [&server] { server.interrupt(); });
        std::vector<RoundRecord> rounds;
        std::map<QString, std::vector<RoundRecord>> byPupil;
        if (!readPupilRounds(server, settings.className, names, names.contains(unnamedPupil),
                             rounds))
            return byPupil;
        for (PupilRounds& p : classOfRounds(std::move(rounds)).pupils)
            byPupil[p.name] = std::move(p.rounds);
        return byPupil;
    };
}

} // namespace

bool readClassStamp(ServerConnection& server, const QString& className, ClassStamp& stamp) {
    if (!server.open())
        return false;
    const ServerConnection::Watch watch(server);
    QSqlQuery q(server.database());
    if (!runForClass(
            server, q,
            QStringLiteral("SELECT count(*), coalesce(max(arrival), 0) FROM quiltaro.rounds%1")
                .arg(className.isEmpty() ? QString() : QStringLiteral(" WHERE class_name = ?")),
            className) ||
        !q.next())
        return false;
    stamp = {q.value(0).toLongLong(), q.value(1).toLongLong()};
    return true;
}

bool readServerClassCounts(ServerConnection& server, const ServerSettings& settings,
                           ClassRecord& data) {
    CountsByPupil counts;
    // Counted by first name, the rounds of several classes would make one
    // pupil of two Léa: without a class, those are read and told apart.
    bool several = false;
    if (settings.className.isEmpty() && !holdsSeveralClasses(server, several))
        return false;
    const Counting counting =
        several ? Counting::NotCountable : countClass(server, settings.className, counts);
    if (counting == Counting::Failed)
        return false;
    std::optional<std::vector<PupilRounds>> pupils;
    if (counting == Counting::Done)
        pupils = byShownName(std::move(counts), settings.className);
    if (!pupils) {
        const ServerRounds read = readServerRounds(server, settings.className);
        if (!read.ok)
            return false;
        data = classOfRounds(read.rounds);
        return true;
    }
    data = ClassRecord{};
    data.pupils = std::move(*pupils);
    data.readRounds = readingFrom(settings);
    return true;
}

} // namespace quiltaro
