// Random events on the real windows, some amid an animation, each followed by what must hold,
// while a second copy of the game holds the record now and then and its disk fills and frees.
#include "AnswerEntry.h"
#include "DesktopLocale.h"
#include "Generation.h"
#include "NumberText.h"
#include "RecordReading.h"
#include "RecordTroubles.h"
#include "Recorder.h"
#include "TalliedRecord.h"
#include "TestProgram.h"

#include <QtTest>

#include <cmath>
#include <optional>
#include <random>

using namespace quiltaro;
using test::Record;
using test::sameRound;
using test::Told;

class FuzzTest : public QObject {
    Q_OBJECT
    const qulonglong seed = qEnvironmentVariable("QUILTARO_FUZZ_SEED", "20261205").toULongLong();
    std::mt19937 rng{std::uint32_t(seed)};
    std::optional<test::TestProgram> t;
    QTemporaryDir records;
    std::optional<test::FillingDisk> disk; // after the folder it is mounted in: it goes first
    std::optional<test::LockHolder> holder;
    std::optional<Record> record;
    int roundsRecorded = 0;
    bool ended = false, inert = false, arrowClicked = false;
    int inertLeft = 0, programs = 0, roundsWon = 0, maxScore = 0, zooms = 0, giveUps = 0, ends = 0;
    QString amid;
    QStringList recent;

