// Computers of a class playing on a PostgreSQL server started here, while
// it fails: two at once, the server killed and restarted, frozen, a
// statement never answered, a connection refused. Every round arrives once,
// and the game never waits for the server.
#include "DesktopLocale.h"
#include "PgServer.h"
#include "RecordReading.h"
#include "RecordStore.h"
#include "RecordTesting.h"
#include "Recorder.h"
#include "ServerClassList.h"
#include "ServerCommands.h"
#include "ServerConnection.h"
#include "ServerRounds.h"
#include "ServerSchema.h"
#include "ServerSender.h"
#include "ServerTesting.h"
#include "TimeZone.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <cmath>
#include <set>
#include <thread>

#include <ctime>

using namespace quiltaro;
using namespace quiltaro::test;

namespace {

// A computer of the class: the game's record and sender as the program sets
// them up from its configuration, playing `rounds` rounds `pauseMs` apart.
int playAsComputer(int rounds, int pauseMs) {
    ProblemReport report{[](const QString&) {}};
    RecordStore store(RecordStore::defaultPath(), report);
    const ServerSettings settings = readServerSettings();
    if (!settings.configured())
        return 3;
    ServerSender sender(settings, ServerSender::localRecords(), [](const QString& text) {
        std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    Recorder recorder(store, pupilsTime);
    recorder.whenWritten([&sender](const QString& path) { sender.roundWritten(path); });
    TimedPupil pupil(recorder);
    for (int i = 0; i < rounds; ++i) {
        pupil.playRound();
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
    }
    recorder.programEnding();
    sender.finish(std::chrono::seconds(5));
    std::printf("worst_ms %.3f\n", std::chrono::duration<double, std::milli>(pupil.worst).count());
    return 0;
}

qint64 unsentIn(const QString& record) {
    return count(record, QStringLiteral("rounds WHERE sent = 0"));
}

} // namespace

class ServerOutagesTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    ClassServer classServer;
    PgServer* server = nullptr;
    QString freshDatabase() { return classServer.freshDatabase(); }
    qint64 onServer(const QString& db) const { return classServer.onServer(db); }

    // A computer: its configuration and data folders, as a child process.
    QProcess* computer(const QString& name, const QString& conninfo, int rounds, int pauseMs) {
        const QString home = dir.filePath(name);
        QDir().mkpath(home + "/config/quiltaro");
        QFile conf(home + "/config/quiltaro/quiltaro.conf");
        if (!conf.open(QIODevice::WriteOnly))
            return nullptr;
        conf.write("[record]\nserver=\"" + conninfo.toUtf8() + "\"\n");
        conf.close();
        auto* process = new QProcess(this);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", home + "/config");
        env.insert("XDG_DATA_HOME", home + "/data");
        process->setProcessEnvironment(env);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QCoreApplication::applicationFilePath(),
                       {"--play", QString::number(rounds), QString::number(pauseMs)});
        return process;
    }
    QString recordOf(const QString& name) const {
        return dir.filePath(name) + "/data/quiltaro/record.sqlite";
    }
    static bool finished(QProcess* p) {
        return p && p->waitForFinished(120000) && p->exitStatus() == QProcess::NormalExit &&
               p->exitCode() == 0;
    }
    // Every round of the records is on the server, once.
    void everyRoundOnceOn(const QString& db, const QStringList& records) {
        std::set<QString> local;
        for (const QString& record : records)
            for (const RoundRecord& r : readRecord(record).rounds)
                local.insert(roundIdentity(r).toString(QUuid::WithoutBraces));
        std::set<QString> remote;
        ServerConnection admin(server->conninfo("admin", db));
        QVERIFY(admin.open());
        QSqlQuery q(admin.database());
        QVERIFY(admin.exec(q, "SELECT id::text FROM quiltaro.rounds"));
        while (q.next())
            remote.insert(q.value(0).toString());
        QCOMPARE(qint64(remote.size()), onServer(db)); // no round twice
        QVERIFY(!local.empty());
        QVERIFY(local == remote);
        for (const QString& record : records)
            QCOMPARE(unsentIn(record), qint64(0));
    }

private slots:
    void initTestCase() {
        QUILTARO_ADOPT_DESKTOP_LOCALE();
        QVERIFY(dir.isValid());
        classServer.start();
        server = classServer.server.get();
    }

    // Two computers play at once on one server: every round arrives once;
    // sent again from a record that lost its marks, none is stored twice.
    void twoComputersPlayAtOnce() {
        const QString db = freshDatabase();
        QProcess* a = computer("a", server->conninfo("poste1", db), 40, 10);
        QProcess* b = computer("b", server->conninfo("poste2", db), 40, 10);
        QVERIFY(finished(a) && finished(b));
        QCOMPARE(onServer(db), qint64(80));
        everyRoundOnceOn(db, {recordOf("a"), recordOf("b")});
        execAll(recordOf("a"), {"UPDATE rounds SET sent = 0"});
        QVERIFY(finished(computer("a", server->conninfo("poste1", db), 0, 0)));
        QCOMPARE(onServer(db), qint64(80));
        QCOMPARE(unsentIn(recordOf("a")), qint64(0));
    }

    // The server killed in the middle of a game and started again: the
    // rounds played meanwhile go with the next ones, or at the end, or at
    // the next start; none twice.
    void theServerKilledAndRestarted() {
        const QString db = freshDatabase();
        QProcess* c = computer("c", server->conninfo("poste1", db), 100, 50);
        QVERIFY(c);
        QTRY_VERIFY_WITH_TIMEOUT(onServer(db) >= 5, 30000);
        server->kill();
        QThread::msleep(1000);
        QVERIFY(server->start());
        QVERIFY(finished(c));
        // On a busy machine the game may end before the server is back.
        if (onServer(db) < 100)
            QVERIFY(finished(computer("c", server->conninfo("poste1", db), 0, 0)));
        everyRoundOnceOn(db, {recordOf("c")});
        QCOMPARE(onServer(db), qint64(100));
    }

