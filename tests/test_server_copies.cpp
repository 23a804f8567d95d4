// A computer that serves several classes of the school's server: "Qui joue ?"
// offers every class its role may read, beside the login's own lists, and a
// name the teacher adds to any of them at the next "commencer"; the copies
// kept on the computer offer them all while the server is away, follow the
// classes the server removes, and never turn a class name into a path.
#include "ClassListRefresh.h"
#include "DesktopLocale.h"
#include "GameRecording.h"
#include "RecordTesting.h"
#include "ServerClassCopies.h"
#include "ServerConnection.h"
#include "ServerTesting.h"
#include "TestProgram.h"

#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace quiltaro;
using namespace quiltaro::test;

namespace {

std::vector<Program::ClassOfPupils> asked(const GameRecording& recording) {
    std::vector<Program::ClassOfPupils> classes;
    for (const GameRecording::Class& c : recording.classes())
        classes.push_back({c.source.name, c.list.names});
    return classes;
}

QStringList namesOf(const std::vector<ClassListSource>& sources) {
    QStringList names;
    for (const ClassListSource& s : sources)
        names << s.name + ":" + readClassList(s.file).join(',');
    return names;
}

QStringList copiesThere() {
    return QDir(serverClassCopiesFolder()).entryList(QDir::Files, QDir::Name);
}

} // namespace

class ServerCopiesTest : public QObject {
    Q_OBJECT

    ClassServer classServer;
    PgServer* server = nullptr;
    std::unique_ptr<QTemporaryDir> home;

    // A login of its own: its configuration (CP's own list) and its data.
    void freshLogin() {
        home = std::make_unique<QTemporaryDir>();
        QVERIFY(home->isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home->filePath("config")));
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(home->filePath("systeme")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(home->filePath("data")));
        QVERIFY(writeClassList(home->filePath("config/quiltaro/classes/CP.txt"), {"Inès"}));
    }
    // Two classes on the server, CE2-A and CM1-B.
    QString twoClasses() {
        const QString db = classServer.freshDatabase();
        const QString added = server->exec("INSERT INTO quiltaro.class_lists"
                                           " (class_name, position, name) VALUES"
                                           " ('CE2-A', 0, 'Léa'), ('CM1-B', 0, 'Tom')",
                                           "prof", db);
        return added.isEmpty() ? db : QString();
    }

