#include "Commands.h"
#include "Program.h"
#include "RecordStore.h"
#include "Recorder.h"
#include "ServerCommands.h"
#include "ServerSender.h"

#include <QApplication>
#include <QTextStream>

#include <cstdio>
#include <memory>

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
        // With a server, the class is read there.
        if (const ServerSettings server = readServerSettings(); server.configured())
            return exportServerCsv(server, options.file, err);
        return exportCsv(RecordStore::defaultPath(), options.file, err);
    }
    case Options::Mode::SetupServer: {
        QCoreApplication app(argc, argv);
        return setupServer(options.server, out, err);
    }
    case Options::Mode::CheckServer: {
        QCoreApplication app(argc, argv);
        return checkServer(readServerSettings(), out);
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
    // With a server, each round goes there once it is in the record. The
    // sender outlives the record's writer, which tells it.
    std::unique_ptr<ServerSender> sender;
    Recorder recorder(store);
    sender = ServerSender::follow(recorder);
    Program program(clock, random, [] { QApplication::exit(0); });
    program.setRoundObserver(recorder);
    program.start();
    const int status = app.exec();
    // Closed by the window system rather than the farewell arrow: the round
    // on the line is written all the same.
    recorder.programEnding();
    if (sender)
        sender->finish(Recorder::patienceAtEnd);
    return status;
}
