// What a pupil who read the pupils' password can do on the class's server,
// tried with that password against a real server: rounds that cannot be real
// are refused, so are rounds for a class the computer does not send for and
// pupils who are not on the class's list, and only the computer's own
// classes' lists can be read. The game's own rounds still go.
#include "DesktopLocale.h"
#include "PgServer.h"
#include "RecordTesting.h"
#include "ServerClassList.h"
#include "ServerCommands.h"
#include "ServerConnection.h"
#include "ServerRounds.h"
#include "ServerTesting.h"

#include <QProcess>
#include <QSqlQuery>
#include <QtTest>

using namespace quiltaro;
using namespace quiltaro::test;

namespace {

// The columns a forged round fills, and a round the game could have played:
// each case below changes one value of it.
const char* const columns =
    "INSERT INTO quiltaro.rounds (id, class_name, pupil, game_token, game_started, started,"
    " ended, score_before, score_after, low_bound, high_bound, red_value, ending, answers,"
    " verdicts, kind) VALUES (gen_random_uuid(), ";
const char* const plausible =
    "'CM1', 'Léa', 'g', now() - interval '5 min', now() - interval '2 min', now(), 3, 5, 120,"
    " 480, 300, 'won', '{250,300}', '{too_low,right}', 'entiers'";

} // namespace

class ServerTrustTest : public QObject {
    Q_OBJECT

    ClassServer classServer;
    PgServer* server = nullptr;
    QString db;

    // The computer of CM1, as a pupil reaches it with the password of its
    // service file.
    QString pupilConnInfo() const {
        return server->conninfo("poste_cm1", db) + " password=mdp-eleves";
    }
    QString forge(const QString& values) {
        ServerConnection pupil(pupilConnInfo());
        if (!pupil.open())
            return pupil.problem();
        QSqlQuery q(pupil.database());
        return pupil.exec(q, QString::fromLatin1(columns) + values + ")") ? QString()
                                                                          : pupil.detail();
    }
    QString plausibleWith(const char* from, const QString& to) {
        QString values = QString::fromUtf8(plausible);
        const QString changed = QString(values).replace(QString::fromUtf8(from), to);
        return changed == values ? QStringLiteral("(nothing changed)") : changed;
    }

private slots:
    void initTestCase() {
        QUILTARO_ADOPT_DESKTOP_LOCALE();
        classServer.start();
        server = classServer.server.get();
        db = classServer.freshDatabase();
        QVERIFY(!db.isEmpty());
        QCOMPARE(server->exec("CREATE ROLE poste_cm1 LOGIN PASSWORD 'mdp-eleves' IN ROLE "
                              "quiltaro_eleve"),
                 QString());
        QVERIFY(server->requirePassword("poste_cm1"));
        QCOMPARE(server->exec({"INSERT INTO quiltaro.computers VALUES ('poste_cm1', 'CM1')",
                               "INSERT INTO quiltaro.class_lists (class_name, position, name)"
                               " VALUES ('CM1', 0, 'Léa'), ('CM1', 1, 'Noé'), ('CE2', 0, 'Zoé')",
                               "INSERT INTO quiltaro.class_levels VALUES ('CE2', 'entiers')"},
                              "prof", db),
                 QString());
    }

