#include "LiveGame.h"

#include "BenchSupport.h"
#include "Generation.h"

#include <QApplication>
#include <QWindow>

#include <sys/resource.h>

#include <ctime>
#include <tuple>

namespace quiltaro::bench {

void settle(double ms) {
    const auto start = Steady::now();
    while (msSince(start) < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

bool settleUntil(double timeoutMs, const std::function<bool()>& done) {
    const auto start = Steady::now();
    while (!done()) {
        if (msSince(start) > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

namespace {

// This thread's processor time, and how often the scheduler took the
// processor from it.
std::pair<Clock::Duration, long> threadUsage() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return {std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec), u.ru_nivcsw};
}

} // namespace

void WatchedClock::sleepUntil(TimePoint deadline) {
    const TimePoint entered = real_.now();
    busy += entered - awake_;
    const auto [cpu, preempted] = threadUsage();
    busyOnCpu += cpu - cpuAwake_;
    preemptions += preempted - preemptedAwake_;
    real_.sleepUntil(deadline);
    awake_ = real_.now();
    std::tie(cpuAwake_, preemptedAwake_) = threadUsage();
    late += awake_ - std::max(deadline, entered);
    ++sleeps;
}

void WatchedClock::restart() {
    busy = late = busyOnCpu = Duration::zero(), sleeps = 0, preemptions = 0;
    awake_ = real_.now();
    std::tie(cpuAwake_, preemptedAwake_) = threadUsage();
}

LiveGame::LiveGame() {
    program.start();
    settleUntil(5000, [&] {
        return program.welcome()->windowHandle() && program.welcome()->windowHandle()->isExposed();
    });
    program.react([&] { program.openGame(); });
    window = program.game();
    settleUntil(5000, [&] {
        return window->windowHandle() && window->windowHandle()->isExposed() &&
               window->isActiveWindow();
    });
    settle(200);
}

void LiveGame::drawRound(double lowBound, double highBound, float red, double lowX, double highX) {
    RoundState& st = s();
    st.scaleLow = 0, st.scaleHigh = 1000;
    st.lowBound = lowBound, st.highBound = highBound, st.redValue = red;
    st.lowX = lowX, st.highX = highX, st.lineY = 120, st.zoomStep = 0;
    st.redX = redPosition(st);
    st.typedAnswer.clear(), st.shownAnswer.clear();
    surface().clear();
    board().drawNumberLine();
    board().printBoundLabels();
    board().printTryLine();
    board().printPrompt();
    surface().present();
    settle(20);
}

} // namespace quiltaro::bench
