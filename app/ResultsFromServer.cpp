#include "ResultsFromServer.h"

#include "ClassChoice.h"
#include "ClassRecord.h"
#include "ComputersPanel.h"
#include "ResultsWindow.h"
#include "ServerActivity.h"
#include "ServerClassCopies.h"
#include "ServerClassFeed.h"
#include "ServerClassList.h"
#include "ServerConnection.h"
#include "ServerSchool.h"

#include <QApplication>
#include <QFileInfo>
#include <QPointer>
#include <QPushButton>

#include <chrono>
#include <cstdio>
#include <memory>

namespace quiltaro {

namespace {

constexpr auto refreshPeriod = std::chrono::seconds(5);

ClassRecord reading(const ServerSettings& settings) {
    ClassRecord data;
    data.problems << QStringLiteral("les manches sont en cours de lecture sur le serveur de "
                                    "la classe (%1)")
                         .arg(maskedConnInfo(settings.conninfo));
    return data;
}

// The class's list on the server; shown at once from this computer's copy of
// it, or from the login's own list of the class before there is a copy.
ClassListPlace placeOf(const ServerSettings& settings) {
    ClassListPlace place = serverClassListPlace(settings);
    if (!QFileInfo::exists(place.localFile))
        place.localFile = ClassListPlace::ofClass(settings.className).localFile;
    return place;
}

// "Postes…": which computer sent the rounds of the class shown.
QPushButton* computersButton(const ServerSettings& settings, ResultsWindow* window) {
    auto* computers = new QPushButton(QStringLiteral("&Postes…"));
    computers->setToolTip(QStringLiteral("Quel poste a envoyé les manches de chaque élève, et "
                                         "quand ; les postes qui n'envoient plus"));
    QObject::connect(computers, &QPushButton::clicked, window, [&settings, window] {
        auto* panel = new ComputersPanel(serverSendingActivity(settings), window);
        panel->setAttribute(Qt::WA_DeleteOnClose);
        panel->show();
    });
    return computers;
}

} // namespace

int showServerResults(const ServerSettings& configured, const Period& period,
                      const QString& askedClass) {
    // Without its name, the rounds of every class of the server would show.
    if (!configured.classProblem.isEmpty()) {
        std::fprintf(stderr, "quiltaro : la classe ne peut pas être lue sur le serveur : %s\n",
                     qPrintable(configured.classProblem));
        return 1;
    }
    const ClassChoice choice =
        chooseClass(classNamesServed(configured), askedClass, configured.className);
    if (!choice.problem.isEmpty()) {
        std::fprintf(stderr, "quiltaro : %s\n", qPrintable(choice.problem));
        return 2;
    }
    ServerSettings settings = configured;
    if (!choice.chosen.isEmpty())
        settings.className = choice.chosen;
    // The window opens at once, whether the server answers or not, saying
    // that it reads; the class fills it in when the server has answered.
    const auto window = std::make_unique<ResultsWindow>(
        reading(settings), QDateTime::currentDateTime(), false, period);
    window->setClassListPlace(placeOf(settings));
    window->addClassButton(computersButton(settings, window.get()));
    QString lastProblem;
    auto show = [&](const ClassRecord& data, const QString& problem) {
        if (!problem.isEmpty() && problem != lastProblem)
            std::fprintf(stderr,
                         "quiltaro : les résultats de la classe ne peuvent pas être lus "
                         "sur le serveur (%s) : %s.\n",
                         qPrintable(maskedConnInfo(settings.conninfo)), qPrintable(problem));
        lastProblem = problem;
        // The same window, shown again: it neither moves nor takes the focus
        // from whatever the teacher is doing meanwhile.
        window->refreshWhenFree(data, QDateTime::currentDateTime());
    };
    // Each class has its feed; what an earlier class's feed had queued is
    // dropped, not shown under the class chosen since.
    int generation = 0;
    std::unique_ptr<ServerClassFeed> feed;
    const auto follow = [&] {
        feed.reset();
        const int mine = ++generation;
        // The server counts the class, and gives its list, on the feed's
        // thread; the window is built on this one.
        feed = std::make_unique<ServerClassFeed>(
            settings, refreshPeriod,
            [&, mine](const ClassRecord& counted, bool changed, const QString& problem) {
                if (!changed)
                    return;
                ClassRecord data = counted;
                if (!problem.isEmpty())
                    data.problems << QStringLiteral("les manches n'ont pas pu être lues sur le "
                                                    "serveur de la classe : %1 ; nouvel essai "
                                                    "dans quelques secondes")
                                         .arg(problem);
                QMetaObject::invokeMethod(
                    qApp,
                    [&show, &generation, mine, data, problem] {
                        if (mine == generation)
                            show(data, problem);
                    },
                    Qt::QueuedConnection);
            });
    };
    window->setClasses(choice.classes, choice.chosen, [&](const QString& className) {
        settings.className = className;
        window->setClassListPlace(placeOf(settings));
        window->refresh(reading(settings), QDateTime::currentDateTime());
        follow();
    });
    window->setSchoolReader([&configured] {
        return [configured](const Period& shown) {
            return readServerSchool(configured, loginClassNames(configured.className), shown,
                                    QDateTime::currentDateTime());
        };
    });
    window->show();
    follow();
    const int status = QApplication::exec();
    feed.reset();
    return status == 0 && !lastProblem.isEmpty() ? 1 : status;
}

} // namespace quiltaro
