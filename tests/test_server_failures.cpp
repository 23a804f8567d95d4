// Failures of a class's server met for real: a computer that checks the
// server's certificate without the authority's, an address no host rule
// admits, a computer admitted by its certificate that has none, and a server
// whose disk is full. Each is named for what it is,
// with what fixes it, and never with the password.
#include "DesktopLocale.h"
#include "PgServer.h"
#include "RecordStore.h"
#include "RecordTesting.h"
#include "ServerCommands.h"
#include "ServerConnection.h"
#include "ServerRounds.h"
#include "ServerSchema.h"
#include "ServerSender.h"
#include "ServerTesting.h"
#include "TestAuthority.h"

#include <QTemporaryDir>
#include <QtTest>

#include <pwd.h>

using namespace quiltaro;
using namespace quiltaro::test;

namespace {

RoundRecord numbered(int i) {
    RoundRecord r = knownRounds()[0];
    r.gameToken = QStringLiteral("partie-%1").arg(i);
    r.started = base.addSecs(60 * i);
    r.ended = r.started.addSecs(30);
    return r;
}

} // namespace

class ServerFailuresTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    ClassServer classServer;
    PgServer* server = nullptr;
    TestAuthority authority{dir.path()};

    QString says(const QString& conninfo, int expected) {
        QString out;
        QTextStream o(&out);
        const int status = checkServer({conninfo, "", "quiltaro.conf"}, o);
        if (status != expected)
            out.prepend(QStringLiteral("(status %1) ").arg(status));
        return out;
    }

