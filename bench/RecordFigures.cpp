#include "RecordFigures.h"

#include "BenchSupport.h"
#include "RecordStall.h"
#include "RecordStore.h"
#include "Recorder.h"
#include "SampleRecord.h"
#include "XScreen.h"
#include "YearFigures.h"

#include <QApplication>
#include <QDateTime>
#include <QPalette>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <vector>

#include <signal.h>

namespace quiltaro::bench {

double measureRecordWrite(const QString& path) {
    ProblemReport report;
    RecordStore store(path, report);
    Recorder recorder(store);
    RoundState s;
    s.lowBound = 0, s.highBound = 1000, s.redValue = 371;
    std::vector<double> us;
    for (int i = 0; i < 400; ++i) {
        recorder.roundGenerated(s);
        for (const char* guess : {"500", "250", "375", "312", "343", "359", "367"})
            recorder.guessJudged(s, guess,
                                 std::atoi(guess) > 371 ? Verdict::TooHigh : Verdict::TooLow);
        // The right answer ends the round: the round is handed to the
        // record's thread there, and that is all the game waits for.
        const auto start = Steady::now();
        recorder.guessJudged(s, "371", Verdict::Right);
        us.push_back(msSince(start) * 1000);
        if (recorder.waiting() != 0)
            return NAN;
    }
    // The first 100 fill the caches and the log.
    return median(std::vector<double>(us.begin() + 100, us.end()));
}

namespace {

// Whether the window at `box` shows its content: rows across it differ from
// what the screen showed there before the program started (a window Qt has
// not painted yet shows what lay under it) and are not of one colour.
bool painted(const XScreen& screen, Box box, const std::vector<std::uint32_t>& before) {
    std::vector<std::uint32_t> seen, under;
    const int left = std::max(box.x, 0), right = std::min(box.x + box.w, screen.width());
    for (int i = 1; i <= 4 && left < right; ++i) {
        const int y = box.y + box.h * i / 5;
        if (y < 0 || y >= screen.height())
            continue;
        const std::vector<std::uint32_t> row = screen.pixels({left, y, right - left, 1});
        seen.insert(seen.end(), row.begin(), row.end());
        const auto from = before.begin() + static_cast<std::ptrdiff_t>(y) * screen.width() + left;
        under.insert(under.end(), from, from + (right - left));
    }
    return !seen.empty() && seen != under &&
           std::adjacent_find(seen.begin(), seen.end(), std::not_equal_to<>()) != seen.end();
}

// Whether the window's class table shows its pupils: the first is chosen
// as the window fills, in the highlight of the style, which a window still
// reading shows nowhere. Looked for down one column, in the table.
bool filled(const XScreen& screen, Box box) {
    static const std::uint32_t highlight =
        QApplication::palette().color(QPalette::Highlight).rgb() & 0xffffff;
    const int x = box.x + box.w / 10;
    if (x < 0 || x >= screen.width())
        return false;
    const int top = std::max(box.y, 0), bottom = std::min(box.y + box.h, screen.height());
    const std::vector<std::uint32_t> column = screen.pixels({x, top, 1, bottom - top});
    return std::find(column.begin(), column.end(), highlight) != column.end();
}

// From the program started to its window painted with its figures, as the X
// server shows it.
std::optional<double> resultsOpenOnce(const XScreen& screen, const std::vector<std::string>& args) {
    const std::vector<std::uint32_t> before =
        screen.pixels({0, 0, screen.width(), screen.height()});
    if (before.size() != static_cast<size_t>(screen.width()) * static_cast<size_t>(screen.height()))
        return std::nullopt;
    const auto start = Steady::now();
    const pid_t pid = spawn(args);
    if (pid <= 0)
        return std::nullopt;
    // Every 5 ms: the window's tree and four rows of it are read each time,
    // work for the X server and a core that the program opening would miss.
    const bool shown = waitFor(
        20000,
        [&] {
            const std::optional<Box> window = screen.windowOf(pid);
            return window && painted(screen, *window, before) && filled(screen, *window);
        },
        5);
    const double ms = msSince(start);
    stop(pid, SIGKILL);
    // Gone from the screen before the next start looks at it.
    waitFor(5000, [&] { return !screen.windowOf(pid); });
    return shown ? std::optional(ms) : std::nullopt;
}

} // namespace

double medianResultsOpen(const std::vector<std::string>& args) {
    XScreen screen;
    if (!screen.ok())
        return NAN;
    std::vector<double> ms;
    resultsOpenOnce(screen, args); // fills the caches
    for (int i = 0; i < 5; ++i)
        if (const std::optional<double> once = resultsOpenOnce(screen, args))
            ms.push_back(*once);
    return ms.size() == 5 ? median(ms) : NAN;
}

double measureResultsOpen(const std::string& game, const QString& dataHome, int games) {
    ProblemReport report;
    setenv("XDG_DATA_HOME", dataHome.toLocal8Bit().constData(), 1);
    {
        RecordStore store(dataHome + "/quiltaro/record.sqlite", report);
        QDateTime first = QDateTime::currentDateTime().addDays(-games / 2 * 7 / 5);
        if (!store.writeMany(sampleRecord(games, first, 1)))
            return NAN;
    }
    return medianResultsOpen({game, "--results"});
}

int recordOnly(int argc, char** argv, const std::string& game) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const double writeUs = measureRecordWrite(dir.filePath("write.sqlite"));
    const double openMs = measureResultsOpen(game, dir.filePath("home"), resultsGames);
    const double stallMs = measureRecordStall(dir.path(), 100000);
    const double yearMs = measureYearOpen(game, dir.filePath("year"));
    std::printf("record_write_us %.1f us\nresults_open_ms %.1f ms\nrecord_stall_max_ms %.2f ms\n"
                "results_open_year_ms %.1f ms\n",
                writeUs, openMs, stallMs, yearMs);
    return std::isnan(writeUs) || std::isnan(openMs) || std::isnan(stallMs) || std::isnan(yearMs)
               ? 1
               : 0;
}

} // namespace quiltaro::bench