    // A round the game could have played is taken, in the computer's name;
    // each value no game gives is refused, whatever the pupil writes.
    void roundsThatCannotBeRealAreRefused_data() {
        QTest::addColumn<QString>("values");
        QTest::addColumn<QString>("refusal");
        const auto row = [](const char* name, const QString& values, const char* refusal) {
            QTest::newRow(name) << values << QString::fromLatin1(refusal);
        };
        row("a score above ten", plausibleWith("3, 5,", "9, 11,"), "round_scores");
        row("a score below nought", plausibleWith("3, 5,", "0, -1,"), "round_scores");
        row("32767 points", plausibleWith("3, 5,", "3, 32767,"), "check constraint");
        row("five points a round", plausibleWith("3, 5,", "3, 8,"), "round_points");
        row("points lost without an answer outside", plausibleWith("3, 5,", "6, 2,"),
            "round_points");
        row("a thousand tries",
            plausibleWith("'{250,300}', '{too_low,right}'",
                          "array_fill('5'::text, ARRAY[1000]), array_fill('too_low'::text, "
                          "ARRAY[1000])"),
            "round_tries");
        row("an answer longer than the game takes",
            plausibleWith("'{250,300}'", "ARRAY[repeat('9', 50), '300']"), "round_answers");
        row("a verdict the game never gives",
            plausibleWith("'{too_low,right}'", "'{too_low,bravo}'"), "round_verdicts");
        row("an ending the game never gives", plausibleWith("'won'", "'triche'"), "round_ending");
        row("a kind of number the game has not", plausibleWith("'entiers'", "'millions'"),
            "round_kind");
        row("brackets the game never draws", plausibleWith("120, 480, 300", "120, 480000, 300"),
            "round_bounds");
        row("the red mark outside its brackets", plausibleWith("120, 480, 300", "120, 480, 900"),
            "round_bounds");
        row("bounds that are not numbers", plausibleWith("120, 480,", "'NaN', 'Infinity',"),
            "round_bounds");
        row("ended before it started",
            plausibleWith("now() - interval '2 min', now()", "now(), now() - interval '2 min'"),
            "round_times");
        row("before the game existed",
            plausibleWith("now() - interval '5 min', now() - interval '2 min', now()",
                          "'2019-09-02 09:00', '2019-09-02 09:01', '2019-09-02 09:02'"),
            "round_times");
        row("in the future",
            plausibleWith("now() - interval '2 min', now()",
                          "now() + interval '1 day', now() + interval '1 day'"),
            "in the future");
        row("a pupil not on the class's list", plausibleWith("'Léa'", "'Inventé'"),
            "not on the class list");
        row("a class this computer does not send for",
            plausibleWith("'CM1', 'Léa'", "'CE2', 'Zoé'"), "row-level security");
        row("a game's token as long as a page", plausibleWith("'g'", "repeat('g', 300)"),
            "game_token_check");
    }
    void roundsThatCannotBeRealAreRefused() {
        QFETCH(QString, values);
        QFETCH(QString, refusal);
        const QString error = forge(values);
        QVERIFY2(error.contains(refusal), qPrintable(error));
        QCOMPARE(classServer.onServer(db), qint64(0));
    }

    // What the server writes itself, the computer cannot: who sent, when it
    // arrived. The round it may send arrives in its name.
    void theSenderAndTheArrivalAreTheServers() {
        ServerConnection pupil(pupilConnInfo());
        QVERIFY2(pupil.open(), qPrintable(pupil.problem()));
        QSqlQuery q(pupil.database());
        const std::pair<const char*, const char*> forged[] = {
            {"sent_by", "'poste_autre'"},
            {"received", "now() - interval '1 day'"},
            {"arrival", "1"}};
        for (const auto& [column, value] : forged) {
            const QString sql = QString::fromLatin1(columns).replace(
                                    "kind)", QStringLiteral("kind, %1)").arg(column)) +
                                plausible + ", " + value + ")";
            QVERIFY2(!pupil.exec(q, sql), column);
            QVERIFY2(pupil.detail().contains("permission denied") ||
                         pupil.detail().contains("cannot insert a non-DEFAULT value"),
                     qPrintable(pupil.detail()));
        }
        QCOMPARE(forge(QString::fromUtf8(plausible)), QString());
        QCOMPARE(server->value("SELECT sent_by || ' ' || (now() - received < interval '1 min')"
                               " FROM quiltaro.rounds",
                               "admin", db),
                 QVariant("poste_cm1 true"));
        QCOMPARE(server->exec("DELETE FROM quiltaro.rounds", "prof", db), QString());
    }

    // psql, with the password, is no way round: the same refusals.
    void psqlIsNoWayRound() {
        QProcess psql;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PGPASSWORD", "mdp-eleves");
        env.insert("LC_ALL", "C");
        psql.setProcessEnvironment(env);
        psql.setProcessChannelMode(QProcess::MergedChannels);
        psql.start("psql",
                   {"-X", "-v", "ON_ERROR_STOP=1", "-d", server->conninfo("poste_cm1", db), "-c",
                    QString::fromLatin1(columns) + plausibleWith("3, 5,", "3, 32767,") + ")"});
        QVERIFY(psql.waitForFinished(30000));
        const QString said = QString::fromLocal8Bit(psql.readAll());
        QVERIFY2(psql.exitCode() != 0 && said.contains("violates check constraint"),
                 qPrintable(said));
        QCOMPARE(classServer.onServer(db), qint64(0));
    }

