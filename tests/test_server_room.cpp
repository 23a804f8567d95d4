// A pupil at a computer of the room the administrator's guide sets up: the
// real game, configured by nothing but the files the guide's commands put
// there, on an X server of its own, played with real keys and clicks from
// "commencer" to the farewell. Its round reaches the school's server once,
// in the computer's role's name, for the class quiltaro.conf names.
#include "DesktopLocale.h"
#include "GuideRoom.h"
#include "PgServer.h"
#include "ServerClassList.h"
#include "ServerConnection.h"
#include "ServerTesting.h"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QtTest>

using namespace quiltaro;
using namespace quiltaro::test;

class ServerRoomTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    ClassServer classServer;
    PgServer* server = nullptr;
    GuideRoom room;

    // The script that sits a pupil at the computer, with a login's folders
    // of its own under `home` and the computer's from the guide.
    QString pupilPlays(const QString& home, const QString& pupil) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_DIRS", room.configDirs());
        env.insert("XDG_CONFIG_HOME", home + "/config");
        env.insert("XDG_DATA_HOME", home + "/data");
        env.remove("PGSERVICEFILE");
        QProcess script;
        script.setProcessEnvironment(env);
        script.setProcessChannelMode(QProcess::MergedChannels);
        script.start("bash", {QStringLiteral(QUILTARO_SOURCE_DIR "/tests/atspi/pupil-plays.sh"),
                              QStringLiteral(QUILTARO_BINARY), pupil});
        if (!script.waitForFinished(240000)) {
            script.kill();
            script.waitForFinished();
            return "timeout: " + QString::fromUtf8(script.readAll());
        }
        return QString::number(script.exitCode()) + ' ' + QString::fromUtf8(script.readAll());
    }

private slots:
    void initTestCase() {
        QUILTARO_ADOPT_DESKTOP_LOCALE();
        QVERIFY(dir.isValid());
        classServer.start();
        server = classServer.server.get();
        const QString problem = room.setUp(*server, dir.path());
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    // The teacher's list of CM1-B on the server; at poste01, Noé picks her
    // name on "Qui joue ?", finds the red number and leaves.
    void aPupilPlaysARoundAtAComputerOfTheRoom() {
        // Step 4: a teacher's role, which writes the class list as the
        // results window does (its copy goes to a folder of the teacher's).
        QCOMPARE(server->exec("CREATE ROLE mme_martin LOGIN IN ROLE quiltaro_enseignant", "admin",
                              "quiltaro"),
                 QString());
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath("enseignante")));
        ServerConnection teacher(server->conninfo("mme_martin", "quiltaro"));
        QVERIFY2(writeServerClassList(teacher, "CM1-B", QStringList{"Léa", "Noé", "Zoé"}),
                 qPrintable(teacher.problem()));

        const QString home = dir.filePath("eleves-cm1b");
        QVERIFY(QDir().mkpath(home + "/config") && QDir().mkpath(home + "/data"));
        const QString said = pupilPlays(home, "Noé");
        QVERIFY2(said.startsWith("0 "), qPrintable(said));
        qInfo().noquote() << said; // the tries, for whoever reads the log

        // Once, from poste01's role (over TLS: the only way in for it), in
        // CM1-B, found; the same round the computer kept.
        QCOMPARE(server->value("SELECT string_agg(sent_by || ' ' || class_name || ' ' || pupil"
                               " || ' ' || ending, ', ') FROM quiltaro.rounds",
                               "admin", "quiltaro"),
                 QVariant("poste01 CM1-B Noé won"));
        const QString record = home + "/data/quiltaro/eleves/CM1-B/Noé/record.sqlite";
        QVERIFY2(QFile::exists(record), qPrintable(record));
    }
};

QTEST_GUILESS_MAIN(ServerRoomTest)
#include "test_server_room.moc"