private slots:
    void initTestCase() {
        QUILTARO_ADOPT_DESKTOP_LOCALE();
        classServer.start();
        server = classServer.server.get();
    }

    // The game's own wiring: the refresh tells, the lists are read again,
    // "Qui joue ?" asks from them at the next "commencer".
    void aNameAddedToASecondClassIsAskedAtTheNextCommencer() {
        freshLogin();
        const QString db = twoClasses();
        QVERIFY(!db.isEmpty());
        const ServerSettings settings{server->conninfo("poste1", db), "CE2-A", ""};
        Reports reports;
        QStringList problems;
        GameRecording recording(reports.report, classSources(settings, problems));
        QCOMPARE(recording.classes().size(), size_t(1)); // CP, before any copy
        TestProgram t;
        QStringList chosen;
        const Program::Chosen told = [&](const QString& pupil, const QString& className) {
            chosen << className + ":" + pupil;
        };
        t.program.setClasses(asked(recording), told);
        ClassListRefresh refresh(settings, std::chrono::hours(1), [&](const QStringList&) {
            QMetaObject::invokeMethod(
                qApp,
                [&] {
                    QStringList again;
                    if (recording.readAgain(classSources(settings, again)))
                        t.program.setClasses(asked(recording), told);
                },
                Qt::QueuedConnection);
        });
        t.program.whenAboutToAsk([&refresh] { refresh.request(); });
        QTRY_COMPARE(recording.classes().size(), size_t(3));
        QCOMPARE(copiesThere(), QStringList({"CE2-A.txt", "CM1-B.txt"}));

        QCOMPARE(server->exec("INSERT INTO quiltaro.class_lists (class_name, position, name)"
                              " VALUES ('CM1-B', 1, 'Zoé')",
                              "prof", db),
                 QString());
        t.program.commence(); // asks for a refresh, and does not wait for it
        QVERIFY(t.program.classChooser()->isVisible());
        t.program.classChooser()->hide();
        QTRY_VERIFY(readClassList(serverClassCopyOf("CM1-B")).contains("Zoé"));
        TestProgram::settle();
        t.program.commence();
        QPushButton* cm1 = t.program.classChooser()->buttonOf("CM1-B");
        QVERIFY(cm1 && t.program.classChooser()->buttonOf("CP"));
        TestProgram::click(cm1);
        QVERIFY(t.program.chooser()->isVisible());
        QVERIFY(t.program.chooser()->buttonOf("Tom"));
        TestProgram::click(t.program.chooser()->buttonOf("Zoé"));
        QCOMPARE(chosen, QStringList{"CM1-B:Zoé"});
    }

    // The server frozen: a refresh gives up, the copies stay, and a game
    // that starts then offers every class with its names.
    void theCopiesOfferEveryClassWhileTheServerIsAway() {
        freshLogin();
        const QString db = twoClasses();
        const ServerSettings settings{server->conninfo("poste1", db), "CE2-A", ""};
        ServerConnection pupil(settings.conninfo, {1, 1000, 2000});
        QVERIFY2(refreshClassCopies(pupil), qPrintable(pupil.problem()));
        pupil.close();
        server->pause();
        QVERIFY(!refreshClassCopies(pupil));
        server->resume();
        QStringList problems;
        QCOMPARE(namesOf(classSources(settings, problems)),
                 QStringList({"CE2-A:Léa", "CM1-B:Tom", "CP:Inès"}));
        QCOMPARE(problems, QStringList());
        // Without a server configured, the login's own lists only.
        QCOMPARE(namesOf(classSources({"", "CE2-A", ""}, problems)), QStringList({"CP:Inès"}));
    }

    // A computer's role reads the classes it sends for only; a class gone
    // from the server goes from the copies at the next refresh.
    void theCopiesAreThoseTheRoleMayRead() {
        freshLogin();
        const QString db = twoClasses();
        QCOMPARE(server->exec("DELETE FROM quiltaro.computers WHERE role = 'poste2';"
                              " INSERT INTO quiltaro.computers VALUES ('poste2', 'CM1-B')",
                              "admin", db),
                 QString());
        ServerConnection poste2(server->conninfo("poste2", db));
        CopiesRefreshed told;
        QVERIFY2(refreshClassCopies(poste2, &told), qPrintable(poste2.problem()));
        QVERIFY(told.changed);
        QCOMPARE(copiesThere(), QStringList({"CM1-B.txt"}));
        QVERIFY(refreshClassCopies(poste2, &told));
        QVERIFY(!told.changed); // nothing written again
        ServerConnection poste1(server->conninfo("poste1", db));
        QVERIFY(refreshClassCopies(poste1, &told));
        QCOMPARE(copiesThere(), QStringList({"CE2-A.txt", "CM1-B.txt"}));
        QCOMPARE(
            server->exec("DELETE FROM quiltaro.class_lists WHERE class_name = 'CE2-A'", "prof", db),
            QString());
        QVERIFY(refreshClassCopies(poste1, &told));
        QVERIFY(told.changed);
        QCOMPARE(copiesThere(), QStringList({"CM1-B.txt"}));
        QStringList problems;
        QCOMPARE(namesOf(classSources({server->conninfo("poste1", db), "CE2-A", ""}, problems)),
                 QStringList({"CM1-B:Tom", "CP:Inès"}));
    }

    // A name no list file could carry is refused, said, and written nowhere;
    // the classes beside it are copied all the same.
    void aClassNameThatIsNoFilesIsSkipped() {
        freshLogin();
        const QString db = twoClasses();
        QCOMPARE(server->exec("INSERT INTO quiltaro.class_lists (class_name, position, name)"
                              " VALUES ('../../CE2', 0, 'Intrus'), ('.cachée', 0, 'Intrus'),"
                              " ('CE1, CE2', 0, 'Intrus')",
                              "prof", db),
                 QString());
        ServerConnection pupil(server->conninfo("poste1", db));
        CopiesRefreshed told;
        QVERIFY2(refreshClassCopies(pupil, &told), qPrintable(pupil.problem()));
        QCOMPARE(told.refused.size(), 3);
        QVERIFY2(told.refused.join('\n').contains("une virgule"), qPrintable(told.refused[0]));
        QVERIFY(told.refused.join('\n').contains("le serveur"));
        QCOMPARE(copiesThere(), QStringList({"CE2-A.txt", "CM1-B.txt"}));
        const QDir data(home->filePath("data"));
        QVERIFY(!QFileInfo::exists(home->filePath("CE2.txt")));
        QVERIFY(!QFileInfo::exists(data.filePath("quiltaro/CE2.txt")));
        QStringList problems;
        for (const QString& offered :
             namesOf(classSources({server->conninfo("poste1", db), "CE2-A", ""}, problems)))
            QVERIFY2(!offered.contains("Intrus"), qPrintable(offered));
    }

    // A computer upgraded while the server was away: the one copy of its
    // class it had is offered until a refresh gives the class its own.
    void theOldSingleCopyIsReadUntilTheFirstRefresh() {
        freshLogin();
        const QString db = twoClasses();
        QVERIFY(writeClassList(serverClassCopyOf(""), {"Léa", "Ancien"}));
        const ServerSettings settings{server->conninfo("poste1", db), "CE2-A", ""};
        QStringList problems;
        QCOMPARE(namesOf(classSources(settings, problems)),
                 QStringList({"CE2-A:Léa,Ancien", "CP:Inès"}));
        ServerConnection pupil(settings.conninfo);
        QVERIFY(refreshClassCopies(pupil));
        QVERIFY(!QFileInfo::exists(serverClassCopyOf("")));
        QCOMPARE(namesOf(classSources(settings, problems)),
                 QStringList({"CE2-A:Léa", "CM1-B:Tom", "CP:Inès"}));
    }
};

QTEST_MAIN(ServerCopiesTest)
#include "test_server_copies.moc"
