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

// The first rule that a round at `score` breaks, or nullptr; allocates nothing, for millions.
static const char* broken(const RoundState& s, int score) {
    const int b = score == 0 ? 0 : score <= 2 ? 1 : score <= 6 ? 2 : 3;
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
        QTest::addColumn<QList<float>>("draws"); // then 0 for ever
        QTest::addColumn<QString>("round");      // interval, text, x of the red mark
        const float top = 1.0f - 0x1p-24f, r12 = std::nextafter(12.0f / 50, 1.0f); // low 12 at 5
        QTest::newRow("5, r3 0") << 5 << QList<float>{r12, 0.28f, 0} << "12..40 14.8 x88";
        QTest::newRow("5, r3 top") << 5 << QList<float>{r12, 0.28f, top} << "12..40 37.1 x391";
        QTest::newRow("2, r1 top") << 2 << QList<float>{top, top, 0} << "499..948 543 x87";
        QTest::newRow("0, r3 0") << 0 << QList<float>{top, top, 0} << "0..1000 100 x88";
        QTest::newRow("0, r3 top") << 0 << QList<float>{0, 0, top} << "0..1000 899 x392";
        QTest::newRow("0, half") << 0 << QList<float>{0.9f, 0.9f, 0.09375f} << "0..1000 175 x117";
        QTest::newRow("7, r2 again") << 7 << QList<float>{0, 0, 0.5f, 0.3f} << "0..4 1.36 x179";
        QTest::newRow("7, stuck at 0") << 7 << QList<float>{} << "0..1 0.1 x88";
    }
    void rounds() {
        QFETCH(int, score);
        QFETCH(QList<float>, draws);
        test::ScriptedSource source({draws.begin(), draws.end()}, 0);
        test::VirtualClock clock;
        clock.setSeedOffset(77);
        RoundState s;
        s.score = std::int16_t(score), s.lowX = 200, s.highX = 260; // the last round's brackets
        generateRound(s, source, clock);
        QCOMPARE(source.seeds, std::vector<std::uint64_t>{77}); // once a round, from the clock
        QVERIFY2(!broken(s, score), broken(s, score));
        QTEST(QString::asprintf("%g..%g%s x%g", s.lowBound, s.highBound, s.solutionText.c_str(),
                                s.redX),
              "round");
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
                failures[band] = broken(s, s.score);
            }
        };
        std::array{std::jthread(run, 0), std::jthread(run, 1), std::jthread(run, 2)}; // joined here
        QCOMPARE(QString(failures[0]) + failures[1] + failures[2], QString());
    }
};

QTEST_APPLESS_MAIN(GenerationTest)
#include "test_generation.moc"
