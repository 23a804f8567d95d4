// Erasing one pupil (--forget): that pupil's folder and games gone once the
// name is typed again, every other pupil whole, a round being written waited
// for, and the option read from the command line.
#include "Controls.h"
#include "DesktopLocale.h"
#include "Forgetting.h"
#include "GameOptions.h"
#include "GameRecording.h"
#include "LoginTesting.h"
#include "NumberText.h"
#include "Pupils.h"
#include "RecordReading.h"
#include "RecordStore.h"
#include "RecordTesting.h"
#include "Spill.h"
#include "TestProgram.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <thread>

using namespace quiltaro;
using namespace quiltaro::test;

namespace {

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class ForgetPupilTest : public QObject {
    Q_OBJECT
    TestLogin login;
    const QTemporaryDir& dir = login.dir;

private slots:
    void initTestCase() {
        QUILTARO_ADOPT_DESKTOP_LOCALE();
        login.setUp();
    }

    void init() { login.empty(); }

    // The last rounds of the record erased, then a new one: it takes an id
    // of its own, so that a mark made for an erased round (sent to the
    // class's server) cannot land on it.
    void anErasedRoundsIdIsNeverGivenAgain() {
        const QString path = dir.filePath("ids/record.sqlite");
        Reports reports;
        RecordStore store(path, reports.report);
        std::vector<RoundRecord> rounds = knownRounds();
        for (RoundRecord& r : rounds) // the last game is Léa's
            r.pupil = r.gameToken == rounds.back().gameToken ? "Léa" : "Tom";
        QVERIFY(store.writeMany(rounds));
        const auto highest = [&] {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "ids");
            db.setDatabaseName(path);
            qint64 id = -1;
            if (db.open()) {
                QSqlQuery q(db);
                if (q.exec("SELECT MAX(id) FROM rounds") && q.next())
                    id = q.value(0).toLongLong();
            }
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase("ids");
            return id;
        };
        const qint64 before = highest();
        QVERIFY(store.forgetPupil("Léa"));
        RoundRecord later = knownRounds()[0];
        later.gameToken = "plus-tard";
        QVERIFY(store.write(later));
        QCOMPARE(highest(), before + 1);
    }

    // Another copy still reads the log: the rounds are erased, but the log
    // keeps a copy of them until it is emptied. That is said, and the same
    // command, once the other copy is done, leaves nothing.
    void anErasureThatLeavesTracesSaysSo() {
        const QString path = dir.filePath("traces/record.sqlite");
        Reports reports;
        RecordStore store(path, reports.report);
        std::vector<RoundRecord> rounds = knownRounds();
        for (RoundRecord& r : rounds)
            r.pupil = "Tom";
        QVERIFY(store.writeMany(rounds));
        {
            QSqlDatabase reader = QSqlDatabase::addDatabase("QSQLITE", "reader");
            reader.setDatabaseName(path);
            QVERIFY(reader.open());
            QSqlQuery q(reader);
            QVERIFY(q.exec("BEGIN") && q.exec("SELECT COUNT(*) FROM rounds") && q.next());
            QVERIFY(!store.forgetPupil("Tom"));
            QVERIFY2(!reports.texts.isEmpty() &&
                         reports.texts.last().contains("des traces en restent"),
                     qPrintable(reports.texts.join('\n')));
            q.finish();
            QSqlQuery(reader).exec("COMMIT");
        }
        QSqlDatabase::removeDatabase("reader");
        QVERIFY(store.forgetPupil("Tom"));
        QCOMPARE(count(path, "rounds"), qint64(0));
    }

    // --forget NOM: one pupil's folder and games gone, after that name typed
    // again; every other pupil's rounds whole.
    void forgettingOnePupilLeavesTheOthersWhole() {
        const QString login = dir.filePath("forget/record.sqlite");
        const QString folders = dir.filePath("forget/eleves/");
        Reports reports;
        std::map<QString, std::vector<RoundRecord>> kept;
        for (const QString pupil : {"Léa", "Tom", "Zoé"}) {
            std::vector<RoundRecord> rounds = knownRounds();
            for (RoundRecord& r : rounds)
                r.pupil = pupil, r.gameToken += pupil;
            RecordStore store(folders + pupil + "/record.sqlite", reports.report);
            QVERIFY(store.writeMany(rounds));
            kept[pupil] = rounds;
        }
        {
            // A round of Tom's waiting beside his record.
            Spill spill(folders + "Tom/record.sqlite");
            QVERIFY(spill.add(1, kept["Tom"][0]));
        }
        // The login's own record: a game of Tom's (a personal login named
        // so), and one from before names.
        std::vector<RoundRecord> own = knownRounds();
        own[0].pupil = own[1].pupil = "Tom";
        own[0].guesses[0].answer = own[1].guesses[0].answer = "424242";
        {
            RecordStore store(login, reports.report);
            QVERIFY(store.writeMany(own));
        }

        for (QString answer : {"", "tom\n", "oui\n", "Léa\n"}) {
            QString shown;
            QTextStream in(&answer), out(&shown);
            QCOMPARE(forgetPupil(login, "Tom", in, out), 1);
            QVERIFY(shown.contains("Rien n'a été effacé"));
        }
        QVERIFY(QFileInfo::exists(folders + "Tom/record.sqlite"));
        QString typed = "  Tom \n", shown;
        QTextStream in(&typed), out(&shown);
        QCOMPARE(forgetPupil(login, "Tom", in, out), 0);
        QVERIFY(shown.contains("ont été effacés"));
        QVERIFY(!QFileInfo::exists(folders + "Tom"));
        for (const QString pupil : {"Léa", "Zoé"})
            QVERIFY(readRecord(folders + pupil + "/record.sqlite").rounds == kept[pupil]);
        const std::vector<RoundRecord> left = readRecord(login).rounds;
        QCOMPARE(pupilsOf(left), QStringList{""});
        QVERIFY(left[0] == own[2]);
        for (const char* suffix : {"", "-wal"})
            QVERIFY(!bytesOf(login + suffix).contains("424242"));

        // A name with nothing recorded: nothing asked, the pupils listed.
        QString none = "Tom\n", listed;
        QTextStream noneIn(&none), listedOut(&listed);
        QCOMPARE(forgetPupil(login, "Tom", noneIn, listedOut), 1);
        QVERIFY(listed.contains("Léa, Zoé"));
        QCOMPARE(none, QStringLiteral("Tom\n"));
        // A name typed with its accent as a separate mark (as some keyboards
        // and terminals send it) is the same name.
        const QString decomposed = QStringLiteral("Zoe\u0301");
        QString again = decomposed + "\n", erased;
        QTextStream againIn(&again), erasedOut(&erased);
        QCOMPARE(forgetPupil(login, decomposed, againIn, erasedOut), 0);
        QVERIFY(!QFileInfo::exists(folders + "Zoé"));
        // --forget alone erases the login's record; the pupils' stay, and it says so.
        QString yes = "oui\n", told;
        QTextStream yesIn(&yes), toldOut(&told);
        QCOMPARE(forget(login, yesIn, toldOut), 0);
        QVERIFY(told.contains("Léa") && told.contains("--forget PRÉNOM"));
        QCOMPARE(count(login, "rounds"), 0);
        QVERIFY(readRecord(folders + "Léa/record.sqlite").rounds == kept["Léa"]);
    }

