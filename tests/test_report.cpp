// The printed report, read back as a teacher's printer would get it: its
// pages counted and their text found with the PDF tools; the command line
// that writes it for a period and a pupil, and what it refuses.
#include "ClassSummary.h"
#include "ClassTesting.h"
#include "GameOptions.h"
#include "Report.h"
#include "SampleClass.h"
#include "SuiteFolder.h"

#include <QGuiApplication>
#include <QProcess>
#include <QtTest>

using namespace quiltaro;
using namespace quiltaro::test;

namespace {

const QDateTime friday(QDate(2026, 12, 11), QTime(18, 0));

// What a PDF tool prints about `pdf`.
QString tool(const QString& program, const QStringList& arguments) {
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

int pages(const QString& pdf) {
    const QString info = tool("pdfinfo", {pdf});
    const qsizetype at = info.indexOf("Pages:");
    return at < 0 ? -1 : info.mid(at + 6).section('\n', 0, 0).trimmed().toInt();
}

// The text, its lines joined: a name and its reasons may wrap.
QString text(const QString& pdf, int page = 0) {
    QStringList args = {"-layout"};
    if (page > 0)
        args << "-f" << QString::number(page) << "-l" << QString::number(page);
    return tool("pdftotext", args << pdf << "-").simplified();
}

} // namespace

class ReportTest : public QObject, SuiteFolder {
    Q_OBJECT

    ClassRecord generated;

private slots:
    void initTestCase() {
        startSuite();
        for (const GeneratedPupil& p : generateClass(26, 6, friday.date(), 4))
            generated.pupils.push_back({p.name, p.rounds});
        generated.pupils.push_back({"Yanis", {}}); // on the list, never played
    }

    // The class on its page or two, who needs help and why, the mean; then
    // a page a pupil, each with its figures beside the class's.
    void theClassReportHasAPageForEachPupil() {
        const ClassSummary s = summarize(generated, Period{}, friday);
        const QString pdf = file("classe.pdf");
        QString problem;
        QVERIFY2(writeReportPdf(generated, s, QString(), pdf, &problem), qPrintable(problem));
        const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                                QFileDevice::ReadOther | QFileDevice::WriteOther;
        QVERIFY(!(QFile::permissions(pdf) & others)); // for the teacher's eyes only
        const int count = pages(pdf);
        // One or two pages of the class, then one for each of the 27.
        QVERIFY2(count == 27 + 1 || count == 27 + 2, qPrintable(QString::number(count)));
        const QString first = text(pdf, 1);
        for (const char* words : {"Résultats de la classe", "Depuis le début",
                                  "Niveau de la classe : selon le score", "Élèves à aider"})
            QVERIFY2(first.contains(QString::fromUtf8(words)), words);
        // Arthur is stuck at the tenths; Éloïse never wins; Lucas stopped.
        QVERIFY2(first.contains("Arthur : garde peu de points"), qPrintable(first));
        QVERIFY(first.contains("dixièmes"));
        QVERIFY(first.contains("n'a gagné aucune"));
        const QString all = text(pdf);
        QVERIFY(all.contains("Moyenne de la classe"));
        // Away: with the pupils to help, or among the absent.
        QVERIFY(all.contains("Lucas : n'a pas joué depuis") || all.contains("Lucas (absent"));
        QVERIFY(all.contains("Yanis"));
        // A page a pupil in the order of the class, with the figures and
        // charts; the pupil who never played says so.
        const QString zoe = text(pdf, count - 1);
        QVERIFY2(zoe.contains("Zoé") && zoe.contains("Chiffres de la période") &&
                     zoe.contains("Manches jouées, semaine par semaine"),
                 qPrintable(zoe));
        QVERIFY(text(pdf, count).contains("Yanis Depuis le début"));
        QVERIFY(text(pdf, count).contains("N'a joué aucune manche"));
    }

