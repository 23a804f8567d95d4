// Erasing with a class's server: --forget PRÉNOM, --forget and
// --forget-before erase there too when the login's role may, and a pupils'
// computer says where the rest is; the sender never sends a round of a
// record erased under it, and follows the new file.
#include "ClassTesting.h"
#include "DesktopLocale.h"
#include "PgServer.h"
#include "RecordStore.h"
#include "RecordTesting.h"
#include "ServerRounds.h"
#include "ServerSender.h"
#include "ServerTesting.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace quiltaro;
using namespace quiltaro::test;

class ServerForgetTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    ClassServer classServer;
    PgServer* server = nullptr;
    int logins = 0;

    // A login of its own: its configuration naming the server as `role`.
    QString login(const QString& db, const QString& role) {
        const QString home = dir.filePath(QString("login%1").arg(++logins));
        QDir().mkpath(home + "/config/quiltaro");
        QFile conf(home + "/config/quiltaro/quiltaro.conf");
        if (!conf.open(QIODevice::WriteOnly))
            return {};
        conf.write("[record]\nserver=\"" + server->conninfo(role, db).toUtf8() + "\"\n");
        return home;
    }
    static QString recordOf(const QString& home, const QString& pupil = {}) {
        return home + "/data/quiltaro/" + (pupil.isEmpty() ? QString() : "eleves/" + pupil + "/") +
               "record.sqlite";
    }
    // The real program as that login, answering `answer` to its question.
    static int quiltaro(const QString& home, const QStringList& args, const QString& answer,
                        QString* said) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", home + "/config");
        env.insert("XDG_DATA_HOME", home + "/data");
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QUILTARO_BINARY, args);
        p.write((answer + "\n").toUtf8());
        p.closeWriteChannel();
        if (!p.waitForFinished(60000))
            return -1;
        *said = QString::fromUtf8(p.readAll());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    static RoundRecord roundOf(const QString& pupil, const QString& token, QDateTime started) {
        RoundRecord r = knownRounds()[0];
        r.pupil = pupil, r.gameToken = token, r.gameStarted = started, r.started = started;
        r.ended = started.addSecs(30);
        return r;
    }
    static bool write(const QString& record, const std::vector<RoundRecord>& rounds) {
        Reports reports;
        RecordStore store(record, reports.report);
        return store.writeMany(rounds);
    }
    qint64 onServer(const QString& db, const QString& where) const {
        return server->value("SELECT count(*) FROM quiltaro.rounds WHERE " + where, "admin", db)
            .toLongLong();
    }
    bool sendAll(const QString& db, const std::vector<RoundRecord>& rounds) {
        ServerConnection c(server->conninfo("poste1", db));
        for (const RoundRecord& r : rounds)
            if (!sendRound(c, r, ""))
                return false;
        return true;
    }

