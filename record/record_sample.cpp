// Writes a plausible record of GAMES games to PATH, starting DAYS school days
// ago, for pictures and measurements; with --class, the homes of an imagined
// class under FOLDER, one record each:
//   quiltaro_record_sample PATH GAMES [DAYS]
//   quiltaro_record_sample --class FOLDER GAMES
// With --school-class, a class of PUPILS over WEEKS weeks up to today (6 by
// default), with strong, progressing, stuck, losing and lapsed pupils:
//   quiltaro_record_sample --school-class FOLDER PUPILS [WEEKS]
#include "RecordStore.h"
#include "SampleClass.h"
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

// Each pupil in a home of its own, as the pupils' logins keep them.
bool writeHome(const QString& folder, const QString& name,
               const std::vector<quiltaro::RoundRecord>& rounds) {
    QString login = name.toLower();
    login.replace(QStringLiteral("é"), QStringLiteral("e"))
        .replace(QStringLiteral("è"), QStringLiteral("e"))
        .replace(QStringLiteral("ë"), QStringLiteral("e"))
        .replace(QStringLiteral("ï"), QStringLiteral("i"))
        .replace(QLatin1Char(' '), QLatin1Char('-'));
    quiltaro::ProblemReport report;
    quiltaro::RecordStore store(folder + QLatin1Char('/') + login +
                                    QStringLiteral("/.local/share/quiltaro/record.sqlite"),
                                report);
    return store.writeMany(rounds);
}

int schoolClass(const QStringList& args) {
    bool ok = args.size() >= 4;
    const int pupils = ok ? args[3].toInt(&ok) : 0;
    const int weeks = args.size() > 4 ? args[4].toInt() : 6;
    if (!ok || pupils < 1 || weeks < 1) {
        std::fprintf(stderr,
                     "usage: quiltaro_record_sample --school-class FOLDER PUPILS [WEEKS]\n");
        return 2;
    }
    bool written = true;
    for (auto& pupil : quiltaro::generateClass(pupils, weeks, QDate::currentDate(), 12)) {
        endByToday(pupil.rounds);
        std::printf("%s : %s\n", qPrintable(pupil.name),
                    qPrintable(quiltaro::kindName(pupil.kind)));
        written = writeHome(args[2], pupil.name, pupil.rounds) && written;
    }
    return written ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    if (args.size() > 1 && args[1] == QLatin1String("--school-class"))
        return schoolClass(args);
    const bool wholeClass = args.size() > 1 && args[1] == QLatin1String("--class");
    if (wholeClass)
        args.removeAt(1);
    bool ok = args.size() >= 3;
    const int games = ok ? args[2].toInt(&ok) : 0;
    if (!ok || games < 1) {
        std::fprintf(stderr,
                     "usage: quiltaro_record_sample PATH GAMES [DAYS]\n"
                     "       quiltaro_record_sample --class FOLDER GAMES\n"
                     "       quiltaro_record_sample --school-class FOLDER PUPILS [WEEKS]\n");
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
        written = writeHome(args[1], pupil.name, pupil.rounds) && written;
    }
    return written ? 0 : 1;
}
