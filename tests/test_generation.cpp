// Drawing a round: bands, bounds, red value, its place on the line and its text.
#include "Generation.h"
#include "ScriptedSource.h"
#include "VirtualClock.h"

#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string_view>
#include <thread>

using namespace quiltaro;
using quiltaro::test::ScriptedSource;
using quiltaro::test::VirtualClock;

namespace {

const float justBelowOne = 1.0f - 0x1p-24f;

// The first rule a round breaks, or nullptr. Allocates nothing, so that it
// can look at millions of rounds.
const char* brokenRule(const RoundState& s, int score) {
    const double low = s.lowBound, high = s.highBound;
    if (low != std::floor(low) || high != std::floor(high))
        return "bounds are not whole";
    if (!(low < high))
        return "empty interval handed to the pupil";
    const bool bandOk =
        score == 0   ? low == 0 && high == 1000
        : score <= 2 ? low >= 0 && low <= 499 && high >= 99 && high <= 948 && high - low >= 50
        : score <= 6 ? low >= 0 && low <= 49 && high >= 9 && high <= 93 && high - low >= 5
                     : low >= 0 && low <= 4 && high <= 8;
    if (!bandOk)
        return "bounds outside the score's band";

    // In grid steps, in integers: the red value must have been rounded down
    // from [low + S/10, low + 9S/10), and be stored as the nearest float.
    const int decimals = score <= 2 ? 0 : score <= 6 ? 1 : 2;
    const std::int64_t grid = decimals == 0 ? 1 : decimals == 1 ? 10 : 100;
    const std::int64_t steps = std::llround(double(s.redValue) * grid);
    if (static_cast<float>(double(steps) / grid) != s.redValue)
        return "red value is not on its grid";
    const std::int64_t lowSteps = std::int64_t(low) * grid, width = std::int64_t(high - low) * grid;
    if (steps < lowSteps + width / 10 || 10 * steps >= 10 * lowSteps + 9 * width)
        return "red value outside the middle eight tenths";

    // The text: a space, digits, a '.' only before at most `decimals` digits
    // that do not end in 0, and it reads back as the red value.
    const std::string& t = s.solutionText;
    if (t.size() < 2 || t[0] != ' ')
        return "solution text lacks its leading space";
    std::int64_t digits = 0;
    int after = -1;
    for (char c : std::string_view(t).substr(1)) {
        if (c == '.' && after < 0) {
            after = 0;
        } else if (c >= '0' && c <= '9') {
            digits = digits * 10 + (c - '0');
            if (after >= 0)
                ++after;
        } else {
            return "stray character in the solution text";
        }
    }
    if (after == 0 || after > decimals || (after > 0 && t.back() == '0'))
        return "solution text is not the shortest form on the grid";
    for (int i = std::max(after, 0); i < decimals; ++i)
        digits *= 10;
    if (digits != steps)
        return "solution text is not the red value";

    if (s.scaleLow != low || s.scaleHigh != high || s.lowX != 50 || s.highX != 430)
        return "scale or brackets not reset";
    const double exactX = 50 + (double(s.redValue) - low) * 380 / (high - low);
    if (s.redX != std::floor(s.redX) || std::fabs(s.redX - exactX) > 0.5 || s.redX <= 50 ||
        s.redX >= 430)
        return "red mark misplaced";
    return nullptr;
}

// The draws of SeededUniformSource without its re-seeding, which costs far
// more than a round: for runs of millions of rounds.
class ContinuingSource final : public UniformSource {
public:
    explicit ContinuingSource(std::uint64_t seed) : engine_(seed) {}
    void seed(std::uint64_t) override {}
    float next() override { return static_cast<float>(engine_() >> 40) * 0x1p-24f; }

private:
    std::mt19937_64 engine_;
};

RoundState generated(int score, UniformSource& source) {
    VirtualClock clock;
    RoundState s;
    s.score = static_cast<std::int16_t>(score);
    s.lowX = 200; // left over from the previous round's sweeps
    s.highX = 260;
    generateRound(s, source, clock);
    return s;
}

// Rounds at the scores first..last in turn, the clock moving on between
// them; failures are counted, to be compared once.
struct Tally {
    int first, last;
    long long failures = 0;
    const char* firstFailure = "";

    void run(UniformSource& source, VirtualClock& clock, int rounds) {
        RoundState s;
        for (int round = 0; round < rounds; ++round) {
            const int score = first + round % (last - first + 1);
            s.score = static_cast<std::int16_t>(score);
            generateRound(s, source, clock);
            clock.advance(std::chrono::nanoseconds(1));
            if (const char* broken = brokenRule(s, score); broken && !failures++)
                firstFailure = broken;
        }
    }
    QString report() const {
        return QString("scores %1..%2: %3 failures, first: %4")
            .arg(first)
            .arg(last)
            .arg(failures)
            .arg(firstFailure);
    }
};

} // namespace

