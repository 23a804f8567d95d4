// Random keys, clicks, window switches and closes on the real windows, with
// what must always hold checked after every event. A run is fixed by its seed:
// QUILTARO_FUZZ_SEED, and QUILTARO_FUZZ_EVENTS events (50000 by default).
#include "AnswerEntry.h"
#include "Controls.h"
#include "Generation.h"
#include "NumberText.h"
#include "TestProgram.h"

#include <QtTest>

#include <cmath>
#include <deque>
#include <memory>
#include <random>

using namespace quiltaro;
using quiltaro::test::TestProgram;

namespace {

QString nameOf(const QWidget* w) {
    return w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                     : w->objectName();
}

class Fuzzer {
public:
    explicit Fuzzer(std::uint32_t seed) : rng_(seed) {}

    // One event, then the checks; returns what broke, or nothing.
    QString step() {
        if (!t_ || (ended_ && inertLeft_-- == 0) || windows().isEmpty())
            startProgram();
        const QString before = snapshot();
        QPointer<GameWindow> game = t_->game();
        const Mode modeBefore = game ? modeOf(*game) : Mode::RoundOver;
        inert_ = ended_, arrowClicked_ = false;
        during_.clear();
        remember(act() + during_);
        if (inert_ && snapshot() != before)
            return QStringLiteral(
                       "something reacted although nothing may:\n  before %1\n  after  %2")
                .arg(before, snapshot());
        if (arrowClicked_ && t_->endCount == 0)
            return QStringLiteral("the farewell arrow did not end the program");
        if (t_->endCount > 0 && !ended_) {
            ended_ = true, inertLeft_ = int(below(4));
            ++farewellEnds;
            if (t_->endCount != 1 || !t_->program.gate().ended())
                return QStringLiteral("the end ran %1 times").arg(t_->endCount);
            for (QWidget* w : windows())
                if (w->isVisible())
                    return nameOf(w) + QStringLiteral(" still shown after the end");
        }
        if (game && game == t_->game() && modeBefore != Mode::RoundOver &&
            modeOf(*game) == Mode::RoundOver)
            ++(t_->state().typedAnswer.empty() ? giveUps : roundsWon);
        maxScore = std::max<int>(maxScore, t_->state().score);
        return broken();
    }

    std::deque<QString> recent;
    int programs = 0, roundsWon = 0, maxScore = 0, zooms = 0, giveUps = 0, farewellEnds = 0;

private:
    std::uint32_t below(std::uint32_t n) { return rng_() % n; }

    // The windows events may reach: the shown ones, or all of them once the
    // program has ended (and none may react any more).
    QList<QWidget*> windows() const {
        QList<QWidget*> list;
        for (QWidget* w : {static_cast<QWidget*>(t_->program.welcome()),
                           static_cast<QWidget*>(t_->program.game()),
                           static_cast<QWidget*>(t_->program.farewell())})
            if (w && (ended_ || w->isVisible()))
                list << w;
        return list;
    }
    QWidget* anyWindow() {
        const QList<QWidget*> list = windows();
        return list[below(list.size())];
    }
    QWidget* keyTarget() {
        QWidget* active = QApplication::activeWindow();
        return active && windows().contains(active) && below(5) ? active : anyWindow();
    }

    void startProgram() {
        t_.reset();
        TestProgram::settle();
        t_ = std::make_unique<TestProgram>();
        t_->clock.onSleep = [this](Clock::Duration d) {
            zooms += d >= std::chrono::milliseconds(500); // only the zoom pauses last a second
            if (below(300) == 0)
                during_ += QStringLiteral(" [amid it: %1]").arg(amidAReaction());
        };
        ended_ = false;
        recent.push_back(QStringLiteral("-- program %1 starts").arg(++programs));
    }

