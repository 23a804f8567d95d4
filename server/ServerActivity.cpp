#include "ServerActivity.h"

#include "ServerConnection.h"

#include <QSqlQuery>
#include <QVariant>

namespace quiltaro {

namespace {

// The arrival as milliseconds since the epoch, as the rounds' times are read.
const char* const lastArrival = "round(date_part('epoch', max(r.received)) * 1000)::bigint";

QDateTime arrivedAt(const QVariant& ms) {
    return ms.isNull() ? QDateTime() : QDateTime::fromMSecsSinceEpoch(ms.toLongLong());
}

bool readRows(ServerConnection& server, const QString& sql, const QString& className,
              const std::function<void(const QSqlQuery&)>& row) {
    QSqlQuery q(server.database());
    q.setForwardOnly(true);
    if (!server.prepare(q, sql))
        return false;
    q.addBindValue(className);
    q.addBindValue(className);
    if (!server.exec(q))
        return false;
    while (q.next())
        row(q);
    return true;
}

} // namespace

bool readSendingActivity(ServerConnection& server, const QString& className,
                         SendingActivity& into) {
    if (!server.open())
        return false;
    const ServerConnection::Watch watch(server);
    std::vector<SenderRow> senders;
    const QString computers = QStringLiteral(
        "SELECT c.role, c.class_name, %1, count(r.id) FROM (SELECT role, class_name FROM"
        " quiltaro.computers UNION SELECT sent_by, class_name FROM quiltaro.rounds) c"
        " LEFT JOIN quiltaro.rounds r ON r.sent_by = c.role AND r.class_name = c.class_name"
        " WHERE ? = '' OR c.class_name IN (?, '*') GROUP BY c.role, c.class_name"
        " ORDER BY c.role, c.class_name");
    if (!readRows(server, computers.arg(QLatin1String(lastArrival)), className,
                  [&](const QSqlQuery& q) {
                      senders.push_back({q.value(0).toString(), q.value(1).toString(),
                                         arrivedAt(q.value(2)), q.value(3).toLongLong()});
                  }))
        return false;
    std::vector<PupilSenderRow> pupils;
    const QString byPupil = QStringLiteral(
        "SELECT r.class_name, r.pupil, r.sent_by, %1, count(*) FROM quiltaro.rounds r"
        " WHERE ? = '' OR r.class_name = ? GROUP BY r.class_name, r.pupil, r.sent_by");
    if (!readRows(server, byPupil.arg(QLatin1String(lastArrival)), className,
                  [&](const QSqlQuery& q) {
                      pupils.push_back({q.value(0).toString(), q.value(1).toString(),
                                        q.value(2).toString(), arrivedAt(q.value(3)),
                                        q.value(4).toLongLong()});
                  }))
        return false;
    into = activityOf(senders, pupils);
    return true;
}

SendingActivityReader serverSendingActivity(const ServerSettings& settings) {
    return [settings](SendingActivity& into, QString* problem, std::stop_token stop) {
        ServerConnection server(settings.conninfo, {3, 10000, 15000});
        const std::stop_callback cut(stop, [&server] { server.interrupt(); });
        if (readSendingActivity(server, settings.className, into))
            return true;
        if (problem)
            *problem = server.problem();
        return false;
    };
}

} // namespace quiltaro