private slots:
    void initTestCase() {
        QUILTARO_ADOPT_DESKTOP_LOCALE();
        QVERIFY(dir.isValid());
        classServer.start();
        server = classServer.server.get();
    }

    // The teacher's login erases a pupil on the server too, played on any
    // computer; a pupils' computer erases its own files and says which
    // command, from which login, erases the rest.
    void aPupilIsErasedOnTheServerWhereTheRoleMay() {
        const QString db = classServer.freshDatabase();
        const QDateTime day(QDate(2026, 3, 2), QTime(9, 0), Qt::UTC);
        const std::vector<RoundRecord> rounds = {roundOf("Léa", "g1", day),
                                                 roundOf("Léa", "g2", day.addDays(1)),
                                                 roundOf("Noé", "g3", day)};
        QVERIFY(sendAll(db, rounds));
        const QString pupils = login(db, "poste1");
        QVERIFY(write(recordOf(pupils, "Léa"), {rounds[0]}));
        QString said;
        QCOMPARE(quiltaro(pupils, {"--forget", "Léa"}, "Léa", &said), 1);
        QVERIFY2(said.contains("lancez quiltaro --forget Léa depuis le compte de l'enseignant"),
                 qPrintable(said));
        QVERIFY(!QFileInfo::exists(recordOf(pupils, "Léa")));
        QCOMPARE(onServer(db, "pupil = 'Léa'"), qint64(2));
        // From the teacher's login, where nothing of Léa is on disk.
        const QString teacher = login(db, "prof");
        QCOMPARE(quiltaro(teacher, {"--forget", "Léa"}, "Léa", &said), 0);
        QVERIFY2(said.contains("2 manche(s) effacée(s)"), qPrintable(said));
        QCOMPARE(onServer(db, "pupil = 'Léa'"), qint64(0));
        QCOMPARE(onServer(db, "pupil = 'Noé'"), qint64(1));
        // A server that cannot be reached: told, with the command to run again.
        server->stop();
        QCOMPARE(quiltaro(teacher, {"--forget", "Noé"}, "Noé", &said), 1);
        QVERIFY(server->start());
        QVERIFY2(said.contains("Relancez quiltaro --forget Noé quand le serveur répondra"),
                 qPrintable(said));
        QCOMPARE(onServer(db, "pupil = 'Noé'"), qint64(1));
    }

    // --forget erases this login's games on the server, not another
    // computer's rounds under the same name.
    void theLoginsGamesAreErasedOnTheServer() {
        const QString db = classServer.freshDatabase();
        const QDateTime day(QDate(2026, 3, 2), QTime(9, 0), Qt::UTC);
        const std::vector<RoundRecord> rounds = {roundOf("eleve", "ici", day),
                                                 roundOf("eleve", "ailleurs", day)};
        QVERIFY(sendAll(db, rounds));
        const QString teacher = login(db, "prof");
        QVERIFY(write(recordOf(teacher), {rounds[0]}));
        QString said;
        QCOMPARE(quiltaro(teacher, {"--forget"}, "oui", &said), 0);
        QVERIFY2(said.contains("1 manche(s) effacée(s)"), qPrintable(said));
        QCOMPARE(onServer(db, "game_token = 'ici'"), qint64(0));
        QCOMPARE(onServer(db, "game_token = 'ailleurs'"), qint64(1));
    }

    // The school year's purge: every round begun before the day, in the
    // login's record, its pupils', and on the server; none after it.
    void theYearIsPurgedEverywhere() {
        const QString db = classServer.freshDatabase();
        const QDateTime old(QDate(2025, 6, 20), QTime(9, 0), Qt::UTC);
        const QDateTime recent(QDate(2025, 9, 8), QTime(9, 0), Qt::UTC);
        const std::vector<RoundRecord> rounds = {
            roundOf("Léa", "a", old), roundOf("Léa", "b", recent), roundOf("Noé", "c", old),
            roundOf("prof", "d", old)};
        QVERIFY(sendAll(db, rounds));
        const QString teacher = login(db, "prof");
        QVERIFY(write(recordOf(teacher, "Léa"), {rounds[0], rounds[1]}));
        QVERIFY(write(recordOf(teacher, "Noé"), {rounds[2]}));
        QVERIFY(write(recordOf(teacher), {rounds[3]}));
        QString said;
        QCOMPARE(quiltaro(teacher, {"--forget-before", "1er septembre 2025"}, "non", &said), 1);
        QCOMPARE(onServer(db, "true"), qint64(4));
        QCOMPARE(quiltaro(teacher, {"--forget-before", "01/09/2025"}, "oui", &said), 0);
        QVERIFY2(said.contains("3 sur ce poste") && said.contains("3 manche(s) effacée(s)"),
                 qPrintable(said));
        QCOMPARE(count(recordOf(teacher, "Léa"), "rounds"), qint64(1));
        QCOMPARE(count(recordOf(teacher, "Noé"), "rounds"), qint64(0));
        QCOMPARE(count(recordOf(teacher), "rounds"), qint64(0));
        QCOMPARE(onServer(db, "true"), qint64(1));
        QCOMPARE(onServer(db, "game_token = 'b'"), qint64(1));
        // A date that is none.
        QCOMPARE(quiltaro(teacher, {"--forget-before", "31/02/2025"}, "oui", &said), 2);
        QVERIFY(said.contains("attend une date"));
    }

    // A record erased while the sender has it open: the rounds it held are
    // never sent after the erasure, and the new file's go.
    void theSenderFollowsTheRecordFile() {
        const QString db = classServer.freshDatabase();
        const QString path = dir.filePath("suivi/eleves/Léa/record.sqlite");
        const QDateTime day(QDate(2026, 3, 2), QTime(9, 0), Qt::UTC);
        QVERIFY(write(path, {roundOf("Léa", "avant", day)}));
        ServerSender sender({server->conninfo("poste1", db), "", ""}, {path},
                            [](const QString&) {});
        QTRY_COMPARE_WITH_TIMEOUT(onServer(db, "true"), qint64(1), 30000);
        // Written, not yet told to the sender, then erased with the folder.
        QVERIFY(write(path, {roundOf("Léa", "efface", day.addSecs(60))}));
        QVERIFY(QDir(QFileInfo(path).path()).removeRecursively());
        QVERIFY(write(path, {roundOf("Léa", "apres", day.addSecs(120))}));
        sender.roundWritten(path);
        QTRY_COMPARE_WITH_TIMEOUT(onServer(db, "game_token = 'apres'"), qint64(1), 30000);
        sender.finish(std::chrono::seconds(2));
        QCOMPARE(onServer(db, "game_token = 'efface'"), qint64(0));
        QCOMPARE(count(path, "rounds WHERE sent = 0"), qint64(0));
    }

    // Léa of CE2-A and Léa of CM1-B: each round goes with its own class,
    // whatever the computer's, and one Léa is erased only once her class is said.
    void twoLeaOfTwoClassesStayTwoPupils() {
        const QString db = classServer.freshDatabase();
        const QString home = login(db, "prof");
        const QDateTime day(QDate(2026, 3, 2), QTime(9, 0), Qt::UTC);
        QStringList records;
        for (const QString c : {"CE2-A", "CM1-B"}) {
            RoundRecord r = roundOf("Léa", c, day);
            r.className = c;
            records << recordOf(home, c + "/Léa");
            QVERIFY(write(records.last(), {r}));
        }
        {
            ServerSender sender({server->conninfo("poste1", db), "CE2-A", ""}, records,
                                [](const QString&) {});
            QTRY_COMPARE_WITH_TIMEOUT(onServer(db, "true"), qint64(2), 30000);
            sender.finish(std::chrono::seconds(2));
        }
        QCOMPARE(onServer(db, "pupil = 'Léa' AND class_name = 'CM1-B' AND game_token = 'CM1-B'"),
                 qint64(1));
        QString said;
        QCOMPARE(quiltaro(home, {"--forget", "Léa"}, "Léa", &said), 1);
        QVERIFY2(said.contains("plusieurs classes (CE2-A, CM1-B)"), qPrintable(said));
        QCOMPARE(onServer(db, "true"), qint64(2));
        QCOMPARE(quiltaro(home, {"--forget", "Léa", "--class", "cm1-b"}, "Léa", &said), 0);
        QVERIFY2(said.contains("1 manche(s) effacée(s)"), qPrintable(said));
        QCOMPARE(onServer(db, "class_name = 'CE2-A'"), qint64(1));
        QCOMPARE(onServer(db, "class_name = 'CM1-B'"), qint64(0));
        QVERIFY(QFileInfo::exists(records[0]) && !QFileInfo::exists(records[1]));
    }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ServerForgetTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_server_forget.moc"
