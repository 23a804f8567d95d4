#include "Commands.h"
#include "Export.h"
#include "Program.h"
#include "RecordStore.h"
#include "Recorder.h"

#include <QApplication>
#include <QTextStream>

#include <cstdio>

using namespace quiltaro;

int main(int argc, char** argv) {
    // The record's folder is named after the program, whatever the file is called.
    QCoreApplication::setApplicationName(QStringLiteral("quiltaro"));
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const Options options = parseOptions(arguments);
    QTextStream out(stdout), err(stderr);
    switch (options.mode) {
    case Options::Mode::Help:
        out << usage() << Qt::flush;
        return 0;
    case Options::Mode::Version:
        out << versionText() << Qt::flush;
        return 0;
    case Options::Mode::Wrong:
        err << "quiltaro : " << options.error << "\n" << usage() << Qt::flush;
        return 2;
    case Options::Mode::ExportCsv: {
        QCoreApplication app(argc, argv);
        return exportCsv(options.sources, options.file, err);
    }
    case Options::Mode::Forget: {
        QCoreApplication app(argc, argv);
        QTextStream in(stdin);
        return forget(RecordStore::defaultPath(), in, out);
    }
    case Options::Mode::Results:
        return showResults(argc, argv);
    case Options::Mode::Play:
        break;
    }

    Program::configurePlatform();
    QApplication app(argc, argv);
    SystemClock clock;
    SeededUniformSource random;
    ProblemReport report;
    RecordStore store(RecordStore::defaultPath(), report);
    Recorder recorder(store);
    Program program(clock, random, [] { QApplication::exit(0); });
    program.setRoundObserver(recorder);
    program.start();
    const int status = app.exec();
    // Closed by the window system rather than the farewell arrow: the round
    // on the line is written all the same.
    recorder.programEnding();
    return status;
}