    // A pupil forgotten while a game of theirs is still open: what was played
    // before goes, what is played after is kept, in a record made anew.
    void aGameGoingOnAfterItsPupilIsForgottenKeepsItsLaterRounds() {
        const QString login = dir.filePath("forget-live/record.sqlite");
        const QString record = dir.filePath("forget-live/eleves/Tom/record.sqlite");
        Reports reports;
        std::vector<RoundRecord> rounds = knownRounds();
        QVERIFY(rounds.size() >= 3);
        for (RoundRecord& r : rounds)
            r.pupil = "Tom";
        RecordStore game(record, reports.report);
        QVERIFY(game.write(rounds[0]));
        QString typed = "Tom\n", shown;
        QTextStream in(&typed), out(&shown);
        QCOMPARE(forgetPupil(login, "Tom", in, out), 0);
        QVERIFY(!QFileInfo::exists(record));
        QVERIFY(game.write(rounds[1]));
        QVERIFY(game.write(rounds[2]));
        QVERIFY(readRecord(record).rounds == (std::vector{rounds[1], rounds[2]}));
        QCOMPARE(pupilsBeside(login), QStringList{"Tom"});
        QCOMPARE(QFileInfo(record).permissions() & (QFile::ReadGroup | QFile::ReadOther),
                 QFile::Permissions());
        QCOMPARE(reports.texts, QStringList());
    }

    // The folder goes once the round a game is writing is in: the command
    // waits for the record's write lock.
    void forgettingWaitsForTheRoundBeingWritten() {
        const QString login = dir.filePath("forget-wait/record.sqlite");
        const QString record = dir.filePath("forget-wait/eleves/Tom/record.sqlite");
        Reports reports;
        RoundRecord first = knownRounds()[0];
        first.pupil = "Tom";
        QVERIFY(RecordStore(record, reports.report).write(first));
        bool waited = false;
        {
            QSqlDatabase game = QSqlDatabase::addDatabase("QSQLITE", "forget-wait-game");
            game.setDatabaseName(record);
            QVERIFY(game.open());
            QVERIFY(QSqlQuery(game).exec("BEGIN IMMEDIATE"));
            std::atomic<bool> done = false;
            std::thread teacher([&] {
                QString typed = "Tom\n", shown;
                QTextStream in(&typed), out(&shown);
                forgetPupil(login, "Tom", in, out);
                done = true;
            });
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            waited = !done && QFileInfo::exists(record);
            QVERIFY(QSqlQuery(game).exec("COMMIT"));
            teacher.join();
            game.close();
        }
        QSqlDatabase::removeDatabase("forget-wait-game");
        QVERIFY(waited);
        QVERIFY(!QFileInfo::exists(record));
    }

    void forgetTakesOnePupilsName_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("right");
        QTest::addColumn<QString>("pupil");
        QTest::newRow("alone") << QStringList{"--forget"} << true << "";
        QTest::newRow("a name") << QStringList{"--forget", "Zoé Lefèvre"} << true << "Zoé Lefèvre";
        QTest::newRow("name first") << QStringList{"Léa", "--forget"} << true << "Léa";
        QTest::newRow("two names") << QStringList{"--forget", "Léa", "Tom"} << false << "";
        QTest::newRow("blank name") << QStringList{"--forget", "  "} << false << "";
        QTest::newRow("a name elsewhere") << QStringList{"--results", "Léa"} << false << "";
        QTest::newRow("with another") << QStringList{"--forget", "Léa", "--version"} << false << "";
    }
    void forgetTakesOnePupilsName() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, right);
        QFETCH(QString, pupil);
        const Options o = parseOptions(arguments);
        QCOMPARE(o.mode == Options::Mode::Forget, right);
        if (right)
            QCOMPARE(o.pupil, pupil);
        QVERIFY(usage().contains("--forget PRÉNOM"));
    }
};

QTEST_MAIN(ForgetPupilTest)
#include "test_forget_pupil.moc"
