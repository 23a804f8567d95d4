#include "Program.h"

#include "Controls.h"
#include "FarewellWindow.h"
#include "Fonts.h"
#include "GameWindow.h"
#include "SurfaceView.h"
#include "WelcomeWindow.h"
#include "X11Requests.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QStyle>

// Outside any namespace, as Qt's resource initialiser requires.
static void initPictures() {
    Q_INIT_RESOURCE(quiltaro_pictures);
}

namespace quiltaro {

namespace {
const char* const noSharedMemory = "QT_XCB_NO_MITSHM";
// Whether configurePlatform asked X11 for no shared memory, so that the
// request can be taken back on any other platform.
bool askedNoSharedMemory = false;
} // namespace

Program::Program(Clock& clock, UniformSource& random, std::function<void()> endProgram)
    : clock_(clock), random_(random), endProgram_(std::move(endProgram)) {
    // An X11 setting has no business elsewhere, not even in the environment
    // of the programs the game's own children would start.
    if (askedNoSharedMemory && QGuiApplication::platformName() != QLatin1String("xcb")) {
        qunsetenv(noSharedMemory);
        askedNoSharedMemory = false;
    }
    makeRoomForFrames();
    initPictures();
    installFonts();
    installAccessibleControls();
    // Whatever a reaction drew is on the screen when it returns, even if it
    // never waited. (The record is not written here: its own thread takes
    // each round as it ends.)
    gate_.setAfterEachReaction([this] { presentAll(); });
    qApp->installEventFilter(this);
}

Program::~Program() {
    qApp->removeEventFilter(this);
    delete chooser_;
    delete farewell_;
    delete game_;
    delete welcome_;
}

void Program::configurePlatform() {
    // The Wayland app id, and the name desktops match the windows with: the
    // desktop entry's, so that docks and task bars show the game's icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("fr.quiltaro.Quiltaro"));
    // An animation presents a few changed pixels, synchronously, up to 250
    // times a second. Through X shared memory, Qt waits for the server to
    // have read the last frame before painting over it again: a round trip
    // that costs more than sending those pixels down the socket. Only the X11
    // platform reads this, and which platform Qt picks is known only once the
    // QApplication exists: the constructor takes it back elsewhere.
    if (!qEnvironmentVariableIsSet(noSharedMemory)) {
        qputenv(noSharedMemory, "1");
        askedNoSharedMemory = true;
    }
}

void Program::start() {
    welcome_ = new WelcomeWindow(*this);
    welcome_->fitToScreen(QPoint(twipsToPixels(1080), twipsToPixels(1485)));
    bringToFront(welcome_);
}

void Program::bringToFront(QWidget* window) {
    // A window the pupil minimized must come back too: the window manager
    // neither raises nor activates an iconified window, and without the
    // activation its reaction (a new round, the illustration) never runs.
    // Only the minimized state goes; a maximized or full-screen window
    // stays so.
    if (window->windowState() & Qt::WindowMinimized)
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    keepTitleEmpty(window);
    window->raise();
    window->activateWindow();
}

void Program::setClassList(QStringList names, std::function<void(const QString&)> chosen) {
    classList_ = std::move(names);
    chosen_ = std::move(chosen);
    // A chooser of the old names is made again when next asked.
    if (chooser_ && !chooser_->isVisible())
        delete chooser_;
}

void Program::commence() {
    if (classList_.isEmpty()) {
        openGame();
        return;
    }
    if (aboutToAsk_)
        aboutToAsk_();
    openChooser();
}

void Program::openChooser() {
    // Every "commencer" asks, not only the first: each one follows a visit to
    // the welcome window, and on a shared computer another pupil may have
    // sat down meanwhile. The pupil who played last has the focus, so that
    // going on is one key.
    if (!chooser_) {
        chooser_ = new PupilChooser(classList_);
        chooser_->chosen = [this](const QString& pupil) {
            react([this, pupil] { pupilChosen(pupil); });
        };
        chooser_->cancelled = [this] {
            if (welcome_)
                welcome_->activateWindow();
        };
        QScreen* screen = welcome_ ? welcome_->screen() : QGuiApplication::primaryScreen();
        const QRect available = screen->availableGeometry();
        // Room left for the window's frame and title.
        const QSize size = chooser_->fitTo(available.size() - QSize(40, 80));
        chooser_->setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size,
                                                  available.adjusted(0, 30, 0, 0)));
    }
    takeSizeOfOpener(chooser_);
    chooser_->present(pupil_);
    bringToFront(chooser_);
}

