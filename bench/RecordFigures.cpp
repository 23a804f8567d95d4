#include "RecordFigures.h"

#include "BenchSupport.h"
#include "RecordStall.h"
#include "RecordStore.h"
#include "Recorder.h"
#include "SampleRecord.h"

#include <QApplication>
#include <QDateTime>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

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

int recordOnly(int argc, char** argv, const std::string& game) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const double writeUs = measureRecordWrite(dir.filePath("write.sqlite"));
    const double openMs = measureResultsOpen(game, dir.filePath("home"), resultsGames);
    const double stallMs = measureRecordStall(dir.path(), 100000);
    std::printf("record_write_us %.1f us\nresults_open_ms %.1f ms\nrecord_stall_max_ms %.2f ms\n",
                writeUs, openMs, stallMs);
    return std::isnan(writeUs) || std::isnan(openMs) || std::isnan(stallMs) ? 1 : 0;
}

} // namespace quiltaro::bench
