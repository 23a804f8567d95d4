#pragma once

#include "GameBoard.h"
#include "GameWindowPort.h"
#include "ProgramWindow.h"

#include <array>
#include <functional>
#include <memory>

class QLabel;

namespace quiltaro {

class ImageControl;

// "Quiltaro": the number-line game. Its mode is which images are shown.
class GameWindow final : public ProgramWindow, public GameControls {
    Q_OBJECT
public:
    explicit GameWindow(Program& program);
    ~GameWindow() override;

    void activated() override;
    bool takesKey(int key, const QString& text) const override;
    void keyReaction(int key, const QString& text) override;

    // GameControls
    bool isShown(Image image) const override;
    void setShown(Image image, bool shown) override;
    void setScorePictureShown(int index, bool shown) override;
    void openFarewell() override;
    RoundObserver& roundObserver() override;

    GameBoard& board() { return *board_; }
    // Tells screen readers what the surface now shows, when it changed.
    void updateDescription();
    ImageControl* image(Image which) const;
    const std::array<ImageControl*, 10>& picture1() const { return picture1_; }

private:
    void load();
    void onClickWhileShown(Image which, std::function<void()> action);

    std::unique_ptr<GameBoard> board_;
    QLabel* partie_ = nullptr;
    ImageControl* loupe_ = nullptr;
    ImageControl* fleche_ = nullptr;
    ImageControl* arret_ = nullptr;
    std::array<ImageControl*, 10> picture1_{};
};

} // namespace quiltaro
