#include "ClassRecorder.h"
#include "Commands.h"
#include "Program.h"
#include "Pupils.h"
#include "RecordStore.h"
#include "Recorder.h"

#include <QApplication>
#include <QTextStream>

#include <cstdio>
#include <optional>

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
        return exportCsv(RecordStore::defaultPath(), options.file, err);
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
    Program program(clock, random, [] { QApplication::exit(0); });
    // A class list makes each pupil say who plays, and keeps each one's
    // rounds apart; without one, the login's record holds them, in the
    // account's name.
    QString problem;
    const QString listFile = classListFile();
    const QStringList names =
        listFile.isEmpty() ? QStringList() : readClassList(listFile, &problem);
    if (!problem.isEmpty())
        err << QStringLiteral("quiltaro : %1 Les parties sont enregistrées au nom du compte.")
                   .arg(problem)
            << Qt::endl;
    std::optional<RecordStore> store;
    std::optional<Recorder> recorder;
    std::optional<ClassRecorder> classRecorder;
    RoundObserver* observer = nullptr;
    if (names.isEmpty()) {
        store.emplace(RecordStore::defaultPath(), report);
        observer = &recorder.emplace(*store);
        recorder->setPupil(accountPupilName());
    } else {
        observer = &classRecorder.emplace(report, &pupilRecordPath);
        program.setClassList(names, [&](const QString& pupil) { classRecorder->choose(pupil); });
    }
    program.setRoundObserver(*observer);
    program.start();
    const int status = app.exec();
    // Closed by the window system rather than the farewell arrow: the round
    // on the line is written all the same.
    observer->programEnding();
    return status;
}
