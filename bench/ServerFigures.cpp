#include "ServerFigures.h"

#include "AnimationFigures.h"
#include "BenchSupport.h"
#include "ClassRecord.h"
#include "LiveGame.h"
#include "PgServer.h"
#include "PupilFigures.h"
#include "RecordStore.h"
#include "Recorder.h"
#include "ServerConnection.h"
#include "ServerRounds.h"
#include "ServerSchema.h"
#include "ServerSender.h"
#include "YearFigures.h"

#include <QApplication>

#include <QTemporaryDir>
#include <cmath>

#include <atomic>
#include <cstdio>
#include <optional>
#include <thread>

namespace quiltaro::bench {

namespace {

RoundRecord sampleRound(const QString& game, int n) {
    RoundRecord r;
    r.gameToken = game;
    r.pupil = QStringLiteral("Élève");
    r.gameStarted = QDateTime::currentDateTime();
    r.started = r.gameStarted.addMSecs(1000 * n);
    r.ended = r.started.addMSecs(900);
    r.scoreBefore = 2, r.scoreAfter = 4;
    r.lowBound = 0, r.highBound = 1000, r.redValue = 371;
    for (const char* g : {"500", "250", "375", "312", "343", "359", "367"})
        r.guesses.push_back({g, Verdict::TooHigh});
    r.guesses.push_back({"371", Verdict::Right});
    r.ending = Ending::Won;
    return r;
}

double medianSendMs(const QString& conninfo) {
    ServerConnection server(conninfo);
    std::vector<double> ms;
    for (int i = 0; i < 300; ++i) {
        const RoundRecord r = sampleRound(QStringLiteral("envoi"), i);
        const auto start = Steady::now();
        if (!sendRound(server, r, QString()))
            return NAN;
        if (i >= 50) // the first open the connection and fill the caches
            ms.push_back(msSince(start));
    }
    return median(ms);
}

double burstPerSecond(const QString& conninfo, int clients, int each) {
    std::atomic<int> sent{0}, ready{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c)
        threads.emplace_back([&, c] {
            ServerConnection server(conninfo);
            const bool open = server.open();
            ++ready;
            while (!go)
                std::this_thread::yield();
            for (int i = 0; open && i < each; ++i)
                if (sendRound(server, sampleRound(QStringLiteral("rafale-%1").arg(c), i), {}))
                    ++sent;
        });
    while (ready < clients)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const auto start = Steady::now();
    go = true;
    for (std::thread& t : threads)
        t.join();
    const double seconds = msSince(start) / 1000;
    return sent == clients * each ? sent / seconds : NAN;
}

// A class's year and more: generated on the server itself.
bool fillClass(test::PgServer& pg, int rounds) {
    return pg
        .exec(
            QStringLiteral("INSERT INTO quiltaro.rounds (id, class_name, pupil, game_token,"
                           " game_started, started, ended, score_before, score_after, low_bound,"
                           " high_bound, red_value, ending, answers, verdicts)"
                           " SELECT gen_random_uuid(), 'CM1', 'Élève ' || (i % 30),"
                           " 'partie-' || (i / 12), t, t, t + interval '40 s', i % 10, i % 10 + 1,"
                           " 0, 1000, 371, 'won', '{500,250,375,312,371}',"
                           " '{too_high,too_low,too_high,too_low,right}'"
                           " FROM generate_series(1, %1) i,"
                           " LATERAL (SELECT now() - interval '1 minute' * (%1 - i) AS t) x")
                .arg(rounds),
            QStringLiteral("admin"), QStringLiteral("classe"))
        .isEmpty();
}

// The sweeps while a pupil's rounds end every 100 ms, are written in the
// record and, with a connection string, sent to the server, on their own
// threads. The sweeps' wall times are added to `walls`.
void sweepsWhileSending(LiveGame& live, const QString& conninfo, const QString& record,
                        std::vector<double>& walls) {
    ProblemReport report{[](const QString&) {}};
    RecordStore store(record, report);
    std::optional<ServerSender> sender;
    if (!conninfo.isEmpty())
        sender.emplace(ServerSettings{conninfo, {}, {}}, QStringList{record},
                       [](const QString&) {});
    Recorder recorder(store);
    recorder.whenWritten([&sender](const QString& path) {
        if (sender)
            sender->roundWritten(path);
    });
    std::atomic<bool> playing{true};
    std::thread pupil([&] {
        RoundState s;
        s.lowBound = 0, s.highBound = 1000, s.redValue = 500;
        while (playing) {
            recorder.roundGenerated(s);
            recorder.guessJudged(s, "250", Verdict::TooLow);
            recorder.guessJudged(s, "500", Verdict::Right);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    const Animations a = measureAnimations(live);
    playing = false;
    pupil.join();
    recorder.programEnding();
    if (sender)
        sender->finish(std::chrono::milliseconds(0));
    walls.insert(walls.end(), a.sweep.walls.begin(), a.sweep.walls.end());
}

} // namespace

ServerFigures measureServer(LiveGame& live, int classRounds) {
    ServerFigures f;
    test::PgServer pg;
    if (!pg.ok()) {
        std::fprintf(stderr, "server: %s\n", qPrintable(pg.error()));
        return f;
    }
    bool changed = false;
    QString problem;
    pg.exec(QStringLiteral("CREATE DATABASE classe"));
    {
        ServerConnection owner(pg.conninfo(QStringLiteral("admin"), QStringLiteral("classe")));
        if (!setUpServerSchema(owner, changed, problem))
            return f;
    }
    pg.exec({QStringLiteral("CREATE ROLE poste LOGIN IN ROLE quiltaro_eleve"),
             QStringLiteral("CREATE ROLE prof LOGIN IN ROLE quiltaro_enseignant")});
    // The computer's role sends for the class of a server of one class.
    pg.exec(QStringLiteral("INSERT INTO quiltaro.computers VALUES ('poste', '')"),
            QStringLiteral("admin"), QStringLiteral("classe"));
    const QString pupil = pg.conninfo(QStringLiteral("poste"), QStringLiteral("classe"));
    const QString teacher = pg.conninfo(QStringLiteral("prof"), QStringLiteral("classe"));

    std::fprintf(stderr, "server: one round sent...\n");
    f.sendMs = medianSendMs(pupil);
    std::fprintf(stderr, "server: 50 computers at once...\n");
    f.burstPerSecond = burstPerSecond(pupil, 50, 100);

    std::fprintf(stderr, "server: the sweep, rounds sent meanwhile, server up then stopped...\n");
    // In turns, so that what else the machine does weighs on all three alike.
    QTemporaryDir records;
    std::vector<double> alone, up, stopped;
    for (int turn = 0; turn < 3; ++turn) {
        const QString n = QString::number(turn);
        sweepsWhileSending(live, {}, records.filePath("alone" + n), alone);
        sweepsWhileSending(live, pupil, records.filePath("up" + n), up);
        pg.pause();
        sweepsWhileSending(live, pupil, records.filePath("stopped" + n), stopped);
        pg.resume();
    }
    const double nominal = Animations{}.sweep.nominal;
    f.sweepRatioAlone = median(alone) / nominal;
    f.sweepRatioUp = median(up) / nominal;
    f.sweepRatioStopped = median(stopped) / nominal;

    std::fprintf(stderr, "server: %d rounds for the class view...\n", classRounds);
    pg.exec(QStringLiteral("TRUNCATE quiltaro.rounds"), QStringLiteral("admin"),
            QStringLiteral("classe"));
    if (!fillClass(pg, classRounds))
        return f;
    pg.exec(QStringLiteral("VACUUM ANALYZE quiltaro.rounds"), QStringLiteral("admin"),
            QStringLiteral("classe"));
    ServerConnection view(teacher, {3, 600000, 610000});
    const auto start = Steady::now();
    const ServerRounds read = readServerRounds(view, QStringLiteral("CM1"));
    f.classReadMs = msSince(start);
    if (!read.ok || read.rounds.size() != size_t(classRounds))
        f.classReadMs = NAN;
    const auto summed = Steady::now();
    // The class table's figures, as the view computes them.
    const ClassRecord data = classOfRounds(read.rounds);
    size_t played = 0;
    for (const PupilRounds& pupil : data.pupils)
        played += static_cast<size_t>(figuresOf(pupil, QDateTime::currentDateTime()).roundsPlayed);
    std::fprintf(stderr, "server: read in %.0f ms, summed in %.0f ms (%zu rounds played)\n",
                 f.classReadMs, msSince(summed), played);
    f.ok = true;
    return f;
}

int serverOnly(int argc, char** argv, const std::string& game) {
    QApplication app(argc, argv);
    LiveGame live;
    const ServerFigures f = measureServer(live);
    std::fprintf(stderr, "server: the results window on a school's year...\n");
    const double yearMs = measureServerYearOpen(game);
    std::printf("server_send_ms %.3f ms\n", f.sendMs);
    std::printf("server_burst_rounds_per_s %.0f rounds/s\n", f.burstPerSecond);
    std::printf("sweep_ratio_no_server %.4f ratio\n", f.sweepRatioAlone);
    std::printf("sweep_ratio_server_up %.4f ratio\n", f.sweepRatioUp);
    std::printf("sweep_ratio_server_stopped %.4f ratio\n", f.sweepRatioStopped);
    std::printf("class_read_1m_ms %.0f ms\n", f.classReadMs);
    std::printf("results_open_server_ms %.1f ms\n", yearMs);
    return f.ok && !std::isnan(yearMs) ? 0 : 1;
}

} // namespace quiltaro::bench
