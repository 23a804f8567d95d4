// The class exported as a French spreadsheet reads it, and the command line
// that names records and folders.
#include "ClassRecord.h"
#include "ClassTable.h"
#include "ClassTesting.h"
#include "Export.h"
#include "FrenchCsv.h"
#include "GameOptions.h"
#include "PupilFigures.h"
#include "Pupils.h"
#include "SampleRecord.h"
#include "Spill.h"
#include "SuiteFolder.h"

#include <QApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QXmlStreamReader>
#include <QtTest>

#include <map>

using namespace quiltaro;
using namespace quiltaro::test;

namespace {

struct Cell {
    QString type; // float, date, string (as the spreadsheet stored it)
    QString text;
    bool formula = false;
};

// The cells of the first sheet of a flat OpenDocument spreadsheet.
QList<QList<Cell>> sheetOf(const QByteArray& fods) {
    QList<QList<Cell>> rows;
    QXmlStreamReader xml(fods);
    Cell* current = nullptr;
    int repeats = 1;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("table-row")) {
            rows.append(QList<Cell>());
        } else if (xml.isStartElement() && xml.name() == QLatin1String("table-cell") &&
                   !rows.isEmpty()) {
            // Equal neighbours are written once, with how many they are;
            // the empty rest of a row too.
            const auto type = xml.attributes().value("office:value-type").toString();
            const int repeated =
                std::max(1, xml.attributes().value("table:number-columns-repeated").toInt());
            if (type.isEmpty())
                continue;
            for (int i = 0; i < repeated; ++i)
                rows.last().append(
                    {type, QString(), xml.attributes().hasAttribute("table:formula")});
            repeats = repeated;
            current = &rows.last().last();
        } else if (xml.isCharacters() && current && !xml.isWhitespace()) {
            for (int i = 0; i < repeats; ++i)
                rows.last()[rows.last().size() - 1 - i].text += xml.text().toString().trimmed();
        } else if (xml.isEndElement() && xml.name() == QLatin1String("table-cell")) {
            current = nullptr;
        }
    }
    while (!rows.isEmpty() && rows.last().isEmpty())
        rows.removeLast();
    return rows;
}

} // namespace

class ClassCsvTest : public QObject, private SuiteFolder {
    Q_OBJECT

    // A Wednesday; the week started on Monday 30 November.
    const QDateTime now{QDate(2026, 12, 2), QTime(16, 0), Qt::UTC};

private slots:
    void initTestCase() { startSuite(); }

