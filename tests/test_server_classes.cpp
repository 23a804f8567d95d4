// The classes of a school on its PostgreSQL server, as the teacher's tools
// read them: Léa of CE2-A and Léa of CM1-B counted apart whichever way the
// class is read, each class chosen in turn, and the school's table.
#include "ClassChoice.h"
#include "ClassTesting.h"
#include "DesktopLocale.h"
#include "ServerBulk.h"
#include "ServerClassList.h"
#include "ServerConnection.h"
#include "ServerCounts.h"
#include "ServerSchool.h"
#include "ServerTesting.h"

#include <QtTest>

using namespace quiltaro;
using namespace quiltaro::test;

namespace {

std::vector<RoundRecord> rounds(const QString& pupil, int count, const QDateTime& from) {
    std::vector<RoundRecord> made;
    for (int i = 0; i < count; ++i)
        made.push_back(
            named(played("g" + pupil, from.addSecs(120 * i), 0, 2, 2, Ending::Won), pupil));
    return made;
}

const PupilRounds* only(const ClassRecord& data, const QString& name) {
    const PupilRounds* found = nullptr;
    for (const PupilRounds& p : data.pupils)
        if (p.name == name) {
            if (found)
                return nullptr; // two of that name: merged or not, not one pupil
            found = &p;
        }
    return found;
}

qint64 roundsOf(const PupilRounds* p) {
    return !p ? -1 : p->counted ? p->counted->rounds : qint64(p->rounds.size());
}

} // namespace

class ServerClassesTest : public QObject {
    Q_OBJECT
    ClassServer classServer;
    QString db;

private slots:
    void initTestCase() {
        QUILTARO_ADOPT_DESKTOP_LOCALE();
        classServer.start();
        db = classServer.freshDatabase();
        QVERIFY(!db.isEmpty());
        ServerConnection admin(classServer.server->conninfo("admin", db));
        const QDateTime yesterday = QDateTime::currentDateTime().addDays(-1);
        QVERIFY2(sendRounds(admin, rounds("Léa", 3, yesterday), "CE2-A"),
                 qPrintable(admin.problem()));
        QVERIFY2(sendRounds(admin, rounds("Léa", 1, yesterday.addSecs(3600)), "CM1-B"),
                 qPrintable(admin.problem()));
        QVERIFY2(sendRounds(admin, rounds("Tom", 2, yesterday.addSecs(7200)), "CM1-B"),
                 qPrintable(admin.problem()));
        ClassList cm1;
        cm1.names = {"Léa", "Tom", "Zaïd"};
        QVERIFY2(writeServerClassList(admin, "CM1-B", cm1), qPrintable(admin.problem()));
    }

    // Each class as its view reads it: the server counts the class chosen.
    void eachClassIsCountedApart() {
        for (const auto& [className, lea, tom] :
             {std::tuple{"CE2-A", 3, -1}, std::tuple{"CM1-B", 1, 2}}) {
            const ServerSettings settings{classServer.server->conninfo("prof", db), className, {}};
            ServerConnection teacher(settings.conninfo);
            ClassRecord data;
            QVERIFY2(readServerClassCounts(teacher, settings, data), qPrintable(teacher.problem()));
            QVERIFY(only(data, "Léa") && only(data, "Léa")->counted);
            QCOMPARE(roundsOf(only(data, "Léa")), qint64(lea));
            QCOMPARE(roundsOf(only(data, "Tom")), qint64(tom));
        }
    }

    // Without a class named, the server's classes are not summed by first
    // name: each Léa keeps her class.
    void withoutAClassTwoLeaStayTwo() {
        const ServerSettings settings{classServer.server->conninfo("prof", db), {}, {}};
        ServerConnection teacher(settings.conninfo);
        ClassRecord data;
        QVERIFY2(readServerClassCounts(teacher, settings, data), qPrintable(teacher.problem()));
        QStringList lea;
        for (const PupilRounds& p : data.pupils)
            if (p.name == "Léa")
                lea << p.className + ":" + QString::number(p.rounds.size());
        QCOMPARE(lea, QStringList({"CE2-A:3", "CM1-B:1"}));
        // Keeping one class of them leaves that class's Léa.
        keepClass(data, "cm1-b", {});
        QCOMPARE(roundsOf(only(data, "Léa")), qint64(1));
    }

    // The head teacher's table: every class the teacher's role reads, the
    // list's pupils without a round counted among the class.
    void theSchoolTableCountsEveryClass() {
        const ServerSettings settings{classServer.server->conninfo("prof", db), "CE2-A", {}};
        const std::vector<ClassLine> lines =
            readServerSchool(settings, {"CP"}, Period::of(Period::Kind::Everything, QDate()),
                             QDateTime::currentDateTime());
        QCOMPARE(lines.size(), size_t(3));
        QCOMPARE(lines[0].className, QString("CE2-A"));
        QCOMPARE(lines[0].pupils, 1);
        QCOMPARE(lines[0].played, 1);
        QCOMPARE(lines[0].rounds, qint64(3));
        QCOMPARE(lines[1].className, QString("CM1-B"));
        QCOMPARE(lines[1].pupils, 3); // Zaïd, listed, has not played
        QCOMPARE(lines[1].played, 2);
        QCOMPARE(lines[1].rounds, qint64(3));
        QCOMPARE(lines[2].className, QString("CP")); // this login's, nothing there yet
        QCOMPARE(lines[2].rounds, qint64(0));
        for (const ClassLine& line : lines)
            QVERIFY2(line.problem.isEmpty(), qPrintable(line.problem));
    }

    // A server that cannot be reached says so on the table, not by a crash.
    void anUnreachableServerIsSaid() {
        const ServerSettings settings{
            "host=127.0.0.1 port=1 dbname=x user=prof connect_timeout=2", "CE2-A", {}};
        const std::vector<ClassLine> lines =
            readServerSchool(settings, {}, Period::of(Period::Kind::Everything, QDate()),
                             QDateTime::currentDateTime());
        QCOMPARE(lines.size(), size_t(1));
        QVERIFY2(lines[0].problem.contains("n'ont pas pu être lues"), qPrintable(lines[0].problem));
    }
};

QTEST_MAIN(ServerClassesTest)
#include "test_server_classes.moc"
