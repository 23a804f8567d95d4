#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

namespace quiltaro {

// The program's own command-line options. Anything else on the command line
// is left to Qt (-platform, -display...).
struct Options {
    enum class Mode { Play, Results, ExportCsv, Forget, Help, Wrong };
    Mode mode = Mode::Play;
    QString file;  // of --export-csv; "-" for standard output
    QString error; // what is wrong, when the mode is Wrong
};
Options parseOptions(const QStringList& arguments); // without the program's name

QString usage();

// --results: replaces this process by the results window's program, found
// beside the game in a build tree or where it is installed. Returns only if
// that failed.
int showResults(int argc, char** argv);

// --export-csv: every round of the record at recordPath, as CSV, to file.
int exportCsv(const QString& recordPath, const QString& file, QTextStream& err);

// --forget: erases the record at recordPath, and the damaged copies set aside
// beside it, once the person at the terminal has typed "oui".
int forget(const QString& recordPath, QTextStream& in, QTextStream& out);

} // namespace quiltaro
