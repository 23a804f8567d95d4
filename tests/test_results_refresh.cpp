// The class's results window shown again as rounds arrive from a class that
// plays: the teacher keeps the order, the pupil, the place and the focus, and
// a dialog open meanwhile works on what the window showed when it opened.
#include "ClassTable.h"
#include "DesktopLocale.h"
#include "ResultsTesting.h"
#include "ResultsWindow.h"

#include <QApplication>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>

#include <algorithm>

using namespace quiltaro;
using namespace quiltaro::test;

class ResultsRefreshTest : public QObject {
    Q_OBJECT

    const QDateTime now = wednesday();

private slots:
    void initTestCase() {
        QUILTARO_ADOPT_DESKTOP_LOCALE();
        QStandardPaths::setTestModeEnabled(true);
    }

    void aRefreshedWindowKeepsTheTeachersPlace() {
        // The class on a server is shown again whenever rounds arrive: the
        // teacher keeps the order, the pupil and the place, and whatever
        // window the teacher works in keeps the focus.
        ClassRecord data = thirtyWhoPlayedTheDayBefore(now);
        // Lines as high as their text: thirty pupils fit on a full HD
        // screen, and the place kept is in a list longer than the window.
        const ClassRecord more = thirtyWhoPlayedTheDayBefore(now);
        for (PupilRounds pupil : more.pupils) {
            pupil.name += QStringLiteral(" bis");
            data.pupils.push_back(std::move(pupil));
        }
        ResultsWindow window(data, now, false);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.table()->sortByColumn(ClassTable::Pupil, Qt::DescendingOrder);
        window.table()->selectRow(20);
        const QString chosen = window.table()->pupilAt(20);
        QCOMPARE(window.shownPupil(), chosen);
        QApplication::processEvents(); // the pupil's charts laid out, as seconds later
        QScrollBar* bar = window.table()->verticalScrollBar();
        bar->setValue(bar->maximum() / 3);
        const int place = bar->value();
        QVERIFY(place > 0);
        const QSize size = window.size();
        QWidget elsewhere;
        elsewhere.show();
        elsewhere.activateWindow();
        QTRY_VERIFY(elsewhere.isActiveWindow());

        // One more round for the pupil chosen.
        for (PupilRounds& pupil : data.pupils)
            if (pupil.name == chosen)
                pupil.rounds.push_back(pupil.rounds.back());
        window.refresh(data, now);
        const QHeaderView* header = window.table()->horizontalHeader();
        QCOMPARE(header->sortIndicatorSection(), int(ClassTable::Pupil));
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
        QCOMPARE(window.table()->pupilAt(20), chosen);
        QCOMPARE(window.table()->currentIndex().row(), 20);
        QCOMPARE(window.shownPupil(), chosen);
        QVERIFY(window.charts());
        QTRY_COMPARE(window.table()->verticalScrollBar()->value(), place);
        QCOMPARE(window.size(), size);
        QVERIFY(elsewhere.isActiveWindow());

        // A teacher going through the class with the arrow keys goes on.
        window.activateWindow();
        QTRY_VERIFY(window.isActiveWindow());
        window.table()->setFocus();
        QTRY_VERIFY(window.table()->hasFocus());
        window.refresh(data, now);
        QVERIFY(window.table()->hasFocus());
        QTest::keyClick(window.table(), Qt::Key_Down);
        QCOMPARE(window.shownPupil(), window.table()->pupilAt(21));
    }

    void roundsThatArriveDuringADialogWaitForIt() {
        // The dialogs work on what the window shows: the class list, and the
        // export's file chooser, which writes the rounds shown.
        ClassRecord data = thirtyWhoPlayedTheDayBefore(now);
        ResultsWindow window(data, now, false);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto shows = [&window](const QString& text) {
            const auto labels = window.findChildren<QLabel*>();
            return std::any_of(labels.begin(), labels.end(),
                               [&](const QLabel* l) { return l->text().contains(text); });
        };
        QVERIFY(shows("30 manches"));
        QVERIFY(shows("30 élèves"));
        data.pupils.front().rounds.push_back(data.pupils.front().rounds.back());
        bool dialogOpen = false, waited = false;
        QTimer::singleShot(0, &window, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            dialogOpen = dialog != nullptr;
            window.refreshWhenFree(data, now);
            QTest::qWait(700); // past a retry
            waited = shows("30 manches") && !shows("31 manches");
            if (dialog)
                dialog->reject();
        });
        QPushButton* classList = nullptr;
        for (QPushButton* button : window.findChildren<QPushButton*>())
            if (button->text() == QStringLiteral("&Liste de la classe…"))
                classList = button;
        QVERIFY(classList);
        classList->click(); // returns once the dialog is closed
        QVERIFY(dialogOpen);
        QVERIFY(waited);
        QTRY_VERIFY(shows("31 manches"));
        QCOMPARE(window.shownPupil(), data.pupils.front().name);
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ResultsRefreshTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_results_refresh.moc"
