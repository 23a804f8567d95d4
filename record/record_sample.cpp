// Writes a plausible record of GAMES games to PATH, starting DAYS school days
// ago, for pictures and measurements; with --class, the homes of an imagined
// class under FOLDER, one record each:
//   quiltaro_record_sample PATH GAMES [DAYS]
//   quiltaro_record_sample --class FOLDER GAMES
#include "RecordStore.h"
#include "SampleRecord.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

// Weekends skipped may push the last games past today: the whole record
// moves back by whole weeks, so that it stays on school days.
void endByToday(std::vector<quiltaro::RoundRecord>& rounds) {
    const QDateTime now = QDateTime::currentDateTime();
    QDateTime last;
    for (const auto& r : rounds)
        last = std::max(last, r.ended);
    if (rounds.empty() || last <= now)
        return;
    const qint64 weeks = last.daysTo(now) / -7 + 1;
    for (auto& r : rounds)
        for (QDateTime* t : {&r.gameStarted, &r.started, &r.ended})
            *t = t->addDays(-7 * weeks);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    const bool wholeClass = args.size() > 1 && args[1] == QLatin1String("--class");
    if (wholeClass)
        args.removeAt(1);
    bool ok = args.size() >= 3;
    const int games = ok ? args[2].toInt(&ok) : 0;
    if (!ok || games < 1) {
        std::fprintf(stderr, "usage: quiltaro_record_sample PATH GAMES [DAYS]\n"
                             "       quiltaro_record_sample --class FOLDER GAMES\n");
        return 2;
    }
    const int days = args.size() > 3 ? args[3].toInt() : (games + 1) / 2 * 7 / 5;
    QDateTime first = QDateTime::currentDateTime().addDays(-days);
    first.setTime(QTime(9, 0));
    quiltaro::ProblemReport report;
    if (!wholeClass) {
        quiltaro::RecordStore store(args[1], report);
        auto rounds = quiltaro::sampleRecord(games, first, 12);
        endByToday(rounds);
        return store.writeMany(rounds) ? 0 : 1;
    }
    bool written = true;
    for (auto& pupil : quiltaro::sampleClass(games, first, 12)) {
        endByToday(pupil.rounds);
        // Each in a home of its own, as the pupils' logins keep them.
        QString login = pupil.name.toLower();
        login.replace(QStringLiteral("é"), QStringLiteral("e"))
            .replace(QStringLiteral("è"), QStringLiteral("e"));
        quiltaro::RecordStore store(args[1] + QLatin1Char('/') + login +
                                        QStringLiteral("/.local/share/quiltaro/record.sqlite"),
                                    report);
        written = store.writeMany(pupil.rounds) && written;
    }
    return written ? 0 : 1;
}
