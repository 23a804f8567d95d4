// One set-up for the school's server and its room: the SQL file psql runs is
// the one --setup-server runs, again and again, and upgrades an older server;
// the administrator's guide's commands, run as written against a server of
// the test's own, give a room whose computers send their rounds over TLS
// checked against the school's own authority; a login's own configuration
// never turns sending off without saying so.
#include "DesktopLocale.h"
#include "GuideBlocks.h"
#include "PgServer.h"
#include "RecordStore.h"
#include "RecordTesting.h"
#include "ServerCommands.h"
#include "ServerConfig.h"
#include "ServerConnection.h"
#include "ServerRounds.h"
#include "ServerSchema.h"
#include "ServerSender.h"
#include "ServerTesting.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quiltaro;
using namespace quiltaro::test;

namespace {

const QString sourceDir = QStringLiteral(QUILTARO_SOURCE_DIR);

QString psqlAt(const PgServer& server) {
    return QStringLiteral("export PGHOST='%1' PGPORT=%2 PGUSER=admin PGDATABASE=postgres\n")
        .arg(server.socketDir())
        .arg(server.port());
}

// Runs `script` in bash from `folder`; its output, with the status first.
QString runBash(const QString& script, const QString& folder) {
    QProcess bash;
    bash.setWorkingDirectory(folder);
    bash.setProcessChannelMode(QProcess::MergedChannels);
    bash.start(QStringLiteral("bash"), {QStringLiteral("-c"), script});
    if (!bash.waitForFinished(120000))
        return QStringLiteral("timeout");
    return QString::number(bash.exitCode()) + QLatin1Char(' ') +
           QString::fromLocal8Bit(bash.readAll());
}

} // namespace

class ServerSetupTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    ClassServer classServer;
    PgServer* server = nullptr;
    int databases = 0;

    QString emptyDatabase() {
        const QString db = QStringLiteral("vide%1").arg(++databases);
        return server->exec("CREATE DATABASE " + db).isEmpty() ? db : QString();
    }
    QString psqlFile(const QString& db) {
        return runBash(psqlAt(*server) + "psql -X -q -v ON_ERROR_STOP=1 -d " + db + " -f '" +
                           sourceDir + "/server/quiltaro-serveur.sql'",
                       dir.path());
    }

