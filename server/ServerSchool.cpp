#include "ServerSchool.h"

#include "ClassChoice.h"
#include "ServerClassList.h"
#include "ServerConnection.h"
#include "ServerCounts.h"

#include <QSqlQuery>
#include <QVariant>

namespace quiltaro {

namespace {

// The classes the role sees: row-level security leaves out the others.
bool readClassNames(ServerConnection& server, QStringList& names) {
    if (!server.open())
        return false;
    const ServerConnection::Watch watch(server);
    QSqlQuery q(server.database());
    if (!server.prepare(q, QStringLiteral("SELECT DISTINCT class_name FROM quiltaro.rounds"
                                          " UNION SELECT DISTINCT class_name"
                                          " FROM quiltaro.class_lists")) ||
        !server.exec(q))
        return false;
    while (q.next())
        names << q.value(0).toString();
    return true;
}

} // namespace

std::vector<ClassLine> readServerSchool(const ServerSettings& settings,
                                        const QStringList& alsoThese, const Period& period,
                                        const QDateTime& now) {
    ServerConnection server(settings.conninfo, {3, 60000, 65000});
    QStringList names = alsoThese;
    if (!readClassNames(server, names)) {
        ClassLine failed;
        failed.className = QStringLiteral("—");
        failed.problem = QStringLiteral("les classes n'ont pas pu être lues sur le serveur : %1")
                             .arg(server.problem());
        return {failed};
    }
    const QStringList classes = chooseClass(names, {}, {}).classes;
    return schoolLines(
        classes,
        [&](const QString& className) {
            ServerSettings one = settings;
            one.className = className;
            ClassRecord data;
            if (!readServerClassCounts(server, one, data)) {
                data.problems
                    << QStringLiteral("non lue sur le serveur : %1").arg(server.problem());
                return data;
            }
            QStringList listed;
            if (readServerClassList(server, className, listed))
                addListedPupils(data, listed);
            return data;
        },
        period, now);
}

} // namespace quiltaro
