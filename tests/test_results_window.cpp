// The results window on a school laptop and a 1920 x 1080 screen at any
// scale: it fits, every line of the class and the chosen pupil's charts are
// in view, its keys work; a pupil's charts by date,
// named for a screen reader; the empty view of the teacher's own login; the
// class list edited there. A window refreshed while the class plays is in
// test_results_refresh.
#include "ClassListEditor.h"
#include "ClassTable.h"
#include "DesktopLocale.h"
#include "LevelSettings.h"
#include "PupilCharts.h"
#include "PupilFigures.h"
#include "PupilPanel.h"
#include "Pupils.h"
#include "ResultsTesting.h"
#include "ResultsWindow.h"
#include "SampleClass.h"

#include <QApplication>
#include <QChartView>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTranslator>
#include <QValueAxis>
#include <QXYSeries>
#include <QtTest>

using namespace quiltaro;
using namespace quiltaro::test;

namespace {

// Each mark of the pupil's charts, chart by chart.
QList<QPointF> chartMarks(const ResultsWindow& window) {
    QList<QPointF> marks;
    if (window.charts())
        for (QChartView* view : window.charts()->charts())
            for (QAbstractSeries* series : view->chart()->series())
                if (auto* xy = qobject_cast<QXYSeries*>(series))
                    marks += xy->points();
    return marks;
}

} // namespace

class ResultsWindowTest : public QObject {
    Q_OBJECT

    const QDateTime now = wednesday();

private slots:
    void initTestCase() {
        QUILTARO_ADOPT_DESKTOP_LOCALE();
        QStandardPaths::setTestModeEnabled(true);
    }