    // Input delivered while a reaction runs, as showing or activating a
    // window may do on some platforms: it must wait its turn.
    QString amidAReaction() {
        using Action = QString (Fuzzer::*)();
        static constexpr Action actions[] = {
            &Fuzzer::characterKey, &Fuzzer::characterKey, &Fuzzer::keyWithoutCharacter,
            &Fuzzer::click,        &Fuzzer::clickImage,   &Fuzzer::clickImage,
            &Fuzzer::activate,     &Fuzzer::close};
        if (windows().isEmpty()) // all closed by reactions that came before
            return QStringLiteral("no window left");
        const bool inert = inert_, arrowClicked = arrowClicked_;
        const QString what = (this->*actions[below(std::size(actions))])();
        inert_ = inert, arrowClicked_ = arrowClicked || arrowClicked_;
        return what;
    }

    // What an inert event may not change.
    QString snapshot() const {
        const RoundState& s = t_->state();
        GameWindow* g = t_->game();
        return QString::asprintf(
            "score %d try %d typed '%s' shown '%s' point %d bounds [%g, %g] red %g x [%g, %g] "
            "redX %g lineY %g scale [%g, %g] images %d%d%d rounds %d waits %d ends %d farewell %d",
            s.score, s.tryNumber, s.typedAnswer.c_str(), s.shownAnswer.c_str(), s.pointTyped,
            s.lowBound, s.highBound, double(s.redValue), s.lowX, s.highX, s.redX, double(s.lineY),
            s.scaleLow, s.scaleHigh, g && g->isShown(Image::Fleche), g && g->isShown(Image::Arret),
            g && g->isShown(Image::Loupe), t_->random.generations, t_->clock.sleeps(), t_->endCount,
            !!t_->program.farewell());
    }

    QString key(QWidget* w, Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(w, k, mods);
        return QStringLiteral("key %1 on %2").arg(QKeySequence(k | mods).toString(), nameOf(w));
    }
    QString key(QWidget* w, char c) {
        QTest::keyClick(w, c);
        return QStringLiteral("key '%1' on %2").arg(QChar::fromLatin1(c)).arg(nameOf(w));
    }

    QString act() {
        using Action = QString (Fuzzer::*)();
        static constexpr std::pair<std::uint32_t, Action> actions[] = {
            {22, &Fuzzer::smart}, {40, &Fuzzer::characterKey}, {8, &Fuzzer::keyWithoutCharacter},
            {18, &Fuzzer::click}, {7, &Fuzzer::activate},      {3, &Fuzzer::awayAndBack},
            {2, &Fuzzer::close}}; // weights, out of 100
        std::uint32_t roll = below(100);
        auto a = std::begin(actions);
        while (roll >= a->first)
            roll -= a++->first;
        // An ended program's windows stay, to be poked at.
        const QString what = ended_ && a->second == &Fuzzer::close ? click() : (this->*a->second)();
        TestProgram::settle();
        return what;
    }

    // Digits, the point and Return most often, so that answers get judged.
    QString characterKey() {
        QWidget* w = keyTarget();
        const std::uint32_t r = below(100);
        if (r < 55)
            return key(w, "0123456789,."[r < 45 ? below(10) : 10 + below(2)]);
        if (r < 90) {
            static constexpr Qt::Key keys[] = {Qt::Key_Backspace, Qt::Key_Return, Qt::Key_Return,
                                               Qt::Key_Return,    Qt::Key_Enter,  Qt::Key_Escape,
                                               Qt::Key_Space,     Qt::Key_Tab};
            return key(w, keys[below(std::size(keys))]);
        }
        return key(w, char('a' + below(26)));
    }
    // The arrow continues whatever modifiers are held; other keys yield no character.
    QString keyWithoutCharacter() {
        static constexpr Qt::Key keys[] = {Qt::Key_F1,    Qt::Key_F2,      Qt::Key_F10,
                                           Qt::Key_Shift, Qt::Key_Control, Qt::Key_Left,
                                           Qt::Key_Up,    Qt::Key_Down,    Qt::Key_Home};
        if (below(2))
            return key(keyTarget(), Qt::Key_Right, Qt::KeyboardModifiers(below(16) << 25));
        return key(keyTarget(), keys[below(std::size(keys))]);
    }

