#pragma once

#include "Pupils.h"
#include "ServerConfig.h"
#include "Worker.h"

#include <chrono>
#include <functional>
#include <memory>

namespace quiltaro {

// Keeps this computer's copy of the server's class list fresh while the game
// runs, on a thread of its own (a Worker): at once, then every `period`, and
// whenever asked (a pupil is about to be asked "Qui joue ?"), so that a name
// the teacher adds appears at the next "commencer". Nobody waits for it: the
// game asks from what the last refresh gave, or from the copy.
class ClassListRefresh {
public:
    // Told on the refresh's thread each time the list on the server differs
    // from the one before (the copy is written already).
    using Changed = std::function<void(const ClassList& list)>;
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