private slots:
    void initTestCase() {
        QUILTARO_ADOPT_DESKTOP_LOCALE();
        QVERIFY(dir.isValid());
        classServer.start();
        server = classServer.server.get();
    }

    // psql runs the installed file, twice; the program, which carries the
    // same file, then finds nothing to change.
    void psqlAndTheProgramRunOneFile() {
        const QString db = emptyDatabase();
        QCOMPARE(psqlFile(db), QString("0 "));
        QCOMPARE(psqlFile(db), QString("0 "));
        ServerConnection owner(server->conninfo("admin", db));
        bool changed = true;
        QString problem;
        QVERIFY2(setUpServerSchema(owner, changed, problem), qPrintable(owner.problem()));
        QVERIFY(!changed);
        QCOMPARE(server->value("SELECT version FROM quiltaro.version", "admin", db), QVariant(4));
        // A newer program's tables are left as they are, with a reason.
        QCOMPARE(server->exec("UPDATE quiltaro.version SET version = 9", "admin", db), QString());
        QVERIFY(!setUpServerSchema(owner, changed, problem));
        QVERIFY2(problem.contains("version plus récente"), qPrintable(problem));
        QVERIFY(psqlFile(db).startsWith("3 "));
        // The statements as psql sends them: a semicolon in a string, a
        // name or a body ends none.
        QCOMPARE(splitSqlScript("SELECT ';'; -- a; comment\nDO $x$ a; b $x$;SELECT \"a;b\""),
                 QStringList({"SELECT ';'", "DO $x$ a; b $x$", "SELECT \"a;b\""}));
    }

    // A server of the version before: its rounds stay, bad ones included,
    // and each computer's role goes on sending for the classes it sent for,
    // and no other.
    void anOlderServerIsUpgraded() {
        const QString db = emptyDatabase();
        const QString older =
            "CREATE SCHEMA quiltaro; CREATE TABLE quiltaro.version (version integer NOT NULL);"
            " INSERT INTO quiltaro.version VALUES (2);"
            " CREATE TABLE quiltaro.rounds (id uuid PRIMARY KEY, arrival bigint GENERATED ALWAYS"
            " AS IDENTITY, class_name text NOT NULL DEFAULT '', pupil text NOT NULL, game_token"
            " text NOT NULL, game_started timestamptz NOT NULL, started timestamptz NOT NULL,"
            " ended timestamptz NOT NULL, score_before smallint NOT NULL, score_after smallint"
            " NOT NULL, low_bound double precision NOT NULL, high_bound double precision NOT"
            " NULL, red_value real NOT NULL, ending text NOT NULL, answers text[] NOT NULL,"
            " verdicts text[] NOT NULL, received timestamptz NOT NULL DEFAULT now(), sent_by"
            " name NOT NULL DEFAULT current_user, kind text, level text);"
            " CREATE TABLE quiltaro.class_lists (class_name text NOT NULL DEFAULT '', position"
            " integer NOT NULL, name text NOT NULL, changed_by name NOT NULL DEFAULT"
            " current_user, changed_at timestamptz NOT NULL DEFAULT now(), level text, PRIMARY"
            " KEY (class_name, name));"
            " CREATE TABLE quiltaro.class_levels (class_name text PRIMARY KEY, level text NOT"
            " NULL, changed_by name NOT NULL DEFAULT current_user, changed_at timestamptz NOT"
            " NULL DEFAULT now());"
            " INSERT INTO quiltaro.rounds (id, class_name, pupil, game_token, game_started,"
            " started, ended, score_before, score_after, low_bound, high_bound, red_value,"
            " ending, answers, verdicts, sent_by) VALUES (gen_random_uuid(), 'CM1', 'Léa', 'g',"
            " now(), now(), now(), 0, 32767, 0, 1, 0, 'won', '{}', '{}', 'poste2')";
        QCOMPARE(server->exec(older, "admin", db), QString());
        QString out, err;
        QTextStream o(&out), e(&err);
        QCOMPARE(setupServer(server->conninfo("admin", db), o, e), 0);
        QVERIFY2(out.contains("est prêt"), qPrintable(out + err));
        QCOMPARE(server->value("SELECT count(*) FROM quiltaro.rounds", "admin", db), QVariant(1));
        ServerConnection computer(server->conninfo("poste2", db));
        QVERIFY2(sendRound(computer, knownRounds()[0], "CM1"), qPrintable(computer.detail()));
        QVERIFY(!sendRound(computer, knownRounds()[1], "CE2"));
        QVERIFY(computer.detail().contains("row-level security"));
        // The rounds it held are counted for the teacher, and the new one.
        QCOMPARE(server->value("SELECT (SELECT sum(played) FROM quiltaro.round_hours) = (SELECT"
                               " count(*) FROM quiltaro.rounds WHERE cardinality(answers) > 0"
                               " OR ending IN ('won', 'gave_up')) AND (SELECT count(*) FROM"
                               " quiltaro.game_hours) = 2",
                               "admin", db),
                 QVariant(true));
        // poste1 had sent nothing: it sends for no class until told.
        ServerConnection other(server->conninfo("poste1", db));
        QVERIFY(!sendRound(other, knownRounds()[1], "CM1"));
        out.clear();
        QCOMPARE(setupServer(server->conninfo("admin", db), o, e), 0);
        QVERIFY2(out.contains("rien n'a été changé"), qPrintable(out));
    }

    // The guide's commands, as written, but for what must be this test's
    // own: the folders (temporary), the server's name, port and network, its
    // system user and the pupils' group. What cannot run here stands in for
    // itself: apt (the game is this build), sudo -u postgres (the test's
    // server trusts its socket), systemctl restart (a reload: the server
    // already listens), the copy of a computer's folder (a cd).
    void theGuideSetsUpAServerAndARoom() {
        const auto blocks = markedBlocks(sourceDir + "/docs/administration.md");
        for (const char* name : {"serveur-tls", "serveur-base", "serveur-postes", "poste"})
            QVERIFY2(blocks.count(name), name);
        QVERIFY(server->hbaOfSocketOnly());
        const QString root = dir.filePath("racine");
        QVERIFY(QDir().mkpath(root + "/root") && QDir().mkpath(root + "/poste"));
        QVERIFY(QFile::copy(sourceDir + "/server/quiltaro-serveur.sql",
                            root + "/root/quiltaro-serveur.sql"));
        const bool asRoot = geteuid() == 0;
        const QString group =
            asRoot ? "nogroup" : QString::fromLocal8Bit(getgrgid(getegid())->gr_name);
        const std::map<QString, QString> ours = {
            {"/etc/postgresql/15/main", server->dataDir()},
            {"/etc/xdg/quiltaro", root + "/etc/xdg/quiltaro"},
            {"/etc/quiltaro", root + "/etc/quiltaro"},
            {"/root", root + "/root"},
            {"serveur.ecole", "localhost"},
            {"port=5432", QStringLiteral("port=%1").arg(server->port())},
            {"192.168.1.0/24", "127.0.0.1/32"},
            {"postgres:postgres",
             asRoot ? "65534:65534" : QStringLiteral("%1:%2").arg(geteuid()).arg(getegid())},
            {"-g eleves", "-g " + group}};
        const QString shims = "set -euo pipefail\n" + psqlAt(*server) +
                              "sudo() { if [[ $1 == -u ]]; then shift 2; fi; \"$@\"; }\n"
                              "systemctl() { psql -X -q -c 'SELECT pg_reload_conf()'; }\n"
                              "apt() { [[ $1 == install ]]; }\n";
        for (const char* name : {"serveur-tls", "serveur-base", "serveur-postes"}) {
            const QString said = runBash(shims + substituted(blocks.at(name), ours), root);
            QVERIFY2(said.startsWith("0 "), qPrintable(QString(name) + ": " + said));
        }
        const QString said =
            runBash(shims + substituted(blocks.at("poste"), ours), root + "/root/postes");
        QVERIFY2(said.startsWith("0 "), qPrintable(said));
        // The password and the authority's certificate: root's and the pupils' group's only.
        for (const char* file : {"pg_service.conf", "ecole-ca.crt"}) {
            struct stat st {};
            QCOMPARE(::stat(QFile::encodeName(root + "/etc/quiltaro/" + file).constData(), &st), 0);
            QCOMPARE(st.st_mode & 0777, 0640u);
            QCOMPARE(QString::fromLocal8Bit(getgrgid(st.st_gid)->gr_name), group);
        }
        QCOMPARE(server->value("SELECT count(*) FROM pg_roles r WHERE pg_has_role(r.oid,"
                               " 'quiltaro_eleve', 'MEMBER') AND r.rolname LIKE 'poste0%'"),
                 QVariant(8));

        // A pupil's login on poste01, with a configuration of its own that
        // says nothing of the server.
        const QString home = dir.filePath("eleve");
        QVERIFY(QDir().mkpath(home + "/config/quiltaro"));
        QFile own(home + "/config/quiltaro/quiltaro.conf");
        QVERIFY(own.open(QIODevice::WriteOnly));
        own.write("[jeu]\n");
        own.close();
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(root + "/etc/xdg"));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + "/config"));
        qputenv("XDG_DATA_HOME", QFile::encodeName(home + "/data"));
        qunsetenv("PGSERVICEFILE");
        QProcess check;
        check.setProcessChannelMode(QProcess::MergedChannels);
        check.start(QStringLiteral(QUILTARO_BINARY), {"--check-server"});
        QVERIFY(check.waitForFinished(60000));
        const QString checked = QString::fromUtf8(check.readAll());
        QVERIFY2(check.exitCode() == 0 && checked.contains("avec le rôle poste01"),
                 qPrintable(checked));

        // A service file every account may read is told, with the fix.
        const QString service = root + "/etc/quiltaro/pg_service.conf";
        QVERIFY(QFile::setPermissions(service, QFile::permissions(service) | QFile::ReadOther));
        QString warned;
        QTextStream w(&warned);
        QCOMPARE(checkServer(readServerSettings(), w), 0);
        QVERIFY2(warned.contains("lisible par tous les comptes") && warned.contains("chmod 0640"),
                 qPrintable(warned));
        QVERIFY(QFile::setPermissions(service, QFile::permissions(service) & ~QFile::ReadOther));

        // A round played there goes to the server over TLS, in poste01's name.
        const ServerSettings settings = readServerSettings();
        QCOMPARE(settings.conninfo, QString("service=quiltaro"));
        QCOMPARE(settings.className, QString("CM1-B"));
        {
            Reports reports;
            RecordStore store(RecordStore::defaultPath(), reports.report);
            const std::vector<RoundRecord> rounds{knownRounds()[0]};
            QVERIFY(store.writeMany(rounds));
        }
        ServerSender sender(settings, ServerSender::localRecords(),
                            [](const QString& text) { QWARN(qPrintable(text)); });
        sender.finish(std::chrono::seconds(10));
        QCOMPARE(server->value("SELECT sent_by || ' ' || class_name FROM quiltaro.rounds", "admin",
                               "quiltaro"),
                 QVariant("poste01 CM1-B"));
        ServerConnection tls("service=quiltaro");
        QVERIFY2(tls.open(), qPrintable(tls.problem()));
        QSqlQuery q(tls.database());
        QVERIFY(tls.exec(q, "SELECT ssl FROM pg_stat_ssl WHERE pid = pg_backend_pid()") &&
                q.next());
        QVERIFY(q.value(0).toBool());
        // A name the certificate does not carry is refused: verify-full.
        ServerConnection otherName("service=quiltaro host=127.0.0.1");
        QVERIFY(!otherName.open());
    }

    // A login's own file: what it does not set is the computer's; an empty
    // server= turns sending off, and says so.
    void aLoginsOwnFileTurnsSendingOffOnlyOnPurpose() {
        const QString system = dir.filePath("systeme"), user = dir.filePath("utilisateur");
        QVERIFY(QDir().mkpath(system + "/quiltaro") && QDir().mkpath(user + "/quiltaro"));
        QFile sys(system + "/quiltaro/quiltaro.conf");
        QVERIFY(sys.open(QIODevice::WriteOnly));
        sys.write("[record]\nserver=service=quiltaro\nclass=CM1-B\n");
        sys.close();
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(system));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(user));
        const auto userFile = [&](const QByteArray& text) {
            QFile f(user + "/quiltaro/quiltaro.conf");
            return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text) >= 0;
        };
        for (const QByteArray& text : {QByteArray(), QByteArray("[jeu]\nniveau=entiers\n"),
                                       QByteArray("[record]\nclass=CM2\n")}) {
            QVERIFY(userFile(text));
            const ServerSettings s = readServerSettings();
            QVERIFY2(s.configured(), text.constData());
            QVERIFY(sendingOffNotice(s).isEmpty());
            QCOMPARE(s.className, QString(text.contains("CM2") ? "CM2" : "CM1-B"));
        }
        QVERIFY(userFile("[record]\nserver=\n"));
        const ServerSettings off = readServerSettings();
        QVERIFY(!off.configured());
        QVERIFY2(sendingOffNotice(off).contains(user + "/quiltaro/quiltaro.conf"),
                 qPrintable(sendingOffNotice(off)));
        QString out;
        QTextStream o(&out);
        QCOMPARE(checkServer(off, o), 1);
        QVERIFY2(out.contains("est coupé par"), qPrintable(out));
    }
};

QTEST_GUILESS_MAIN(ServerSetupTest)
#include "test_server_setup.moc"
