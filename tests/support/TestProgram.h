#pragma once

#include "Program.h"
#include "ScriptedSource.h"
#include "VirtualClock.h"

#include <QApplication>
#include <QTest>

namespace quiltaro::test {

// The production generator, counting its seedings: one per generated round.
struct CountingSource final : UniformSource {
    SeededUniformSource real;
    int generations = 0;
    void seed(std::uint64_t s) override { ++generations, real.seed(s); }
    float next() override { return real.next(); }
};

// The real program with its real windows, on a virtual clock. Events are
// delivered as Qt would deliver them; `settle` lets Qt deliver what is
// pending (activations).
struct TestProgram {
    VirtualClock clock;
    CountingSource random;
    int endCount = 0;
    Program program{clock, random, [this] { ++endCount; }};

    explicit TestProgram(double secondsSinceMidnightAtStart = 9 * 3600.0)
        : clock(secondsSinceMidnightAtStart) {
        // The offscreen platform cannot raise windows, and says so each time.
        static const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
                if (!message.contains(QLatin1String("does not support raise()")))
                    previous(type, context, message);
            });
        program.start();
        settle();
    }

    static void settle() {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }

    RoundState& state() { return program.state(); }
    GameWindow* game() { return program.game(); }

    // Opens the game window as the pupil does, with "commencer".
    GameWindow* openGame() {
        QTest::mouseClick(program.welcome()->findChild<QWidget*>(QStringLiteral("Commande2")),
                          Qt::LeftButton);
        settle();
        return program.game();
    }

    // Types text on whatever window is active, key by key.
    static void type(QWidget* window, const QString& text) {
        for (QChar c : text)
            QTest::keyClick(window, c.toLatin1());
        settle();
    }
    static void key(QWidget* window, Qt::Key key,
                    Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(window, key, modifiers);
        settle();
    }
    static void click(QWidget* control) {
        QTest::mouseClick(control, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        settle();
    }
};

} // namespace quiltaro::test
