#pragma once

// What the record's suites share: rounds of known content, reports caught
// instead of printed, a look at a database from outside the store, and
// another copy of the game that holds the record.
#include "RecordStore.h"
#include "Recorder.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace quiltaro::test {

inline const QDateTime base(QDate(2026, 12, 1), QTime(9, 0), Qt::UTC);

// Everything the store reports, instead of standard error.
struct Reports {
    QStringList texts;
    ProblemReport report{[this](const QString& text) { texts << text; }};
};

inline RoundRecord round(const QString& token, int minute, int scoreBefore, int scoreAfter,
                         double low, double high, float red, std::vector<Guess> guesses,
                         Ending ending) {
    RoundRecord r;
    r.gameToken = token;
    r.gameStarted = base.addSecs(60 * (minute / 100 * 100));
    r.started = base.addSecs(60 * minute);
    r.ended = r.started.addSecs(45);
    r.scoreBefore = scoreBefore, r.scoreAfter = scoreAfter;
    r.lowBound = low, r.highBound = high, r.redValue = red;
    r.guesses = std::move(guesses);
    r.ending = ending;
    return r;
}

// Three rounds of two games, with a decimal red value, a give-up and a guess
// typed with leading zeros.
inline std::vector<RoundRecord> knownRounds() {
    return {
        round("a", 0, 0, 2, 0, 1000, 371, {{"500", Verdict::TooHigh}, {"371", Verdict::Right}},
              Ending::Won),
        round("a", 2, 2, 0, 120, 480, 300, {{"007", Verdict::Outside}}, Ending::GaveUp),
        round("b", 100, 3, 3, 12, 40, 37.1f,
              {{"30.5", Verdict::TooLow}, {"38", Verdict::TooHigh}, {"37.1", Verdict::Right}},
              Ending::Won),
    };
}

inline qint64 count(const QString& path, const QString& table) {
    const QString name = QStringLiteral("count-") + table;
    qint64 n = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(QStringLiteral("SELECT COUNT(*) FROM ") + table) && q.next())
                n = q.value(0).toLongLong();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return n;
}

inline void execAll(const QString& path, const QStringList& statements) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "exec");
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        for (const QString& s : statements)
            QVERIFY2(q.exec(s), qPrintable(s));
    }
    QSqlDatabase::removeDatabase("exec");
}

inline QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

using Steady = std::chrono::steady_clock;

// The time as a pupil's rounds see it: a pupil never ends two rounds in the
// same millisecond, though a test could.
QDateTime pupilsTime() {
    static std::atomic<int> calls{0};
    return QDateTime::currentDateTime().addMSecs(10 * calls++);
}

// A pupil's rounds, each won at the second guess; times how long each call
// into the record kept the game.
struct TimedPupil {
    Recorder& recorder;
    RoundState s;
    Steady::duration worst{};
    explicit TimedPupil(Recorder& r) : recorder(r) {
        s.lowBound = 0, s.highBound = 1000, s.redValue = 500;
    }
    template <typename Call> void timed(Call call) {
        const auto start = Steady::now();
        call();
        worst = std::max(worst, Steady::now() - start);
    }
    void playRound() {
        timed([&] { recorder.roundGenerated(s); });
        timed([&] { recorder.guessJudged(s, "250", Verdict::TooLow); });
        timed([&] { recorder.guessJudged(s, "500", Verdict::Right); });
    }
};

// Runs a program to its end: its exit code, -1 when it crashed or hung.
inline int run(const QString& program, const QStringList& arguments, QByteArray* output = nullptr) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    if (!p.waitForFinished(60000))
        return -1;
    if (output)
        *output = p.readAll();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// Another copy of the game in the middle of a write (a round, a new record
// made, a big record migrated): in the child process the suite starts with
// `--holding PATH MS`, holds the record's write lock for MS milliseconds
// once it has said so on its standard output.
// A filesystem mounted for one test, and unmounted whatever happens.
struct Mount {
    QString point;
    QStringList unmount;
    bool mounted = false;
    Mount(const QString& program, const QStringList& arguments, QString at, QStringList undo)
        : point(std::move(at)), unmount(std::move(undo)) {
        QDir().mkpath(point);
        mounted = run(program, arguments + QStringList{point}) == 0;
    }
    ~Mount() {
        if (mounted)
            run(unmount.first(), unmount.mid(1) + QStringList{point});
    }
};

inline int copyHoldingTheRecord(const QString& path, int ms) {
    int result = 1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "holding");
        db.setDatabaseName(path);
        QSqlQuery q(db);
        if (db.open() && q.exec("BEGIN IMMEDIATE")) {
            std::fputs("held\n", stdout);
            std::fflush(stdout);
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            result = q.exec("ROLLBACK") ? 0 : 1;
        }
    }
    QSqlDatabase::removeDatabase("holding");
    return result;
}

// Starts that copy, and returns once it holds the record.
inline bool anotherCopyHolds(QProcess& other, const QString& path, int ms) {
    other.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    other.start(QCoreApplication::applicationFilePath(), {"--holding", path, QString::number(ms)});
    return other.waitForReadyRead(30000) && other.readLine() == "held\n";
}

} // namespace quiltaro::test
