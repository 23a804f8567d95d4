// The windows over the class's server: the teacher's window opens within a second even when the
// server answers nothing (frozen), saying so, and fills in when the server answers; "Postes…" shows
// which computer sent each pupil's rounds, and marks the one that stopped sending while its class
// played.
#include "ComputersPanel.h"
#include "DesktopLocale.h"
#include "PgServer.h"
#include "PupilCharts.h"
#include "PupilPanel.h"
#include "RecordTesting.h"
#include "ResultsFromServer.h"
#include "ResultsWindow.h"
#include "SendingActivity.h"
#include "ServerActivity.h"
#include "ServerClassCopies.h"
#include "ServerClassList.h"
#include "ServerConnection.h"
#include "ServerCounts.h"
#include "ServerRounds.h"
#include "ServerTesting.h"
#include "TestProgram.h"

#include <QApplication>
#include <QChartView>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QXYSeries>
#include <QtTest>

#include <memory>

using namespace quiltaro;
using namespace quiltaro::test;

namespace {

ResultsWindow* shownWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<ResultsWindow*>(w); window && window->isVisible())
            return window;
    return nullptr;
}

QString labels(QWidget* window) {
    QStringList texts;
    for (const QLabel* label : window->findChildren<QLabel*>())
        texts << label->text();
    return texts.join('\n');
}

const QDateTime monday(QDate(2026, 11, 30), QTime(10, 0));

// The points the pupil's charts draw, more once the rounds are read.
qsizetype chartPoints(const ResultsWindow& window) {
    qsizetype points = 0;
    if (window.charts())
        for (QChartView* view : window.charts()->charts())
            for (QAbstractSeries* series : view->chart()->series())
                if (auto* xy = qobject_cast<QXYSeries*>(series))
                    points += xy->count();
    return points;
}

} // namespace

class ServerWindowTest : public QObject {
    Q_OBJECT

    ClassServer classServer;
    PgServer* server = nullptr;

private slots:
    void initTestCase() {
        QUILTARO_ADOPT_DESKTOP_LOCALE();
        classServer.start();
        server = classServer.server.get();
    }

    // A configuration that turns sending off says so where a person looks:
    // the welcome window; without one, nothing is added there.
    void theWelcomeWindowSaysSendingIsOff() {
        VirtualClock clock(9 * 3600.0);
        CountingSource random;
        Program told(clock, random, [] {});
        told.setNotice("Ce poste n'envoie pas les manches au serveur de la classe.");
        told.start();
        const auto* notice = told.welcome()->findChild<QLabel*>("avis");
        QVERIFY(notice && notice->isVisible());
        QVERIFY(notice->text().contains("n'envoie pas"));
        TestProgram quiet;
        QVERIFY(!quiet.program.welcome()->findChild<QLabel*>("avis"));
    }

    // A computer is silent when another of its class sent on a later day;
    // a pupil's computers come the most recent first.
    void aComputerSilentWhileItsClassPlayedIsMarked() {
        const std::vector<SenderRow> senders = {
            {"poste1", "CM1", monday.addDays(1), 12},            // Tuesday
            {"poste2", "CM1", monday.addSecs(3600), 9},          // Monday only
            {"poste3", "CM1", monday.addDays(1).addSecs(60), 3}, // Tuesday too
            {"poste4", "CM1", {}, 0},                            // never
            {"poste5", "CE2", monday, 4},                        // alone in its class
            {"bibliotheque", "*", monday, 1}};
        const std::vector<PupilSenderRow> pupils = {
            {"CM1", "Léa", "poste2", monday.addSecs(3600), 2},
            {"CM1", "Léa", "poste1", monday.addDays(1), 5}};
        const SendingActivity a = activityOf(senders, pupils);
        QCOMPARE(a.computers.size(), size_t(6));
        std::map<QString, QString> silent;
        for (const ComputerSeen& c : a.computers)
            silent[c.role] = c.silentFor;
        QCOMPARE(silent["poste1"], QString());
        QCOMPARE(silent["poste2"], QString("CM1"));
        QCOMPARE(silent["poste3"], QString());
        QCOMPARE(silent["poste4"], QString("CM1"));
        QCOMPARE(silent["poste5"], QString());
        QCOMPARE(silent["bibliotheque"], QString());
        QCOMPARE(a.pupils.size(), size_t(1));
        QCOMPARE(a.pupils[0].computers, QStringList({"poste1", "poste2"}));
        QCOMPARE(a.pupils[0].last, monday.addDays(1));
    }