private slots:
    void initTestCase() {
        QUILTARO_ADOPT_DESKTOP_LOCALE();
        QVERIFY(dir.isValid());
        classServer.start();
        server = classServer.server.get();
        QVERIFY(authority.make() && authority.signServer("server"));
        QVERIFY(server->enableSsl(dir.filePath("server.crt"), dir.filePath("server.key"),
                                  authority.certificate()));
        // Over the loopback, the first computer's role only, encrypted; the
        // third by its certificate alone.
        QVERIFY(server->setHostRules("hostssl all poste1 127.0.0.1/32 trust\n"
                                     "hostssl all poste3 127.0.0.1/32 cert\n"));
        QCOMPARE(server->exec("CREATE ROLE poste3 LOGIN IN ROLE quiltaro_eleve"), QString());
    }

    void verifyFullWithoutTheAuthoritysCertificate() {
        const passwd* account = getpwuid(geteuid());
        if (account &&
            QFileInfo::exists(QString::fromLocal8Bit(account->pw_dir) + "/.postgresql/root.crt"))
            QSKIP("this account has a root.crt of its own");
        const QString db = classServer.freshDatabase();
        const QString conninfo = QString("host=localhost hostaddr=127.0.0.1 port=%1 dbname=%2 "
                                         "user=poste1 password=sekret sslmode=verify-full")
                                     .arg(server->port())
                                     .arg(db);
        // With the authority's certificate, the computer is admitted: what
        // fails next is the file alone.
        const QString admitted = says(conninfo + " sslrootcert=" + dir.filePath("ca.crt"), 0);
        QVERIFY2(admitted.contains("peut envoyer ses manches"), qPrintable(admitted));
        const QString out = says(conninfo, 1);
        QVERIFY2(out.contains("sslmode=verify-full demande le certificat racine") &&
                     out.contains("copiez-le dans ~/.postgresql/root.crt"),
                 qPrintable(out));
        QVERIFY2(!out.contains("sekret"), qPrintable(out));
    }

    void anAddressNoHostRuleAdmits() {
        const QString db = classServer.freshDatabase();
        const QString out =
            says(QString("host=127.0.0.1 port=%1 dbname=%2 user=poste2 password=sekret")
                     .arg(server->port())
                     .arg(db),
                 1);
        QVERIFY2(out.contains("aucune ligne de son pg_hba.conf n'admet cette adresse") &&
                     out.contains("SELECT pg_reload_conf()"),
                 qPrintable(out));
        QVERIFY2(!out.contains("sekret"), qPrintable(out));
    }

    // A computer admitted by its certificate alone (`cert`), its service
    // file naming it: its round arrives in its role's name. The same
    // computer without its certificate, or with its key readable by every
    // account, is refused and told why, never with a password.
    void aClientCertificateAdmitsItsComputer() {
        const QString db = classServer.freshDatabase();
        QCOMPARE(server->exec("INSERT INTO quiltaro.computers VALUES ('poste3', '*')", "admin", db),
                 QString());
        QVERIFY(authority.signClient("poste3", "poste3"));
        const QString common = QString("host=localhost\nhostaddr=127.0.0.1\nport=%1\ndbname=%2\n"
                                       "user=poste3\nsslmode=verify-full\nsslrootcert=%3\n")
                                   .arg(server->port())
                                   .arg(db, authority.certificate());
        QFile service(dir.filePath("pg_service.conf"));
        QVERIFY(service.open(QIODevice::WriteOnly | QIODevice::Truncate));
        service.write(("[quiltaro]\n" + common + "sslcert=" + dir.filePath("poste3.crt") +
                       "\nsslkey=" + dir.filePath("poste3.key") + "\n[sans-certificat]\n" + common +
                       "password=sekret\nsslcert=" + dir.filePath("absent.crt") + "\n")
                          .toUtf8());
        service.close();
        qputenv("PGSERVICEFILE", QFile::encodeName(service.fileName()));
        QTemporaryDir data;
        qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
        {
            Reports reports;
            RecordStore store(RecordStore::defaultPath(), reports.report);
            QVERIFY(store.writeMany(std::vector<RoundRecord>{numbered(0)}));
        }
        ServerSender sender({"service=quiltaro", "", ""}, ServerSender::localRecords(),
                            [](const QString& text) { QWARN(qPrintable(text)); });
        sender.finish(std::chrono::seconds(10));
        QCOMPARE(server->value("SELECT sent_by FROM quiltaro.rounds", "admin", db),
                 QVariant("poste3"));

        const QString without = says("service=sans-certificat", 1);
        QVERIFY2(without.contains("que sur présentation de son certificat") &&
                     without.contains("sslcert= et sslkey="),
                 qPrintable(without));
        QVERIFY2(!without.contains("sekret"), qPrintable(without));
        const QString key = dir.filePath("poste3.key");
        QVERIFY(QFile::setPermissions(key, QFile::permissions(key) | QFile::ReadOther));
        const QString open = says("service=quiltaro", 1);
        QVERIFY2(open.contains("chmod 0640"), qPrintable(open));
        QVERIFY(QFile::setPermissions(key, QFile::permissions(key) & ~QFile::ReadOther));
        const QString admitted = says("service=quiltaro", 0);
        QVERIFY2(admitted.contains("peut envoyer ses manches"), qPrintable(admitted));
        qunsetenv("PGSERVICEFILE");
    }

    // The class's rounds in a tablespace on a small tmpfs, filled to the
    // last byte: the rounds wait, and go once there is room again.
    void aServerWhoseDiskIsFull() {
        const QString point = server->socketDir() + "/plein";
        Mount tmpfs("mount",
                    {"-t", "tmpfs", "-o",
                     QString("size=24m,mode=0700,uid=%1,gid=%1").arg(PgServer::owner()), "tmpfs"},
                    point, {"umount", "-l"});
        if (!tmpfs.mounted)
            QSKIP("mounting a small tmpfs needs root (CI runs as root)");
        QCOMPARE(server->exec({"CREATE TABLESPACE plein LOCATION '" + point + "'",
                               "CREATE DATABASE disque TABLESPACE plein"}),
                 QString());
        {
            ServerConnection owner(server->conninfo("admin", "disque"));
            bool changed = false;
            QString problem;
            QVERIFY2(setUpServerSchema(owner, changed, problem), qPrintable(problem));
        }
        QCOMPARE(server->exec("INSERT INTO quiltaro.computers VALUES ('poste1', '*')", "admin",
                              "disque"),
                 QString());
        QVERIFY(run("dd", {"if=/dev/zero", "of=" + point + "/filler", "bs=64k"}) != 0);
        int sent = 0;
        {
            ServerConnection computer(server->conninfo("poste1", "disque") + " password=sekret");
            while (sent < 2000 && sendRound(computer, numbered(sent), ""))
                ++sent;
            QVERIFY2(sent < 2000, "the server never found its disk full");
            QVERIFY2(computer.problem().contains("le disque du serveur est plein ; faites-y de la "
                                                 "place, les manches attendent sur les postes"),
                     qPrintable(computer.problem()));
            QVERIFY2(!computer.detail().contains("sekret"), qPrintable(computer.detail()));
            QVERIFY(QFile::remove(point + "/filler"));
            QVERIFY2(sendRound(computer, numbered(sent), ""), qPrintable(computer.problem()));
        }
        QCOMPARE(
            server->value("SELECT count(*) FROM quiltaro.rounds", "admin", "disque").toLongLong(),
            qint64(sent + 1));
        QCOMPARE(server->exec({"DROP DATABASE disque", "DROP TABLESPACE plein"}), QString());
    }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ServerFailuresTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_server_failures.moc"
