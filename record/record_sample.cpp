// Writes a plausible record of GAMES games to PATH, starting DAYS school days
// ago, for pictures and measurements:
//   quiltaro_record_sample PATH GAMES [DAYS]
#include "RecordStore.h"
#include "SampleRecord.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    bool ok = args.size() >= 3;
    const int games = ok ? args[2].toInt(&ok) : 0;
    if (!ok || games < 1) {
        std::fprintf(stderr, "usage: quiltaro_record_sample PATH GAMES [DAYS]\n");
        return 2;
    }
    const int days = args.size() > 3 ? args[3].toInt() : (games + 1) / 2 * 7 / 5;
    QDateTime first = QDateTime::currentDateTime().addDays(-days);
    first.setTime(QTime(9, 0));
    quiltaro::ProblemReport report;
    quiltaro::RecordStore store(args[1], report);
    auto rounds = quiltaro::sampleRecord(games, first, 12);
    // Weekends skipped may push the last games past today: the whole record
    // moves back by whole weeks, so that it stays on school days.
    const QDateTime now = QDateTime::currentDateTime();
    if (!rounds.empty() && rounds.back().ended > now) {
        const qint64 weeks = rounds.back().ended.daysTo(now) / -7 + 1;
        for (auto& r : rounds)
            for (QDateTime* t : {&r.gameStarted, &r.started, &r.ended})
                *t = t->addDays(-7 * weeks);
    }
    return store.writeMany(rounds) ? 0 : 1;
}
