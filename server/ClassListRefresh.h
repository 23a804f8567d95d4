#pragma once

#include "ServerConfig.h"
#include "Worker.h"

#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>

namespace quiltaro {

// Keeps this computer's copies of the server's class lists fresh while the
// game runs, on a thread of its own (a Worker): at once, then every `period`,
// and whenever asked (a pupil is about to be asked "Qui joue ?"), so that a
// name the teacher adds to any class of the computer appears at the next
// "commencer". Nobody waits for it: the game asks from the copies as the
// last refresh left them.
class ClassListRefresh {
public:
    // Told on the refresh's thread each time the lists on the server differ
    // from the copies (written already: serverClassCopies() reads them), or
    // the classes refused by name (in French) differ from the last told.
    using Changed = std::function<void(const QStringList& refused)>;
    ClassListRefresh(ServerSettings settings, std::chrono::milliseconds period, Changed changed);
    ~ClassListRefresh(); // stops at once, cutting a reading under way
    ClassListRefresh(const ClassListRefresh&) = delete;
    ClassListRefresh& operator=(const ClassListRefresh&) = delete;

    // Refresh now; returns at once, from any thread.
    void request();

private:
    struct State;
    std::unique_ptr<State> state_;
    Worker worker_; // after the state it uses: it goes first
};

} // namespace quiltaro
