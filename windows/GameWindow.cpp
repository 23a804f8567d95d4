#include "GameWindow.h"

#include "AnswerEntry.h"
#include "Controls.h"
#include "Program.h"
#include "SurfaceView.h"

#include <QLabel>

namespace quiltaro {

GameWindow::GameWindow(Program& program)
    : ProgramWindow(program, QStringLiteral("Quiltaro"), twips(0, 0, 12915, 8520).size(),
                    QColor(255, 255, 255)) {
    setWindowTitle(QString());
    // The title bar stays empty; screen readers still name the window.
    setAccessibleName(QStringLiteral("Quiltaro"));
    Surface& g = addSurface(QSizeF(645.75, 426))->surface();
    g.setForeColor(QColor(128, 0, 0));
    g.setFillColor(QColor(0, 0, 128));
    g.setFontName(QStringLiteral("Times New Roman"));
    g.setFontSize(24);
    g.setEmphasis(true);

    partie_ = makeLabel(QStringLiteral("partie"), QStringLiteral("Quel est le nombre en rouge ?"),
                        twips(2505, 480, 4605, 390),
                        makeFont(QStringLiteral("Times New Roman"), 18, true), QColor(128, 64, 0),
                        Qt::white, this);

    loupe_ = new ImageControl(QStringLiteral("Loupe"), QStringLiteral(":/assets/magnifier.svg"),
                              twips(9960, 2040, 870, 855), this);
    loupe_->setToolTip(QStringLiteral("Clique sur cette loupe pour agrandir l'intervalle"));
    loupe_->setAccessibleName(QStringLiteral("Loupe : agrandir l'intervalle"));
    loupe_->setAccessibleDescription(loupe_->toolTip());
    onClickWhileShown(Image::Loupe, [this] { board_->magnifierZoom(); });

    fleche_ = new ImageControl(QStringLiteral("flèche"), QStringLiteral(":/assets/arrow.svg"),
                               twips(9360, 8040, 480, 480), this);
    fleche_->setAccessibleName(QStringLiteral("Flèche : continuer"));
    onClickWhileShown(Image::Fleche, [this] { board_->continuePlay(); });

    arret_ = new ImageControl(QStringLiteral("arret"), QStringLiteral(":/assets/stop.svg"),
                              twips(120, 8040, 480, 480), this);
    arret_->setAccessibleName(QStringLiteral("Arrêt : quitter"));
    onClickWhileShown(Image::Arret, [this] { program_.openFarewell(); });

    struct Box {
        int left, width, height;
    };
    static constexpr Box boxes[10] = {
        {2805, 450, 440}, {3240, 450, 435}, {3675, 440, 440}, {4125, 440, 440}, {4575, 440, 440},
        {5025, 440, 440}, {5475, 440, 440}, {5925, 440, 440}, {6360, 440, 440}, {6795, 450, 440}};
    for (int i = 0; i < 10; ++i) {
        auto* box =
            new ImageControl(QStringLiteral("Picture1"), QStringLiteral(":/assets/smiley.svg"),
                             twips(boxes[i].left, 8040, boxes[i].width, boxes[i].height), this);
        box->setProperty("index", i);
        box->setBackground(QColor(0, 255, 255));
        box->setAccessibleName(QStringLiteral("Point gagné"));
        box->hide();
        picture1_[i] = box;
    }
    loupe_->hide();

    board_ =
        std::make_unique<GameBoard>(program.state(), *this, g, program.pacer(), program.random());
    view_->setAccessibleName(QStringLiteral("Droite graduée"));
    load();
}

GameWindow::~GameWindow() = default;

void GameWindow::onClickWhileShown(Image which, std::function<void()> action) {
    // A click waits its turn like any reaction. If an earlier one hid the
    // image meanwhile, the click was on nothing: a zoom of an interval that a
    // won round has closed would divide by zero.
    image(which)->onClick = [this, which, action = std::move(action)] {
        program_.react([this, which, action] {
            if (isShown(which))
                action();
        });
    };
}

void GameWindow::load() {
    program_.state().loadGameWindow();
}

void GameWindow::activated() {
    board_->startRound();
}

bool GameWindow::takesKey(int, const QString&) const {
    return true;
}

void GameWindow::keyReaction(int key, const QString& text) {
    // The arrow continues whatever modifier keys are held.
    if (key == Qt::Key_Right && isShown(Image::Fleche)) {
        board_->continuePlay();
        return;
    }
    if (!text.isEmpty())
        keyPress(program_.state(), *this, *board_, text.at(0).unicode());
}

ImageControl* GameWindow::image(Image which) const {
    switch (which) {
    case Image::Fleche:
        return fleche_;
    case Image::Arret:
        return arret_;
    case Image::Loupe:
        return loupe_;
    }
    return nullptr;
}

bool GameWindow::isShown(Image which) const {
    return !image(which)->isHidden();
}

void GameWindow::setShown(Image which, bool shown) {
    image(which)->setVisible(shown);
}

void GameWindow::setScorePictureShown(int index, bool shown) {
    if (index >= 0 && index < static_cast<int>(picture1_.size()))
        picture1_[index]->setVisible(shown);
}

void GameWindow::openFarewell() {
    program_.openFarewell();
}

RoundObserver& GameWindow::roundObserver() {
    return program_.roundObserver();
}

void GameWindow::updateDescription() {
    const QString description = QString::fromStdString(board_->description());
    if (description == view_->accessibleDescription())
        return;
    // Qt announces the change to screen readers itself.
    view_->setAccessibleDescription(description);
}

} // namespace quiltaro
