#pragma once

#include "Levels.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>

namespace quiltaro {

// The program's own command-line options. Qt's own (-platform, -display...)
// are accepted and left to Qt; anything else is refused.
struct Options {
    enum class Mode {
        Play,
        Results,
        ExportCsv,
        ReportPdf,
        Forget,
        ForgetBefore,
        SetupServer,
        CheckServer,
        ImportClass,
        Help,
        Version,
        Wrong
    };
    Mode mode = Mode::Play;
    // Of --export-csv ("-" for standard output), --report-pdf, or
    // --import-class (the register's export).
    QString file;
    QString pupil; // of --forget NOM or --pupil NOM: that pupil only
    // Of --class, with --forget NOM (the pupil's class) or --import-class
    // (the class or level taken from the register); checked as a class name.
    QString className;
    // Of --from and --to: the days the teacher's tools look at, both
    // included; invalid for no limit on that side.
    QDate from, to;
    QString server; // the connection string of --setup-server
    QDate before;   // of --forget-before: rounds begun before that day go
    // Of --results, --export-csv and --report-pdf: records, or folders to
    // search for them.
    QStringList sources;
    // Of --niveau, for this game only: the kinds of number played.
    std::optional<LevelRange> level;
    QString error; // what is wrong, when the mode is Wrong
};
Options parseOptions(const QStringList& arguments); // without the program's name

QString usage();
QString versionText();

// --results: replaces this process by the results window's program, found
// beside the game in a build tree or where it is installed. Returns only if
// that failed.
int showResults(int argc, char** argv);

} // namespace quiltaro
