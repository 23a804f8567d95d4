#include "Program.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStyle>

// "Qui joue ?": who sits down, asked at every "commencer" of a class's login,
// the class first when the login serves several.
namespace quiltaro {

void Program::setClassList(QStringList names, std::function<void(const QString&)> chosen) {
    setClasses({{QString(), std::move(names)}},
               [chosen = std::move(chosen)](const QString& pupil, const QString&) {
                   if (chosen)
                       chosen(pupil);
               });
}

void Program::setClasses(std::vector<ClassOfPupils> classes, Chosen chosen) {
    std::erase_if(classes, [](const ClassOfPupils& c) { return c.pupils.isEmpty(); });
    classes_ = std::move(classes);
    chosen_ = std::move(chosen);
    // A chooser of the old names is made again when next asked.
    if (chooser_ && !chooser_->isVisible())
        delete chooser_;
    if (classChooser_ && !classChooser_->isVisible())
        delete classChooser_;
}

void Program::commence() {
    if (classes_.empty()) {
        openGame();
        return;
    }
    if (aboutToAsk_)
        aboutToAsk_();
    openChooser();
}

void Program::openChooser() {
    // As for the names: the class of the pupil who played last has the
    // focus, and none before anyone played.
    if (classes_.size() > 1)
        openClassChooser(pupil_.isEmpty() ? QString() : className_);
    else
        openPupilChooser(classes_.front().name);
}

void Program::placeChooser(PupilChooser* chooser) const {
    QScreen* screen = welcome_ ? welcome_->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen->availableGeometry();
    // Room left for the window's frame and title.
    const QSize size = chooser->fitTo(available.size() - QSize(40, 80));
    chooser->setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size,
                                             available.adjusted(0, 30, 0, 0)));
}

void Program::openClassChooser(const QString& focused) {
    if (!classChooser_) {
        QStringList names;
        for (const ClassOfPupils& c : classes_)
            names << c.name;
        classChooser_ = new PupilChooser(names, nullptr, PupilChooser::Wording::classes());
        classChooser_->chosen = [this](const QString& className) {
            react([this, className] {
                openPupilChooser(className);
                if (classChooser_)
                    classChooser_->hide();
            });
        };
        classChooser_->cancelled = [this] {
            if (welcome_)
                welcome_->activateWindow();
        };
        placeChooser(classChooser_);
    }
    takeSizeOfOpener(classChooser_);
    classChooser_->present(focused);
    bringToFront(classChooser_);
}

void Program::openPupilChooser(const QString& className) {
    // Every "commencer" asks, not only the first: each one follows a visit to
    // the welcome window, and on a shared computer another pupil may have
    // sat down meanwhile. The pupil who played last has the focus, so that
    // going on is one key.
    if (chooser_ && chooserClass_ != className)
        delete chooser_;
    if (!chooser_) {
        const auto of = std::find_if(classes_.begin(), classes_.end(),
                                     [&](const ClassOfPupils& c) { return c.name == className; });
        if (of == classes_.end())
            return;
        const bool several = classes_.size() > 1;
        chooser_ = new PupilChooser(of->pupils, nullptr,
                                    PupilChooser::Wording::pupils(several ? className : QString()));
        chooserClass_ = className;
        chooser_->chosen = [this, className](const QString& pupil) {
            react([this, pupil, className] { pupilChosen(pupil, className); });
        };
        // Escape goes back one question: to the classes, the one just
        // chosen in focus, else to the welcome.
        chooser_->cancelled = [this, several, className] {
            if (several)
                react([this, className] { openClassChooser(className); });
            else if (welcome_)
                welcome_->activateWindow();
        };
        placeChooser(chooser_);
    }
    takeSizeOfOpener(chooser_);
    chooser_->present(className == className_ ? pupil_ : QString());
    bringToFront(chooser_);
}

void Program::pupilChosen(const QString& pupil, const QString& className) {
    if (pupil != pupil_ || className != className_) {
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
        className_ = className;
    }
    if (chosen_)
        chosen_(pupil, className);
    openGame();
    // Gone once the game window is asked to the front, not before: the
    // window manager would give the welcome window the focus meanwhile, and
    // the game window would then be visited twice.
    if (chooser_)
        chooser_->hide();
}

} // namespace quiltaro
