#include "ClassChoice.h"
#include "ClassImport.h"
#include "ClassListRefresh.h"
#include "ClassName.h"
#include "Export.h"
#include "Forgetting.h"
#include "GameOptions.h"
#include "GameRecording.h"
#include "LevelSettings.h"
#include "Program.h"
#include "RecordStore.h"
#include "ServerClassCopies.h"
#include "ServerCommands.h"
#include "ServerForget.h"
#include "ServerSender.h"

#include <QApplication>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>

using namespace quiltaro;

namespace {

// --forget and --forget-before: this computer's files, then the class's
// server when one is configured, once nothing here can send them again.
int forgetEverywhere(const Options& options, const ServerSettings& server, QTextStream& in,
                     QTextStream& out) {
    const QString record = RecordStore::defaultPath();
    const QString pupil = options.pupil.normalized(QString::NormalizationForm_C);
    // The pupil's class as this computer writes it (the server compares it
    // exactly), or the only one it knows the pupil in.
    QString className = options.className;
    const QStringList classes = classesOfPupil(record, pupil);
    for (const QString& known : classes)
        if (!className.isEmpty() && sameClass(known, className))
            className = known;
    if (className.isEmpty() && classes.size() == 1)
        className = classes.front();
    ErasureElsewhere elsewhere;
    if (!server.classProblem.isEmpty()) {
        // Without its name, the rounds of every class would be erased.
        elsewhere.where = QStringLiteral("sur le serveur de la classe");
        elsewhere.erase = [&](QTextStream& to, const QSet<QString>&) {
            to << QStringLiteral("Rien n'a été effacé sur le serveur : %1").arg(server.classProblem)
               << Qt::endl;
            return false;
        };
    } else if (server.configured()) {
        elsewhere.where =
            QStringLiteral("sur le serveur de la classe (%1)").arg(maskedConnInfo(server.conninfo));
        elsewhere.erase = [&](QTextStream& to, const QSet<QString>& games) {
            if (options.mode == Options::Mode::ForgetBefore)
                return forgetBeforeOnServer(server, QDateTime(options.before, QTime(0, 0)), to);
            return pupil.isEmpty() ? forgetGamesOnServer(server, games, to)
                                   : forgetPupilOnServer(server, pupil, className, to);
        };
    }
    if (options.mode == Options::Mode::ForgetBefore)
        return forgetBefore(record, QDateTime(options.before, QTime(0, 0)), in, out, elsewhere);
    return pupil.isEmpty() ? forget(record, in, out, elsewhere)
                           : forgetPupil(record, pupil, in, out, elsewhere, options.className);
}
// --export-csv and --report-pdf: the rounds of the period chosen, of the
// server when there is one and no records are named.
int writeForTeacher(int argc, char** argv, const Options& options, QTextStream& err) {
    // The report lays out text with Qt's fonts, which want a GUI
    // application, but no screen: it is written from a terminal too.
    const bool report = options.mode == Options::Mode::ReportPdf;
    if (report)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::unique_ptr<QCoreApplication> app =
        report ? std::make_unique<QGuiApplication>(argc, argv)
               : std::make_unique<QCoreApplication>(argc, argv);
    const Selection selection{Period::fromTo(options.from, options.to, QDate::currentDate()),
                              options.pupil, options.className};
    if (ServerSettings server = readServerSettings();
        server.configured() && options.sources.isEmpty()) {
        // One class of the server: that of quiltaro.conf, or the one asked.
        const ClassChoice choice =
            chooseClass(classNamesServed(server), options.className, server.className);
        if (!choice.problem.isEmpty()) {
            err << QStringLiteral("quiltaro : %1").arg(choice.problem) << Qt::endl;
            return 2;
        }
        if (!choice.chosen.isEmpty())
            server.className = choice.chosen;
        ClassRecord data;
        if (!readServerClass(server, data, err))
            return 1;
        return report ? reportClassPdf(data, options.file, err, selection)
                      : exportClassCsv(data, options.file, err, selection);
    }
    return report ? reportPdf(options.sources, options.file, err, selection)
                  : exportCsv(options.sources, options.file, err, selection);
}

// The classes "Qui joue ?" asks from.
std::vector<Program::ClassOfPupils> classesAsked(const GameRecording& recording) {
    std::vector<Program::ClassOfPupils> classes;
    for (const GameRecording::Class& c : recording.classes())
        classes.push_back({c.source.name, c.list.names});
    return classes;
}

// The server's classes whose names no list could carry, told on the terminal.
void tellRefusedClasses(const QStringList& refused) {
    for (const QString& refusal : refused)
        std::fprintf(stderr,
                     "quiltaro : %s Ses élèves ne sont pas proposés sur ce poste : renommez "
                     "la classe sur le serveur.\n",
                     qPrintable(refusal));
}

// What is wrong in the class lists or the levels set, told on the terminal.
void tellSettingProblems(const GameRecording& recording, const SystemLevel& system,
                         const Options& options, QStringList problems) {
    QTextStream err(stderr);
    problems << recording.problems() << system.problem;
    for (const GameRecording::Class& c : recording.classes())
        problems << c.list.levelProblems;
    for (const QString& problem : problems)
        if (!problem.isEmpty())
            err << QStringLiteral("quiltaro : %1").arg(problem) << Qt::endl;
    if (system.locked && options.level)
        err << QStringLiteral("quiltaro : le niveau est fixé pour tous les postes par "
                              "l'administrateur (%1 dans %2) ; --niveau est ignoré.")
                   .arg(describeLevel(*system.level), system.file)
            << Qt::endl;
}

// The record can keep nothing of this game: the pupil (a child) and the
// teacher passing by read it on the farewell window, the adult the detail.
void tellWhenNothingIsKept(ProblemReport& report, Program& program) {
    report.watch([&program](Problem problem, const QString& text) {
        if (problem != Problem::NothingKept)
            return;
        // Told on the record's thread; the window is the interface thread's.
        const QString notice = QStringLiteral("Attention : tes parties ne sont pas enregistrées. "
                                              "Demande à ton enseignant de venir voir.\n"
                                              "Pour l'enseignant : %1")
                                   .arg(text.section(QStringLiteral(" : "), 1));
        QMetaObject::invokeMethod(
            &program, [&program, notice] { program.tellBeforeLeaving(notice); },
            Qt::QueuedConnection);
    });
}

// Everything but a game: the teacher's tools, the server's set-up, erasing.
// Nothing when the options ask for a game.
std::optional<int> runCommand(int argc, char** argv, const Options& options) {
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
    case Options::Mode::ExportCsv:
    case Options::Mode::ReportPdf:
        return writeForTeacher(argc, argv, options, err);
    case Options::Mode::SetupServer: {
        QCoreApplication app(argc, argv);
        return setupServer(options.server, out, err);
    }
    case Options::Mode::CheckServer: {
        QCoreApplication app(argc, argv);
        return checkServer(readServerSettings(), out);
    }
    case Options::Mode::ImportClass: {
        QCoreApplication app(argc, argv);
        return importClass(options.file, options.className, out, err);
    }
    case Options::Mode::Forget:
    case Options::Mode::ForgetBefore: {
        QCoreApplication app(argc, argv);
        QTextStream in(stdin);
        return forgetEverywhere(options, readServerSettings(), in, out);
    }
    case Options::Mode::Results:
        return showResults(argc, argv);
    case Options::Mode::Play:
        break;
    }
    return std::nullopt;
}

