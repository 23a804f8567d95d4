// Every text of the three windows breaks at the same words at every size of
// its window, and no line is wider than its label.
#include "DesktopLocale.h"
#include "TestProgram.h"

#include <QLabel>
#include <QTextLayout>
#include <QtTest>

using namespace quiltaro;
using quiltaro::test::TestProgram;

namespace {

struct Lines {
    QStringList text;
    double widest = 0;
};

// The lines a label shows: its text laid out in its font and width, wrapped
// at words when it wraps, and at its line breaks.
Lines shownLines(const QLabel* label) {
    QString text = label->text();
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(text, label->font());
    QTextOption option;
    option.setWrapMode(label->wordWrap() ? QTextOption::WordWrap : QTextOption::ManualWrap);
    layout.setTextOption(option);
    Lines lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(label->contentsRect().width());
        lines.text << text.mid(line.textStart(), line.textLength()).trimmed();
        lines.widest = std::max(lines.widest, line.naturalTextWidth());
    }
    layout.endLayout();
    return lines;
}

} // namespace

class TextLinesTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QUILTARO_ADOPT_DESKTOP_LOCALE(); }

    void everyTextBreaksAtTheSameWordsAtEverySize_data() {
        QTest::addColumn<double>("k");
        for (double k : {0.52, 0.6, 0.75, 0.9, 0.999, 1.25, 1.5, 1.75, 1.94, 2.0, 3.0, 4.0})
            QTest::newRow(qPrintable(QString::number(k))) << k;
    }
    void everyTextBreaksAtTheSameWordsAtEverySize() {
        QFETCH(double, k);
        TestProgram t;
        t.openGame();
        t.program.openFarewell();
        TestProgram::settle();
        for (ProgramWindow* window : {static_cast<ProgramWindow*>(t.program.welcome()),
                                      static_cast<ProgramWindow*>(t.program.game()),
                                      static_cast<ProgramWindow*>(t.program.farewell())}) {
            QMap<QString, QStringList> design;
            const auto labels = window->findChildren<QLabel*>();
            QVERIFY(!labels.isEmpty());
            for (QLabel* label : labels)
                design[label->objectName()] = shownLines(label).text;
            const QSize size = window->designSize();
            window->resize(qRound(size.width() * k), qRound(size.height() * k));
            TestProgram::settle();
            QVERIFY(qAbs(window->contentScale() - k) < 0.01);
            for (QLabel* label : labels) {
                const Lines shown = shownLines(label);
                const QString where = window->objectName() + QLatin1Char('/') + label->objectName();
                QCOMPARE(std::pair(where, shown.text),
                         std::pair(where, design[label->objectName()]));
                QVERIFY2(shown.widest <= label->contentsRect().width(),
                         qPrintable(where + QStringLiteral(": a line is wider than its label")));
            }
            window->resize(size);
        }
    }
};

QTEST_MAIN(TextLinesTest)
#include "test_text_lines.moc"
