#pragma once

#include "ProgramWindow.h"

class QPushButton;

namespace quiltaro {

class ImageControl;
class Surface;

// "accueil": the rules, the illustrated number line and the way in.
class WelcomeWindow final : public ProgramWindow {
    Q_OBJECT
public:
    explicit WelcomeWindow(Program& program);

    void activated() override;
    bool takesKey(int key, const QString& text) const override;
    void keyReaction(int key, const QString& text) override;

    void drawWelcomeIllustration();
    Surface& surface();

private:
    void load();
    QPushButton* commande2_ = nullptr;
    ImageControl* arret_ = nullptr;
};

} // namespace quiltaro
