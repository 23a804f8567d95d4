// Drawing a round: bands, bounds, red value, its place on the line and its text.
#include "DesktopLocale.h"
#include "Generation.h"
#include "ScriptedSource.h"
#include "VirtualClock.h"

#include <QTest>

#include <array>
#include <charconv>
#include <cmath>
#include <thread>

using namespace quiltaro;

// The band a round at `score` is drawn from, as the rules list them: 0 is the first round of
// a game on whole numbers (0..1000), then whole numbers, tenths, hundredths.
static int bandIndex(int score, NumberKind kind) {
    return score == 0 && kind == NumberKind::Whole ? 0 : int(kind) + 1;
}
static int bandIndex(int score) {
    return score == 0 ? 0 : score <= 2 ? 1 : score <= 6 ? 2 : 3;
}

// The first rule that a round of band `b` breaks, or nullptr; allocates nothing, for millions.
static const char* broken(const RoundState& s, int b) {
    const double lows[] = {0, 499, 49, 4}, highs[] = {1000, 948, 93, 8}, gaps[] = {1000, 50, 5, 1};
    const double low = s.lowBound, high = s.highBound;
    if (low != std::floor(low) || high != std::floor(high) || low < 0 || low > lows[b] ||
        high > highs[b] || high - low < gaps[b])
        return "bounds not whole, or outside the band";
    // In grid steps: stored as the nearest float, rounded down from the middle eight tenths.
    const long long grid = b < 2 ? 1 : b == 2 ? 10 : 100, from = std::llround(low) * grid;
    const long long red = std::llround(grid * s.redValue), width = std::llround(high) * grid - from;
    if (float(double(red) / grid) != s.redValue || red < from + width / 10 ||
        10 * red >= 10 * from + 9 * width)
        return "red value off its grid, or outside the middle eight tenths";
    if (s.redX != std::floor(s.redX) ||
        std::abs(2 * width * (s.redX - 50) - 760 * (red - from)) > width || s.lowX != 50 ||
        s.highX != 430 || s.scaleLow != low || s.scaleHigh != high)
        return "red mark not at 50 + 380 (red - low) / (high - low), or scale not reset";
    char text[32] = " ";
    *std::to_chars(text + 1, text + 31, double(red) / grid).ptr = '\0'; // the shortest form
    return s.solutionText == text ? nullptr : "solution text is not the red value";
}

// SeededUniformSource's draws without its re-seeding, which costs far more than a round; a
// draw before the round's seeding is NaN, which breaks the round.
struct Continuing final : UniformSource {
    std::mt19937_64 engine;
    bool seeded = false;
    void seed(std::uint64_t) override { seeded = true; }
    float next() override { return seeded ? float(engine() >> 40) * 0x1p-24f : NAN; }
};

class GenerationTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QUILTARO_ADOPT_DESKTOP_LOCALE(); }
    void rounds_data() {
        QTest::addColumn<int>("score");
        QTest::addColumn<QString>("level");      // empty: as the score alone gives
        QTest::addColumn<QList<float>>("draws"); // then 0 for ever
        QTest::addColumn<QString>("round");      // interval, text, x of the red mark
        const float top = 1.0f - 0x1p-24f, r12 = std::nextafter(12.0f / 50, 1.0f); // low 12 at 5
        QTest::newRow("5, r3 0") << 5 << "" << QList<float>{r12, 0.28f, 0} << "12..40 14.8 x88";
        QTest::newRow("5, r3 top")
            << 5 << "" << QList<float>{r12, 0.28f, top} << "12..40 37.1 x391";
        QTest::newRow("2, r1 top") << 2 << "" << QList<float>{top, top, 0} << "499..948 543 x87";
        QTest::newRow("0, r3 0") << 0 << "" << QList<float>{top, top, 0} << "0..1000 100 x88";
        QTest::newRow("0, r3 top") << 0 << "" << QList<float>{0, 0, top} << "0..1000 899 x392";
        QTest::newRow("0, half") << 0 << "" << QList<float>{0.9f, 0.9f, 0.09375f}
                                 << "0..1000 175 x117";
        QTest::newRow("7, r2 again")
            << 7 << "" << QList<float>{0, 0, 0.5f, 0.3f} << "0..4 1.36 x179";
        QTest::newRow("7, stuck at 0") << 7 << "" << QList<float>{} << "0..1 0.1 x88";
        // A class that starts at the tenths: its first round is an ordinary one of their band.
        QTest::newRow("0, tenths")
            << 0 << "dixiemes" << QList<float>{r12, 0.28f, top} << "12..40 37.1 x391";
        QTest::newRow("9, whole only")
            << 9 << "entiers" << QList<float>{top, top, 0} << "499..948 543 x87";
        QTest::newRow("1, hundredths")
            << 1 << "centiemes" << QList<float>{0, 0, 0.5f, 0.3f} << "0..4 1.36 x179";
    }
    void rounds() {
        QFETCH(int, score);
        QFETCH(QString, level);
        QFETCH(QList<float>, draws);
        test::ScriptedSource source({draws.begin(), draws.end()}, 0);
        test::VirtualClock clock;
        clock.setSeedOffset(77);
        RoundState s;
        s.score = std::int16_t(score), s.lowX = 200, s.highX = 260; // the last round's brackets
        if (!level.isEmpty())
            s.levels = parseLevel(level.toStdString()).value();
        generateRound(s, source, clock);
        QCOMPARE(source.seeds, std::vector<std::uint64_t>{77}); // once a round, from the clock
        const int b = bandIndex(score, s.kind);
        QVERIFY2(!broken(s, b), broken(s, b));
        QTEST(QString::asprintf("%g..%g%s x%g", s.lowBound, s.highBound, s.solutionText.c_str(),
                                s.redX),
              "round");
    }

    // Which band every score plays at for every setting, each drawn many times: the kind
    // noted in the state and the round drawn agree with what the teacher chose.
    void bandsAtEveryScoreForEverySetting_data() {
        QTest::addColumn<QString>("level");
        QTest::addColumn<QString>("kinds"); // at scores 0 to 10: Whole, Tenths, Hundredths
        QTest::newRow("default") << ""
                                 << "WWWTTTTHHHH";
        QTest::newRow("entiers-centiemes") << "entiers-centiemes"
                                           << "WWWTTTTHHHH";
        QTest::newRow("entiers") << "entiers"
                                 << "WWWWWWWWWWW";
        QTest::newRow("entiers-dixiemes") << "entiers-dixiemes"
                                          << "WWWTTTTTTTT";
        QTest::newRow("dixiemes") << "dixiemes"
                                  << "TTTTTTTHHHH";
        QTest::newRow("dixiemes-dixiemes") << "dixiemes-dixiemes"
                                           << "TTTTTTTTTTT";
        QTest::newRow("centiemes") << "centiemes"
                                   << "HHHHHHHHHHH";
    }
    void bandsAtEveryScoreForEverySetting() {
        QFETCH(QString, level);
        QFETCH(QString, kinds);
        Continuing source;
        test::VirtualClock clock;
        RoundState s;
        if (!level.isEmpty())
            s.levels = parseLevel(level.toStdString()).value();
        for (int score = 0; score <= 10; ++score)
            for (int round = 0; round < 20000; ++round, source.seeded = false) {
                s.score = std::int16_t(score);
                generateRound(s, source, clock);
                QCOMPARE(QChar("WTH"[int(s.kind)]), kinds[score]);
                const int b = bandIndex(score, s.kind);
                if (level.isEmpty()) // as the game always was
                    QCOMPARE(b, bandIndex(score));
                QVERIFY2(!broken(s, b),
                         qPrintable(QString("score %1: %2").arg(score).arg(broken(s, b))));
            }
    }

    void levelNames_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("read"); // lowest-highest as named back, or empty: refused
        QTest::addColumn<QString>("description");
        QTest::newRow("entiers") << "entiers"
                                 << "entiers"
                                 << "nombres entiers seulement";
        QTest::newRow("dixiemes") << "dixiemes"
                                  << "dixiemes"
                                  << "à partir des dixièmes";
        QTest::newRow("accents, case, spaces") << " Dixièmes "
                                               << "dixiemes"
                                               << "à partir des dixièmes";
        QTest::newRow("centiemes") << "centièmes"
                                   << "centiemes"
                                   << "centièmes seulement";
        QTest::newRow("range") << "entiers-dixiemes"
                               << "entiers-dixiemes"
                               << "des entiers aux dixièmes";
        QTest::newRow("one kind as a range") << "dixiemes-dixiemes"
                                             << "dixiemes-dixiemes"
                                             << "dixièmes seulement";
        QTest::newRow("same as a name") << "dixiemes-centiemes"
                                        << "dixiemes"
                                        << "à partir des dixièmes";
        QTest::newRow("default") << "entiers-centiemes"
                                 << "entiers-centiemes"
                                 << "selon le score (entiers, puis dixièmes, puis centièmes)";
        for (const char* wrong : {"", "dixieme", "decimaux", "centiemes-entiers", "entiers-",
                                  "-dixiemes", "entiers-dixiemes-centiemes", "entiers dixiemes"})
            QTest::newRow(wrong) << wrong << ""
                                 << "";
    }
    void levelNames() {
        QFETCH(QString, text);
        const std::optional<LevelRange> range = parseLevel(text.toStdString());
        QTEST(range ? QString::fromStdString(levelName(*range)) : QString(), "read");
        QTEST(range ? QString::fromStdString(levelDescription(*range)) : QString(), "description");
        if (range) // the name written is read back the same
            QCOMPARE(parseLevel(levelName(*range)), range);
    }

    void tenMillionRoundsPerBand() {
        const char* failures[3] = {};
        auto run = [&failures](int band) {
            Continuing source;
            test::VirtualClock clock;
            RoundState s;
            for (int round = 0; round < 1e7 && !failures[band]; ++round, source.seeded = false) {
                s.score = std::int16_t(band == 0 ? round % 3 : band * 4 - 1 + round % 4);
                generateRound(s, source, clock);
                failures[band] = broken(s, bandIndex(s.score));
            }
        };
        std::array{std::jthread(run, 0), std::jthread(run, 1), std::jthread(run, 2)}; // joined here
        QCOMPARE(QString(failures[0]) + failures[1] + failures[2], QString());
    }
};

QTEST_APPLESS_MAIN(GenerationTest)
#include "test_generation.moc"
