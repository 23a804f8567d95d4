// Number forms, and keys played on a round: editing, the keys of each mode, judging.
#include "AnswerEntry.h"
#include "DesktopLocale.h"
#include "Judging.h"
#include "NumberText.h"

#include <QTest>

#include <algorithm>

using namespace quiltaro;

namespace {

// The game window as the rules see it, on a round of 120..480 with the red mark at 300.3,
// drawn a pixel per unit from x = 50. Logs what it is asked to draw: a try line as
// "#try [answer]", the prompt as "?"; a sweep moves a bracket.
struct Game final : GameControls, GameDisplay {
    RoundState s;
    QStringList log;
    bool shown[3] = {}, pictures[RoundState::maxScore] = {};

    Game() { s.lowBound = 120, s.highBound = 480, s.redValue = 300.3f; }
    auto line() const { return QString::asprintf("#%d [%s]", s.tryNumber, s.shownAnswer.data()); }
    bool isShown(Image i) const override { return shown[int(i)]; }
    void setShown(Image i, bool on) override { shown[int(i)] = on; }
    void setScorePictureShown(int i, bool on) override { pictures[i] = on; }
    void openFarewell() override { log << "farewell"; }
    void startRound() override { log << "start"; }
    void printTryLine() override { log << line(); }
    void printPrompt() override { log << "?"; }
    void printBoundLabels() override {}
    void sweepHighBound() override { s.highX = (s.highBound = s.guessValue) - 70; }
    void sweepLowBound() override { s.lowX = (s.lowBound = s.guessValue) - 70; }
    void magnifierZoom() override { log << "zoom"; }
    void showScorePictures() override { log << QString("score %1").arg(s.score); }
    void blinkOutOfInterval() override { log << "blink"; }
    void eraseLabelsAboveLine() override {}
    void printAnswerOverMark() override { log << "answer"; }
    void showSolution() override { log << "solution"; }
    void beginNextTry(double bottom) override { log << QString("next %1").arg(bottom); }

    QString mode() const { return QStringList{"answering", "lost", "over"}[int(modeOf(*this))]; }
};

} // namespace

class RulesTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QUILTARO_ADOPT_DESKTOP_LOCALE(); }
    void numberForms() {
        const std::pair<double, const char*> forms[] = {
            {30.3f, " 30,3 "}, {0.89f, " 0,89 "},         {1000, " 1000 "}, {99.99999997, " 100 "},
            {-0.0, " 0 "},     {1234.567f, " 1234,567 "}, {-0.1f, "-0,1 "}};
        for (auto [value, printed] : forms)
            QCOMPARE(printedNumber(value), printed);
    }

    void keys_data() {
        QTest::addColumn<int>("score");
        QTest::addColumn<int>("tryNumber");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("after"); // mode, score, try, answer, interval | calls
        auto row = [](int score, int tries, const char* keys, const char* after) {
            QTest::addRow("s%d t%d %s", score, tries, keys) << score << tries << keys << after;
        };
        // Editing: only the calls of the other keys are listed.
        row(0, 1, "<,.a -/:007", "answering s0 t1 [007] 120..480 | ");
        row(0, 1, "12.5,.3", "answering s0 t1 [12.53] 120..480 | ");
        row(0, 1, "1234567,8", "answering s0 t1 [1234567] 120..480 | ");
        row(0, 1, "123456,7", "answering s0 t1 [123456.] 120..480 | ");
        row(0, 1, "12,5<,<,5", "answering s0 t1 [12.5] 120..480 | ");
        // Keys by mode; Enter on an empty answer or after a point judges nothing.
        row(6, 1, "319=12!", "over s0 t2 [] 120..319 | #1 [319] #2 [] ? solution score 6");
        row(6, 1, "119.9=!", "over s0 t2 [] 120..480 | #1 [119,9] blink score 5 solution score 5");
        row(0, 1, "300,3=7=", "over s2 t2 [300.3] 300.3..300.3 | #1 [300,3] answer score 2 start");
        row(0, 1, "500=7=", "lost s0 t2 [500] 120..480 | #1 [500] blink next 300");
        row(0, 1, "=319,0=12.=", "answering s0 t2 [12.] 120..319 Loupe | #1 [319,0] #2 [] ? zoom");
        // Judging: outside, inside with the bounds included, the magnifier below 200 apart.
        row(0, 1, "400=450,5=", "lost s0 t3 [450.5] 120..400 | #1 [400] #2 [] ? #2 [450,5] blink");
        row(0, 1, "480=120=", "answering s0 t3 [] 120..480 | #1 [480] #2 [] ? #2 [120] #3 [] ?");
        row(0, 1, "320=", "answering s0 t2 [] 120..320 | #1 [320] #2 [] ?");
        // Right, compared as numbers: two points up to try 5, one up to try 10, at most 10.
        row(1, 5, "0300,30=", "over s3 t6 [0300.30] 300.3..300.3 | #5 [0300,30] answer score 3");
        row(1, 6, "300,3=!",
            "over s2 t7 [300.3] 300.3..300.3 | #6 [300,3] answer score 2 farewell");
        row(1, 10, "300,3=", "over s2 t11 [300.3] 300.3..300.3 | #10 [300,3] answer score 2");
        row(1, 11, "300,3=", "over s1 t12 [300.3] 300.3..300.3 | #11 [300,3] answer score 1");
        row(9, 3, "300,3=", "over s10 t4 [300.3] 300.3..300.3 | #3 [300,3] answer score 10");
    }
    void keys() {
        QFETCH(int, score);
        QFETCH(int, tryNumber);
        QFETCH(QString, keys);
        keys.replace('=', '\r').replace('<', '\b').replace('!', '\x1b'); // Enter, Backspace, Escape
        Game g;
        g.s.score = std::int16_t(score);
        g.s.tryNumber = std::int16_t(tryNumber);
        std::fill_n(g.pictures, score, true);
        QStringList calls;
        for (QChar key : keys) {
            const bool edits = g.mode() == "answering" && key != '\r' && key != '\x1b';
            g.log.clear();
            keyPress(g.s, g, g, key.unicode());
            if (edits) // even an ignored key prints the answer as it now is
                QCOMPARE(g.log, QStringList({g.line(), "?"}));
            else
                calls += g.log;
            for (int i = g.s.score; i < RoundState::maxScore; ++i)
                QVERIFY(!g.pictures[i]); // none shown above the score
        }
        QTEST(QString::asprintf("%s s%d t%d [%s] %g..%g%s | %s", qPrintable(g.mode()), g.s.score,
                                g.s.tryNumber, g.s.typedAnswer.c_str(), g.s.lowBound, g.s.highBound,
                                g.isShown(Image::Loupe) ? " Loupe" : "",
                                qPrintable(calls.join(' '))),
              "after");
    }
};

QTEST_APPLESS_MAIN(RulesTest)
#include "test_rules.moc"