    // The computer reads its own classes' lists and levels, no other's, and
    // not which classes other computers send for.
    void aComputerReadsOnlyItsClassesLists() {
        ServerConnection pupil(pupilConnInfo());
        QStringList names;
        QVERIFY(readServerClassList(pupil, "CM1", names));
        QCOMPARE(names, QStringList({"Léa", "Noé"}));
        ClassList other;
        QVERIFY(readServerClassList(pupil, "CE2", other));
        QVERIFY(other.names.isEmpty() && !other.level);
        QCOMPARE(
            server->exec("INSERT INTO quiltaro.computers VALUES ('poste2', 'CE2')", "prof", db),
            QString());
        QSqlQuery q(pupil.database());
        QVERIFY(pupil.exec(q, "SELECT count(*), count(DISTINCT class_name) FROM "
                              "quiltaro.class_lists") &&
                q.next());
        QCOMPARE(q.value(0).toInt(), 2);
        QVERIFY(pupil.exec(q, "SELECT string_agg(role || ':' || class_name, ',') FROM "
                              "quiltaro.computers") &&
                q.next());
        QCOMPARE(q.value(0).toString(), QString("poste_cm1:CM1"));
        for (const char* forbidden : {"INSERT INTO quiltaro.computers VALUES ('poste_cm1', 'CE2')",
                                      "UPDATE quiltaro.computers SET class_name = '*'",
                                      "SELECT changed_by FROM quiltaro.class_lists"})
            QVERIFY2(!pupil.exec(q, forbidden) && pupil.detail().contains("permission denied"),
                     forbidden);
    }

    // The game's rounds: a pupil on the list goes; one the server will never
    // take is told as such, so that the computer does not hold the rounds
    // after it; a class the computer does not send for is the school's to
    // fix, and waits, with what fixes it.
    void theGameTellsWhatTheServerRefused() {
        ServerConnection pupil(pupilConnInfo());
        RoundRecord r = knownRounds()[0];
        r.pupil = "Noé";
        QVERIFY2(sendRound(pupil, r, "CM1"), qPrintable(pupil.detail()));
        r.pupil = "Intrus";
        QVERIFY(!sendRound(pupil, r, "CM1"));
        QVERIFY(refusedForGood(pupil));
        QVERIFY2(pupil.problem().contains("n'est pas sur la liste"), qPrintable(pupil.problem()));
        r.pupil = "Zoé";
        r.started = r.started.addSecs(60), r.ended = r.ended.addSecs(60);
        QVERIFY(!sendRound(pupil, r, "CE2"));
        QVERIFY(!refusedForGood(pupil));
        QVERIFY2(pupil.problem().contains("quiltaro.computers"), qPrintable(pupil.problem()));
        // The teacher adds the class to the computer: it goes.
        QCOMPARE(
            server->exec("INSERT INTO quiltaro.computers VALUES ('poste_cm1', 'CE2')", "prof", db),
            QString());
        QVERIFY2(sendRound(pupil, r, "CE2"), qPrintable(pupil.detail()));
        QCOMPARE(classServer.onServer(db), qint64(2));
        // --check-server names the class a computer does not send for, and the fix.
        QString out;
        QTextStream o(&out);
        QCOMPARE(checkServer({pupilConnInfo(), "CM2", "quiltaro.conf"}, o), 1);
        QVERIFY2(out.contains("n'y envoie pas pour la classe « CM2 »") &&
                     out.contains("INSERT INTO quiltaro.computers VALUES ('poste_cm1', 'CM2')"),
                 qPrintable(out));
        out.clear();
        QCOMPARE(checkServer({pupilConnInfo(), "CM1", "quiltaro.conf"}, o), 0);
    }
};

QTEST_GUILESS_MAIN(ServerTrustTest)
#include "test_server_trust.moc"
