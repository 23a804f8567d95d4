#pragma once

#include "ProgramWindow.h"

namespace quiltaro {

// "Aurevoir": the way out. Keys do nothing here; only the arrow acts.
class FarewellWindow final : public ProgramWindow {
    Q_OBJECT
public:
    explicit FarewellWindow(Program& program);

    bool takesKey(int, const QString&) const override { return true; }
    void keyReaction(int, const QString&) override {}
};

} // namespace quiltaro