    void theCsvIsForAFrenchSpreadsheet() {
        std::vector<RoundRecord> rounds = knownRounds();
        rounds[2].kind = NumberKind::Tenths, rounds[2].levels = parseLevel("dixiemes");
        // Named so that a spreadsheet would run them as formulas, or split them.
        // The class comes first, so that a spreadsheet sorts a school by class.
        const PupilRounds tricky[] = {{"=Zoé", {rounds[0], rounds[1]}, "CE2-A"},
                                      {"Léo; Ana", {rounds[2]}, "CM1 B"}};
        QString text;
        {
            QTextStream out(&text);
            writeFrenchCsv({tricky[0], tricky[1]}, out);
        }
        const QStringList lines = text.split("\r\n");
        QCOMPARE(lines[0], QString("Classe;Élève;Partie;Manche;Début;Fin;Score avant;Score après;"
                                   "Borne basse;Borne haute;Nombre rouge;Essais;Points;"
                                   "Fin de la manche;Réponses;Verdicts;Niveau réglé;Niveau joué"));
        // A round from before levels: the default, and the kind its score gave.
        QCOMPARE(lines[1],
                 QString("CE2-A;'=Zoé;1;1;2026-12-01 09:00:00;2026-12-01 09:00:45;0;2;0;1000;"
                         "371;2;2;trouvé;500 | 371;trop grand | trouvé;"
                         "selon le score (entiers, puis dixièmes, puis centièmes);"
                         "entiers"));
        QCOMPARE(lines[3],
                 QString("CM1 B;\"Léo; Ana\";1;1;2026-12-01 10:40:00;2026-12-01 10:40:45;3;3;"
                         "12;40;37,1;3;0;trouvé;30,5 | 38 | 37,1;"
                         "trop petit | trop grand | trouvé;à partir des dixièmes;"
                         "dixièmes"));
        for (const char* risky : {"=1+1", "+33 6", "-x", "@SUM(A1)", "\tx"})
            QCOMPARE(csvCell(risky).front(), QChar('\''));
        for (const char* number : {"-2", "-0,5", "12"})
            QCOMPARE(csvCell(number), QString(number));

        // As LibreOffice Calc reads it on a French desktop.
        const QString soffice = QStandardPaths::findExecutable("soffice");
        if (soffice.isEmpty())
            QSKIP(
                "LibreOffice is not installed (scripts/setup.sh installs libreoffice-calc-nogui)");
        const QString csv = file("fr/resultats.csv");
        QVERIFY(QDir().mkpath(file("fr")));
        const auto inClass = [](RoundRecord r) {
            r.className = "CE2-A";
            return r;
        };
        write(file("fr/record.sqlite"),
              {inClass(named(rounds[0], "=Zoé")), inClass(named(rounds[1], "=Zoé")),
               inClass(named(rounds[2], "Léo; Ana"))});
        QString errors;
        QTextStream err(&errors);
        QCOMPARE(exportCsv({file("fr/record.sqlite")}, csv, err), 0);
        QVERIFY(contents(csv).startsWith("\xef\xbb\xbf"
                                         "Classe;\xc3\x89l\xc3\xa8ve;"));
        QProcess lo;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LANG", "fr_FR.UTF-8");
        env.insert("LC_ALL", "fr_FR.UTF-8");
        lo.setProcessEnvironment(env);
        lo.setProcessChannelMode(QProcess::MergedChannels);
        // Separator ';', quote '"', UTF-8, from line 1, French.
        lo.start(soffice, {"-env:UserInstallation=" + QUrl::fromLocalFile(file("lo")).toString(),
                           "--headless", "--infilter=CSV:59,34,76,1,,1036", "--convert-to", "fods",
                           "--outdir", file("fr"), csv});
        QVERIFY(lo.waitForFinished(180000));
        const QByteArray fods = contents(file("fr/resultats.fods"));
        QVERIFY2(!fods.isEmpty(), lo.readAll().constData());
        const auto sheet = sheetOf(fods);
        QCOMPARE(sheet.size(), 4);
        for (const Cell& c : sheet[0])
            QCOMPARE(c.type, QString("string"));
        // The headers read back whole, accents and spaces included.
        QCOMPARE(sheet[0][0].text, QString("Classe"));
        QCOMPARE(sheet[0][1].text, QString("Élève"));
        QCOMPARE(sheet[0][7].text, QString("Score après"));
        QCOMPARE(sheet[0][17].text, QString("Niveau joué"));
        const QStringList types = {"string", "string", "float",  "float",  "date",   "date",
                                   "float",  "float",  "float",  "float",  "float",  "float",
                                   "float",  "string", "string", "string", "string", "string"};
        for (int row = 1; row < 4; ++row) {
            QCOMPARE(sheet[row].size(), types.size());
            for (int c = 0; c < types.size(); ++c) {
                QString expected = types[c];
                if (c == 14 && rounds[row - 1].tries() == 1)
                    expected = "float"; // one answer is one number
                QVERIFY2(sheet[row][c].type == expected && !sheet[row][c].formula,
                         qPrintable(QString("row %1, column %2: %3 (%4)")
                                        .arg(row)
                                        .arg(c)
                                        .arg(sheet[row][c].type, sheet[row][c].text)));
            }
        }
        QCOMPARE(sheet[1][0].text, QString("CE2-A"));
        QCOMPARE(sheet[1][1].text, QString("'=Zoé"));
        QCOMPARE(sheet[2][12].text, QString("-2"));
        QCOMPARE(sheet[3][1].text, QString("Léo; Ana"));
        QCOMPARE(sheet[3][10].text, QString("37,1"));
        QCOMPARE(sheet[3][14].text, QString("30,5 | 38 | 37,1"));
    }

    void theToolsTakeRecordsAndFolders() {
        Options o = parseOptions({"--results", "a/record.sqlite", "copie"});
        QCOMPARE(int(o.mode), int(Options::Mode::Results));
        QCOMPARE(o.sources, QStringList({"a/record.sqlite", "copie"}));
        o = parseOptions({"--export-csv", "classe.csv", "/media/cle"});
        QCOMPARE(o.file, QString("classe.csv"));
        QCOMPARE(o.sources, QStringList({"/media/cle"}));
        QCOMPARE(int(parseOptions({"--version", "x"}).mode), int(Options::Mode::Wrong));
        QCOMPARE(int(parseOptions({"x"}).mode), int(Options::Mode::Wrong));
    }
};

int main(int argc, char** argv) {
    // Dates in the CSV are local; the expected text is written in UTC.
    setenv("TZ", "UTC", 1);
    tzset();
    QApplication app(argc, argv);
    ClassCsvTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_class_csv.moc"