    std::uint32_t below(std::uint32_t n) { return rng() % n; }
    QList<QWidget*> windows() const { // those events may reach: the shown ones, or all once ended
        QList<QWidget*> list{t->program.welcome(), t->program.game(), t->program.farewell()};
        list.removeIf([this](QWidget* w) { return !w || !(ended || w->isVisible()); });
        return list;
    }
    QString key(QWidget* w, Qt::Key k, Qt::KeyboardModifiers mods = {}) {
        QTest::keyClick(w, k, mods);
        return QString("key %1 on %2").arg(QKeySequence(k | mods).toString(), w->objectName());
    }
    QString click(QWidget* c) { // hidden controls included: those must change nothing
        const bool hidden = !c->isVisible();
        inert = inert || (hidden && !t->program.gate().busy());
        arrowClicked = arrowClicked || (!hidden && c->window() == t->program.farewell() &&
                                        c->objectName() == "flèche");
        QTest::mouseClick(c, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        return "click " + c->window()->objectName() + '/' + c->metaObject()->className() + ' ' +
               c->objectName() + (hidden ? " (hidden)" : "");
    }

    QString act(std::uint32_t r) { // r of 100: the smart move, a key, a click or a window switch
        QWidget* w = windows()[below(windows().size())];
        QWidget* active = windows().contains(qApp->activeWindow()) ? qApp->activeWindow() : w;
        if (GameWindow* g = t->game(); r < 22) { // the red value or a guess narrowing the brackets
            if (!g || !g->isVisible())
                return click(w == t->program.welcome() ? w->findChild<QWidget*>("Commande2") : w);
            if (modeOf(*g) != Mode::Answering)
                return key(g, below(2) ? Qt::Key_Return : Qt::Key_Right);
            if (g->isShown(Image::Loupe) && below(3) == 0)
                return click(g->findChild<QWidget*>("Loupe"));
            const RoundState& s = t->state();
            const double grid = bandFor(s.score).grid; // near the red value, now and then outside
            const double near = s.redValue + (s.highBound - s.lowBound) * (below(401) / 1e3 - 0.2);
            const double value = below(2) ? s.redValue : std::floor(near * grid) / grid;
            const QString text =
                QString::fromStdString(shortestDecimal(value)).replace('.', ",."[below(2)]);
            QTest::keyClicks(g, QString(s.typedAnswer.size(), '\b') + text + '\r');
            return "type " + text + " and Return on Quiltaro";
        }
        if (r < 70) { // digits and Return most, to the active window mostly; Right with modifiers
            static constexpr Qt::Key keys[] = {
                Qt::Key_Return, Qt::Key_Return, Qt::Key_Backspace, Qt::Key_Escape, Qt::Key_Space,
                Qt::Key_Comma,  Qt::Key_Period, Qt::Key_A,         Qt::Key_Q,      Qt::Key_F1,
                Qt::Key_Shift,  Qt::Key_Right,  Qt::Key_Right};
            const std::uint32_t n = below(22);
            const Qt::Key k = n < 9 ? Qt::Key(Qt::Key_0 + below(10)) : keys[n - 9];
            return key(below(5) ? active : w, k,
                       Qt::KeyboardModifiers(k == Qt::Key_Right ? below(16) << 25 : 0));
        }
        if (r < 88) { // the farewell arrow ends everything: most games are let run to ten points
            const QList<QWidget*> controls = w->findChildren<QWidget*>() << w;
            QWidget* c = controls[below(controls.size())];
            return click(c->objectName() == "flèche" && w == t->program.farewell() && below(4) ? w
                                                                                               : c);
        }
        if (r < 89 && !ended) // through the window system
            return w->close(), "close " + w->objectName();
        if (r < 90) { // F11, or any size the window system gives, tiny to huge
            if (below(3) == 0)
                return key(w, Qt::Key_F11);
            const QSize size(int(below(2400)) + 1, int(below(1400)) + 1);
            w->resize(size);
            return QString("resize %1 to %2 x %3")
                .arg(w->objectName())
                .arg(size.width())
                .arg(size.height());
        }
        const bool away = r < 93 && !t->program.gate().busy(); // to another program and back
        if (away)
            w = active, QApplication::setActiveWindow(nullptr), test::TestProgram::settle();
        w->activateWindow(), QApplication::setActiveWindow(w);
        return (away ? "away to another program and back to " : "activate ") + w->objectName();
    }

    // Now and then the second copy holds the record a moment, or the disk
    // fills (once the game took its room) or is freed.
    void trouble() {
        const QString path = record->store.path();
        if (below(250) == 0 && QFileInfo::exists(path) && holder->hold(path, 20 + below(230)))
            record->troubled = true;
        if (disk->mounted() && below(300) == 0) {
            if (disk->full())
                disk->free();
            else if (!keptAsideFiles(path).isEmpty())
                disk->fill(), record->troubled = true;
        }
    }

    // The record of the program that just went holds exactly the rounds that
    // ended, each once, as the rules told them: in the record, or kept
    // beside it when the record was held or the disk full as it ended.
    void checkRecord() {
        if (!record)
            return;
        const QString path = record->store.path();
        const std::vector<RoundRecord> expected = record->tally.ended;
        const bool troubled = record->troubled;
        // Each round tried once; a record in trouble may wait a second for
        // its next try: the end keeps aside what is not in.
        if (!troubled)
            record->recorder.waiting();
        const std::shared_ptr<const Told> told = record->told;
        record.reset(); // the writer ends, and tells what it could not write
        const QStringList& problems = told->texts;
        const std::set<Problem>& kinds = told->kinds;
        const RecordContents read = readRecord(path);
        holder->release();
        const std::set<Problem> delays{Problem::Locked, Problem::DiskFull, Problem::Other};
        QVERIFY2(problems.isEmpty() || (troubled && std::ranges::includes(delays, kinds)),
                 qPrintable(problems.join('\n')));
        QCOMPARE(int(read.state),
                 int(expected.empty() ? read.state : RecordContents::State::Whole));
        std::vector<RoundRecord> left = read.rounds;
        for (size_t i = 0; i < expected.size(); ++i) {
            const auto found = std::ranges::find_if(
                left, [&](const RoundRecord& r) { return sameRound(r, expected[i]); });
            QVERIFY2(found != left.end(),
                     qPrintable(QString("round %1 of program %2 (%3 ended, %4 read, %5 aside): %6")
                                    .arg(i + 1)
                                    .arg(programs)
                                    .arg(expected.size())
                                    .arg(read.rounds.size())
                                    .arg(keptAsideFiles(path).size())
                                    .arg(problems.join('\n'))));
            left.erase(found);
        }
        QCOMPARE(left.size(), size_t(0));
        const QDir folder = QFileInfo(path).dir();
        for (const QString& aside : folder.entryList({"*.attente-*"}))
            QVERIFY2(troubled && QFile::remove(folder.filePath(aside)), qPrintable(aside));
        roundsRecorded += int(expected.size());
        for (const char* suffix : {"", "-wal", "-shm"})
            QFile::remove(path + suffix);
    }

    QString snapshot() { // what may not change once the program has ended, nor at a hidden click
        const RoundState& s = t->state();
        return QString::asprintf(
            "score %d try %d typed '%s' point %d red %g rounds %d waits %d ends %d farewell %d",
            s.score, s.tryNumber, s.typedAnswer.c_str(), s.pointTyped, double(s.redValue),
            t->random.generations, t->clock.sleeps(), t->endCount, !!t->program.farewell());
    }

    void step(qulonglong number) { // one event, then what must hold
        if (!t || (ended && inertLeft-- == 0) || windows().isEmpty()) {
            t.reset(), test::TestProgram::settle();
            if (checkRecord(); QTest::currentTestFailed())
                return;
            t.emplace(), ended = false;
            disk->free(); // a game begins where it can take its room
            record.emplace(QString("%1/program-%2.sqlite")
                               .arg(disk->mounted() ? records.filePath("disque") : records.path())
                               .arg(programs + 1));
            t->program.setRoundObserver(record->tally);
            t->clock.onSleep = [this](Clock::Duration d) { // input amid an animation waits its turn
                zooms += d >= std::chrono::milliseconds(500); // only the zoom pauses last that long
                if (below(300) == 0 && !windows().isEmpty())
                    amid += " [amid it: " + act(22 + below(78)) + "]";
            };
            recent << QString("-- program %1 starts").arg(++programs);
        }
        trouble();
        const QString before = snapshot();
        const bool wasPlaying = t->game() && modeOf(*t->game()) != Mode::RoundOver;
        inert = ended, arrowClicked = false, amid.clear();
        recent << QString("#%1 ").arg(number) + act(below(100));
        test::TestProgram::settle(), recent.last() += amid;
        recent = recent.mid(std::max<qsizetype>(recent.size() - 100, 0));
        QCOMPARE(inert ? snapshot() : before, before); // nothing may react
        const RoundState& s = t->state();
        if (wasPlaying && t->game() && modeOf(*t->game()) == Mode::RoundOver)
            ++(s.typedAnswer.empty() ? giveUps : roundsWon);
        maxScore = std::max<int>(maxScore, s.score);
        if (!ended && (arrowClicked || t->endCount > 0)) {
            ended = true, inertLeft = int(below(4)), ++ends;
            QCOMPARE(t->endCount, 1);
            QVERIFY(t->program.gate().ended() &&
                    !std::ranges::any_of(windows(), &QWidget::isVisible));
        }
        const std::string& a = s.typedAnswer;
        const auto points = std::count(a.begin(), a.end(), '.');
        GameWindow* g = ended ? nullptr : t->game();
        QVERIFY(s.score >= 0 && s.score <= RoundState::maxScore);
        QVERIFY(std::isfinite(s.lowX + s.highX + s.redX + s.lineY + s.lowBound + s.highBound));
        QVERIFY(a.size() <= RoundState::maxAnswerLength && points <= 1 && a.find('.') != 0);
        QVERIFY(a.find_first_not_of("0123456789.") == std::string::npos);
        QVERIFY(t->program.gate().deepestNesting() <= 1); // no reaction inside another
        QVERIFY(!g || !g->isShown(Image::Arret) || g->isShown(Image::Fleche));
        QVERIFY(!g || g->isShown(Image::Fleche) ||
                (s.pointTyped == points && s.shownAnswer == withDecimalComma(a)));
        QVERIFY(!g || !t->random.generations || // from the first round on, kept on the blank window
                (s.lowBound <= s.redValue && s.redValue <= s.highBound && s.lowX <= s.redX &&
                 s.redX <= s.highX));
    }

private slots:
    void initTestCase() {
        QUILTARO_ADOPT_DESKTOP_LOCALE();
        QVERIFY(records.isValid());
        holder.emplace(QCoreApplication::applicationFilePath());
        disk.emplace(records.filePath("disque"));
        if (!disk->mounted())
            qInfo("no small tmpfs without root: the disk never fills");
    }
    void randomEventsKeepTheGameConsistent() {
        const auto events = qEnvironmentVariable("QUILTARO_FUZZ_EVENTS", "50000").toULongLong();
        static QtMessageHandler previous = qInstallMessageHandler( // QTest's noise at each click
            [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
                if (!message.contains(QLatin1String("not accepted by receiving widget")))
                    previous(type, context, message);
            });
        for (qulonglong i = 1; i <= events + 1; ++i) {
            if (i > events) // the last program's record too
                t.reset(), checkRecord();
            else
                step(i);
            if (QTest::currentTestFailed())
                return qInfo("%s\nreplay: QUILTARO_FUZZ_SEED=%llu QUILTARO_FUZZ_EVENTS=%llu",
                             qPrintable(recent.join('\n')), seed, i);
        }
        qInfo("seed %llu: %llu events, %d programs, %d rounds won, max score %d, %d zooms, %d "
              "give-ups, %d farewell ends, %d rounds recorded, %d holds, %d full disks",
              seed, events, programs, roundsWon, maxScore, zooms, giveUps, ends, roundsRecorded,
              holder->holds(), disk->fills());
        QVERIFY(events < 50000 || (maxScore == RoundState::maxScore && ends > 0)); // whole games
    }
};

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--holder") {
        QCoreApplication app(argc, argv);
        return test::holderCopy();
    }
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    FuzzTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "test_fuzz.moc"