    // A server that answers nothing (frozen): the game's calls stay quick,
    // the end waits a bounded time, and the next start sends everything.
    void aFrozenServerNeverHoldsTheGame() {
        const QString db = freshDatabase();
        const QString path = dir.filePath("frozen/record.sqlite");
        ServerSettings settings{server->conninfo("poste1", db), "", ""};
        {
            Reports reports;
            RecordStore store(path, reports.report);
            auto sender =
                std::make_unique<ServerSender>(settings, QStringList{path}, [](const QString&) {});
            Recorder recorder(store, pupilsTime);
            recorder.whenWritten([s = sender.get()](const QString& p) { s->roundWritten(p); });
            TimedPupil pupil(recorder);
            pupil.playRound();
            QTRY_COMPARE_WITH_TIMEOUT(onServer(db), qint64(1), 30000);
            server->pause();
            for (int i = 0; i < 20; ++i) {
                pupil.playRound();
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            QElapsedTimer end;
            end.start();
            recorder.programEnding();
            sender->finish(Recorder::patienceAtEnd);
            const auto worstMs = std::chrono::duration<double, std::milli>(pupil.worst).count();
            qInfo("longest call into the record %.2f ms; the end took %lld ms", worstMs,
                  end.elapsed());
            QVERIFY2(worstMs < 100, qPrintable(QString::number(worstMs)));
            QVERIFY2(end.elapsed() < 3000, qPrintable(QString::number(end.elapsed())));
            QCOMPARE(recorder.waiting(), size_t(0)); // all in the local record
        }
        server->resume();
        QVERIFY(unsentIn(path) > 0);
        ServerSender next(settings, {path}, [](const QString&) {});
        QTRY_COMPARE_WITH_TIMEOUT(unsentIn(path), qint64(0), 30000);
        everyRoundOnceOn(db, {path});
        QCOMPARE(onServer(db), qint64(21));
    }

    // A statement the frozen server never answers is cut from this side, in
    // its time, whatever stage it was at; the connection is made again after.
    void aStatementUnansweredIsCut() {
        const QString db = freshDatabase();
        ServerConnection pupil(server->conninfo("poste1", db), {2, 1000, 1500});
        QVERIFY(sendRound(pupil, knownRounds()[0], ""));
        server->pause();
        // Thawed in any case, should the statement never return.
        std::thread thaw([&] {
            std::this_thread::sleep_for(std::chrono::seconds(10));
            server->resume();
        });
        QElapsedTimer cut;
        cut.start();
        const bool sent = sendRound(pupil, knownRounds()[1], "");
        const qint64 ms = cut.elapsed();
        server->resume();
        thaw.join();
        QVERIFY(!sent);
        QVERIFY2(ms >= 1400 && ms < 4000, qPrintable(QString::number(ms)));
        QCOMPARE(pupil.problem(), QString("le serveur n'a pas répondu à temps"));
        QVERIFY(!pupil.isOpen());
        QVERIFY2(sendRound(pupil, knownRounds()[1], ""), qPrintable(pupil.problem()));
        QCOMPARE(onServer(db), qint64(2));
    }

    // A server that cannot be reached: told once, in French, without the
    // password; the rounds wait on this computer for the next start.
    void aRefusedConnectionLosesNothing() {
        const QString db = freshDatabase();
        const QString path = dir.filePath("refused/record.sqlite");
        QStringList told;
        {
            Reports reports;
            RecordStore store(path, reports.report);
            ServerSettings nowhere{QString("host=%1 port=1 dbname=%2 user=poste1 password=sekret")
                                       .arg(dir.filePath("nowhere"), db),
                                   "", ""};
            auto sender = std::make_unique<ServerSender>(
                nowhere, QStringList{path}, [&](const QString& text) { told << text; });
            Recorder recorder(store, pupilsTime);
            recorder.whenWritten([s = sender.get()](const QString& p) { s->roundWritten(p); });
            TimedPupil pupil(recorder);
            for (int i = 0; i < 5; ++i)
                pupil.playRound();
            // Refused at once, the sender waits for the next round, or a
            // while, rather than try again and again on the pupil's cores.
            QTest::qWait(500);
            const std::clock_t cpu = std::clock();
            QTest::qWait(1000);
            const double cpuMs = 1000.0 * double(std::clock() - cpu) / CLOCKS_PER_SEC;
            QVERIFY2(cpuMs < 200, qPrintable(QString::number(cpuMs)));
            recorder.programEnding();
            sender->finish(std::chrono::milliseconds(500));
        }
        QCOMPARE(told.size(), 1);
        QVERIFY2(told[0].contains("le serveur est arrêté") && !told[0].contains("sekret"),
                 qPrintable(told[0]));
        QCOMPARE(unsentIn(path), qint64(5));
        ServerSender next({server->conninfo("poste1", db), "", ""}, {path}, [](const QString&) {});
        QTRY_COMPARE_WITH_TIMEOUT(unsentIn(path), qint64(0), 30000);
        everyRoundOnceOn(db, {path});
    }
};

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--play") {
        QCoreApplication::setApplicationName(QStringLiteral("quiltaro"));
        QCoreApplication app(argc, argv);
        return playAsComputer(std::atoi(argv[2]), std::atoi(argv[3]));
    }
    QCoreApplication app(argc, argv);
    ServerOutagesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_server_outages.moc"