    void theChartsAreByDateNamedAndCountOnlyPlayedRounds() {
        const QDateTime mon = QDateTime(QDate(2026, 11, 30), QTime(9, 0), Qt::UTC);
        std::vector<RoundRecord> rounds = {
            played("a", mon, 0, 7, 3, Ending::Won),
            played("a", mon.addSecs(60), 7, 0, 4, Ending::GaveUp),
            played("b", mon.addDays(1), 0, 2, 2, Ending::Won, true),
            played("b", mon.addDays(1).addSecs(60), 2, 2, 0, Ending::ProgramEnd)};
        const auto days = byDate(rounds, ChartStep::Day);
        QCOMPARE(days.size(), size_t(2));
        QCOMPARE(days[0].levels[0].played, 1);
        QCOMPARE(days[0].levels[2].tries, 4); // the give-up's tries count
        QCOMPARE(days[0].gaveUp, 1);
        QCOMPARE(days[1].levels[0].played, 1); // the round never played is not one
        QCOMPARE(days[1].outside, 1);
        // A game that reached 7 and ended at 0 shows both.
        const auto games = gamesOf(rounds);
        QCOMPARE(games.size(), size_t(2));
        QCOMPARE(games[0].highest, 7);
        QCOMPARE(games[0].final, 0);
        // Two copies under one login play at once: their rounds interleave,
        // and each game is still one point, ending where it ended.
        const std::vector<RoundRecord> together = {
            played("p", mon, 0, 1, 2, Ending::Won),
            played("q", mon.addSecs(10), 0, 1, 2, Ending::Won),
            played("p", mon.addSecs(20), 1, 2, 2, Ending::Won),
            played("q", mon.addSecs(30), 1, 0, 4, Ending::GaveUp),
            played("p", mon.addSecs(40), 2, 3, 2, Ending::Won)};
        const auto both = gamesOf(together);
        QCOMPARE(both.size(), size_t(2));
        QCOMPARE(both[0].final, 3);
        QCOMPARE(both[1].highest, 1);
        QCOMPARE(both[1].final, 0);
        QCOMPARE(chartStepOf(rounds), ChartStep::Day);
        rounds.push_back(played("c", mon.addDays(60), 0, 2, 2, Ending::Won));
        QCOMPARE(chartStepOf(rounds), ChartStep::Week);
        QCOMPARE(byDate(rounds, ChartStep::Week).front().date, QDate(2026, 11, 30));

        PupilCharts charts(PupilRounds{"Léa", rounds});
        QCOMPARE(charts.charts().size(), 3);
        for (QChartView* view : charts.charts()) {
            QVERIFY(!view->accessibleName().isEmpty());
            QVERIFY2(view->accessibleDescription().contains("2026"),
                     qPrintable(view->accessibleDescription()));
            QVERIFY(qobject_cast<QDateTimeAxis*>(view->chart()->axes(Qt::Horizontal).value(0)));
        }
        // The three charts stand one above the other: a day is at the same
        // place in each.
        auto sameDays = [](const PupilCharts& drawn) {
            QList<QPair<QDateTime, QDateTime>> ranges;
            for (QChartView* view : drawn.charts()) {
                auto* axis =
                    qobject_cast<QDateTimeAxis*>(view->chart()->axes(Qt::Horizontal).value(0));
                ranges << qMakePair(axis->min(), axis->max());
            }
            return ranges.size() == 3 && ranges.count(ranges[0]) == 3;
        };
        QVERIFY(sameDays(charts));

        // From one school year to the next, a point a month, and the year
        // under each: a year and a day apart is the first span drawn so.
        std::vector<RoundRecord> years = {played("y", mon, 0, 2, 3, Ending::Won),
                                          played("y", mon.addDays(366), 0, 2, 3, Ending::Won)};
        QCOMPARE(chartStepOf(years), ChartStep::Week);
        years.push_back(played("z", mon.addDays(367), 0, 1, 5, Ending::GaveUp));
        QCOMPARE(chartStepOf(years), ChartStep::Month);
        const auto months = byDate(years, ChartStep::Month);
        QCOMPARE(months.size(), size_t(2));
        QCOMPARE(months[0].date, QDate(2026, 11, 1));
        QCOMPARE(months[1].date, QDate(2027, 12, 1));
        QCOMPARE(months[1].levels[0].played, 2);
        QCOMPARE(months[1].gaveUp, 1);
        PupilCharts longRun(PupilRounds{"Inès", years});
        for (QChartView* view : longRun.charts()) {
            auto* axis = qobject_cast<QDateTimeAxis*>(view->chart()->axes(Qt::Horizontal).value(0));
            QVERIFY(axis && axis->format().contains("yyyy"));
            QCOMPARE(axis->titleText(), QString("Mois"));
        }
        QVERIFY(longRun.charts().at(0)->accessibleDescription().contains("mois par mois"));
        QVERIFY(sameDays(longRun));

        // Hundreds of games are drawn a mark a day, not a mark a game.
        std::vector<RoundRecord> many;
        for (int g = 0; g < 300; ++g)
            many.push_back(played(QString::number(g), mon.addDays(g % 5).addSecs(60 * g), 0, g % 10,
                                  3, Ending::Won));
        PupilCharts busy(PupilRounds{"Noé", many});
        QChart* scores = busy.charts().at(1)->chart();
        QVERIFY(scores->title().startsWith("Scores des parties"));
        for (QAbstractSeries* series : scores->series())
            QCOMPARE(static_cast<QXYSeries*>(series)->count(), 5);
        QVERIFY(sameDays(busy));

        // A hard day, 43 tries for one number and 30 answers outside: the
        // counts stay readable, a few labels up each side, not thirty
        // labels squeezed into dots.
        std::vector<RoundRecord> hard = rounds;
        for (int i = 0; i < 30; ++i)
            hard.push_back(played("d", mon.addDays(2).addSecs(i), 0, 0, 1, Ending::GaveUp, true));
        hard.push_back(played("d", mon.addDays(2).addSecs(60), 0, 1, 43, Ending::Won));
        PupilCharts steep(PupilRounds{"Zoé", hard});
        for (QChartView* view : {steep.charts().at(0), steep.charts().at(2)}) {
            auto* axis = qobject_cast<QValueAxis*>(view->chart()->axes(Qt::Vertical).value(0));
            QVERIFY(axis && axis->max() > 20);
            QVERIFY2(axis->max() / axis->tickInterval() <= 7,
                     qPrintable(QString("%1 to %2 by %3")
                                    .arg(view->chart()->title())
                                    .arg(axis->max())
                                    .arg(axis->tickInterval())));
        }
    }

