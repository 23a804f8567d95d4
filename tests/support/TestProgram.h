#pragma once

#include "Program.h"
#include "ScriptedSource.h"
#include "VirtualClock.h"

#include <QApplication>
#include <QTest>

namespace quiltaro::test {

// The real program with its real windows, on a virtual clock. Events are
// delivered as Qt would deliver them; `settle` lets Qt deliver what is
// pending (activations).
struct TestProgram {
    VirtualClock clock;
    SeededUniformSource random;
    int endCount = 0;
    Program program{clock, random, [this] { ++endCount; }};

    TestProgram() { program.start(); settle(); }

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
    static void key(QWidget* window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(window, key, modifiers);
        settle();
    }
    static void click(QWidget* control) {
        QTest::mouseClick(control, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        settle();
    }
};

} // namespace quiltaro::test
