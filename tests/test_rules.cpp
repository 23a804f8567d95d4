// Number forms, typing an answer, the keys of each mode, and judging a guess.
#include "AnswerEntry.h"
#include "Judging.h"
#include "NumberText.h"

#include <QTest>

#include <algorithm>
#include <cmath>

using namespace quiltaro;

namespace {

// The game window as the rules see it, on a round of 120..480 with the red
// mark at 300: records every call, and moves the brackets on a sweep the way
// the real display does.
struct Game final : GameControls, GameDisplay {
    explicit Game(double low = 120, double high = 480, float red = 300) {
        s.loadGameWindow();
        s.lowBound = s.scaleLow = low;
        s.highBound = s.scaleHigh = high;
        s.redValue = red;
    }
    RoundState s;
    QStringList log;
    bool shown[3] = {};
    bool pictures[RoundState::maxScore] = {};

    bool isShown(Image i) const override { return shown[int(i)]; }
    void setShown(Image i, bool on) override {
        shown[int(i)] = on;
        const char* names[] = {"Fleche", "Arret", "Loupe"};
        log << QString(on ? "show %1" : "hide %1").arg(names[int(i)]);
    }
    void setScorePictureShown(int index, bool on) override { pictures[index] = on; }
    void openFarewell() override { log << "openFarewell"; }
    void startRound() override { log << "startRound"; }
    void printTryLine() override {
        log << QString("printTryLine %1 [%2]").arg(s.tryNumber).arg(s.shownAnswer.c_str());
    }
    void printPrompt() override { log << "printPrompt"; }
    void printBoundLabels() override { log << "printBoundLabels"; }
    void sweepHighBound() override { sweep("sweepHighBound", s.highBound, s.highX); }
    void sweepLowBound() override { sweep("sweepLowBound", s.lowBound, s.lowX); }
    void sweep(const char* name, double& bound, double& x) {
        log << name;
        bound = s.guessValue;
        x = std::floor(50 + (bound - s.scaleLow) * (380 / (s.scaleHigh - s.scaleLow)) + 0.5);
    }
    void magnifierZoom() override { log << "magnifierZoom"; }
    void showScorePictures() override { log << QString("showScorePictures %1").arg(s.score); }
    void blinkOutOfInterval() override { log << "blinkOutOfInterval"; }
    void eraseLabelsAboveLine() override { log << "eraseLabelsAboveLine"; }
    void printAnswerOverMark() override { log << "printAnswerOverMark"; }
    void showSolution() override { log << "showSolution"; }
    void beginNextTry(double bottom) override { log << QString("beginNextTry %1").arg(bottom); }

    void type(const QString& keys) {
        for (QChar c : keys)
            keyPress(s, *this, *this, c.unicode() == '\r' ? keys::enter : c.unicode());
    }
    void setAnswer(const QString& typed, int score = 0, int tryNumber = 1) {
        s.typedAnswer = typed.toStdString();
        s.shownAnswer = withDecimalComma(s.typedAnswer);
        s.pointTyped = typed.contains('.');
        s.score = std::int16_t(score);
        s.tryNumber = std::int16_t(tryNumber);
        std::fill_n(pictures, score, true);
    }
    void judge() { judgeAnswer(s, *this, *this); }
};

} // namespace

