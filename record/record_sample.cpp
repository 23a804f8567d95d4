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
    return store.writeMany(quiltaro::sampleRecord(games, first, 12)) ? 0 : 1;
}
