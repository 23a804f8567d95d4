#pragma once

// The class's server for the server suites: a PostgreSQL server of the
// test's own, the groups set up by a first --setup-server, a computer's two
// roles (sending for every class) and a teacher's, and a database of its own
// for each case.
#include "PgServer.h"
#include "ServerConnection.h"
#include "ServerSchema.h"

#include <QTest>

#include <memory>

namespace quiltaro::test {

class ClassServer {
public:
    std::unique_ptr<PgServer> server;

    // Once, from the suite's initTestCase.
    void start() {
        server = std::make_unique<PgServer>();
        QVERIFY2(server->ok(), qPrintable(server->error()));
        const QStringList roles = {"CREATE ROLE poste1 LOGIN IN ROLE quiltaro_eleve",
                                   "CREATE ROLE poste2 LOGIN IN ROLE quiltaro_eleve",
                                   "CREATE ROLE prof LOGIN IN ROLE quiltaro_enseignant"};
        // The groups come with the first set-up.
        QVERIFY(server->exec(roles).contains("does not exist"));
        QVERIFY(!freshDatabase().isEmpty());
        QCOMPARE(server->exec(roles), QString());
    }

    // A database of its own for each case, set up as the school would:
    // --setup-server, then a computer's role and a teacher's.
    QString freshDatabase() {
        const QString db = QStringLiteral("classe%1").arg(++databases_);
        if (!server->exec("CREATE DATABASE " + db).isEmpty())
            return {};
        ServerConnection owner(server->conninfo("admin", db));
        bool changed = false;
        QString problem;
        if (!setUpServerSchema(owner, changed, problem) || !changed)
            return {};
        // The computers' roles send for any class, unless a case says otherwise.
        if (!server
                 ->exec("INSERT INTO quiltaro.computers VALUES ('poste1', '*'), ('poste2', '*')",
                        "admin", db)
                 .isEmpty())
            return {};
        return db;
    }

    qint64 onServer(const QString& db) const {
        return server->value("SELECT count(*) FROM quiltaro.rounds", "admin", db).toLongLong();
    }

private:
    int databases_ = 0;
};

} // namespace quiltaro::test
