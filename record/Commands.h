#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

namespace quiltaro {

// The program's own command-line options. Qt's own (-platform, -display...)
// are accepted and left to Qt; anything else is refused.
struct Options {
    enum class Mode {
        Play,
        Results,
        ExportCsv,
        Forget,
        SetupServer,
        CheckServer,
        Help,
        Version,
        Wrong
    };
    Mode mode = Mode::Play;
    QString file;   // of --export-csv; "-" for standard output
    QString server; // the connection string of --setup-server
    QString error;  // what is wrong, when the mode is Wrong
};
Options parseOptions(const QStringList& arguments); // without the program's name

QString usage();
QString versionText();

// --results: replaces this process by the results window's program, found
// beside the game in a build tree or where it is installed. Returns only if
// that failed.
int showResults(int argc, char** argv);

// --export-csv: every round of the record at recordPath, as CSV, to file,
// reading the record without changing it. Never onto a database. Not zero
// when the output could not be written whole, or the record not read whole.
int exportCsv(const QString& recordPath, const QString& file, QTextStream& err);

// What the teacher is told of a record that could not be read whole.
QString damagedRecordText(const QString& recordPath, size_t roundsRead, qint64 roundsClaimed);

// --forget: erases the record at recordPath, with the damaged copies and the
// rounds kept aside beside it, once the person at the terminal has typed "oui".
int forget(const QString& recordPath, QTextStream& in, QTextStream& out);

} // namespace quiltaro
