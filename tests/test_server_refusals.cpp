// A class's server that refuses a computer, is stopped, or cannot write: the
// computers ask again a handful of times a minute, not with every round nor
// in a loop at the end, and the administrator is told what is wrong and what
// fixes it, never the password.
#include "CountingProxy.h"
#include "DesktopLocale.h"
#include "PgServer.h"
#include "RecordStore.h"
#include "RecordTesting.h"
#include "RetryPace.h"
#include "ServerCommands.h"
#include "ServerConnection.h"
#include "ServerRounds.h"
#include "ServerSender.h"
#include "ServerTesting.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace quiltaro;
using namespace quiltaro::test;

class ServerRefusalsTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    ClassServer classServer;
    PgServer* server = nullptr;

    // A record with rounds not yet sent.
    QString recordWithRounds(const QString& name) {
        const QString path = dir.filePath(name + "/record.sqlite");
        Reports reports;
        RecordStore store(path, reports.report);
        const std::vector<RoundRecord> rounds = knownRounds();
        return store.writeMany(rounds) ? path : QString();
    }

    QString says(const QString& conninfo) {
        QString out;
        QTextStream o(&out);
        checkServer({conninfo, "", "quiltaro.conf"}, o);
        return out;
    }

private slots:
    void initTestCase() {
        QUILTARO_ADOPT_DESKTOP_LOCALE();
        QVERIFY(dir.isValid());
        classServer.start();
        server = classServer.server.get();
        QCOMPARE(server->exec({"CREATE ROLE poste_mdp LOGIN PASSWORD 'juste' IN ROLE "
                               "quiltaro_eleve",
                               "CREATE ROLE poste_sans LOGIN"}),
                 QString());
        QVERIFY(server->requirePassword("poste_mdp"));
    }

    // The waits grow from a second to a minute, each a fifth shorter or
    // longer at most, and start again from a second after a success.
    void theWaitsGrowToAMinute() {
        RetryPace pace(7);
        std::vector<qint64> waits;
        for (int i = 0; i < 10; ++i)
            waits.push_back(pace.failed().count());
        const qint64 bases[] = {1000, 2000, 4000, 8000, 16000, 32000, 60000, 60000, 60000, 60000};
        for (size_t i = 0; i < waits.size(); ++i)
            QVERIFY2(waits[i] >= bases[i] * 8 / 10 && waits[i] <= bases[i] * 12 / 10,
                     qPrintable(QString::number(waits[i])));
        // Jittered: not the same wait twice at the longest.
        QVERIFY(waits[7] != waits[8] || waits[8] != waits[9]);
        pace.succeeded();
        QVERIFY(pace.failed().count() <= 1200);
    }

    // Four computers, each with a server that fails it in its own way,
    // playing a round every quarter second for 20 s: each asks the server a
    // handful of times, then nothing more at the end while it waits.
    void aFailingServerIsAskedAHandfulOfTimes() {
        const QString db = classServer.freshDatabase();
        const QString readOnly = classServer.freshDatabase();
        QCOMPARE(
            server->exec("ALTER DATABASE " + readOnly + " SET default_transaction_read_only = on"),
            QString());
        struct Case {
            const char* name;
            QString backend, user, database, password;
            std::unique_ptr<CountingProxy> proxy;
            std::unique_ptr<ServerSender> sender;
            QString record;
            QStringList told;
        };
        Case cases[] = {
            {"mot de passe", server->socketPath(), "poste_mdp", db, "faux", {}, {}, {}, {}},
            {"droit retiré", server->socketPath(), "poste_sans", db, "", {}, {}, {}, {}},
            {"lecture seule", server->socketPath(), "poste1", readOnly, "", {}, {}, {}, {}},
            {"arrêté", dir.filePath("personne"), "poste1", db, "", {}, {}, {}, {}},
        };
        for (Case& c : cases) {
            c.record = recordWithRounds(c.name);
            QVERIFY(!c.record.isEmpty());
            c.proxy = std::make_unique<CountingProxy>(c.backend);
            QString conninfo = c.proxy->conninfo(c.user, c.database);
            if (!c.password.isEmpty())
                conninfo += " password=" + c.password;
            c.sender = std::make_unique<ServerSender>(ServerSettings{conninfo, "", ""},
                                                      QStringList{c.record},
                                                      [&c](const QString& t) { c.told << t; });
        }
        QElapsedTimer period;
        period.start();
        while (period.elapsed() < 20000) {
            for (Case& c : cases)
                c.sender->roundWritten(c.record);
            QTest::qWait(250);
        }
        for (Case& c : cases) {
            const int connections = c.proxy->connections(), statements = c.proxy->statements();
            qInfo("%s: %d connections, %d statements in 20 s", c.name, connections, statements);
            QVERIFY2(connections >= 1 && connections <= 12, c.name);
            QVERIFY2(statements <= 30, c.name);
            QElapsedTimer end;
            end.start();
            c.sender->finish(std::chrono::milliseconds(1000));
            QVERIFY2(end.elapsed() < 500, qPrintable(QString::number(end.elapsed())));
            // One last try at most: none while it waits after a failure.
            QVERIFY2(c.proxy->connections() - connections <= 2, c.name);
            QVERIFY2(c.proxy->statements() - statements <= 3, c.name);
            QCOMPARE(c.told.size(), 1);
            QVERIFY(!c.told[0].contains("faux"));
            QCOMPARE(count(c.record, "rounds WHERE sent = 0"), qint64(3));
        }
        QVERIFY(cases[0].told[0].contains("refusé le mot de passe"));
        QVERIFY(cases[1].told[0].contains("relancez quiltaro --setup-server"));
        QVERIFY(cases[2].told[0].contains("n'accepte que des lectures"));
        QVERIFY(cases[3].told[0].contains("ne répond pas"));
    }

    // Each failure is named for what it is, with its fix; the server's words
    // may follow, never the password nor a piece of it.
    void eachFailureSaysWhatFixesIt() {
        const QString db = classServer.freshDatabase();
        const QString tcp = QString("host=127.0.0.1 port=%1 dbname=%2 user=poste1 "
                                    "sslmode=disable")
                                .arg(server->port())
                                .arg(db);
        const struct {
            QString conninfo;
            QString says;
        } cases[] = {
            {QString("host=%1 dbname=x password=sekret").arg(dir.filePath("nowhere")),
             "le serveur est arrêté, ou n'écoute pas à cette adresse ; démarrez-le"},
            {"host=quiltaro-inconnu.invalid dbname=x connect_timeout=5",
             "le nom du serveur « quiltaro-inconnu.invalid » est inconnu"},
            {server->conninfo("poste_mdp", db) + " password='sek sekret'",
             "refusé le mot de passe de ce rôle ; corrigez-le dans ~/.pgpass"},
            {tcp, "une ligne de son pg_hba.conf rejette cette adresse"},
            {tcp + " sslmode=require", "la connexion chiffrée demandée (sslmode)"},
        };
        for (const auto& c : cases) {
            const QString out = says(c.conninfo);
            QVERIFY2(out.contains(c.says), qPrintable(out));
            QVERIFY2(!out.contains("sekret") && !out.contains("sek "), qPrintable(out));
        }
        // A right missing: --setup-server gives it back.
        ServerConnection visitor(server->conninfo("poste_sans", db));
        QVERIFY(!sendRound(visitor, knownRounds()[0], ""));
        QVERIFY2(visitor.problem().contains("relancez quiltaro --setup-server"),
                 qPrintable(visitor.problem()));
        QVERIFY(visitor.detail().contains("permission denied"));
    }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ServerRefusalsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_server_refusals.moc"
