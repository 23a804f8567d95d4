#include "ServerForget.h"

#include "ServerConnection.h"
#include "ServerRounds.h"

#include <QSqlQuery>
#include <QTextStream>
#include <QVariant>

namespace quiltaro {

namespace {

// One DELETE under `where`, bound to `values`, on the class of the settings
// if it names one; -1 when it failed, with the connection's problem.
qint64 deleteRounds(ServerConnection& server, const ServerSettings& settings, QString where,
                    QVariantList values) {
    if (!settings.className.isEmpty()) {
        where += QStringLiteral(" AND class_name = ?");
        values << settings.className;
    }
    if (!server.open())
        return -1;
    const ServerConnection::Watch watch(server);
    QSqlQuery q(server.database());
    if (!server.prepare(q, QStringLiteral("DELETE FROM quiltaro.rounds WHERE ") + where))
        return -1;
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!server.exec(q))
        return -1;
    return q.numRowsAffected();
}

// What is told once the server answered: how many went, or why none did and
// where the rest is. `what`: whose rounds, `command`: the command that
// erases them from the teacher's login.
bool tell(ServerConnection& server, const ServerSettings& settings, qint64 erased,
          const QString& what, const QString& command, QTextStream& out) {
    const QString where = maskedConnInfo(settings.conninfo);
    if (erased >= 0) {
        out << QStringLiteral("Sur le serveur de la classe (%1) : %2 effacée(s).")
                   .arg(where, erased == 0 ? QStringLiteral("aucune manche n'était à effacer, "
                                                            "aucune manche")
                                           : QStringLiteral("%1 manche(s)").arg(erased))
            << Qt::endl;
        return true;
    }
    if (server.sqlState() == QLatin1String("42501"))
        out << QStringLiteral("%1 restent sur le serveur de la classe (%2) : le rôle de ce poste "
                              "n'a pas le droit de les effacer. Pour les effacer, lancez %3 "
                              "depuis le compte de l'enseignant (dont le rôle est membre de "
                              "quiltaro_enseignant).")
                   .arg(what, where, command)
            << Qt::endl;
    else
        out << QStringLiteral("%1 n'ont pas pu être effacées sur le serveur de la classe (%2) : "
                              "%3%4. Relancez %5 quand le serveur répondra.")
                   .arg(what, where, server.problem(),
                        server.detail().isEmpty() ? QString()
                                                  : QStringLiteral(" (%1)").arg(server.detail()),
                        command)
            << Qt::endl;
    return false;
}

} // namespace

namespace {

// The classes whose rounds of `pupil` the server holds, or nothing when it
// cannot say (the role may not read them: its DELETE would be refused too).
QStringList classesOnServer(ServerConnection& server, const QString& pupil) {
    QStringList classes;
    if (!server.open())
        return classes;
    const ServerConnection::Watch watch(server);
    QSqlQuery q(server.database());
    if (!server.prepare(q, QStringLiteral("SELECT DISTINCT class_name FROM quiltaro.rounds"
                                          " WHERE pupil = ? ORDER BY class_name")))
        return classes;
    q.addBindValue(pupil);
    if (server.exec(q))
        while (q.next())
            classes << q.value(0).toString();
    return classes;
}

} // namespace

bool forgetPupilOnServer(const ServerSettings& base, const QString& pupil, const QString& className,
                         QTextStream& out) {
    ServerSettings settings = base;
    if (!className.isEmpty())
        settings.className = className;
    ServerConnection server(settings.conninfo, {5, 60000, 65000});
    if (settings.className.isEmpty()) {
        if (const QStringList classes = classesOnServer(server, pupil); classes.size() > 1) {
            out << QStringLiteral("Sur le serveur de la classe (%1), « %2 » est un élève de "
                                  "plusieurs classes (%3) : rien n'y a été effacé. Relancez "
                                  "avec --class NOM pour dire laquelle.")
                       .arg(maskedConnInfo(settings.conninfo), pupil,
                            classes.join(QStringLiteral(", ")))
                << Qt::endl;
            return false;
        }
    }
    const qint64 erased = deleteRounds(server, settings, QStringLiteral("pupil = ?"), {pupil});
    return tell(server, settings, erased, QStringLiteral("Les manches de « %1 »").arg(pupil),
                QStringLiteral("quiltaro --forget %1").arg(pupil), out);
}

bool forgetGamesOnServer(const ServerSettings& settings, const QSet<QString>& gameTokens,
                         QTextStream& out) {
    ServerConnection server(settings.conninfo, {5, 60000, 65000});
    const QStringList tokens(gameTokens.begin(), gameTokens.end());
    // One array of text, bound as one value: as many games as there were.
    const qint64 erased =
        tokens.isEmpty()
            ? 0
            : deleteRounds(server, settings, QStringLiteral("game_token = ANY (?::text[])"),
                           {textArrayLiteral(tokens)});
    return tell(server, settings, erased, QStringLiteral("Les manches de ce compte"),
                QStringLiteral("quiltaro --forget"), out);
}

bool forgetBeforeOnServer(const ServerSettings& settings, const QDateTime& before,
                          QTextStream& out) {
    ServerConnection server(settings.conninfo, {5, 60000, 65000});
    const qint64 erased =
        deleteRounds(server, settings, QStringLiteral("started < to_timestamp(?::float8 / 1000)"),
                     {double(before.toMSecsSinceEpoch())});
    return tell(
        server, settings, erased,
        QStringLiteral("Les manches d'avant le %1")
            .arg(before.date().toString(QStringLiteral("dd/MM/yyyy"))),
        QStringLiteral("quiltaro --forget-before %1").arg(before.date().toString(Qt::ISODate)),
        out);
}

} // namespace quiltaro
