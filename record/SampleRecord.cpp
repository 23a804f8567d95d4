#include "SampleRecord.h"

#include "Generation.h"
#include "Judging.h"
#include "SqliteConnection.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <random>

namespace quiltaro {

namespace {

// Generation reads the time only for its seed.
class SeedClock final : public Clock {
public:
    explicit SeedClock(std::mt19937_64& engine) : engine_(engine) {}
    TimePoint now() override { return {}; }
    void sleepUntil(TimePoint) override {}
    float secondsSinceMidnight() override { return 0; }
    std::uint64_t timeSeed() override { return engine_(); }

private:
    std::mt19937_64& engine_;
};

// Typed as a pupil types on any desktop, a French one included: the C
// library's printf would write a decimal comma there, which the judging
// does not read as a number.
std::string typed(double value, double grid) {
    const int decimals = grid >= 100 ? 2 : grid >= 10 ? 1 : 0;
    char text[32];
    const auto end =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return std::string(text, end.ptr);
}

} // namespace

std::vector<RoundRecord> sampleRecord(int games, const QDateTime& firstGame, std::uint64_t seed,
                                      double startSkill, double endSkill, int stuckFrom) {
    std::mt19937_64 engine(seed);
    std::uniform_real_distribution<double> uniform(0, 1);
    SeedClock clock(engine);
    SeededUniformSource random;
    std::vector<RoundRecord> rounds;
    QDateTime day = firstGame;
    while (day.date().dayOfWeek() >= 6)
        day = day.addDays(1);
    for (int game = 0; game < games; ++game) {
        const double skill =
            std::min(1.0, startSkill + (endSkill - startSkill) * game / std::max(1, games - 1)) *
            (0.85 + 0.15 * uniform(engine));
        // Two games a school day, one in the morning and one in the afternoon.
        if (game > 0 && game % 2 == 0) {
            day = day.addDays(1);
            while (day.date().dayOfWeek() >= 6)
                day = day.addDays(1);
        }
        QDateTime t = day.addSecs(game % 2 ? 5 * 3600 : 0)
                          .addSecs(static_cast<qint64>(uniform(engine) * 1800));
        const QString token = QStringLiteral("sample-%1").arg(game + 1);
        const QDateTime started = t;
        RoundState s;
        s.score = 0;
        const int patience = 6 + static_cast<int>(uniform(engine) * 10);
        for (int round = 0; round < patience && s.score < RoundState::maxScore; ++round) {
            generateRound(s, random, clock);
            RoundRecord r;
            r.gameToken = token;
            r.gameStarted = started;
            r.started = t;
            r.scoreBefore = s.score;
            r.lowBound = s.lowBound;
            r.highBound = s.highBound;
            r.redValue = s.redValue;
            const double grid = bandFor(s.score).grid;
            // A pupil stuck at a level plays there as a beginner does.
            const double here = s.score >= stuckFrom ? 0.05 : skill;
            double low = s.lowBound, high = s.highBound;
            r.ending = Ending::ProgramEnd;
            for (int tryNumber = 1; tryNumber < 40; ++tryNumber) {
                if (tryNumber > 6 && uniform(engine) < 0.06 * (1.2 - here)) {
                    r.ending = Ending::GaveUp;
                    s.score = 0;
                    break;
                }
                double guess;
                if (uniform(engine) < 0.12 * (1 - here)) {
                    guess =
                        high + std::max(1.0 / grid, std::floor((high - low) * 0.3 * grid) / grid);
                } else {
                    const double spread = 0.45 * (1 - here) + 0.05;
                    const double where = 0.5 + spread * (2 * uniform(engine) - 1);
                    guess = std::round((low + (high - low) * where) * grid) / grid;
                }
                const std::string answer = typed(guess, grid);
                const Verdict v = replayVerdicts(low, high, s.redValue, {answer}).front();
                r.guesses.push_back({answer, v});
                float g = 0;
                std::from_chars(answer.data(), answer.data() + answer.size(), g);
                if (v == Verdict::Outside) {
                    s.score = static_cast<std::int16_t>(std::max(0, s.score - 1));
                } else if (v == Verdict::TooHigh) {
                    high = g;
                } else if (v == Verdict::TooLow) {
                    low = g;
                } else {
                    if (tryNumber <= scoring::lastTryForOnePoint)
                        ++s.score;
                    if (tryNumber <= scoring::lastTryForTwoPoints)
                        ++s.score;
                    s.score = std::min<std::int16_t>(s.score, RoundState::maxScore);
                    r.ending = Ending::Won;
                    break;
                }
            }
            t = t.addSecs(15 + 7 * r.tries());
            r.ended = t;
            r.scoreAfter = s.score;
            rounds.push_back(std::move(r));
        }
    }
    return rounds;
}

std::vector<SamplePupil> sampleClass(int games, const QDateTime& firstGame, std::uint64_t seed) {
    struct Kind {
        const char* name;
        double share; // of the games
        double start, end;
    };
    const Kind kinds[] = {{"Chloé", 1.0, 0.2, 1.0},
                          {"Inès", 1.0, 0.0, 0.05},
                          {"Léo", 0.8, 0.1, 0.75},
                          {"Nathan", 1.0, 0.05, 0.5},
                          {"Zoé", 0.15, 0.3, 0.4}};
    std::vector<SamplePupil> pupils;
    for (const Kind& k : kinds) {
        const int played = std::max(1, static_cast<int>(games * k.share));
        // Those who played less started later.
        const QDateTime first = firstGame.addDays((games - played) / 2 * 7 / 5);
        SamplePupil p{QString::fromUtf8(k.name),
                      sampleRecord(played, first, seed++, k.start, k.end)};
        for (RoundRecord& r : p.rounds) {
            r.pupil = p.name;
            r.gameToken = p.name + QLatin1Char('-') + r.gameToken;
        }
        pupils.push_back(std::move(p));
    }
    return pupils;
}

bool writeVersion1Record(const QString& path, int games) {
    return withSqliteConnection(QStringLiteral("v1"), [&](QSqlDatabase& db) {
        db.setDatabaseName(path);
        bool ok = db.open();
        QSqlQuery q(db);
        // Round n belongs to game (n - 1) / 8 + 1; each was found at the third
        // guess (500 too high, 250 too low, 371), and the scores climb in twos.
        const QStringList statements = {
            "CREATE TABLE games (id INTEGER PRIMARY KEY, token TEXT NOT NULL UNIQUE,"
            " started_at INTEGER NOT NULL)",
            "CREATE TABLE rounds (id INTEGER PRIMARY KEY, game_id INTEGER NOT NULL"
            " REFERENCES games(id) ON DELETE CASCADE, started_at INTEGER NOT NULL,"
            " ended_at INTEGER NOT NULL, score_before INTEGER NOT NULL,"
            " score_after INTEGER NOT NULL, low_bound REAL NOT NULL, high_bound REAL NOT NULL,"
            " red_value REAL NOT NULL, tries INTEGER NOT NULL, points INTEGER NOT NULL,"
            " ending TEXT NOT NULL, guesses TEXT NOT NULL)",
            "BEGIN",
            QStringLiteral("WITH RECURSIVE g(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM g"
                           " WHERE n < %1) INSERT INTO games"
                           " SELECT n, 'v1-' || n, 1700000000000 + n * 3600000 FROM g")
                .arg(games),
            QStringLiteral("WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r"
                           " WHERE n < %1) INSERT INTO rounds"
                           " SELECT n, (n - 1) / 8 + 1, 1700000000000 + n * 60000,"
                           " 1700000000000 + n * 60000 + 45000, (n - 1) % 5 * 2,"
                           " (n - 1) % 5 * 2 + 2, 0, 1000, 371, 3, 2, 'won', '500 250 371'"
                           " FROM r")
                .arg(qint64(games) * 8),
            "COMMIT",
            "PRAGMA user_version = 1"};
        for (const QString& statement : statements)
            ok = ok && q.exec(statement);
        return ok;
    });
}

} // namespace quiltaro