    // Read from a real server, as the teacher's role: who sent, when, and the
    // computer attached to the class that never sent.
    void thePanelShowsWhichComputerSentWhat() {
        const QString db = classServer.freshDatabase();
        QCOMPARE(server->exec("CREATE ROLE poste3 LOGIN IN ROLE quiltaro_eleve"), QString());
        QCOMPARE(
            server->exec("INSERT INTO quiltaro.computers VALUES ('poste3', 'CM1')", "admin", db),
            QString());
        ServerConnection one(server->conninfo("poste1", db)), two(server->conninfo("poste2", db));
        RoundRecord r = knownRounds()[0];
        r.pupil = "Léa";
        QVERIFY(sendRound(one, r, "CM1"));
        r.started = r.started.addSecs(100), r.ended = r.ended.addSecs(100);
        QVERIFY(sendRound(two, r, "CM1"));
        r.pupil = "Noé";
        r.started = r.started.addSecs(100), r.ended = r.ended.addSecs(100);
        QVERIFY(sendRound(two, r, "CM1"));
        ServerSettings teacher{server->conninfo("prof", db), "CM1", QString()};
        ComputersPanel panel(serverSendingActivity(teacher));
        QSignalSpy shown(&panel, &ComputersPanel::shown);
        QVERIFY(shown.wait(15000));
        // poste3 sent nothing while its class played on the others.
        QVERIFY2(panel.status()->text().startsWith("1 poste n'envoie rien"),
                 qPrintable(panel.status()->text()));
        QCOMPARE(panel.computers()->rowCount(), 3);
        QCOMPARE(panel.computers()->item(0, 4)->text(), QString("envoie"));
        QCOMPARE(panel.computers()->item(2, 0)->text(), QString("poste3"));
        QCOMPARE(panel.computers()->item(2, 2)->text(), QString("jamais"));
        QVERIFY(panel.computers()->item(2, 4)->text().contains("n'a encore rien envoyé"));
        QCOMPARE(panel.pupils()->rowCount(), 2);
        QCOMPARE(panel.pupils()->item(0, 1)->text(), QString("Léa"));
        QCOMPARE(panel.pupils()->item(0, 2)->text(), QString("poste2, poste1"));
        QVERIFY(panel.pupils()->item(0, 3)->text().contains(
            QString::number(QDate::currentDate().year())));
        // The pupils' role may not read it, and the panel says so.
        ServerSettings pupil{server->conninfo("poste1", db), "CM1", QString()};
        ComputersPanel refused(serverSendingActivity(pupil));
        QSignalSpy told(&refused, &ComputersPanel::shown);
        QVERIFY(told.wait(15000));
        QVERIFY2(refused.status()->text().contains("pas pu être lus"),
                 qPrintable(refused.status()->text()));
        // Closed while the server answers nothing: at once, the reading cut.
        server->pause();
        auto frozen = std::make_unique<ComputersPanel>(serverSendingActivity(teacher));
        QTest::qWait(300);
        QElapsedTimer closing;
        closing.start();
        frozen.reset();
        const qint64 took = closing.elapsed();
        server->resume();
        QVERIFY2(took < 1000, qPrintable(QString::number(took)));
    }

    // A pupil's charts read the rounds the server counted: while it answers
    // nothing (frozen), the window opens, goes from pupil to pupil and says
    // it reads, without waiting; thawed, the charts of the pupil shown fill in.
    void chartsReadWhileTheWindowAnswers() {
        const QString db = classServer.freshDatabase();
        ServerConnection one(server->conninfo("poste1", db));
        for (const char* name : {"Léa", "Noé"})
            for (RoundRecord r : knownRounds()) {
                r.pupil = name;
                r.gameToken += name;
                QVERIFY(sendRound(one, r, "CM1"));
            }
        const ServerSettings teacher{server->conninfo("prof", db), "CM1", QString()};
        ClassRecord data;
        {
            ServerConnection reading(teacher.conninfo);
            QVERIFY(readServerClassCounts(reading, teacher, data));
        }
        QVERIFY(data.readRounds);
        server->pause();
        QElapsedTimer clock;
        clock.start();
        ResultsWindow window(data, QDateTime::currentDateTime(), false);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.shownPupil(), QString("Léa"));
        QVERIFY(window.panel()->readingLabel()->isVisible());
        window.showPupil("Noé");
        QVERIFY(window.panel()->readingLabel()->isVisible());
        // The window's own timers keep their pace meanwhile.
        QElapsedTimer ticking;
        ticking.start();
        QTest::qWait(300);
        QVERIFY2(ticking.elapsed() < 600, qPrintable(QString::number(ticking.elapsed())));
        QVERIFY2(clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
        const qsizetype unread = chartPoints(window);
        server->resume();
        QTRY_VERIFY_WITH_TIMEOUT(!window.panel()->readingLabel()->isVisible(), 30000);
        QCOMPARE(window.shownPupil(), QString("Noé"));
        QVERIFY2(chartPoints(window) > unread, qPrintable(QString::number(unread)));

        // Closed while the frozen server holds a reading: the window goes
        // at once, the reading cut rather than waited for.
        server->pause();
        auto closing = std::make_unique<ResultsWindow>(data, QDateTime::currentDateTime(), false);
        closing->show();
        QVERIFY(QTest::qWaitForWindowExposed(closing.get()));
        QVERIFY(closing->panel()->readingLabel()->isVisible());
        QTest::qWait(200); // the reading has connected, and waits for its answer
        clock.restart();
        closing.reset();
        const qint64 closed = clock.elapsed();
        server->resume();
        QVERIFY2(closed < 1000, qPrintable(QString::number(closed)));
    }

