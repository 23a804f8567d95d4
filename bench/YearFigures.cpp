#include "YearFigures.h"

#include "BenchSupport.h"
#include "PgServer.h"
#include "RecordFigures.h"
#include "RecordStore.h"
#include "SampleClass.h"
#include "ServerBulk.h"
#include "ServerConnection.h"
#include "ServerSchema.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace quiltaro::bench {

namespace {

// The generator plays two games a school day: 50 of its weeks make the
// 150,000 rounds of a class that plays more.
constexpr int pupils = 30, weeks = 50, classes = 20;

std::vector<GeneratedPupil> schoolYear() {
    // Whole school weeks, up to the last Friday before today: the server
    // refuses rounds from the future.
    QDate friday = QDate::currentDate().addDays(-1);
    while (friday.dayOfWeek() != Qt::Friday)
        friday = friday.addDays(-1);
    return generateClass(pupils, weeks, friday, 17);
}

size_t roundsOf(const std::vector<GeneratedPupil>& year) {
    size_t n = 0;
    for (const GeneratedPupil& p : year)
        n += p.rounds.size();
    return n;
}

// The class's year on the server as "CM2", then the same rounds again under
// 19 other classes, copied there by the server itself (new identities), so
// that the class is read among the school's rows.
bool fillSchool(test::PgServer& pg, const std::vector<GeneratedPupil>& year) {
    ServerConnection admin(pg.conninfo(QStringLiteral("admin"), QStringLiteral("ecole")),
                           {5, 600000, 610000});
    std::vector<RoundRecord> rounds;
    for (const GeneratedPupil& p : year)
        rounds.insert(rounds.end(), p.rounds.begin(), p.rounds.end());
    if (!sendRounds(admin, rounds, QStringLiteral("CM2"))) {
        std::fprintf(stderr, "server: %s\n", qPrintable(admin.problem()));
        return false;
    }
    return pg.exec(QStringLiteral("INSERT INTO quiltaro.rounds (id, class_name, pupil, game_token,"
                                  " game_started, started, ended, score_before, score_after,"
                                  " low_bound, high_bound, red_value, ending, answers, verdicts,"
                                  " kind, level) SELECT gen_random_uuid(), 'classe ' || n, pupil,"
                                  " game_token || '-' || n, game_started, started, ended,"
                                  " score_before, score_after, low_bound, high_bound, red_value,"
                                  " ending, answers, verdicts, kind, level FROM quiltaro.rounds,"
                                  " generate_series(2, %1) n WHERE class_name = 'CM2'")
                       .arg(classes),
                   QStringLiteral("admin"), QStringLiteral("ecole"))
               .isEmpty() &&
           pg.exec(QStringLiteral("VACUUM ANALYZE quiltaro.rounds"), QStringLiteral("admin"),
                   QStringLiteral("ecole"))
               .isEmpty();
}

} // namespace

double measureYearOpen(const std::string& game, const QString& folder) {
    const std::vector<GeneratedPupil> year = schoolYear();
    const auto start = Steady::now();
    for (const GeneratedPupil& p : year) {
        ProblemReport report;
        RecordStore store(folder + QLatin1Char('/') + p.name + QStringLiteral("/record.sqlite"),
                          report);
        if (!store.writeMany(p.rounds))
            return NAN;
    }
    std::fprintf(stderr, "record: a school year of %zu rounds written in %.0f ms\n", roundsOf(year),
                 msSince(start));
    return medianResultsOpen({game, "--results", folder.toStdString()});
}

double measureServerYearOpen(const std::string& game) {
    test::PgServer pg;
    if (!pg.ok()) {
        std::fprintf(stderr, "server: %s\n", qPrintable(pg.error()));
        return NAN;
    }
    pg.exec(QStringLiteral("CREATE DATABASE ecole"));
    {
        bool changed = false;
        QString problem;
        ServerConnection owner(pg.conninfo(QStringLiteral("admin"), QStringLiteral("ecole")));
        if (!setUpServerSchema(owner, changed, problem))
            return NAN;
    }
    pg.exec(QStringLiteral("CREATE ROLE prof LOGIN IN ROLE quiltaro_enseignant"));
    const std::vector<GeneratedPupil> year = schoolYear();
    const auto start = Steady::now();
    if (!fillSchool(pg, year))
        return NAN;
    std::fprintf(stderr, "server: a school of %d years of %zu rounds stored in %.0f ms\n", classes,
                 roundsOf(year), msSince(start));
    // The teacher's computer, configured for the class.
    QTemporaryDir config;
    QDir().mkpath(config.filePath(QStringLiteral("quiltaro")));
    QFile conf(config.filePath(QStringLiteral("quiltaro/quiltaro.conf")));
    if (!conf.open(QIODevice::WriteOnly))
        return NAN;
    conf.write(QStringLiteral("[record]\nserver=\"%1\"\nclass=CM2\n")
                   .arg(pg.conninfo(QStringLiteral("prof"), QStringLiteral("ecole")))
                   .toUtf8());
    conf.close();
    const QByteArray before = qgetenv("XDG_CONFIG_HOME");
    setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
    const double ms = medianResultsOpen({game, "--results"});
    if (before.isNull())
        unsetenv("XDG_CONFIG_HOME");
    else
        setenv("XDG_CONFIG_HOME", before.constData(), 1);
    return ms;
}

} // namespace quiltaro::bench
