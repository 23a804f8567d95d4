// The results window, a program of its own so that the game itself never
// loads Qt Charts: `quiltaro --results [RECORD|FOLDER]...` hands over to it.
#include "ClassRecord.h"
#include "Period.h"
#include "Pupils.h"
#include "RecordChecks.h"
#include "ResultsFromServer.h"
#include "ResultsWindow.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTranslator>

#include <csignal>
#include <cstdio>

namespace {

// --from DATE and --to DATE, which `quiltaro --results` hands over, taken out
// of `arguments`; `wrong` says why a day could not be read.
quiltaro::Period takePeriod(QStringList& arguments, QString& wrong) {
    QDate days[2];
    const char* names[2] = {"--from", "--to"};
    for (int which = 0; which < 2; ++which) {
        const QString name = QLatin1String(names[which]);
        for (qsizetype i = 0; i < arguments.size(); ++i) {
            QString value;
            if (arguments[i] == name && i + 1 < arguments.size()) {
                value = arguments.takeAt(i + 1);
            } else if (arguments[i].startsWith(name + QLatin1Char('='))) {
                value = arguments[i].mid(name.size() + 1);
            } else {
                continue;
            }
            arguments.removeAt(i--);
            days[which] = quiltaro::parseDay(value);
            if (!days[which].isValid())
                wrong = QStringLiteral("%1 attend une date, par exemple 2026-11-30.").arg(name);
        }
    }
    return quiltaro::Period::fromTo(days[0], days[1], QDate::currentDate());
}

} // namespace

int main(int argc, char** argv) {
    // A file-size limit (a quota set with ulimit -f) must answer a write with
    // an error, as a full disk does, which the record waits out and the
    // exports report; by default the kernel kills the process instead.
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication::setApplicationName(QStringLiteral("quiltaro"));
    // The game's desktop entry opens this window too ("Résultats"): the same
    // app id, so that the dock shows the game's icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("fr.quiltaro.Quiltaro"));
    // Every time read from a record is turned into local time; without TZ,
    // the C library looks at /etc/localtime again for each of them.
    if (!qEnvironmentVariableIsSet("TZ") && QFileInfo::exists(QStringLiteral("/etc/localtime")))
        qputenv("TZ", ":/etc/localtime");
    QApplication app(argc, argv);
    using namespace quiltaro;
    QTranslator qtFrench;
    installQtFrench(qtFrench);
    // What Qt left of the command line: the days to look at, and the records
    // and folders to read.
    QStringList sources = app.arguments().mid(1);
    QString wrong;
    const Period period = takePeriod(sources, wrong);
    if (!wrong.isEmpty()) {
        std::fprintf(stderr, "quiltaro : %s\n", qPrintable(wrong));
        return 2;
    }
    const bool ownLogin = sources.isEmpty();
    // With a server, the class is read there, and followed while it plays;
    // records named on the command line are read as they are.
    if (const ServerSettings server = readServerSettings(); server.configured() && ownLogin)
        return showServerResults(server, period);
    QStringList problems;
    const QStringList records = findRecords(ownLogin ? defaultSources() : sources, &problems);
    // The files are checked beside the reading and while the window opens.
    RecordChecks checks(records);
    QStringList told;
    const auto read = [&](Check check) {
        // The window shows figures: SQLite counts the rounds, which are
        // read themselves only for a chart or an export.
        ClassRecord data = countClass(records, check);
        data.problems = problems + data.problems;
        if (ownLogin && !classListFile().isEmpty()) {
            const QStringList names = readClassList(classListFile());
            setTrialApart(data, names);
            addListedPupils(data, names);
        }
        // Told on the terminal too, for a teacher who reads the results
        // from a script; each problem once.
        for (const QString& problem : data.problems)
            if (!told.contains(problem)) {
                std::fprintf(stderr, "quiltaro : %s.\n", qPrintable(problem));
                told << problem;
            }
        return data;
    };
    ClassRecord data = read(Check::Apart);
    const bool readWhole = data.problems.isEmpty();
    ResultsWindow window(std::move(data), QDateTime::currentDateTime(), ownLogin, period);
    // Damage found by the check: the records are read again around it, and
    // the window says so, keeping the teacher's place in it.
    QObject::connect(&checks, &RecordChecks::damaged, &window, [&] {
        window.refreshWhenFree(read(Check::Now), QDateTime::currentDateTime());
    });
    window.show();
    const int status = app.exec();
    // What was shown was not all that was asked for.
    const bool whole = readWhole && !checks.damageFound();
    return status == 0 && !whole ? 1 : status;
}
