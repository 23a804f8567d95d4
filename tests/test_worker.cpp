// Threads: each is told to stop, then waited for with one deadline for all,
// and none is left running; a connection to a server that says nothing is
// cut by the stop, whatever its connect_timeout.
#include "DesktopLocale.h"
#include "ServerClassFeed.h"
#include "ServerSender.h"
#include "Worker.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace quiltaro;
using namespace std::chrono_literals;

namespace {

int threadsRunning() {
    return int(QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

// Sleeps until stopped, as the program's threads do.
void sleepUntilStopped(std::stop_token stop) {
    std::mutex mutex;
    std::condition_variable_any never;
    std::unique_lock lock(mutex);
    never.wait(lock, stop, [] { return false; });
}

// A server that takes connections and never says a word: what a frozen
// server looks like from a client, the kernel answering for it.
struct SilentServer {
    int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int port = 0;
    SilentServer() {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(socket, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
            ::listen(socket, 16) == 0 &&
            ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            port = ntohs(address.sin_port);
    }
    ~SilentServer() { ::close(socket); }
    // libpq would wait for it for a minute.
    ServerSettings settings() const {
        return {QString("host=127.0.0.1 port=%1 dbname=classe user=poste1 connect_timeout=60")
                    .arg(port),
                "", ""};
    }
};

} // namespace

class WorkerTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QUILTARO_ADOPT_DESKTOP_LOCALE(); }

    // A worker runs until told to stop; waiting ends at the deadline while
    // it runs, and at once once it ended. Its end stops and joins it.
    void aWorkerStopsAndIsJoined() {
        const int before = threadsRunning();
        {
            Worker worker(sleepUntilStopped);
            QVERIFY(!worker.waitUntil(Worker::Clock::now() + 50ms));
            QVERIFY(!worker.ended());
            worker.requestStop();
            QVERIFY(worker.waitUntil(Worker::Clock::now() + 10s));
            QVERIFY(worker.ended());
            QVERIFY(worker.waitUntil(Worker::Clock::now())); // joined already
        }
        {
            std::atomic<bool> stopped{false};
            Worker worker([&](std::stop_token stop) {
                sleepUntilStopped(stop);
                stopped = true;
            });
        } // the end alone stops it
        QCOMPARE(threadsRunning(), before);
        Worker idle; // never started: nothing to wait for
        QVERIFY(idle.waitUntil(Worker::Clock::now()));
    }

    // Workers slow to stop, stopped together: one deadline in all, not one
    // each; those that ended by then are joined, the others at their end.
    void workersStoppedTogetherShareOneDeadline() {
        std::atomic<bool> release{false};
        auto slowToStop = [&](std::stop_token stop) {
            sleepUntilStopped(stop);
            while (!release)
                std::this_thread::sleep_for(5ms);
        };
        const int before = threadsRunning();
        {
            Worker a(slowToStop), b(slowToStop), c(slowToStop), quick(sleepUntilStopped);
            QElapsedTimer waited;
            waited.start();
            Worker* all[] = {&a, &b, &c, &quick};
            QVERIFY(!stopAll(all, Worker::Clock::now() + 500ms));
            QVERIFY2(waited.elapsed() >= 450 && waited.elapsed() < 1400,
                     qPrintable(QString::number(waited.elapsed())));
            QVERIFY(quick.ended());
            QVERIFY(!a.ended() && !b.ended() && !c.ended());
            release = true;
            Worker* slow[] = {&a, &b, &c};
            QVERIFY(stopAll(slow, Worker::Clock::now() + 10s));
        }
        QCOMPARE(threadsRunning(), before);
    }

    // The sender's end while it connects to a server that says nothing: the
    // attempt is cut, the end keeps its time, and its thread is gone.
    void theSenderEndsWhileConnecting() {
        SilentServer silent;
        QVERIFY(silent.port > 0);
        QTemporaryDir dir;
        QStringList told;
        const int before = threadsRunning();
        QElapsedTimer ended;
        {
            ServerSender sender(silent.settings(), {dir.filePath("record.sqlite")},
                                [&](const QString& text) { told << text; });
            sender.roundWritten(dir.filePath("record.sqlite"));
            QTest::qWait(300); // connecting by now
            ended.start();
            sender.finish(500ms);
            QVERIFY2(ended.elapsed() < 2000, qPrintable(QString::number(ended.elapsed())));
            QCOMPARE(threadsRunning(), before);
        }
        QVERIFY2(told.isEmpty(), qPrintable(told.join('\n'))); // cut here: nothing to tell

        // Dropped without finish(): cut all the same.
        ended.start();
        {
            ServerSender sender(silent.settings(), {}, [](const QString&) {});
            sender.roundWritten(dir.filePath("record.sqlite"));
            QTest::qWait(200);
        }
        QVERIFY2(ended.elapsed() < 2000, qPrintable(QString::number(ended.elapsed())));
        QCOMPARE(threadsRunning(), before);
    }

    // The teacher's window closed while its feed connects: it closes at once.
    void theClassFeedEndsWhileConnecting() {
        SilentServer silent;
        QVERIFY(silent.port > 0);
        const int before = threadsRunning();
        std::atomic<int> updates{0};
        QElapsedTimer ended;
        {
            ServerClassFeed feed(silent.settings(), 1s,
                                 [&](const ClassRecord&, bool, const QString&) { ++updates; });
            QTest::qWait(300);
            ended.start();
        }
        QVERIFY2(ended.elapsed() < 1500, qPrintable(QString::number(ended.elapsed())));
        QCOMPARE(threadsRunning(), before);
        QCOMPARE(updates.load(), 0); // stopped before anything was read
    }
};

QTEST_GUILESS_MAIN(WorkerTest)
#include "test_worker.moc"
