#include "ServerClassList.h"

#include "ClassChoice.h"
#include "Pupils.h"
#include "ServerClassCopies.h"
#include "ServerConnection.h"

#include <QFileInfo>
#include <QSqlQuery>
#include <QVariant>

namespace quiltaro {

bool readServerClassList(ServerConnection& server, const QString& className, ClassList& list) {
    list = ClassList();
    if (!server.open())
        return false;
    const ServerConnection::Watch watch(server);
    QSqlQuery q(server.database());
    if (!server.prepare(q, QStringLiteral("SELECT name, level FROM quiltaro.class_lists"
                                          " WHERE class_name = ? ORDER BY position, name")))
        return false;
    q.addBindValue(className);
    if (!server.exec(q))
        return false;
    while (q.next()) {
        list.names << q.value(0).toString();
        // What no program of ours wrote is left out, as an unknown level in a file is.
        if (const auto level = levelsFromName(q.value(1).toString()))
            list.pupilLevels[list.names.constLast()] = *level;
    }
    if (!server.prepare(q, QStringLiteral("SELECT level FROM quiltaro.class_levels"
                                          " WHERE class_name = ?")))
        return false;
    q.addBindValue(className);
    if (!server.exec(q))
        return false;
    if (q.next())
        list.level = levelsFromName(q.value(0).toString());
    return true;
}

bool readServerClassList(ServerConnection& server, const QString& className, QStringList& names) {
    ClassList list;
    const bool read = readServerClassList(server, className, list);
    names = list.names;
    return read;
}

namespace {

bool replaceRows(ServerConnection& server, const QString& className, const ClassList& list,
                 QStringList& written) {
    QSqlQuery q(server.database());
    for (const char* table : {"class_lists", "class_levels"}) {
        if (!server.prepare(q, QStringLiteral("DELETE FROM quiltaro.%1 WHERE class_name = ?")
                                   .arg(QLatin1String(table))))
            return false;
        q.addBindValue(className);
        if (!server.exec(q))
            return false;
    }
    if (list.level) {
        if (!server.prepare(q, QStringLiteral("INSERT INTO quiltaro.class_levels"
                                              " (class_name, level) VALUES (?, ?)")))
            return false;
        q.addBindValue(className);
        q.addBindValue(levelsValue(list.level));
        if (!server.exec(q))
            return false;
    }
    for (const QString& name : list.names) {
        const QString n = name.trimmed().remove(QChar(0));
        if (n.isEmpty() || written.contains(n))
            continue;
        const auto own = list.pupilLevels.find(name);
        if (!server.prepare(q, QStringLiteral("INSERT INTO quiltaro.class_lists"
                                              " (class_name, position, name, level)"
                                              " VALUES (?, ?, ?, ?)")))
            return false;
        q.addBindValue(className);
        q.addBindValue(static_cast<int>(written.size()));
        q.addBindValue(n);
        q.addBindValue(levelsValue(
            own == list.pupilLevels.end() ? std::nullopt : std::optional<LevelRange>(own->second)));
        if (!server.exec(q))
            return false;
        written << n;
    }
    return true;
}

} // namespace

bool writeServerClassList(ServerConnection& server, const QString& className,
                          const ClassList& list) {
    if (!server.open() || !server.begin())
        return false;
    const ServerConnection::Watch watch(server);
    QStringList written;
    if (!replaceRows(server, className, list, written) || !server.commit()) {
        server.rollback();
        return false;
    }
    // This computer's copy follows at once; a copy that cannot be written
    // is written again at the next refresh.
    keepServerClassCopy(className, written.isEmpty() && !list.level ? ClassList() : list);
    return true;
}

bool writeServerClassList(ServerConnection& server, const QString& className,
                          const QStringList& names) {
    ClassList list;
    list.names = names;
    return writeServerClassList(server, className, list);
}

QStringList pupilsListed(ServerConnection& server, const QString& className) {
    ClassList list;
    if (!readServerClassList(server, className, list)) {
        const QString copy = serverClassCopyOf(className);
        return QFileInfo::exists(copy) ? readClassList(copy) : listedPupils(className);
    }
    keepServerClassCopy(className, list);
    return list.names.isEmpty() ? listedPupils(className) : list.names;
}

ClassListPlace serverClassListPlace(const ServerSettings& settings) {
    ClassListPlace place;
    place.where = QStringLiteral("Sur le serveur de la classe (%1) : tous les postes de la "
                                 "classe la lisent.")
                      .arg(maskedConnInfo(settings.conninfo));
    place.localFile = serverClassCopyOf(settings.className);
    place.read = [settings](ClassList& list, QString* problem) {
        ServerConnection server(settings.conninfo, {5, 10000, 15000});
        if (readServerClassList(server, settings.className, list))
            return true;
        *problem = QStringLiteral("la liste n'a pas pu être lue sur le serveur : %1.")
                       .arg(server.problem());
        return false;
    };
    place.write = [settings](const ClassList& list, QString* problem) {
        ServerConnection server(settings.conninfo, {5, 10000, 15000});
        if (writeServerClassList(server, settings.className, list))
            return true;
        *problem = QStringLiteral("la liste n'a pas pu être écrite sur le serveur : %1.")
                       .arg(server.problem());
        return false;
    };
    return place;
}

} // namespace quiltaro