    // On a school laptop's 1366 x 768 and on 1920 x 1080 at 100, 150 or
    // 200 % (QT_SCALE_FACTOR): the window fits; the list shows each of its
    // columns without a horizontal scroll bar; the chosen pupil's figures
    // and charts are in view whichever line is chosen; Tab goes from area to
    // area and reaches every button, the arrows go down the list.
    void theWindowFitsAndEveryLineCanBeReached() {
        // A third of the class needs help for three reasons at once, the
        // longest the list says: away for a week, losing points at the
        // hundredths, never a game won.
        ClassRecord data = thirtyWhoPlayedTheDayBefore(now);
        for (size_t i = 0; i < data.pupils.size(); i += 3) {
            PupilRounds& p = data.pupils[i];
            p.rounds.clear();
            for (int round = 0; round < 12; ++round)
                p.rounds.push_back(played(QStringLiteral("g%1-%2").arg(p.name).arg(round / 2),
                                          now.addDays(-8).addSecs(60 * round), 7, 0, 6,
                                          Ending::GaveUp));
        }
        ResultsWindow window(std::move(data), now, false);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QRect screen = window.screen()->availableGeometry();
        QVERIFY2(screen.contains(window.frameGeometry()),
                 qPrintable(QString("%1x%2 on %3x%4")
                                .arg(window.frameGeometry().width())
                                .arg(window.frameGeometry().height())
                                .arg(screen.width())
                                .arg(screen.height())));
        QCOMPARE(window.devicePixelRatio(),
                 qEnvironmentVariable("QT_SCALE_FACTOR", "1").toDouble());
        ClassTable* table = window.table();
        QCOMPARE(table->model()->rowCount(), 30);
        QVERIFY(!table->horizontalScrollBar()->isVisible());
        const QHeaderView* header = table->horizontalHeader();
        for (int c = 0; c < ClassTable::Columns; ++c) {
            const int right = header->sectionViewportPosition(c) + header->sectionSize(c);
            QVERIFY2(right <= table->viewport()->width(),
                     qPrintable(QString("column %1 ends at %2 of %3")
                                    .arg(c)
                                    .arg(right)
                                    .arg(table->viewport()->width())));
            if (c != ClassTable::Help)
                QVERIFY2(header->sectionSize(c) >= header->sectionSizeHint(c),
                         qPrintable(QString("column %1 is cut").arg(c)));
        }
        // Every reason whole in its line: as many lines as its words take
        // in the column, none cut at the side.
        QFont bold = table->font();
        bold.setBold(true);
        const QFontMetrics metrics(bold);
        int flagged = 0;
        for (int row = 0; row < 30; ++row) {
            const QModelIndex reasons = table->model()->index(row, ClassTable::Help);
            const QString text = reasons.data().toString();
            flagged += text.contains(QStringLiteral("jamais gagné")) ? 1 : 0;
            const QRect cell = table->visualRect(reasons);
            const int room =
                cell.width() -
                2 * (table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1);
            const QRect needed = metrics.boundingRect(QRect(0, 0, room, 10000),
                                                      Qt::TextWordWrap | Qt::AlignLeft, text);
            QVERIFY2(needed.width() <= room && needed.height() <= cell.height(),
                     qPrintable(QString("« %1 » needs %2x%3 in %4x%5")
                                    .arg(text)
                                    .arg(needed.width())
                                    .arg(needed.height())
                                    .arg(room)
                                    .arg(cell.height())));
        }
        QCOMPARE(flagged, 10);
        auto inView = [&](const QWidget* w) {
            const QRect shown(w->mapTo(&window, QPoint(0, 0)), w->size());
            return w->isVisible() && window.rect().contains(shown) && w->height() >= 100;
        };
        // As a teacher would: down the list with the keyboard, the pupil's
        // figures and charts beside it all along, then back up.
        table->setFocus();
        table->setCurrentIndex(table->model()->index(0, 0));
        for (int row = 0; row < 30; ++row) {
            if (row > 0)
                QTest::keyClick(table, Qt::Key_Down);
            QCOMPARE(table->currentIndex().row(), row);
            QCOMPARE(window.shownPupil(), table->pupilAt(row));
            const QRect line = table->visualRect(table->currentIndex());
            QVERIFY2(table->viewport()->rect().contains(line),
                     qPrintable(QString("line %1 cannot be reached").arg(row)));
        }
        QApplication::processEvents();
        QVERIFY(window.charts());
        QCOMPARE(window.charts()->charts().size(), 3);
        // Four quarters where they are readable, else the charts in tabs
        // below the figures, one in view at a time.
        const bool compact = window.charts()->compact();
        // Quarters at 100 %, from the school laptop up, each wide enough to
        // read; at 150 and 200 %, wherever the figures and a chart fit.
        if (window.devicePixelRatio() == 1)
            QVERIFY(!compact);
        if (!compact)
            for (QChartView* chart : window.charts()->charts())
                QVERIFY2(chart->width() >= 300, qPrintable(chart->accessibleName()));
        for (QChartView* chart : window.charts()->charts()) {
            if (compact) {
                window.charts()->findChild<QTabWidget*>()->setCurrentWidget(chart);
                QApplication::processEvents();
            }
            QVERIFY2(inView(chart), qPrintable(QString("%1: %2x%3")
                                                   .arg(chart->accessibleName())
                                                   .arg(chart->width())
                                                   .arg(chart->height())));
        }
        QVERIFY(inView(window.panel()->figures()));
        // Every word of the pupil's figures whole in its cell, every label
        // of the window whole, and nothing to scroll sideways.
        const QTableWidget* figures = window.panel()->figures();
        const int margins =
            2 * (figures->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, figures) + 1);
        for (int row = 0; row < figures->rowCount(); ++row)
            for (int column = 0; column < figures->columnCount(); ++column) {
                const QString text = figures->item(row, column)->text();
                const int needed = figures->fontMetrics().horizontalAdvance(text) + margins;
                QVERIFY2(needed <= figures->columnWidth(column),
                         qPrintable(QString("« %1 » needs %2 in %3")
                                        .arg(text)
                                        .arg(needed)
                                        .arg(figures->columnWidth(column))));
            }
        QVERIFY(figures->horizontalHeader()->length() <= figures->viewport()->width());
        for (const QLabel* label : window.findChildren<QLabel*>())
            if (label->isVisible() && !label->wordWrap())
                QVERIFY2(label->sizeHint().width() <= label->width(),
                         qPrintable(QString("« %1 » needs %2 in %3")
                                        .arg(label->text())
                                        .arg(label->sizeHint().width())
                                        .arg(label->width())));
        QTest::keyClick(table, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(window.shownPupil(), table->pupilAt(0));

        // Tab from area to area: every button is reached, and the list
        // once, not cell by cell.
        QSet<QWidget*> reached;
        int tabsInTable = 0;
        window.periodChooser()->setFocus();
        for (int i = 0; i < 40; ++i) {
            QWidget* focused = QApplication::focusWidget();
            reached.insert(focused);
            tabsInTable += focused == table ? 1 : 0;
            QTest::keyClick(focused, Qt::Key_Tab);
        }
        for (QPushButton* button : window.findChildren<QPushButton*>())
            if (button->isVisible())
                QVERIFY2(reached.contains(button), qPrintable(button->text()));
        QVERIFY(reached.contains(table));
        QVERIFY(tabsInTable <= 40 / reached.size() + 1);

        QTest::keyClick(&window, Qt::Key_F11);
        QTRY_VERIFY(window.isFullScreen());
        QTest::keyClick(&window, Qt::Key_F11);
        QTRY_VERIFY(!window.isFullScreen());
        QTest::keyClick(&window, Qt::Key_W, Qt::ControlModifier);
        QVERIFY(!window.isVisible());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.isVisible());
    }

    // A class counted from its records shows each pupil as the same
    // rounds read whole do: the figures at once, the charts once the
    // pupil's rounds are read off the window's thread.
    void aCountedClassDrawsItsChartsOnceRead() {
        QTemporaryDir dir;
        QStringList files;
        for (const GeneratedPupil& p : generateClass(3, 3, now.date().addDays(-1), 7)) {
            files << dir.filePath(p.name + "/record.sqlite");
            QVERIFY(QDir().mkpath(QFileInfo(files.back()).path()));
            ProblemReport report;
            RecordStore store(files.back(), report);
            QVERIFY(store.writeMany(p.rounds));
        }
        ResultsWindow counted(countClass(files), now, false);
        ResultsWindow read(readClass(files, Detail::Counts), now, false);
        for (ResultsWindow* window : {&counted, &read}) {
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window));
        }
        for (int row = 0; row < 3; ++row) {
            const QString name = read.table()->pupilAt(row);
            counted.showPupil(name);
            read.showPupil(name);
            QVERIFY(!read.panel()->readingLabel()->isVisible());
            QTRY_VERIFY(!counted.panel()->readingLabel()->isVisible());
            QCOMPARE(counted.shownPupil(), name);
            for (int column = 0; column < 3; ++column)
                for (int line = 0; line < read.panel()->figures()->rowCount(); ++line)
                    QCOMPARE(counted.panel()->figures()->item(line, column)->text(),
                             read.panel()->figures()->item(line, column)->text());
            QCOMPARE(chartMarks(counted), chartMarks(read));
            QVERIFY(!chartMarks(read).isEmpty());
        }
    }

    // The teacher's own tries before the class list: apart, said so, and
    // neither a line of the class nor counted in it.
    void theTeachersTrialsAreApart() {
        ClassRecord data = thirtyWhoPlayedTheDayBefore(now);
        data.pupils.push_back(
            {accountPupilName(), {played("essai", now.addDays(-3), 0, 2, 3, Ending::Won)}});
        setTrialApart(data, {"Élève 01", "Élève 02"});
        QCOMPARE(data.pupils.size(), size_t(30));
        QCOMPARE(data.trial.rounds.size(), size_t(1));
        ResultsWindow window(data, now, true);
        QCOMPARE(window.table()->model()->rowCount(), 30);
        QCOMPARE(window.summary().total.rounds, 30);
        QString shown;
        for (QLabel* label : window.findChildren<QLabel*>())
            shown += label->text();
        QVERIFY2(shown.contains("Vos manches d'essai") && shown.contains("30 élèves"),
                 qPrintable(shown));
        // A login named as a pupil of the list is that pupil.
        ClassRecord same;
        same.pupils.push_back({accountPupilName(), {}});
        setTrialApart(same, {accountPupilName()});
        QCOMPARE(same.pupils.size(), size_t(1));
    }

    // Qt's own words in the teacher's dialogs, whatever the desktop's
    // language (this suite also runs in the C locale).
    void qtsOwnDialogsAreInFrench() {
        QTranslator translator;
        QVERIFY(installQtFrench(translator));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("Annuler"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Save"), QString("Enregistrer"));
        QCoreApplication::removeTranslator(&translator);
    }

    void anEmptyOwnLoginSaysWhereTheGamesAre() {
        ResultsWindow own(ClassRecord{}, now, true);
        QString shown;
        for (QLabel* label : own.findChildren<QLabel*>())
            shown += label->text();
        QVERIFY2(shown.contains("quiltaro --results DOSSIER") &&
                     shown.contains(".local/share/quiltaro/record.sqlite"),
                 qPrintable(shown));
    }

    // The list as the teacher wrote it, comments included; a name written
    // twice, or twice but for capitals or accents, is refused and said,
    // and nothing is written.
    void theClassListIsEditedInTheWindow() {
        ClassListEditor editor;
        auto problem = [&] {
            QString shown;
            for (QLabel* label : editor.findChildren<QLabel*>())
                shown += label->text();
            return shown;
        };
        editor.editor()->setPlainText("Léa\n\n  Noé \nLéa\n# pas un prénom\nInès");
        QVERIFY(!editor.save());
        QVERIFY2(problem().contains("« Léa » est écrit deux fois"), qPrintable(problem()));
        QVERIFY(!QFile::exists(writableClassListFile()));
        editor.editor()->setPlainText("Éloïse\nNoé\neloise : entiers");
        QVERIFY(!editor.save());
        QVERIFY2(problem().contains("« Éloïse » et « eloise »"), qPrintable(problem()));
        QVERIFY(!QFile::exists(writableClassListFile()));

        editor.editor()->setPlainText("# CM1, groupe du mardi\nLéa\n\n  Noé \n# arrivée en "
                                      "novembre\nInès");
        QVERIFY(editor.save());
        QCOMPARE(classListFile(), writableClassListFile());
        QCOMPARE(readClassList(classListFile()), QStringList({"Léa", "Noé", "Inès"}));
        ClassListEditor again;
        QCOMPARE(again.editor()->toPlainText(),
                 QString("# CM1, groupe du mardi\nLéa\nNoé\n# arrivée en novembre\nInès"));
        QFile::remove(writableClassListFile());
    }

    // The class's level beside the list, a pupil's after the name; the
    // window says the level the class plays at.
    void theLevelIsChosenWithTheList() {
        const SystemLevel none;
        ClassListEditor editor(nullptr, ClassListPlace::ownConfiguration(), none);
        QVERIFY(editor.level()->isEnabled());
        editor.level()->setCurrentIndex(editor.level()->findText("à partir des dixièmes"));
        editor.editor()->setPlainText("Léa\nLucas : entier");
        QVERIFY(!editor.save()); // the typo is told, nothing written
        QVERIFY(!QFile::exists(writableClassListFile()));
        editor.editor()->setPlainText("Léa\nLucas : entiers");
        QVERIFY(editor.save());
        QCOMPARE(readClassListFile(writableClassListFile()),
                 parseClassList("niveau : dixiemes\nLéa\nLucas : entiers"));
        ClassListEditor again(nullptr, ClassListPlace::ownConfiguration(), none);
        QCOMPARE(again.level()->currentText(), QString("à partir des dixièmes"));
        QCOMPARE(again.editor()->toPlainText(), QString("Léa\nLucas : entiers"));
        const QDateTime now = QDateTime::currentDateTime();
        ResultsWindow window(ClassRecord{}, now, true);
        QString shown;
        for (QLabel* label : window.findChildren<QLabel*>())
            shown += label->text();
        QVERIFY2(shown.contains("Niveau de la classe : à partir des dixièmes"), qPrintable(shown));

        // Set by the administrator for every computer: shown, not changed.
        const SystemLevel locked{
            parseLevel("entiers"), true, "/etc/xdg/quiltaro/quiltaro.conf", {}};
        ClassListEditor fixed(nullptr, ClassListPlace::ownConfiguration(), locked);
        QVERIFY(!fixed.level()->isEnabled());
        QCOMPARE(fixed.level()->currentText(), QString("nombres entiers seulement"));
        shown.clear();
        for (QLabel* label : fixed.findChildren<QLabel*>())
            shown += label->text();
        QVERIFY(shown.contains("fixé pour tous les postes par l'administrateur"));
        fixed.editor()->setPlainText("Léa\nLucas\nInès");
        QVERIFY(fixed.save()); // the names change, the class's own level stays
        QCOMPARE(readClassListFile(writableClassListFile()),
                 parseClassList("niveau : dixiemes\nLéa\nLucas\nInès"));
        QFile::remove(writableClassListFile());
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ResultsWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_results_window.moc"