    QString click() {
        QWidget* window = anyWindow();
        QList<QWidget*> controls = window->findChildren<QWidget*>() << window;
        QWidget* c = controls[below(controls.size())];
        const bool arrow = window == t_->program.farewell() && c->objectName() == "flèche";
        // The arrow ends everything: most games are let run on to ten points.
        if (arrow && below(4))
            c = window;
        const bool hidden = !c->isVisible();
        inert_ = inert_ || hidden;
        arrowClicked_ = arrow && c != window && !hidden;
        QTest::mouseClick(c, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        return QStringLiteral("click %1/%2%3")
            .arg(nameOf(window), nameOf(c), hidden ? " (hidden)" : "");
    }
    // The arrow, stop or the magnifier, shown or not, as a pupil impatient
    // with an animation clicks them.
    QString clickImage() {
        GameWindow* game = t_->game();
        if (!game)
            return click();
        ImageControl* image = game->image(Image(below(3)));
        QTest::mouseClick(image, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        return QStringLiteral("click Quiltaro/%1%2")
            .arg(nameOf(image), image->isVisible() ? "" : " (hidden)");
    }
    QString activate() {
        QWidget* w = anyWindow();
        w->activateWindow();
        QApplication::setActiveWindow(w);
        return QStringLiteral("activate ") + nameOf(w);
    }
    QString awayAndBack() {
        QWidget* w = QApplication::activeWindow();
        if (!w || !windows().contains(w))
            w = anyWindow();
        QApplication::setActiveWindow(nullptr);
        TestProgram::settle();
        QApplication::setActiveWindow(w);
        return QStringLiteral("to another program and back to ") + nameOf(w);
    }
    QString close() {
        QWidget* w = anyWindow();
        const QString what = QStringLiteral("close ") + nameOf(w);
        w->close();
        return what;
    }

    // What a pupil who plays does: mostly the red value, else a guess near it
    // that narrows the brackets until the magnifier comes, sometimes one outside.
    QString smart() {
        GameWindow* game = t_->game();
        if (!game && t_->program.welcome()) {
            QTest::mouseClick(t_->program.welcome()->findChild<QWidget*>("Commande2"),
                              Qt::LeftButton);
            return QStringLiteral("click accueil/Commande2 to play");
        }
        if (!game)
            return characterKey();
        const RoundState& s = t_->state();
        if (modeOf(*game) != Mode::Answering)
            return key(game, below(2) ? Qt::Key_Return : Qt::Key_Right);
        if (game->isShown(Image::Loupe) && below(3) == 0) {
            QTest::mouseClick(game->image(Image::Loupe), Qt::LeftButton);
            return QStringLiteral("click Quiltaro/Loupe to zoom");
        }
        const std::uint32_t r = below(10);
        double value = r < 5 ? s.redValue : s.highBound + 1;
        if (r >= 5 && r < 9) {
            const double grid = bandFor(s.score).grid;
            const double near =
                s.redValue + (s.highBound - s.lowBound) * (below(1001) / 2500.0 - 0.2);
            value = std::floor(std::clamp(near, s.lowBound, s.highBound) * grid) / grid;
        }
        QString text = QString::fromStdString(shortestDecimal(value));
        if (below(2))
            text.replace('.', ',');
        for (size_t i = s.typedAnswer.size(); i > 0; --i)
            QTest::keyClick(game, Qt::Key_Backspace);
        for (QChar c : text + '\r')
            QTest::keyClick(game, c.toLatin1());
        return QStringLiteral("type '%1' and Return on Quiltaro").arg(text);
    }

    QString broken() const {
        const RoundState& s = t_->state();
        if (s.score < 0 || s.score > RoundState::maxScore)
            return QStringLiteral("score out of 0..10");
        for (double v : {s.lowX, s.highX, s.redX, double(s.lineY), s.lowBound, s.highBound,
                         s.scaleLow, s.scaleHigh, double(s.redValue)})
            if (!std::isfinite(v))
                return QStringLiteral("a position or bound is not finite");
        const std::string& a = s.typedAnswer;
        const auto points = std::count(a.begin(), a.end(), '.');
        const bool digitsAndPoint = std::all_of(
            a.begin(), a.end(), [](char c) { return c == '.' || (c >= '0' && c <= '9'); });
        if (a.size() > size_t(RoundState::maxAnswerLength) || points > 1 || !digitsAndPoint ||
            (!a.empty() && a[0] == '.'))
            return QStringLiteral("malformed answer");
        if (t_->program.gate().deepestNesting() > 1)
            return QStringLiteral("a reaction ran inside another");
        GameWindow* game = t_->game();
        if (!game || ended_)
            return {};
        if (game->isShown(Image::Arret) && !game->isShown(Image::Fleche))
            return QStringLiteral("stop shown without the arrow: no such mode");
        // A judged answer keeps its point while pointTyped is back to 0.
        if (modeOf(*game) == Mode::Answering &&
            (s.pointTyped != int(points) || s.shownAnswer != withDecimalComma(a)))
            return QStringLiteral("typed, shown answer and point disagree");
        // From the first round on; the blank window after ten points keeps the last.
        if (t_->random.generations > 0 && !(s.lowBound <= s.redValue && s.redValue <= s.highBound &&
                                            s.lowX <= s.redX && s.redX <= s.highX))
            return QStringLiteral("red mark outside the brackets");
        return {};
    }

    void remember(const QString& what) {
        recent.push_back(QStringLiteral("#%1 %2").arg(++count_).arg(what));
        while (recent.size() > 200)
            recent.pop_front();
    }

    std::mt19937 rng_;
    std::unique_ptr<TestProgram> t_;
    bool ended_ = false, inert_ = false, arrowClicked_ = false;
    int inertLeft_ = 0;
    long count_ = 0;
    QString during_;
};

// What a failure prints: enough to see it and to replay it exactly.
QString replayReport(const Fuzzer& f, std::uint64_t seed, std::uint64_t event,
                     const QString& what) {
    QString report = QStringLiteral("event %1 of seed %2: %3\n").arg(event).arg(seed).arg(what);
    for (const QString& line : f.recent)
        report += QStringLiteral("  ") + line + '\n';
    return report + QStringLiteral("replay: QUILTARO_FUZZ_SEED=%1 QUILTARO_FUZZ_EVENTS=%2 "
                                   "QT_QPA_PLATFORM=offscreen tests/test_fuzz")
                        .arg(seed)
                        .arg(event);
}

} // namespace

class FuzzTest : public QObject {
    Q_OBJECT
private slots:
    void randomEventsKeepTheGameConsistent();
};

void FuzzTest::randomEventsKeepTheGameConsistent() {
    auto fromEnvironment = [](const char* name, qulonglong fallback) {
        bool ok = false;
        const qulonglong value = qEnvironmentVariable(name).toULongLong(&ok);
        return ok ? value : fallback;
    };
    const std::uint64_t seed = fromEnvironment("QUILTARO_FUZZ_SEED", 20261205);
    const std::uint64_t events = fromEnvironment("QUILTARO_FUZZ_EVENTS", 50000);
    // Clicks on labels and on a window itself are not taken, and QTest says
    // so each time: thousands of lines that would hide a failure.
    static QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
            if (!message.contains(QLatin1String("not accepted by receiving widget")))
                previous(type, context, message);
        });
    QElapsedTimer timer;
    timer.start();
    Fuzzer f(static_cast<std::uint32_t>(seed));
    for (std::uint64_t i = 1; i <= events; ++i)
        if (const QString broken = f.step(); !broken.isEmpty())
            QFAIL(qPrintable(replayReport(f, seed, i, broken)));
    qInfo("fuzz seed %llu: %llu events in %.1f s, %d programs, %d rounds won, max score %d, "
          "%d zooms, %d give-ups, %d farewell ends",
          qulonglong(seed), qulonglong(events), timer.elapsed() / 1000.0, f.programs, f.roundsWon,
          f.maxScore, f.zooms, f.giveUps, f.farewellEnds);
    // A long run must have played whole games, up to ten points and out.
    if (events >= 50000) {
        QCOMPARE(f.maxScore, int(RoundState::maxScore));
        QVERIFY(f.farewellEnds >= 1);
    }
}

QTEST_MAIN(FuzzTest)
#include "test_fuzz.moc"
