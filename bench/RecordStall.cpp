#include "RecordStall.h"

#include "RecordStore.h"
#include "Recorder.h"
#include "SampleRecord.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

namespace quiltaro {

namespace {

// The schema version another reader sees: 2 once the migration committed.
int versionSeen(const QString& path) {
    int version = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "stall-version");
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        QSqlQuery q(db);
        if (db.open() && q.exec(QStringLiteral("PRAGMA user_version")) && q.next())
            version = q.value(0).toInt();
    }
    QSqlDatabase::removeDatabase("stall-version");
    return version;
}

} // namespace

double measureRecordStall(const QString& folder, int games) {
    using Steady = std::chrono::steady_clock;
    const QString path = folder + QStringLiteral("/record.sqlite");
    if (!writeVersion1Record(path, games))
        return NAN;
    ProblemReport report;
    RecordStore store(path, report);
    Recorder recorder(store);
    RoundState s;
    s.lowBound = 0, s.highBound = 1000, s.redValue = 371;
    Steady::duration worst{};
    auto timed = [&](auto call) {
        const auto start = Steady::now();
        call();
        worst = std::max(worst, Steady::now() - start);
    };
    // A quick pupil: a round every 20 ms, all the migration long.
    const auto start = Steady::now();
    int rounds = 0, after = -1;
    while (after < 20 && Steady::now() - start < std::chrono::minutes(5)) {
        timed([&] { recorder.roundGenerated(s); });
        timed([&] { recorder.guessJudged(s, "500", Verdict::TooHigh); });
        timed([&] { recorder.guessJudged(s, "371", Verdict::Right); });
        ++rounds;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (after >= 0)
            ++after;
        else if (rounds % 25 == 0 && versionSeen(path) == RecordStore::schemaVersion)
            after = 0;
    }
    const double migrationS = std::chrono::duration<double>(Steady::now() - start).count();
    // The end waits for the record on purpose, once the windows are gone: not
    // a stall of the game.
    recorder.programEnding();
    std::fprintf(stderr, "record stall: %d games migrated while %d rounds were played, %.1f s\n",
                 games, rounds, migrationS);
    return std::chrono::duration<double, std::milli>(worst).count();
}

} // namespace quiltaro
