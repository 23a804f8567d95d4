#include "Commands.h"
#include "Export.h"
#include "GameRecording.h"
#include "Program.h"
#include "RecordStore.h"

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
        return options.pupil.isEmpty()
                   ? forget(RecordStore::defaultPath(), in, out)
                   : forgetPupil(RecordStore::defaultPath(), options.pupil, in, out);
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
    GameRecording recording(report);
    Program program(clock, random, [] { QApplication::exit(0); });
    if (!recording.problem().isEmpty())
        err << QStringLiteral("quiltaro : %1").arg(recording.problem()) << Qt::endl;
    if (!recording.classList().isEmpty())
        program.setClassList(recording.classList(),
                             [&recording](const QString& pupil) { recording.choose(pupil); });
    program.setRoundObserver(recording.observer());
    program.start();
    const int status = app.exec();
    // Closed by the window system rather than the farewell arrow: the round
    // on the line is written all the same.
    recording.observer().programEnding();
    return status;
}