class RulesTest : public QObject {
    Q_OBJECT

private slots:
    void numberForms_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("printed");
        QTest::addColumn<QString>("text");
        // clang-format off
        QTest::newRow("float 30.3")     << double(30.3f)      << " 30,3 "     << " 30.3";
        QTest::newRow("float 0.89")     << double(0.89f)      << " 0,89 "     << " 0.89";
        QTest::newRow("whole")          << 3.0                << " 3 "        << " 3";
        QTest::newRow("thousand")       << 1000.0             << " 1000 "     << " 1000";
        QTest::newRow("seven digits")   << double(1234.567f)  << " 1234,567 " << " 1234.567";
        QTest::newRow("carry")          << 99.99999997        << " 100 "      << " 100";
        QTest::newRow("negative zero")  << -0.0               << " 0 "        << " 0";
        QTest::newRow("negative")       << -2.5               << "-2,5 "      << "-2.5";
        QTest::newRow("negative float") << double(-0.1f)      << "-0,1 "      << "-0.1";
        // clang-format on
    }
    void numberForms() {
        QFETCH(double, value);
        QTEST(QString::fromStdString(printedNumber(value)), "printed");
        QTEST(QString::fromStdString(numberToText(value)), "text");
    }

    void editing_data() {
        QTest::addColumn<QString>("keys"); // '\b' is Backspace
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("pointTyped");
        // clang-format off
        QTest::newRow("leading zeros kept")          << "007"      << "007"     << 0;
        QTest::newRow("comma first ignored")         << ","        << ""        << 0;
        QTest::newRow("full stop first ignored")     << "."        << ""        << 0;
        QTest::newRow("comma")                       << "12,5"     << "12,5"    << 1;
        QTest::newRow("full stop")                   << "12.5"     << "12,5"    << 1;
        QTest::newRow("second comma ignored")        << "12,5,3"   << "12,53"   << 1;
        QTest::newRow("full stop after a comma")     << "12,5."    << "12,5"    << 1;
        QTest::newRow("eighth digit ignored")        << "12345678" << "1234567" << 0;
        QTest::newRow("six digits and a comma")      << "123456,7" << "123456," << 1;
        QTest::newRow("no comma after seven digits") << "1234567," << "1234567" << 0;
        QTest::newRow("Backspace on the comma")      << "12,\b"    << "12"      << 0;
        QTest::newRow("comma accepted again")        << "12,\b,5"  << "12,5"    << 1;
        QTest::newRow("Backspace on a decimal")      << "12,5\b,"  << "12,"     << 1;
        QTest::newRow("Backspace on empty")          << "\b\b1"    << "1"       << 0;
        QTest::newRow("other characters")            << "1a -/:2"  << "12"      << 0;
        // clang-format on
    }
    void editing() {
        QFETCH(QString, keys);
        QFETCH(QString, shown);
        Game g;
        for (QChar key : keys) {
            g.log.clear();
            g.type(key);
            // Every key, ignored or not, reprints the answer as it now is.
            const QString now = QString::fromStdString(g.s.shownAnswer);
            QCOMPARE(g.log, QStringList({"printTryLine 1 [" + now + "]", "printPrompt"}));
        }
        QCOMPARE(QString::fromStdString(g.s.shownAnswer), shown);
        QCOMPARE(QString::fromStdString(g.s.typedAnswer), QString(shown).replace(',', '.'));
        QTEST(g.s.pointTyped, "pointTyped");
    }

    void keysByMode_data() {
        QTest::addColumn<int>("images"); // bits: 1 Fleche, 2 Arret, 4 Loupe
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("key");
        QTest::addColumn<QStringList>("calls");
        // At score 6: giving up shows the pictures, then hides them all.
        const QStringList givesUp{"showSolution", "show Arret", "show Fleche", "hide Loupe",
                                  "showScorePictures 6"};
        const QStringList judged{"printTryLine 1 [12]", "show Fleche", "blinkOutOfInterval",
                                 "showScorePictures 5"};
        const QStringList none, zoom{"magnifierZoom"}, farewell{"openFarewell"},
            start{"startRound"}, next{"beginNextTry 300"};
        const int esc = keys::escape, enter = keys::enter, back = keys::backspace, digit = '7';
        // clang-format off
        QTest::newRow("Escape answering")            << 4 << "12"  << esc   << givesUp;
        QTest::newRow("Escape point lost")           << 1 << ""    << esc   << givesUp;
        QTest::newRow("Escape round over")           << 3 << ""    << esc   << farewell;
        QTest::newRow("Enter round over")            << 3 << ""    << enter << start;
        QTest::newRow("Enter point lost")            << 1 << "500" << enter << next;
        QTest::newRow("Enter judges")                << 0 << "12"  << enter << judged;
        QTest::newRow("Enter after a comma")         << 0 << "12." << enter << none;
        QTest::newRow("Enter after a comma, Loupe")  << 4 << "12." << enter << zoom;
        QTest::newRow("Enter on empty")              << 0 << ""    << enter << none;
        QTest::newRow("Enter on empty, Loupe")       << 4 << ""    << enter << zoom;
        QTest::newRow("digit, point lost")           << 1 << "500" << digit << none;
        QTest::newRow("Backspace, point lost")       << 1 << "500" << back  << none;
        QTest::newRow("digit, round over")           << 3 << ""    << digit << none;
        // clang-format on
    }
    void keysByMode() {
        QFETCH(int, images);
        QFETCH(QString, typed);
        QFETCH(int, key);
        Game g;
        g.setAnswer(typed, 6);
        for (int i = 0; i < 3; ++i)
            g.shown[i] = images & (1 << i);
        keyPress(g.s, g, g, char16_t(key));
        QTEST(g.log, "calls");
        if (g.log.isEmpty())
            QCOMPARE(QString::fromStdString(g.s.typedAnswer), typed);
        if (g.log.value(0) == "showSolution") {
            QVERIFY(g.s.typedAnswer.empty());
            QCOMPARE(int(g.s.score), 0);
            QVERIFY(std::none_of(g.pictures, g.pictures + 10, [](bool on) { return on; }));
        }
    }

    void judging_data() {
        QTest::addColumn<int>("score");
        QTest::addColumn<int>("tryNumber");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("scoreAfter");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("calls");
        const int answering = int(Mode::Answering), lost = int(Mode::PointLost),
                  over = int(Mode::RoundOver);
        auto outside = [](QString shown) {
            return QStringList{"printTryLine 1 [" + shown + "]", "show Fleche",
                               "blinkOutOfInterval"};
        };
        // The next try's number is printed before the prompt.
        auto inside = [](QString shown, QString sweep) {
            return QStringList{"printTryLine 1 [" + shown + "]", sweep, "printBoundLabels",
                               "printTryLine 2 []", "printPrompt"};
        };
        auto won = [](int tryNumber, QString shown, int scoreAfter) {
            return QString("printTryLine %1 [%2];eraseLabelsAboveLine;sweepHighBound;"
                           "sweepLowBound;printAnswerOverMark;showScorePictures %3;"
                           "show Arret;show Fleche")
                .arg(tryNumber)
                .arg(shown)
                .arg(scoreAfter)
                .split(';');
        };
        // clang-format off
        QTest::newRow("above")            << 0  << 1  << "500"   << 0  << lost << outside("500");
        QTest::newRow("below")            << 0  << 1  << "119.9" << 0  << lost << outside("119,9");
        QTest::newRow("outside, score 4") << 4  << 1  << "500"   << 3  << lost
                                          << outside("500") + QStringList{"showScorePictures 3"};
        QTest::newRow("upper bound")      << 0  << 1  << "480"   << 0  << answering
                                          << inside("480", "sweepHighBound");
        QTest::newRow("lower bound")      << 3  << 1  << "120"   << 3  << answering
                                          << inside("120", "sweepLowBound");
        QTest::newRow("right at try 1")   << 0  << 1  << "300"   << 2  << over << won(1, "300", 2);
        QTest::newRow("right, zeros")     << 0  << 1  << "0300.00" << 2 << over
                                          << won(1, "0300,00", 2);
        QTest::newRow("right at try 5")   << 1  << 5  << "300"   << 3  << over << won(5, "300", 3);
        QTest::newRow("right at try 6")   << 1  << 6  << "300"   << 2  << over << won(6, "300", 2);
        QTest::newRow("right at try 10")  << 1  << 10 << "300"   << 2  << over << won(10, "300", 2);
        QTest::newRow("right at try 11")  << 1  << 11 << "300"   << 1  << over << won(11, "300", 1);
        QTest::newRow("score 9, try 3")   << 9  << 3  << "300"   << 10 << over << won(3, "300", 10);
        QTest::newRow("score 10")         << 10 << 1  << "300"   << 10 << over << won(1, "300", 10);
        // clang-format on
    }
    void judging() {
        QFETCH(int, score);
        QFETCH(int, tryNumber);
        QFETCH(QString, typed);
        QFETCH(int, scoreAfter);
        Game g;
        g.setAnswer(typed, score, tryNumber);
        g.s.pointTyped = 1;
        g.judge();
        QTEST(g.log, "calls");
        QTEST(int(modeOf(g)), "mode");
        QCOMPARE(int(g.s.score), scoreAfter);
        QCOMPARE(int(g.s.tryNumber), tryNumber + 1);
        QCOMPARE(g.s.pointTyped, 0);
        for (int i = 0; i < RoundState::maxScore; ++i)
            QCOMPARE(g.pictures[i], i < std::min(score, scoreAfter));
    }

    void otherRounds_data() {
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::addColumn<float>("red");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("right");
        QTest::addColumn<bool>("loupe");
        // clang-format off
        // The right value is compared as a float, as typed and as drawn.
        QTest::newRow("37,50")           << 36.0 << 39.0  << 37.5f  << "37.50" << true  << false;
        QTest::newRow("007")             << 6.0  << 8.0   << 7.0f   << "007"   << true  << false;
        QTest::newRow("3,47")            << 3.0  << 4.0   << 3.47f  << "3.47"  << true  << false;
        QTest::newRow("3,471")           << 3.0  << 4.0   << 3.47f  << "3.471" << false << true;
        // On 0..380 a value v sits at x = 50 + v: the Loupe comes below 200 apart.
        QTest::newRow("low, 200 apart")  << 0.0  << 380.0 << 300.0f << "180"   << false << false;
        QTest::newRow("low, 199 apart")  << 0.0  << 380.0 << 300.0f << "181"   << false << true;
        QTest::newRow("high, 200 apart") << 0.0  << 380.0 << 100.0f << "200"   << false << false;
        QTest::newRow("high, 199 apart") << 0.0  << 380.0 << 100.0f << "199"   << false << true;
        // clang-format on
    }
    void otherRounds() {
        QFETCH(double, low);
        QFETCH(double, high);
        QFETCH(float, red);
        QFETCH(QString, typed);
        Game g(low, high, red);
        g.setAnswer(typed);
        g.judge();
        QTEST(modeOf(g) == Mode::RoundOver, "right");
        QTEST(g.isShown(Image::Loupe), "loupe");
    }

    void guessOutsideTheNarrowedInterval() {
        Game g;
        g.type("400\r");
        QCOMPARE(g.s.highBound, 400.0);
        g.type("450\r");
        QVERIFY(modeOf(g) == Mode::PointLost);
        QCOMPARE(int(g.s.tryNumber), 3);
        g.log.clear();
        g.type("7\r");
        QCOMPARE(g.log, QStringList{"beginNextTry 300"});
    }
};

QTEST_APPLESS_MAIN(RulesTest)
#include "test_rules.moc"
