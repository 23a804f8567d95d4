#include "ServerClassList.h"

#include "Pupils.h"
#include "RecordStore.h"
#include "ServerConnection.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QVariant>

namespace quiltaro {

bool readServerClassList(ServerConnection& server, const QString& className, QStringList& names) {
    names.clear();
    if (!server.open())
        return false;
    const ServerConnection::Watch watch(server);
    QSqlQuery q(server.database());
    if (!server.prepare(q, QStringLiteral("SELECT name FROM quiltaro.class_lists"
                                          " WHERE class_name = ? ORDER BY position, name")))
        return false;
    q.addBindValue(className);
    if (!server.exec(q))
        return false;
    while (q.next())
        names << q.value(0).toString();
    return true;
}

bool writeServerClassList(ServerConnection& server, const QString& className,
                          const QStringList& names) {
    if (!server.open() || !server.begin())
        return false;
    const ServerConnection::Watch watch(server);
    QSqlQuery q(server.database());
    bool done =
        server.prepare(q, QStringLiteral("DELETE FROM quiltaro.class_lists WHERE class_name = ?"));
    q.addBindValue(className);
    done = done && server.exec(q);
    QStringList written;
    for (const QString& name : names) {
        const QString n = name.trimmed().remove(QChar(0));
        if (!done || n.isEmpty() || written.contains(n))
            continue;
        done = server.prepare(q, QStringLiteral("INSERT INTO quiltaro.class_lists"
                                                " (class_name, position, name) VALUES (?, ?, ?)"));
        q.addBindValue(className);
        q.addBindValue(static_cast<int>(written.size()));
        q.addBindValue(n);
        done = done && server.exec(q);
        written << n;
    }
    if (!done || !server.commit()) {
        server.rollback();
        return false;
    }
    if (written.isEmpty())
        QFile::remove(serverClassListCopy());
    else
        writeClassList(serverClassListCopy(), written);
    return true;
}

QString serverClassListCopy() {
    return QFileInfo(RecordStore::defaultPath()).path() + QStringLiteral("/classe-serveur.txt");
}

bool refreshClassListCopy(ServerConnection& server, const QString& className) {
    QStringList names;
    if (!readServerClassList(server, className, names))
        return false;
    if (names.isEmpty())
        return !QFileInfo::exists(serverClassListCopy()) || QFile::remove(serverClassListCopy());
    if (names == readClassList(serverClassListCopy()))
        return true;
    return writeClassList(serverClassListCopy(), names);
}

QStringList classListInUse(const ServerSettings& settings) {
    if (settings.configured() && QFileInfo::exists(serverClassListCopy()))
        return readClassList(serverClassListCopy());
    const QString file = classListFile();
    return file.isEmpty() ? QStringList() : readClassList(file);
}

ClassListPlace serverClassListPlace(const ServerSettings& settings) {
    ClassListPlace place;
    place.where = QStringLiteral("Sur le serveur de la classe (%1) : tous les postes de la "
                                 "classe la lisent.")
                      .arg(maskedConnInfo(settings.conninfo));
    place.read = [settings](QStringList& names, QString* problem) {
        ServerConnection server(settings.conninfo, {5, 10000, 15000});
        if (readServerClassList(server, settings.className, names))
            return true;
        *problem = QStringLiteral("la liste n'a pas pu être lue sur le serveur : %1.")
                       .arg(server.problem());
        return false;
    };
    place.write = [settings](const QStringList& names, QString* problem) {
        ServerConnection server(settings.conninfo, {5, 10000, 15000});
        if (writeServerClassList(server, settings.className, names))
            return true;
        *problem = QStringLiteral("la liste n'a pas pu être écrite sur le serveur : %1.")
                       .arg(server.problem());
        return false;
    };
    return place;
}

} // namespace quiltaro
