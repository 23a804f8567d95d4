// Class lists from the school register's CSV export: its encodings and
// separators, headers as registers write them, the class or level chosen,
// first names told apart by the family name's letters, the real program
// writing the list, and the class-list editor's import.
#include "ClassListEditor.h"
#include "ClassName.h"
#include "DesktopLocale.h"
#include "GameOptions.h"
#include "LoginTesting.h"
#include "Pupils.h"
#include "SchoolRegister.h"

#include <QPlainTextEdit>
#include <QProcess>
#include <QtTest>

using namespace quiltaro;
using namespace quiltaro::test;

namespace {

// The same register, as several programs export it.
const QString register_ =
    QStringLiteral("Nom;Prénom;Date de naissance;Sexe;Classe;Niveau;Adresse\n"
                   "MARTIN;Lucas;01/02/2016;M;CE2-A;CE2;\"3 rue des Lilas; Lyon\"\n"
                   "BERNARD;Lucas;03/04/2016;M;CE2-A;CE2;\"1, place \"\"Bellecour\"\"\"\n"
                   "MARCHAND;Lucas;05/06/2016;M;CE2-A;CE2;\n"
                   "Lefèvre-N'Diaye;Zoé;07/08/2016;F;CE2-A;CE2;\n"
                   "MOREAU;LÉA;09/10/2015;F;CM1-B;CM1;\n"
                   "Petit;Léa;11/12/2015;F;CM1-B;CM1;\n"
                   "Petit;Léa;11/12/2015;F;CM1-B;CM1;\n"
                   "Durand;Noé;13/01/2016;M;CE2-B;CE2;\n");

QByteArray windows1252(const QString& text) {
    QByteArray bytes;
    for (const QChar c : text) // the register's characters are all Latin-1
        bytes += c.unicode() < 256 ? char(c.unicode()) : '?';
    return bytes;
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace

class SchoolRegisterTest : public QObject {
    Q_OBJECT
    TestLogin login;

private slots:
    void initTestCase() {
        QUILTARO_ADOPT_DESKTOP_LOCALE();
        login.setUp();
    }

    void init() { login.empty(); }

    void aRegisterIsReadWhateverItsExport_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("UTF-8, ';'") << register_.toUtf8();
        QTest::newRow("UTF-8 with its mark, CRLF")
            << "\xEF\xBB\xBF" + register_.toUtf8().replace("\n", "\r\n");
        QTest::newRow("Windows-1252") << windows1252(register_);
        // Commas between fields: those within fields are quoted.
        QString commas = register_;
        commas.replace("\"3 rue des Lilas; Lyon\"", "\"3 rue des Lilas, Lyon\"");
        commas.replace(';', ',');
        commas.replace("\"1, place", "\"1; place");
        QTest::newRow("commas") << commas.toUtf8();
        // Headers spaced, in capitals, without accents, in another order.
        QString headers = register_;
        headers.replace("Nom;Prénom;Date de naissance;Sexe;Classe;Niveau;Adresse",
                        " NOM ; PRENOM;Date de naissance;Sexe;  classe ;NIVEAU ;Adresse");
        QTest::newRow("headers as written") << headers.toUtf8();
    }
    void aRegisterIsReadWhateverItsExport() {
        QFETCH(QByteArray, bytes);
        const SchoolRegister reg = parseRegister(bytes);
        QCOMPARE(reg.problem, QString());
        QCOMPARE(reg.pupils.size(), size_t(8));
        QCOMPARE(reg.classes(), QStringList({"CE2-A", "CE2-B", "CM1-B"}));
        QCOMPARE(reg.levels(), QStringList({"CE2", "CM1"}));
        const RegisterPupil& zoe = reg.pupils[3];
        QCOMPARE(zoe.firstName, QString("Zoé"));
        QCOMPARE(zoe.familyName, QString("Lefèvre-N'Diaye"));
        QCOMPARE(zoe.className, QString("CE2-A"));
        // A name the register writes in capitals is written as a name.
        QCOMPARE(reg.pupils[4].firstName, QString("Léa"));
    }

    void aRegisterThatCannotBeReadSaysWhy() {
        const auto problem = [](const QByteArray& bytes) { return parseRegister(bytes).problem; };
        QVERIFY(problem("").contains("vide"));
        QVERIFY(problem("Nom;Date\nMARTIN;01/02/2016\n").contains("« Prénom »"));
        QVERIFY(problem("Nom;Prénom\n").contains("aucun élève"));
        const QString dir = login.dir.filePath("registers");
        QVERIFY(readRegister(dir + "/none.csv").problem.contains("n'existe pas"));
        QDir().mkpath(dir);
        QVERIFY(readRegister(dir).problem.contains("n'est pas un fichier"));
        writeBytes(dir + "/picture.csv", QByteArray("\x89PNG\r\n\x1a\n\0\0\0", 11));
        QVERIFY(readRegister(dir + "/picture.csv").problem.contains("pas un fichier CSV"));
    }

    // Twins of a first name get the family name's letters, as few as tell
    // them apart; the same first and family names get a number.
    void firstNamesThatRepeatAreToldApart() {
        const SchoolRegister reg = parseRegister(register_.toUtf8());
        RegisterClass ce2 = chooseClass(reg, "ce2-a");
        QCOMPARE(ce2.problem, QString());
        QCOMPARE(ce2.name, QString("CE2-A"));
        QCOMPARE(ce2.pupils, QStringList({"Lucas B.", "Lucas Marc.", "Lucas Mart.", "Zoé"}));
        const RegisterClass cm1 = chooseClass(reg, "CM1-B");
        QCOMPARE(cm1.pupils, QStringList({"Léa M.", "Léa P.", "Léa P. 2"}));
        QVERIFY(sameNames(cm1.pupils.join('\n')).empty());
        // A level takes its classes together.
        const RegisterClass level = chooseClass(reg, "CE2");
        QCOMPARE(level.name, QString("CE2"));
        QCOMPARE(level.pupils.size(), 5);
    }

    void aClassIsChosenWhenTheFileHoldsSeveral() {
        const SchoolRegister reg = parseRegister(register_.toUtf8());
        QVERIFY(chooseClass(reg, "").problem.contains("3 classes (CE2-A, CE2-B, CM1-B)"));
        const QString none = chooseClass(reg, "CM2").problem;
        QVERIFY2(none.contains("ni une classe ni un niveau") && none.contains("CM1"),
                 qPrintable(none));
        // One class in the file: that one; none named: the teacher names it.
        QCOMPARE(chooseClass(parseRegister("Prénom;Division\nLéa;6e B\n"), "").name,
                 QString("6e B"));
        QVERIFY(chooseClass(parseRegister("Prénom\nLéa\n"), "").problem.contains("--class"));
        QCOMPARE(chooseClass(parseRegister("Prénom\nLéa\n"), "CP").pupils, QStringList{"Léa"});
        // A class the register names but a list cannot be named after.
        const QString slash =
            chooseClass(parseRegister("Prénom;Classe\nLéa;CM1/CM2\n"), "").problem;
        QVERIFY2(slash.contains("barre oblique"), qPrintable(slash));
    }

    // The real program: a list of classes/ per class, the one of
    // quiltaro.conf into classe.txt, its level and comments kept.
    void theProgramWritesTheListOfTheClass() {
        const QString csv = login.dir.filePath("base-eleves.csv");
        writeBytes(csv, windows1252(register_));
        const auto run = [&](const QStringList& arguments, QString* said = nullptr) {
            QProcess game;
            game.start(QUILTARO_BINARY, arguments);
            game.waitForFinished(30000);
            if (said)
                *said =
                    QString::fromUtf8(game.readAllStandardOutput() + game.readAllStandardError());
            return game.exitCode();
        };
        QString said;
        QCOMPARE(run({"--import-class", csv}, &said), 1);
        QVERIFY2(said.contains("choisissez-en une avec --class NOM") &&
                     said.contains("Rien n'a été écrit"),
                 qPrintable(said));
        QCOMPARE(run({"--import-class", csv, "--class", "CE2;CM1"}, &said), 2);
        QVERIFY(said.contains("point-virgule"));
        QCOMPARE(run({"--import-class", csv, "--class", "cm1-b"}, &said), 0);
        const QString cm1 = login.config() + "/quiltaro/classes/CM1-B.txt";
        QVERIFY2(said.contains("3 élève(s) de la classe CM1-B écrit(s) dans " + cm1),
                 qPrintable(said));
        QCOMPARE(readClassList(cm1), QStringList({"Léa M.", "Léa P.", "Léa P. 2"}));
        // Nothing of the register but the names: no birth date, no address.
        QFile list(cm1);
        QVERIFY(list.open(QIODevice::ReadOnly));
        QVERIFY(!list.readAll().contains("2015"));

        writeBytes(login.config() + "/quiltaro/quiltaro.conf", "[record]\nclass=CE2-A\n");
        writeBytes(login.classList(), "niveau : dixiemes\n# rentrée\nZoé : entiers\nAncien\n");
        QCOMPARE(run({"--import-class", csv, "--class", "CE2-A"}, &said), 0);
        QVERIFY2(said.contains(login.classList()) && said.contains("remplace"), qPrintable(said));
        const ClassList kept = readClassListFile(login.classList());
        QCOMPARE(kept.names, QStringList({"Lucas B.", "Lucas Marc.", "Lucas Mart.", "Zoé"}));
        QCOMPARE(kept.level, parseLevel("dixiemes"));
        QCOMPARE(kept.levelOf("Zoé"), parseLevel("entiers"));
        QCOMPARE(kept.comments.size(), size_t(1));
        QCOMPARE(run({"--import-class", login.dir.filePath("none.csv")}, &said), 1);
        QVERIFY(said.contains("ne peut pas être lu : ce fichier n'existe pas"));
    }

    // --class goes with the import and with erasing one pupil, and is a
    // class's name or nothing.
    void theClassIsAnOptionOfTheImportAndOfErasing() {
        Options o = parseOptions({"--import-class", "export.csv", "--class", " CE2-A "});
        QCOMPARE(int(o.mode), int(Options::Mode::ImportClass));
        QCOMPARE(o.file, QString("export.csv"));
        QCOMPARE(o.className, QString("CE2-A"));
        o = parseOptions({"--forget", "Léa", "--class", "CM1 B"});
        QCOMPARE(int(o.mode), int(Options::Mode::Forget));
        QCOMPARE(o.pupil, QString("Léa"));
        QCOMPARE(o.className, QString("CM1 B"));
        const struct {
            QStringList arguments;
            const char* says;
        } wrong[] = {
            {{"--class", "CE2"}, "--class va avec"},
            {{"--forget", "--class", "CE2"}, "--class va avec"},
            {{"--export-csv", "x.csv", "--class", "CE2", "--class", "CM1"}, "une seule fois"},
            {{"--forget", "Léa", "--class", "CE2;A"}, "point-virgule"},
            {{"--import-class", "a.csv", "--class", "A", "--class", "B"}, "une seule fois"},
            {{"--import-class", " "}, "fichier CSV"},
            {{"--import-class", "a.csv", "--check-server"}, "une seule à la fois"},
        };
        for (const auto& w : wrong) {
            o = parseOptions(w.arguments);
            QCOMPARE(int(o.mode), int(Options::Mode::Wrong));
            QVERIFY2(o.error.contains(w.says), qPrintable(o.error));
        }
        QVERIFY(usage().contains("--import-class FICHIER [--class NOM]"));
    }

    void theEditorFillsTheListFromTheRegister() {
        const QString csv = login.dir.filePath("export.csv");
        writeBytes(csv, register_.toUtf8());
        ClassListEditor editor(nullptr, ClassListPlace::ownConfiguration(), SystemLevel{});
        editor.editor()->setPlainText("# CE2-B, salle 4\nAncien");
        QStringList offered;
        // The teacher gives up the choice: nothing changes.
        QVERIFY(!editor.importRegister(csv, [&](const QStringList& classes) {
            offered = classes;
            return QString();
        }));
        QCOMPARE(offered, QStringList({"CE2-A", "CE2-B", "CM1-B"}));
        QVERIFY(editor.editor()->toPlainText().contains("Ancien"));
        QVERIFY(editor.importRegister(csv, [](const QStringList&) { return "CE2-B"; }));
        QCOMPARE(editor.editor()->toPlainText(), QString("# CE2-B, salle 4\nNoé"));
        // Not written before the teacher saves.
        QVERIFY(!QFileInfo::exists(login.classList()));
        QVERIFY(editor.save());
        QCOMPARE(readClassList(login.classList()), QStringList{"Noé"});
        QVERIFY(!editor.importRegister(login.dir.filePath("none.csv"),
                                       [](const QStringList&) { return QString(); }));
    }
};

QTEST_MAIN(SchoolRegisterTest)
#include "test_school_register.moc"