    // Opened while its class is read, the window grows to show the class
    // once it comes, within the screen; a size the teacher gives it stays.
    void aWindowOpenedWhileReadingGrowsForItsClass() {
        ResultsWindow window(ClassRecord{}, QDateTime::currentDateTime(), false);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QSize opened = window.size();
        std::vector<RoundRecord> rounds = knownRounds();
        for (RoundRecord& r : rounds)
            r.className = "CM1";
        const ClassRecord data = classOfRounds(rounds);
        window.refreshWhenFree(data, QDateTime::currentDateTime());
        QVERIFY2(window.height() > opened.height(), qPrintable(QString::number(window.height())));
        QVERIFY2(window.screen()->availableGeometry().contains(window.frameGeometry()),
                 qPrintable(QStringLiteral("%1,%2 %3x%4")
                                .arg(window.frameGeometry().x())
                                .arg(window.frameGeometry().y())
                                .arg(window.frameGeometry().width())
                                .arg(window.frameGeometry().height())));
        window.resize(opened);
        window.refreshWhenFree(data, QDateTime::currentDateTime());
        QCOMPARE(window.size(), opened);
    }

    // Another class than that of quiltaro.conf: its pupils without a round
    // are those of the server's list (this login has no file of it, and its
    // copy is older), and a name the teacher adds there shows while the
    // window is open.
    void anotherClassListsThePupilsOfTheServersList() {
        QTemporaryDir login;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(login.filePath("config")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(login.filePath("data")));
        const QString db = classServer.freshDatabase();
        QCOMPARE(server->exec("INSERT INTO quiltaro.class_lists (class_name, position, name)"
                              " VALUES ('CE2-A', 0, 'Léa'), ('CM1-B', 0, 'Tom')",
                              "prof", db),
                 QString());
        ServerConnection one(server->conninfo("poste1", db));
        QVERIFY(refreshClassCopies(one)); // as the game did on this computer
        QCOMPARE(server->exec("INSERT INTO quiltaro.class_lists (class_name, position, name)"
                              " VALUES ('CM1-B', 1, 'Zaïd')",
                              "prof", db),
                 QString());
        RoundRecord r = knownRounds()[0];
        r.pupil = "Tom";
        QVERIFY(sendRound(one, r, "CM1-B"));
        one.close();
        QStringList seen;
        bool added = false;
        QTimer watch;
        watch.setInterval(50);
        QElapsedTimer clock;
        clock.start();
        QObject::connect(&watch, &QTimer::timeout, [&] {
            ResultsWindow* window = shownWindow();
            if (!window)
                return;
            QStringList names;
            for (const PupilSummary& p : window->summary().pupils)
                names << p.name;
            if (!added && names.contains("Zaïd")) {
                seen = names;
                added = true;
                server->exec("INSERT INTO quiltaro.class_lists (class_name, position, name)"
                             " VALUES ('CM1-B', 2, 'Yanis')",
                             "prof", db);
            }
            if ((added && names.contains("Yanis")) || clock.elapsed() > 60000) {
                seen = names;
                window->close();
            }
        });
        watch.start();
        QCOMPARE(showServerResults({server->conninfo("prof", db), "CE2-A", QString()}, {}, "CM1-B"),
                 0);
        QCOMPARE(seen, QStringList({"Tom", "Yanis", "Zaïd"}));
    }

    // The server frozen (SIGSTOP): the window is on screen within a second,
    // says the server does not answer, and fills in once it is thawed.
    void theWindowOpensAtOnceWhenTheServerIsFrozen() {
        const QString db = classServer.freshDatabase();
        ServerConnection one(server->conninfo("poste1", db));
        RoundRecord r = knownRounds()[0];
        r.pupil = "Léa";
        QVERIFY(sendRound(one, r, ""));
        one.close();
        server->pause();
        QElapsedTimer clock;
        qint64 shownAfter = -1;
        bool saidNoAnswer = false, filled = false;
        QTimer watch;
        watch.setInterval(20);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            ResultsWindow* window = shownWindow();
            if (!window)
                return;
            if (shownAfter < 0)
                shownAfter = clock.elapsed();
            if (!saidNoAnswer && labels(window).contains("n'ont pas pu être lues")) {
                saidNoAnswer = true;
                server->resume();
            }
            if (saidNoAnswer && window->summary().pupils.size() == 1) {
                filled = true;
                window->close();
            }
            if (clock.elapsed() > 60000)
                window->close();
        });
        watch.start();
        clock.start();
        showServerResults({server->conninfo("prof", db), "", QString()});
        server->resume();
        qInfo("window shown after %lld ms", shownAfter);
        QVERIFY(shownAfter >= 0 && shownAfter < 1000);
        QVERIFY(saidNoAnswer);
        QVERIFY(filled);
    }
};

QTEST_MAIN(ServerWindowTest)
#include "test_server_window.moc"