    // One pupil for a parents' meeting: one page, that pupil's only, over
    // the days chosen.
    void aPupilsReportIsOnePage() {
        const Period period = Period::between(QDate(2026, 11, 30), QDate(2026, 12, 11));
        const ClassSummary s = summarize(generated, period, friday);
        const QString pdf = file("arthur.pdf");
        QString problem;
        QVERIFY2(writeReportPdf(generated, s, "Arthur", pdf, &problem), qPrintable(problem));
        QCOMPARE(pages(pdf), 1);
        const QString page = text(pdf);
        QVERIFY2(page.contains("Arthur") && page.contains("À aider") &&
                     page.contains("lundi 30 novembre 2026 au vendredi 11 décembre 2026") &&
                     page.contains("Moyenne de la classe"),
                 qPrintable(page));
        QVERIFY(!page.contains("Adam"));

        QVERIFY(!writeReportPdf(generated, s, "Personne", file("x.pdf"), &problem));
        QVERIFY(problem.contains("Personne"));
        QVERIFY(!QFile::exists(file("x.pdf")));
        QVERIFY(!writeReportPdf(generated, s, QString(), file("nulle/part/x.pdf"), &problem));
        QVERIFY(!problem.isEmpty());
    }

    // The command line: the period's two days, a pupil, and what is refused.
    void theCommandLineChoosesAPeriodAndAPupil() {
        Options o = parseOptions({"--report-pdf", "r.pdf", "--pupil", "Léa", "--from", "30/11/2026",
                                  "--to", "2026-12-04", "classe"});
        QCOMPARE(o.mode, Options::Mode::ReportPdf);
        QCOMPARE(o.file, QString("r.pdf"));
        QCOMPARE(o.pupil, QString("Léa"));
        QCOMPARE(o.from, QDate(2026, 11, 30));
        QCOMPARE(o.to, QDate(2026, 12, 4));
        QCOMPARE(o.sources, QStringList{"classe"});
        o = parseOptions({"--export-csv", "-", "--from", "2026-11-30"});
        QCOMPARE(o.mode, Options::Mode::ExportCsv);
        QVERIFY(!o.to.isValid());
        const Period open = Period::fromTo(o.from, o.to, QDate(2026, 12, 8));
        QCOMPARE(open.last, QDate(2026, 12, 8));
        QCOMPARE(parseOptions({"--results", "--to", "2026-12-04"}).mode, Options::Mode::Results);
        const std::pair<QStringList, const char*> wrong[] = {
            {{"--report-pdf", "r.pdf", "--from", "lundi"}, "--from attend une date"},
            {{"--report-pdf", "r.pdf", "--from", "2026-12-04", "--to", "2026-11-30"}, "avant --to"},
            {{"--from", "2026-12-04"}, "va avec --results"},
            {{"--results", "--pupil", "Léa"}, "--pupil va avec"},
            {{"--report-pdf", "-"}, "nom de fichier"},
            {{"--report-pdf", "r.pdf", "--export-csv", "c.csv"}, "une seule à la fois"}};
        for (const auto& [arguments, error] : wrong) {
            const Options refused = parseOptions(arguments);
            QCOMPARE(refused.mode, Options::Mode::Wrong);
            QVERIFY2(refused.error.contains(QString::fromUtf8(error)), qPrintable(refused.error));
        }
        QVERIFY(usage().contains("--report-pdf FICHIER") && usage().contains("--from DATE"));

        // The real program, on records: says what it wrote where.
        for (const PupilRounds& p : generated.pupils)
            if (!p.rounds.empty())
                write(file("homes/" + p.name + "/record.sqlite"), p.rounds);
        QProcess game;
        game.start(QUILTARO_BINARY, {"--report-pdf", file("lea.pdf"), "--pupil", "Léa", "--from",
                                     "2026-12-07", "--to", "2026-12-11", file("homes")});
        QVERIFY(game.waitForFinished(60000));
        const QString said = QString::fromUtf8(game.readAllStandardError());
        QVERIFY2(game.exitCode() == 0 && said.contains("rapport de Léa écrit dans"),
                 qPrintable(said));
        QCOMPARE(pages(file("lea.pdf")), 1);
        QVERIFY(text(file("lea.pdf")).contains("lundi 7 décembre 2026 au vendredi 11"));
        // Nor over a record.
        game.start(QUILTARO_BINARY, {"--report-pdf", file("homes/Léa/record.sqlite")});
        QVERIFY(game.waitForFinished(60000));
        QCOMPARE(game.exitCode(), 1);
        QVERIFY(QString::fromUtf8(game.readAllStandardError()).contains("rapport.pdf"));
    }
};

int main(int argc, char** argv) {
    // Qt's fonts lay out the report's text: a GUI application, on no screen.
    QGuiApplication app(argc, argv);
    ReportTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_report.moc"