class GenerationTest : public QObject {
    Q_OBJECT

private slots:
    void reseedsFromClockEveryRound() {
        VirtualClock clock;
        clock.setSeedOffset(77);
        ScriptedSource scripted;
        RoundState s;
        generateRound(s, scripted, clock);
        clock.advance(std::chrono::nanoseconds(5));
        generateRound(s, scripted, clock);
        QCOMPARE(scripted.seeds, (std::vector<std::uint64_t>{77, 82}));
        QCOMPARE(scripted.draws, 6); // score 0 still draws r1 and r2

        // Same time, same round, whatever the source did in between.
        SeededUniformSource real;
        s.score = 4;
        generateRound(s, real, clock);
        const RoundState first = s;
        real.next();
        generateRound(s, real, clock);
        QCOMPARE(s.redValue, first.redValue);
        QCOMPARE(s.highBound, first.highBound);
    }

    void knownDraws_data() {
        QTest::addColumn<int>("score");
        QTest::addColumn<QList<float>>("draws");
        QTest::addColumn<QString>("interval");
        QTest::addColumn<double>("redX");
        QTest::addColumn<QString>("text"); // with brokenRule, pins the red value
        using D = QList<float>;
        const float one = justBelowOne, r12 = std::nextafter(12.0f / 50, 1.0f); // low 12 at 3..6
        // clang-format off
        // Score 0: 116.5 on the line, and halfway goes right.
        QTest::newRow("0")       << 0 << D{0.9f, 0.9f, 0.09375f} << "0..1000"  << 117.0 << " 175";
        QTest::newRow("1")       << 1 << D{0.3f, 0.6f, 0.7f}     << "150..642" << 300.0 << " 474";
        QTest::newRow("2, top")  << 2 << D{one, one, 0}          << "499..948" << 87.0  << " 543";
        QTest::newRow("2, r2 0") << 2 << D{one, 0, 0}            << "499..549" << 88.0  << " 504";
        QTest::newRow("5, r3 0") << 5 << D{r12, 0.28f, 0}        << "12..40"   << 88.0  << " 14.8";
        QTest::newRow("5, top")  << 5 << D{r12, 0.28f, one}      << "12..40"   << 391.0 << " 37.1";
        QTest::newRow("8")       << 8 << D{0.7f, 0.25f, 0.4625f} << "3..4"     << 229.0 << " 3.47";
        QTest::newRow("9")       << 9 << D{0.5f, 0.5f, 0.3f}     << "2..5"     << 179.0 << " 3.02";
        // clang-format on
    }
    void knownDraws() {
        QFETCH(int, score);
        QFETCH(QList<float>, draws);
        ScriptedSource source({draws.begin(), draws.end()}, 0.5f);
        const RoundState s = generated(score, source);
        QCOMPARE(source.draws, 3);
        QTEST(QString("%1..%2").arg(s.lowBound).arg(s.highBound), "interval");
        QTEST(s.redX, "redX");
        QTEST(QString::fromStdString(s.solutionText), "text");
        const char* broken = brokenRule(s, score);
        QVERIFY2(!broken, broken);
    }

    void emptyIntervalIsDrawnAgain() {
        // Top band, r1 = 0: r2 = 0 gives 0..0, so r2 is drawn again.
        ScriptedSource once({0, 0, 0.5f, 0.5f});
        const RoundState s = generated(7, once);
        QCOMPARE(once.draws, 4);
        QCOMPARE(s.highBound, 4.0);
        QCOMPARE(s.redValue, 2.0f);
    }

    void everyRuleHolds_data() {
        QTest::addColumn<int>("score");
        for (int score = 0; score <= 10; ++score)
            QTest::addRow("score %d", score) << score;
    }
    void everyRuleHolds() {
        QFETCH(int, score);
        // Extreme draws, including a source stuck at 0 that must not hang.
        for (int combo = 0; combo < 8; ++combo) {
            std::vector<float> draws{0, 0, 0};
            for (int i = 0; i < 3; ++i)
                draws[i] = combo & (1 << i) ? justBelowOne : 0.0f;
            ScriptedSource source(draws, draws.back());
            const char* broken = brokenRule(generated(score, source), score);
            QVERIFY2(!broken, qPrintable(QString("draws %1: %2").arg(combo).arg(broken)));
            QVERIFY(source.draws < 1000);
        }
        // Seeded rounds, a new seed from the clock each time.
        Tally tally{score, score};
        for (std::uint64_t offset : {std::uint64_t{1}, std::uint64_t{0x9e3779b97f4a7c15}}) {
            VirtualClock clock;
            clock.setSeedOffset(offset + std::uint64_t(score) * 1000003);
            SeededUniformSource source;
            tally.run(source, clock, 10000);
        }
        QVERIFY2(tally.failures == 0, qPrintable(tally.report()));
    }

    // Ten million rounds per band, a thread per band.
    void tenMillionRoundsPerBand() {
        Tally bands[] = {{0, 2}, {3, 6}, {7, 10}};
        auto run = [](Tally& band) {
            VirtualClock clock;
            ContinuingSource source(std::uint64_t(band.first));
            band.run(source, clock, 10'000'000);
        };
        std::thread helpers[] = {std::thread(run, std::ref(bands[1])),
                                 std::thread(run, std::ref(bands[2]))};
        run(bands[0]);
        for (auto& helper : helpers)
            helper.join();
        for (const Tally& band : bands)
            QVERIFY2(band.failures == 0, qPrintable(band.report()));
    }
};

QTEST_APPLESS_MAIN(GenerationTest)
#include "test_generation.moc"
