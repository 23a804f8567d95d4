// The results window, a program of its own so that the game itself never
// loads Qt Charts: `quiltaro --results [RECORD|FOLDER]...` hands over to it.
#include "ClassChoice.h"
#include "ClassLists.h"
#include "ClassName.h"
#include "ClassRecord.h"
#include "Period.h"
#include "Pupils.h"
#include "RecordChecks.h"
#include "ResultsFromServer.h"
#include "ResultsWindow.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QTimer>
#include <QTranslator>

#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <utility>

namespace {

// Calls `then` once, from the event loop, after `widget` painted for the
// first time, or a second after it was made if it never paints (hidden, or
// a platform without a screen).
class AfterPainting final : public QObject {
public:
    AfterPainting(QWidget& widget, std::function<void()> then) : then_(std::move(then)) {
        widget.installEventFilter(this);
        QTimer::singleShot(1000, this, [this] { call(); });
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, this, [this] { call(); });
        }
        return false;
    }

private:
    void call() {
        if (then_)
            std::exchange(then_, nullptr)();
    }
    std::function<void()> then_;
};

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

// --class NOM, which `quiltaro --results` hands over, taken out of
// `arguments`; `wrong` says why it was refused.
QString takeClass(QStringList& arguments, QString& wrong) {
    QString asked;
    int given = 0;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--class") && i + 1 < arguments.size())
            asked = arguments.takeAt(i + 1);
        else if (arguments[i].startsWith(QLatin1String("--class=")))
            asked = arguments[i].mid(8);
        else
            continue;
        arguments.removeAt(i--);
        ++given;
    }
    if (given > 1)
        wrong = QStringLiteral("--class ne se donne qu'une fois.");
    else if (given == 1 && asked.trimmed().isEmpty())
        wrong = QStringLiteral("--class attend le nom d'une classe, par exemple --class CE2-A.");
    return asked;
}

// One class of `data`: its pupils, and those of its list when `listed`.
quiltaro::ClassRecord classOf(quiltaro::ClassRecord data, const QString& className,
                              const QString& unnamedClass, bool listed) {
    using namespace quiltaro;
    if (!className.isEmpty())
        keepClass(data, className, unnamedClass);
    if (listed) {
        const QStringList names = listedPupils(className);
        setTrialApart(data, names);
        addListedPupils(data, names);
    }
    return data;
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
    const QString askedClass = takeClass(sources, wrong);
    if (!wrong.isEmpty()) {
        std::fprintf(stderr, "quiltaro : %s\n", qPrintable(wrong));
        return 2;
    }
    const bool ownLogin = sources.isEmpty();
    // With a server, the class is read there, and followed while it plays;
    // records named on the command line are read as they are.
    if (const ServerSettings server = readServerSettings(); server.configured() && ownLogin)
        return showServerResults(server, period, askedClass);
    QStringList problems;
    const QStringList records = findRecords(ownLogin ? defaultSources() : sources, &problems);
    QStringList told;
    // Every class is read; the window shows one at a time.
    ClassRecord all;
    const QString unnamedClass = configuredClass().name;
    ClassChoice choice;
    const bool hasLists = !loginClassLists(unnamedClass).empty();
    const auto ofClass = [&](const QString& className) {
        return classOf(all, className, unnamedClass, ownLogin && hasLists);
    };
    const auto read = [&](Check check) {
        // The window shows figures: SQLite counts the rounds, which are
        // read themselves only for a chart or an export.
        all = countClass(records, check);
        all.problems = problems + all.problems;
        // Told on the terminal too, for a teacher who reads the results
        // from a script; each problem once.
        for (const QString& problem : all.problems)
            if (!told.contains(problem)) {
                std::fprintf(stderr, "quiltaro : %s.\n", qPrintable(problem));
                told << problem;
            }
    };
    read(Check::Apart);
    choice = chooseAmong(all, askedClass);
    if (!choice.problem.isEmpty()) {
        std::fprintf(stderr, "quiltaro : %s\n", qPrintable(choice.problem));
        return 2;
    }
    const bool readWhole = all.problems.isEmpty();
    // With one class, nothing else is ever shown from these rounds, which go
    // over whole (a copy of 100,000 rounds is felt at the opening); a
    // reading after damage reads them again.
    ResultsWindow window(choice.classes.size() < 2 ? classOf(std::move(all), choice.chosen,
                                                             unnamedClass, ownLogin && hasLists)
                                                   : ofClass(choice.chosen),
                         QDateTime::currentDateTime(), ownLogin, period);
    const auto placeOf = [&](const QString& className) {
        return className.isEmpty() || sameClass(className, unnamedClass)
                   ? ClassListPlace::ownConfiguration()
                   : ClassListPlace::ofClass(className);
    };
    window.setClassListPlace(placeOf(choice.chosen));
    window.setClasses(choice.classes, choice.chosen, [&](const QString& className) {
        window.setClassListPlace(placeOf(className));
        window.refresh(ofClass(className), QDateTime::currentDateTime());
    });
    // The school's table reads a copy of every class, off the window's thread.
    window.setSchoolReader([&] {
        return [classes = choice.classes, all, unnamedClass,
                listed = ownLogin && hasLists](const Period& shown) {
            const auto one = [&](const QString& className) {
                return classOf(all, className, unnamedClass, listed);
            };
            return schoolLines(classes, one, shown, QDateTime::currentDateTime());
        };
    });
    // The files are checked once the window has shown what was counted: the
    // check reads every page of every file, several times what the counting
    // reads, and would take a core from the opening. Damage found: the
    // records are read again around it, and the window says so, keeping the
    // teacher's place in it.
    std::unique_ptr<RecordChecks> checks;
    const auto check = [&] {
        if (checks)
            return;
        checks = std::make_unique<RecordChecks>(records);
        QObject::connect(checks.get(), &RecordChecks::damaged, &window, [&] {
            read(Check::Now);
            window.refreshWhenFree(ofClass(window.shownClass()), QDateTime::currentDateTime());
        });
    };
    AfterPainting painted(window, check);
    window.show();
    const int status = app.exec();
    check();
    // What was shown was not all that was asked for.
    const bool whole = readWhole && !checks->damageFound();
    return status == 0 && !whole ? 1 : status;
}
