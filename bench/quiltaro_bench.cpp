// Measures the game on the real X display it runs on: the cost of one sweep
// frame, whether the animations keep their pace, how soon the welcome window
// shows and how much memory a short game takes.
//
//   quiltaro_bench [path/to/quiltaro]
//
// Prints one figure a line ("name value unit"), then a table. The start-up and
// memory figures come from the real executable, watched from outside through
// the X server and driven with xdotool; the frame and animation figures come
// from the game's own windows, linked in and run on the real clock.

#include "GameWindow.h"
#include "Generation.h"
#include "LargeScreens.h"
#include "Palette.h"
#include "Program.h"
#include "RecordStore.h"
#include "Recorder.h"
#include "SampleRecord.h"
#include "SurfaceView.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QWindow>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

using namespace quiltaro;

namespace {

using Steady = std::chrono::steady_clock;

double msSince(Steady::time_point start) {
    return std::chrono::duration<double, std::milli>(Steady::now() - start).count();
}

void sleepMs(double ms) {
    std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(ms));
}

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double median(std::vector<double> v) {
    if (v.empty())
        return NAN;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double percentile(std::vector<double> v, double q) {
    if (v.empty())
        return NAN;
    std::sort(v.begin(), v.end());
    const auto rank = static_cast<size_t>(std::ceil(q * static_cast<double>(v.size())));
    return v[std::clamp<size_t>(rank, 1, v.size()) - 1];
}

bool waitFor(double timeoutMs, const std::function<bool()>& done, double periodMs = 1) {
    const auto start = Steady::now();
    while (!done()) {
        if (msSince(start) > timeoutMs)
            return false;
        sleepMs(periodMs);
    }
    return true;
}

// ---- Child processes -------------------------------------------------------

// Starts a program with this process's environment; its output goes to outFd,
// or nowhere.
pid_t spawn(const std::vector<std::string>& args, int outFd = -1) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (outFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    if (outFd < 0)
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

bool run(const std::vector<std::string>& args) {
    const pid_t pid = spawn(args);
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// Runs a program and returns what it printed.
std::string capture(const std::vector<std::string>& args) {
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    const pid_t pid = spawn(args, fds[1]);
    close(fds[1]);
    std::string out;
    char buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;)
        out.append(buffer, static_cast<size_t>(n));
    close(fds[0]);
    if (pid > 0)
        waitpid(pid, nullptr, 0);
    return out;
}

// The peak resident size the kernel has seen so far for a live process.
long peakRssKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return 0;
}

// ---- The screen as the X server shows it ----------------------------------

struct Box {
    int x, y, w, h;
};

class XScreen {
public:
    XScreen() : d_(XOpenDisplay(nullptr)) {
        // A window can vanish between two requests (the game is killed); that
        // is an answer, not a reason to exit.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    }
    ~XScreen() {
        if (d_)
            XCloseDisplay(d_);
    }
    XScreen(const XScreen&) = delete;
    XScreen& operator=(const XScreen&) = delete;

    bool ok() const {
        if (!d_)
            return false;
        const Visual* v = DefaultVisual(d_, DefaultScreen(d_));
        return v->red_mask == 0xff0000 && v->green_mask == 0xff00 && v->blue_mask == 0xff;
    }
    int width() const { return DisplayWidth(d_, DefaultScreen(d_)); }
    int height() const { return DisplayHeight(d_, DefaultScreen(d_)); }

    // How many pixels of a rectangle of the screen have the colour 0xRRGGBB.
    int count(Box b, unsigned long rgb) const {
        XImage* image = XGetImage(d_, DefaultRootWindow(d_), b.x, b.y, static_cast<unsigned>(b.w),
                                  static_cast<unsigned>(b.h), AllPlanes, ZPixmap);
        if (!image)
            return 0;
        int n = 0;
        for (int y = 0; y < b.h; ++y)
            for (int x = 0; x < b.w; ++x)
                n += (XGetPixel(image, x, y) & 0xffffff) == rgb;
        XDestroyImage(image);
        return n;
    }

    // The client area, on the screen, of the top-level window with the focus.
    std::optional<Box> focusedWindow() const {
        Window w = 0, root = DefaultRootWindow(d_);
        int revert = 0;
        XGetInputFocus(d_, &w, &revert);
        if (w == None || w == PointerRoot)
            return std::nullopt;
        for (;;) {
            Window r = 0, parent = 0, *children = nullptr;
            unsigned n = 0;
            if (!XQueryTree(d_, w, &r, &parent, &children, &n))
                return std::nullopt;
            if (children)
                XFree(children);
            if (parent == root || parent == 0)
                break;
            w = parent;
        }
        XWindowAttributes a{};
        Window child = 0;
        int x = 0, y = 0;
        if (!XGetWindowAttributes(d_, w, &a) ||
            !XTranslateCoordinates(d_, w, root, 0, 0, &x, &y, &child))
            return std::nullopt;
        return Box{x, y, a.width, a.height};
    }

private:
    Display* d_;
};

// Where the game's windows are without a window manager, in screen pixels.
constexpr int welcomeX = 72, welcomeY = 99;
constexpr int gameX = 82, gameY = 198;
// The welcome illustration's red mark: 2 x 28 pixels at (264, 146) in the client.
constexpr Box redMark{welcomeX + 260, welcomeY + 142, 10, 36};
// A patch inside the game's light cyan interval, left of any red mark.
constexpr Box gameInterval{gameX + 100, gameY + 140, 10, 10};

bool welcomeDrawn(const XScreen& screen) {
    return screen.count(redMark, 0xff0000) >= 40;
}

// ---- Start-up time and memory of the real program -------------------------

void stop(pid_t pid, int signal) {
    kill(pid, signal);
    waitpid(pid, nullptr, 0);
}

std::optional<double> startupOnce(const XScreen& screen, const std::string& game) {
    if (!waitFor(3000, [&] { return !welcomeDrawn(screen); }))
        return std::nullopt;
    const auto start = Steady::now();
    const pid_t pid = spawn({game});
    if (pid <= 0)
        return std::nullopt;
    // One small image read per millisecond: a fraction of a core for the X
    // server, against the game's own start-up.
    const bool shown = waitFor(10000, [&] { return welcomeDrawn(screen); });
    const double ms = msSince(start);
    stop(pid, SIGKILL);
    return shown ? std::optional(ms) : std::nullopt;
}

struct Playthrough {
    long maxRssKb = 0;  // ru_maxrss, from wait4
    long vmHwmKb = 0;   // the last VmHWM read while it ran
    bool ended = false; // ended by its own farewell arrow
    std::string note;
};

// Plays one round as a pupil would: commencer, a guess that sweeps, the zoom,
// give up, farewell, arrow. Nothing is read from the game but its pixels on
// the screen and which window has the focus.
Playthrough playOneRound(const XScreen& screen, const std::string& game) {
    Playthrough result;
    const pid_t pid = spawn({game});
    if (pid <= 0) {
        result.note = "could not start the game";
        return result;
    }
    auto pause = [&](double ms) {
        sleepMs(ms);
        result.vmHwmKb = std::max(result.vmHwmKb, peakRssKb(pid));
    };
    auto click = [](int x, int y) {
        return run(
            {"xdotool", "mousemove", "--sync", std::to_string(x), std::to_string(y), "click", "1"});
    };
    auto key = [](const char* name) { return run({"xdotool", "key", name}); };

    bool driven = waitFor(10000, [&] { return welcomeDrawn(screen); });
    driven = driven && click(welcomeX + 688 + 104, welcomeY + 520 + 16);
    driven = driven && waitFor(5000, [&] { return screen.count(gameInterval, 0x00ffff) >= 80; });
    if (driven) {
        pause(300);
        driven = run({"xdotool", "type", "--delay", "30", "500"}) && key("Return");
        pause(1500); // a sweep of up to 190 points
        // With nothing typed, Return zooms when the magnifier is shown and
        // does nothing otherwise.
        driven = driven && key("Return");
        pause(3500);
        driven = driven && key("Escape"); // gives up: the round is over
        pause(500);
        driven = driven && key("Escape"); // the farewell window
    }
    std::optional<Box> farewell;
    driven = driven && waitFor(5000, [&] {
                 farewell = screen.focusedWindow();
                 return farewell && farewell->w == 887 && farewell->h == 576;
             });
    if (driven) {
        pause(300);
        click(farewell->x + 752 + 16, farewell->y + 280 + 16);
    }
    int status = 0;
    rusage usage{};
    result.ended =
        driven && waitFor(5000, [&] { return wait4(pid, &status, WNOHANG, &usage) == pid; });
    if (!result.ended) {
        result.note = driven ? "the farewell arrow did not end the game; ended by SIGTERM"
                             : "driving the game failed; ended by SIGTERM";
        result.vmHwmKb = std::max(result.vmHwmKb, peakRssKb(pid));
        kill(pid, SIGTERM);
        wait4(pid, &status, 0, &usage);
    }
    result.maxRssKb = usage.ru_maxrss;
    return result;
}

// ---- Frames and animations, in the game's own windows ----------------------

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

// The real clock, noting how long the game works between two sleeps and how
// late each sleep wakes up.
class WatchedClock final : public Clock {
public:
    TimePoint now() override { return real_.now(); }
    void sleepUntil(TimePoint deadline) override {
        const TimePoint entered = real_.now();
        busy += entered - awake_;
        real_.sleepUntil(deadline);
        awake_ = real_.now();
        late += awake_ - std::max(deadline, entered);
        ++sleeps;
    }
    float secondsSinceMidnight() override { return real_.secondsSinceMidnight(); }
    std::uint64_t timeSeed() override { return real_.timeSeed(); }
    void restart() {
        busy = late = Duration::zero(), sleeps = 0;
        awake_ = real_.now();
    }

    Duration busy{}, late{};
    int sleeps = 0;

private:
    SystemClock real_;
    TimePoint awake_ = real_.now();
};

// The real program with its windows on the screen, the game window open.
struct LiveGame {
    WatchedClock clock;
    SeededUniformSource random;
    Program program{clock, random, [] {}};
    GameWindow* window = nullptr;

    LiveGame() {
        program.start();
        settleUntil(5000, [&] {
            return program.welcome()->windowHandle() &&
                   program.welcome()->windowHandle()->isExposed();
        });
        program.react([&] { program.openGame(); });
        window = program.game();
        settleUntil(5000, [&] {
            return window->windowHandle() && window->windowHandle()->isExposed() &&
                   window->isActiveWindow();
        });
        settle(200);
    }

    RoundState& s() { return program.state(); }
    GameBoard& board() { return window->board(); }
    Surface& surface() { return board().surface(); }

    // A fresh round drawn whole, on the scale low..high with the brackets at
    // lowX and highX.
    void drawRound(double lowBound, double highBound, float red, double lowX = 50,
                   double highX = 430) {
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
};

struct FrameFigures {
    double medianUs = NAN, p99Us = NAN;
    double drawingUs = NAN; // the median of the drawing alone, before presenting
    double ratio = 0;
    int widthPx = 0, heightPx = 0;
};

// The body of a sweep's loop, timed: erase the old bracket, move it one point,
// draw the line, present. Frames are 4 ms apart, as in a sweep.
FrameFigures measureFrames(LiveGame& live, int warmUp, int frames) {
    Surface& g = live.surface();
    RoundState& s = live.s();
    std::vector<double> times, drawing;
    times.reserve(static_cast<size_t>(frames));
    drawing.reserve(static_cast<size_t>(frames));
    live.drawRound(0, 1000, 700);
    for (int i = 0; i < warmUp + frames; ++i) {
        if (s.lowX >= 420)
            live.drawRound(0, 1000, 700);
        const auto start = Steady::now();
        g.line(s.lowX, 99, s.lowX, 140, palette::white);
        s.lowX += 1;
        live.board().drawNumberLine();
        const auto drawn = Steady::now();
        g.present();
        if (i >= warmUp) {
            times.push_back(msSince(start) * 1000);
            drawing.push_back(std::chrono::duration<double, std::micro>(drawn - start).count());
        }
        live.clock.sleepUntil(live.clock.now() + std::chrono::milliseconds(4));
    }
    return {median(times),        percentile(times, 0.99), median(drawing),
            g.devicePixelRatio(), live.window->width(),    live.window->height()};
}

struct Animation {
    const char* name;
    double nominal;
    std::vector<double> walls;
    double cpu = 0;
    Clock::Duration busy{}, late{}; // over all runs
    int waits = 0;

    double perWaitUs(Clock::Duration d) const {
        return std::chrono::duration<double, std::micro>(d).count() / std::max(1, waits);
    }
};

void timeAnimation(LiveGame& live, Animation& a, const std::function<void()>& prepare,
                   const std::function<void()>& play) {
    prepare();
    const double cpu = cpuSeconds();
    const auto start = Steady::now();
    live.clock.restart();
    play();
    a.walls.push_back(msSince(start) / 1000);
    a.cpu += cpuSeconds() - cpu;
    a.busy += live.clock.busy, a.late += live.clock.late, a.waits += live.clock.sleeps;
    settle(50);
}

struct Animations {
    Animation sweep{"sweep", 380 * 0.004, {}};
    Animation zoom{"zoom", 70 * 0.02 + 1.0 + 80 * 0.005, {}};
    Animation blink{"blink", 20 * 0.1, {}};
    double cpuRatio = NAN; // process CPU time over wall time, all runs together
};

// Each animation three times, on the real clock, from a freshly drawn round.
Animations measureAnimations(LiveGame& live) {
    Animations a;
    RoundState& s = live.s();
    for (int i = 0; i < 3; ++i) {
        timeAnimation(
            live, a.sweep, [&] { live.drawRound(0, 1000, 700), s.typedAnswer = "1000"; },
            [&] { live.board().sweepLowBound(); });
        timeAnimation(
            live, a.zoom, [&] { live.drawRound(500, 1000, 700, 240, 430); },
            [&] { live.board().magnifierZoom(); });
        timeAnimation(
            live, a.blink, [&] { live.drawRound(0, 1000, 700); },
            [&] { live.board().blinkOutOfInterval(); });
    }
    double wall = 0, cpu = 0;
    for (const Animation* one : {&a.sweep, &a.zoom, &a.blink}) {
        for (double w : one->walls)
            wall += w;
        cpu += one->cpu;
    }
    a.cpuRatio = cpu / wall;
    return a;
}

// ---- The record ------------------------------------------------------------

// What one finished round costs to write, between two reactions: a round of
// eight guesses, in its own transaction, to a record that already holds a
// few hundred rounds.
double measureRecordWrite(const QString& path) {
    ProblemReport report;
    RecordStore store(path, report);
    Recorder recorder(store);
    RoundState s;
    s.lowBound = 0, s.highBound = 1000, s.redValue = 371;
    std::vector<double> us;
    for (int i = 0; i < 400; ++i) {
        recorder.roundGenerated(s);
        for (const char* guess : {"500", "250", "375", "312", "343", "359", "367", "371"})
            recorder.guessJudged(s, guess,
                                 std::string(guess) == "371" ? Verdict::Right
                                 : std::atoi(guess) > 371    ? Verdict::TooHigh
                                                             : Verdict::TooLow);
        const auto start = Steady::now();
        recorder.betweenReactions();
        us.push_back(msSince(start) * 1000);
        if (recorder.waiting() != 0)
            return NAN;
    }
    // The first 100 fill the caches and the log.
    return median(std::vector<double>(us.begin() + 100, us.end()));
}

// From `quiltaro --results` started to the results window painted, on a
// record of `games` generated games; median of 5.
double measureResultsOpen(const std::string& game, const QString& dataHome, int games) {
    ProblemReport report;
    setenv("XDG_DATA_HOME", dataHome.toLocal8Bit().constData(), 1);
    setenv("QUILTARO_REPORT_PAINTED", "1", 1);
    {
        RecordStore store(dataHome + "/quiltaro/record.sqlite", report);
        QDateTime first = QDateTime::currentDateTime().addDays(-games / 2 * 7 / 5);
        if (!store.writeMany(sampleRecord(games, first, 1)))
            return NAN;
    }
    std::vector<double> ms;
    for (int i = 0; i < 6; ++i) {
        const auto start = Steady::now();
        std::istringstream out(capture({game, "--results"}));
        std::string name;
        long long painted = 0;
        if (out >> name >> painted && name == "painted_ns" && i > 0) // the first fills the caches
            ms.push_back(static_cast<double>(painted - start.time_since_epoch().count()) / 1e6);
    }
    unsetenv("QUILTARO_REPORT_PAINTED");
    return median(ms);
}

// ---- Output ----------------------------------------------------------------

struct Figure {
    std::string name;
    double value;
    std::string unit;
    double target;
    int decimals;
};

std::string fixed(double v, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

std::string findGame(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) != "--frames")
        return argv[1];
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return (self.parent_path() / ".." / "windows" / "quiltaro").lexically_normal().string();
}

int framesOnly(int argc, char** argv) {
    QApplication app(argc, argv);
    LiveGame live;
    const FrameFigures f = measureFrames(live, 200, 2000);
    std::printf("frame_median_us %.1f us\nframe_p99_us %.1f us\nframe_drawing_us %.1f us\n"
                "frame_dpr %.2f\nframe_width %d px\nframe_height %d px\n",
                f.medianUs, f.p99Us, f.drawingUs, f.ratio, f.widthPx, f.heightPx);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // The figures are about the real X display, whatever the shell exported.
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    // The windows below are drawn as the game's own main sets Qt up; the
    // processes started from here inherit it too.
    Program::configurePlatform();
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "quiltaro_bench: no DISPLAY (bench.sh starts an Xvfb)\n");
        return 2;
    }
    if (argc > 1 && std::string(argv[1]) == "--frames")
        return framesOnly(argc, argv);

    // The games played here keep their record in a folder of the bench's own.
    QTemporaryDir benchData;
    setenv("XDG_DATA_HOME", benchData.path().toLocal8Bit().constData(), 1);

    const std::string game = findGame(argc, argv);
    if (access(game.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "quiltaro_bench: no game at %s\n", game.c_str());
        return 2;
    }
    std::vector<std::string> notes;

    // 1. Start-up and memory, first, while this process is still small: a
    //    child's ru_maxrss starts from what its parent had when it was spawned.
    std::vector<double> startups;
    Playthrough play;
    int screenW = 0, screenH = 0;
    {
        XScreen screen;
        if (!screen.ok()) {
            std::fprintf(stderr, "quiltaro_bench: cannot read a 24-bit screen\n");
            return 2;
        }
        screenW = screen.width(), screenH = screen.height();
        std::fprintf(stderr, "start-up...\n");
        startupOnce(screen, game); // fills the page cache and font caches
        for (int i = 0; i < 7; ++i)
            if (auto ms = startupOnce(screen, game))
                startups.push_back(*ms);
        if (startups.size() < 7)
            notes.push_back(std::to_string(7 - startups.size()) +
                            " start-up runs never showed the red mark");
        std::fprintf(stderr, "one round driven with xdotool...\n");
        play = playOneRound(screen, game);
        if (!play.note.empty())
            notes.push_back(play.note);
    }

    // 2. Frames at device pixel ratio 2, in a process of their own.
    std::fprintf(stderr, "frames at ratio 2...\n");
    setenv("QT_SCALE_FACTOR", "2", 1);
    std::map<std::string, double> frame2x;
    {
        std::istringstream out(
            capture({std::filesystem::read_symlink("/proc/self/exe").string(), "--frames"}));
        for (std::string line; std::getline(out, line);) {
            std::istringstream words(line);
            std::string name;
            double value = NAN;
            if (words >> name >> value)
                frame2x[name] = value;
        }
    }
    unsetenv("QT_SCALE_FACTOR");
    if (frame2x["frame_dpr"] != 2)
        notes.push_back("the ratio-2 run got device pixel ratio " + fixed(frame2x["frame_dpr"], 2));
    if (!frame2x.count("frame_median_us"))
        notes.push_back("the ratio-2 run printed no frame time");
    if ((frame2x["frame_width"] + gameX) * 2 > screenW ||
        (frame2x["frame_height"] + gameY) * 2 > screenH)
        notes.push_back("the ratio-2 game window does not fit on the screen");

    // 3. Frames at ratio 1 and the three animations, in this process.
    QApplication app(argc, argv);
    std::fprintf(stderr, "frames at ratio 1...\n");
    LiveGame live;
    const FrameFigures frames = measureFrames(live, 200, 2000);
    if (frames.widthPx != 861 || frames.heightPx != 568)
        notes.push_back("the game window is " + std::to_string(frames.widthPx) + " x " +
                        std::to_string(frames.heightPx));

    std::fprintf(stderr, "animations...\n");
    const Animations anim = measureAnimations(live);
    std::fprintf(stderr, "animations full screen at 1920 x 1080 and 3840 x 2160...\n");
    const bench::LargeScreenPaces large = bench::measureLargeScreens(*live.window, live.s());

    // 4. The record, once the animations are measured: nothing else runs.
    std::fprintf(stderr, "the record...\n");
    QTemporaryDir recordDir;
    const double recordWriteUs = measureRecordWrite(recordDir.filePath("write.sqlite"));
    constexpr int resultsGames = 10000;
    const double resultsOpenMs = measureResultsOpen(game, recordDir.filePath("home"), resultsGames);

    const std::vector<Figure> figures = {
        {"frame_median_us", frames.medianUs, "us", 250, 1},
        {"frame_p99_us", frames.p99Us, "us", NAN, 1},
        {"frame2x_median_us", frame2x.count("frame_median_us") ? frame2x["frame_median_us"] : NAN,
         "us", 250, 1},
        {"sweep_ratio", median(anim.sweep.walls) / anim.sweep.nominal, "ratio", 1.03, 4},
        {"zoom_ratio", median(anim.zoom.walls) / anim.zoom.nominal, "ratio", 1.03, 4},
        {"blink_ratio", median(anim.blink.walls) / anim.blink.nominal, "ratio", 1.03, 4},
        {"sweep_ratio_1080p", large.hd.sweep, "ratio", 1.03, 4},
        {"zoom_ratio_1080p", large.hd.zoom, "ratio", 1.03, 4},
        {"blink_ratio_1080p", large.hd.blink, "ratio", 1.03, 4},
        {"sweep_ratio_4k", large.uhd.sweep, "ratio", 1.05, 4},
        {"zoom_ratio_4k", large.uhd.zoom, "ratio", 1.05, 4},
        {"blink_ratio_4k", large.uhd.blink, "ratio", 1.05, 4},
        {"anim_cpu_ratio", anim.cpuRatio, "ratio", 0.10, 4},
        {"startup_ms", median(startups), "ms", 150, 1},
        {"startup_rss_kb", static_cast<double>(play.maxRssKb), "kB", 50000, 0},
        {"record_write_us", recordWriteUs, "us", NAN, 1},
        {"results_open_ms", resultsOpenMs, "ms", 300, 1},
    };
    for (const Figure& f : figures)
        std::printf("%s %s %s\n", f.name.c_str(), fixed(f.value, f.decimals).c_str(),
                    f.unit.c_str());

    std::printf("\n%-18s %12s %-6s %10s  %s\n", "figure", "value", "unit", "target", "");
    for (const Figure& f : figures) {
        const bool judged = !std::isnan(f.target);
        const std::string target = judged ? "<= " + fixed(f.target, f.decimals > 1 ? 2 : 0) : "";
        std::printf("%-18s %12s %-6s %10s  %s\n", f.name.c_str(),
                    fixed(f.value, f.decimals).c_str(), f.unit.c_str(), target.c_str(),
                    !judged               ? ""
                    : f.value <= f.target ? "ok"
                                          : "MISS");
    }
    std::printf("\nframes: 2000 after 200 of warm-up, 4 ms apart, %d x %d window; median of the"
                " drawing alone %.1f us at ratio %.0f, %.1f us at ratio 2; ratio 2 p99 %.1f us\n",
                frames.widthPx, frames.heightPx, frames.drawingUs, frames.ratio,
                frame2x["frame_drawing_us"], frame2x["frame_p99_us"]);
    std::printf("animations, 3 runs each: median wall / nominal, and per wait the work"
                " (drawing, presenting) and the late wake-up");
    for (const Animation* a : {&anim.sweep, &anim.zoom, &anim.blink})
        std::printf("\n  %-5s %.3f s / %.2f s, %d waits: %.0f us work, %.0f us late", a->name,
                    median(a->walls), a->nominal, a->waits / 3, a->perWaitUs(a->busy),
                    a->perWaitUs(a->late));
    std::printf("\nstart-up: %zu runs, min %.1f ms, max %.1f ms, screen %d x %d\n", startups.size(),
                startups.empty() ? NAN : *std::min_element(startups.begin(), startups.end()),
                startups.empty() ? NAN : *std::max_element(startups.begin(), startups.end()),
                screenW, screenH);
    std::printf("record: one round of 8 guesses in its own transaction, median of 300; results"
                " window from `quiltaro --results` to painted, %d generated games, median of 5\n",
                resultsGames);
    std::printf("memory: ru_maxrss %ld kB, VmHWM %ld kB, %s\n", play.maxRssKb, play.vmHwmKb,
                play.ended ? "ended by the farewell arrow" : "ended by SIGTERM");
    for (const std::string& note : notes)
        std::printf("note: %s\n", note.c_str());
    return 0;
}
