#pragma once

#include "ProgramWindow.h"

class QLabel;

namespace quiltaro {

// "Aurevoir": the way out. Keys do nothing here; only the arrow acts.
class FarewellWindow final : public ProgramWindow {
    Q_OBJECT
public:
    explicit FarewellWindow(Program& program);

    bool takesKey(int, const QString&) const override { return true; }
    void keyReaction(int, const QString&) override {}

    // What the pupil and the teacher passing by must know before leaving
    // (the rounds could not be saved), shown above the farewell; nothing
    // when empty.
    void showNotice(const QString& text);

private:
    QLabel* notice_;
};

} // namespace quiltaro
