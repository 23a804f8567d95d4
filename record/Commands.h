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
    QString pupil;  // of --forget NOM: that pupil only
    QString server; // the connection string of --setup-server
    // Of --results and --export-csv: records, or folders to search for them.
    QStringList sources;
    QString error; // what is wrong, when the mode is Wrong
};
Options parseOptions(const QStringList& arguments); // without the program's name

QString usage();
QString versionText();

// --results: replaces this process by the results window's program, found
// beside the game in a build tree or where it is installed. Returns only if
// that failed.
int showResults(int argc, char** argv);

// What the teacher is told of a record that could not be read whole.
QString damagedRecordText(const QString& recordPath, size_t roundsRead, qint64 roundsClaimed);

// --forget: erases the record at recordPath, with the damaged copies and the
// rounds kept aside beside it, once the person at the terminal has typed "oui".
int forget(const QString& recordPath, QTextStream& in, QTextStream& out);

// --forget NOM: erases one pupil's rounds only, once the person at the
// terminal has typed that name again: the pupil's own record folder
// (beside the login's record at recordPath) and that pupil's games in the
// login's record. The other pupils' rounds stay whole.
int forgetPupil(const QString& recordPath, const QString& pupil, QTextStream& in, QTextStream& out);
// The pupils of a class whose records are kept beside the login's record.
QStringList pupilsBeside(const QString& recordPath);

} // namespace quiltaro