// A game, from the welcome window to the farewell.
int play(int argc, char** argv, const Options& options) {
    Program::configurePlatform();
    QApplication app(argc, argv);
    SystemClock clock;
    SeededUniformSource random;
    ProblemReport report;
    // With a server, each round goes there once it is in the record, and
    // the class list is the server's, as last copied here. The sender
    // outlives the records' writers, which tell it.
    const ServerSettings server = readServerSettings();
    QStringList problems;
    const QString off = sendingOffNotice(server);
    if (!off.isEmpty())
        std::fprintf(stderr, "quiltaro : %s\n", qPrintable(off));
    std::unique_ptr<ServerSender> sender;
    // A class refused by name sends nothing: its rounds would join another
    // class's, or none. They wait here until the name is put right.
    if (!server.classProblem.isEmpty())
        problems << server.classProblem +
                        QStringLiteral(" Les manches restent sur ce poste d'ici là.");
    else if (server.configured())
        sender = std::make_unique<ServerSender>(server, ServerSender::localRecords());
    GameRecording recording(report, classSources(server, problems));
    if (sender)
        recording.whenWritten([to = sender.get()](const QString& path) { to->roundWritten(path); });
    Program program(clock, random, [] { QApplication::exit(0); });
    if (!off.isEmpty())
        program.setNotice(QStringLiteral("Ce poste n'envoie pas les manches au serveur de la "
                                         "classe : l'envoi est coupé par %1.")
                              .arg(server.file));
    tellWhenNothingIsKept(report, program);
    const SystemLevel system = readSystemLevel();
    tellSettingProblems(recording, system, options, problems);
    program.state().levels = levelFor(system, options.level, recording.list(), QString());
    const auto chosen = [&](const QString& pupil, const QString& className) {
        recording.choose(pupil, className);
        const GameRecording::Class* c = recording.classNamed(className);
        program.state().levels = levelFor(system, options.level, c ? c->list : ClassList(), pupil);
    };
    program.setClasses(classesAsked(recording), chosen);
    // A name the teacher adds on the server, to any class of this computer,
    // is asked from at the next "commencer": the copies are refreshed off
    // this thread meanwhile, and read again here when they changed.
    std::unique_ptr<ClassListRefresh> refresh;
    if (server.configured()) {
        refresh = std::make_unique<ClassListRefresh>(
            server, std::chrono::seconds(30), [&](const QStringList& refused) {
                QMetaObject::invokeMethod(
                    &app,
                    [&, refused] {
                        tellRefusedClasses(refused);
                        QStringList told; // at start already
                        if (recording.readAgain(classSources(server, told)))
                            program.setClasses(classesAsked(recording), chosen);
                    },
                    Qt::QueuedConnection);
            });
        program.whenAboutToAsk([&refresh] { refresh->request(); });
    }
    program.setRoundObserver(recording.observer());
    program.start();
    const int status = app.exec();
    // Closed by the window system rather than the farewell arrow: the round
    // on the line is written all the same.
    recording.observer().programEnding();
    // The windows go before the records' writers, which may still tell.
    report.watch({});
    // The threads that use Qt's SQL drivers end here, before the
    // application and the drivers' static state go.
    refresh.reset();
    if (sender)
        sender->finish(Recorder::patienceAtEnd);
    sender.reset();
    return status;
}
} // namespace

int main(int argc, char** argv) {
    // A file-size limit (a quota set with ulimit -f) must answer a write with
    // an error, as a full disk does, which the record waits out and the
    // exports report; by default the kernel kills the process instead.
    std::signal(SIGXFSZ, SIG_IGN);
    // The record's folder is named after the program, whatever the file is called.
    QCoreApplication::setApplicationName(QStringLiteral("quiltaro"));
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const Options options = parseOptions(arguments);
    if (const std::optional<int> status = runCommand(argc, argv, options))
        return *status;
    return play(argc, argv, options);
}
