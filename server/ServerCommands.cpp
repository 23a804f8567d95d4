#include "ServerCommands.h"

#include "ClassRecord.h"
#include "Export.h"
#include "FrenchCsv.h"
#include "ServerConnection.h"
#include "ServerRounds.h"
#include "ServerSchema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTextStream>
#include <QVariant>

namespace quiltaro {

namespace {

QString failure(const ServerConnection& server) {
    return server.detail().isEmpty()
               ? server.problem()
               : QStringLiteral("%1 (%2)").arg(server.problem(), server.detail());
}

} // namespace

int setupServer(const QString& conninfo, QTextStream& out, QTextStream& err) {
    ServerConnection server(conninfo, {5, 60000, 65000});
    bool changed = false;
    QString problem;
    if (!setUpServerSchema(server, changed, problem)) {
        err << QStringLiteral("quiltaro : le serveur (%1) n'a pas pu être préparé : %2.")
                   .arg(maskedConnInfo(conninfo), problem.isEmpty() ? failure(server) : problem)
            << Qt::endl;
        return 1;
    }
    if (changed)
        out << QStringLiteral("Le serveur (%1) est prêt : les tables de Quiltaro et les rôles %2 "
                              "et %3 sont en place.")
                   .arg(maskedConnInfo(conninfo), QLatin1String(pupilRole),
                        QLatin1String(teacherRole))
            << Qt::endl;
    else
        out << QStringLiteral("Le serveur (%1) était déjà prêt : rien n'a été changé.")
                   .arg(maskedConnInfo(conninfo))
            << Qt::endl;
    return 0;
}

int checkServer(const ServerSettings& settings, QTextStream& out) {
    if (const QString off = sendingOffNotice(settings); !off.isEmpty()) {
        out << QStringLiteral("Ce poste garde ses manches pour lui : %1").arg(off) << Qt::endl;
        return 1;
    }
    if (!settings.configured()) {
        out << QStringLiteral("Aucun serveur n'est configuré : ce poste garde ses manches pour "
                              "lui. Pour en configurer un, écrivez server=... dans la section "
                              "[record] de %1 (ou de /etc/xdg/%2).")
                   .arg(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                            QLatin1Char('/') + configFileName(),
                        configFileName())
            << Qt::endl;
        return 1;
    }
    const QString where = maskedConnInfo(settings.conninfo);
    if (hasPassword(settings.conninfo))
        out << QStringLiteral("Attention : %1 contient un mot de passe, que tout utilisateur "
                              "de ce poste peut lire. Mettez-le plutôt dans ~/.pgpass, ou "
                              "utilisez service=... avec pg_service.conf.")
                   .arg(settings.file)
            << Qt::endl;
    // The service file holds the role's password: the pupils' group may
    // read it, not every account of the computer.
    if (const QString service = QFile::decodeName(qgetenv("PGSERVICEFILE"));
        !service.isEmpty() && QFileInfo(service).permission(QFileDevice::ReadOther))
        out << QStringLiteral("Attention : %1 est lisible par tous les comptes de ce poste, et "
                              "il donne le mot de passe du rôle. Réservez-le au groupe des "
                              "élèves : chgrp eleves %1 && chmod 0640 %1.")
                   .arg(service)
            << Qt::endl;
    ServerConnection server(settings.conninfo);
    if (!server.open()) {
        out << QStringLiteral("Ce poste ne peut pas joindre le serveur (%1) : %2.")
                   .arg(where, failure(server))
            << Qt::endl;
        return 1;
    }
    QSqlQuery q(server.database());
    auto unexpected = [&] {
        out << QStringLiteral("Le serveur (%1) ne répond pas comme il devrait : %2.")
                   .arg(where, failure(server))
            << Qt::endl;
        return 1;
    };
    // Asked so that no answer needs a right the role may lack.
    if (!server.exec(q, QStringLiteral("SELECT current_user, s IS NOT NULL, u, u AND"
                                       " to_regclass('quiltaro.rounds') IS NOT NULL AND"
                                       " to_regclass('quiltaro.computers') IS NOT NULL"
                                       " FROM (SELECT s,"
                                       " s IS NOT NULL AND has_schema_privilege(s, 'USAGE') AS u"
                                       " FROM (SELECT to_regnamespace('quiltaro') AS s) n) m")) ||
        !q.next())
        return unexpected();
    const QString role = q.value(0).toString();
    if (!q.value(1).toBool() || (q.value(2).toBool() && !q.value(3).toBool())) {
        out << QStringLiteral("Le serveur (%1) répond, mais n'est pas encore préparé pour "
                              "Quiltaro : lancez une fois quiltaro --setup-server avec les "
                              "droits du propriétaire de la base.")
                   .arg(where)
            << Qt::endl;
        return 1;
    }
    const auto notMember = [&] {
        out << QStringLiteral("Ce poste joint le serveur (%1), mais le rôle %2 ne peut pas y "
                              "écrire de manches : faites-en un membre de %3 (GRANT %3 TO %2).")
                   .arg(where, role, QLatin1String(pupilRole))
            << Qt::endl;
        return 1;
    };
    if (!q.value(2).toBool())
        return notMember();
    if (!server.prepare(
            q, QStringLiteral("SELECT has_any_column_privilege('quiltaro.rounds', 'INSERT'),"
                              " has_table_privilege('quiltaro.rounds', 'SELECT'),"
                              " pg_has_role('quiltaro_enseignant', 'MEMBER')"
                              "  OR quiltaro.sends_for(current_user, ?)")))
        return unexpected();
    q.addBindValue(settings.className);
    if (!server.exec(q) || !q.next())
        return unexpected();
    if (!q.value(0).toBool())
        return notMember();
    if (!q.value(2).toBool()) {
        out << QStringLiteral("Ce poste joint le serveur (%1), mais le rôle %2 n'y envoie pas "
                              "pour la classe « %3 » : depuis le rôle d'un enseignant, "
                              "INSERT INTO quiltaro.computers VALUES ('%2', '%3').")
                   .arg(where, role, settings.className)
            << Qt::endl;
        return 1;
    }
    out << QStringLiteral("Ce poste peut envoyer ses manches au serveur (%1), avec le rôle %2%3.")
               .arg(where, role,
                    q.value(1).toBool() ? QStringLiteral(", qui peut aussi lire les résultats "
                                                         "de la classe")
                                        : QString())
        << Qt::endl;
    return 0;
}

bool readServerClass(const ServerSettings& settings, ClassRecord& data, QTextStream& err) {
    ServerConnection server(settings.conninfo, {5, 120000, 125000});
    const ServerRounds read = readServerRounds(server, settings.className);
    if (!read.ok) {
        err << QStringLiteral("quiltaro : les résultats de la classe ne peuvent pas être lus sur "
                              "le serveur (%1) : %2.")
                   .arg(maskedConnInfo(settings.conninfo), failure(server))
            << Qt::endl;
        return false;
    }
    data = classOfRounds(read.rounds);
    return true;
}

} // namespace quiltaro
