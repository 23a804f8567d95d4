#pragma once

#include "Clock.h"
#include "FarewellWindow.h"
#include "GameWindow.h"
#include "Pacer.h"
#include "PupilChooser.h"
#include "Random.h"
#include "ReactionGate.h"
#include "RoundObserver.h"
#include "RoundState.h"
#include "WelcomeWindow.h"

#include <QObject>
#include <QPointer>

#include <functional>

class QWidget;

namespace quiltaro {

// The program: the round state, the three windows, and the one path by
// which every event becomes a reaction.
class Program : public QObject {
    Q_OBJECT
public:
    // endProgram leaves the event loop; the program itself never exits the
    // process from inside a reaction.
    Program(Clock& clock, UniformSource& random, std::function<void()> endProgram);
    ~Program() override;

    // Settings of Qt's platform that the windows are drawn best with; they
    // take effect only if made before the QApplication exists.
    static void configurePlatform();

    // Creates the welcome window (its load reaction runs) and shows it.
    void start();

    // "commencer": the game window, once the pupil said who plays when the
    // teacher gave a class list.
    void commence();
    void openGame();
    void openFarewell();
    // The farewell arrow: every window goes, nothing else runs.
    void end();

    // Who keeps the record of the games; nobody until this is called.
    void setRoundObserver(RoundObserver& observer) { observer_ = &observer; }
    RoundObserver& roundObserver() { return *observer_; }
    // A class list: "commencer" asks "Qui joue ?" first, and `chosen` hears
    // the name before the game window opens. Without one (or with no names)
    // the game opens at once.
    // Called again, the next "commencer" asks from the new names.
    void setClassList(QStringList names, std::function<void(const QString&)> chosen);
    // A line for whoever looks after the computer, shown on the welcome
    // window (sending to the class's server turned off...); set before start().
    void setNotice(QString notice) { notice_ = std::move(notice); }
    const QString& notice() const { return notice_; }
    // Told each time "Qui joue ?" is about to be asked, before it is.
    void whenAboutToAsk(std::function<void()> told) { aboutToAsk_ = std::move(told); }
    PupilChooser* chooser() const { return chooser_; }
    const QString& pupil() const { return pupil_; }

    // Runs a reaction, never inside another.
    void react(std::function<void()> reaction) { gate_.run(std::move(reaction)); }

    RoundState& state() { return state_; }
    Clock& clock() { return clock_; }
    UniformSource& random() { return random_; }
    Pacer& pacer() { return pacer_; }
    ReactionGate& gate() { return gate_; }
    WelcomeWindow* welcome() const { return welcome_; }
    GameWindow* game() const { return game_; }
    FarewellWindow* farewell() const { return farewell_; }

    // Called by each window when Qt makes it the active window.
    void windowActivated(QWidget* window);

protected:
    // The windows see every key before their controls.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void presentAll();
    static void bringToFront(QWidget* window);
    void takeSizeOfOpener(QWidget* window) const;
    void openChooser();
    void pupilChosen(const QString& pupil);

    Clock& clock_;
    UniformSource& random_;
    std::function<void()> endProgram_;
    RoundState state_;
    Pacer pacer_{clock_, state_};
    ReactionGate gate_;
    RoundObserver* observer_ = &RoundObserver::none();
    QPointer<WelcomeWindow> welcome_;
    QPointer<GameWindow> game_;
    QPointer<FarewellWindow> farewell_;
    QPointer<QWidget> lastActive_;
    QStringList classList_;
    std::function<void(const QString&)> chosen_;
    std::function<void()> aboutToAsk_;
    QString notice_;
    QPointer<PupilChooser> chooser_;
    QString pupil_;
};

} // namespace quiltaro