void Program::pupilChosen(const QString& pupil) {
    if (pupil != pupil_) {
        // Another pupil sat down: a game of their own, from nought, as the
        // welcome window's load begins the first. The same pupil goes on
        // where the game was, as without a class list.
        if (!pupil_.isEmpty()) {
            state_.score = 0;
            state_.tryNumber = 0;
            // Nor the points of the pupil before.
            if (game_)
                for (int i = 0; i < RoundState::maxScore; ++i)
                    game_->setScorePictureShown(i, false);
        }
        pupil_ = pupil;
    }
    if (chosen_)
        chosen_(pupil);
    openGame();
    // Gone once the game window is asked to the front, not before: the
    // window manager would give the welcome window the focus meanwhile, and
    // the game window would then be visited twice.
    if (chooser_)
        chooser_->hide();
}

void Program::openGame() {
    observer_->gameStarted();
    if (!game_) {
        game_ = new GameWindow(*this);
        game_->fitToScreen(QPoint(twipsToPixels(1230), twipsToPixels(2970)));
    }
    takeSizeOfOpener(game_);
    bringToFront(game_);
}

void Program::openFarewell() {
    observer_->gameEnded();
    if (!farewell_) {
        farewell_ = new FarewellWindow(*this);
        farewell_->fitToScreen(std::nullopt);
    }
    takeSizeOfOpener(farewell_);
    bringToFront(farewell_);
}

void Program::takeSizeOfOpener(QWidget* window) const {
    // On a projector or a whiteboard the teacher makes the first window full
    // screen; the next one opening small in a corner would have to be
    // enlarged again in front of the class. A window opened from a full-screen
    // or maximized one opens the same way. One the pupil opens from a window
    // of design size keeps whatever size it had.
    const QWidget* opener = lastActive_;
    if (!opener || opener == window || !opener->isVisible())
        return;
    const Qt::WindowStates carried =
        opener->windowState() & (Qt::WindowFullScreen | Qt::WindowMaximized);
    if (carried && (window->windowState() & carried) != carried)
        window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | carried);
}

void Program::end() {
    gate_.end();
    for (QWidget* window : {static_cast<QWidget*>(farewell_), static_cast<QWidget*>(game_),
                            static_cast<QWidget*>(welcome_)})
        if (window)
            window->hide();
    observer_->programEnding();
    if (endProgram_)
        endProgram_();
}

void Program::windowActivated(QWidget* window) {
    // Qt also activates a window when the pupil comes back from another
    // program; that is not a new visit. A visit is an activation that comes
    // from another window of ours, or a window's first showing.
    if (window == lastActive_)
        return;
    lastActive_ = window;
    QPointer<ProgramWindow> target(qobject_cast<ProgramWindow*>(window));
    react([target] {
        if (target)
            target->activated();
    });
}

bool Program::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    auto* window = qobject_cast<ProgramWindow*>(static_cast<QWidget*>(watched)->window());
    if (!window)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    // F11 yields no character: it is the window's, never the game's.
    if (key->key() == Qt::Key_F11) {
        if (!key->isAutoRepeat()) {
            QPointer<ProgramWindow> target(window);
            react([target] {
                if (target)
                    target->toggleFullScreen();
            });
        }
        return true;
    }
    if (!window->takesKey(key->key(), key->text()))
        return false;
    QPointer<ProgramWindow> target(window);
    react([target, code = key->key(), text = key->text()] {
        if (target)
            target->keyReaction(code, text);
    });
    return true;
}

void Program::presentAll() {
    for (ProgramWindow* window :
         {static_cast<ProgramWindow*>(welcome_), static_cast<ProgramWindow*>(game_)})
        if (window && window->surfaceView())
            window->surfaceView()->surface().present();
    if (game_)
        game_->updateDescription();
}

} // namespace quiltaro
