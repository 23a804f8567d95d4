#include "ResultsFromServer.h"

#include "ClassRecord.h"
#include "ComputersPanel.h"
#include "ResultsWindow.h"
#include "ServerActivity.h"
#include "ServerClassFeed.h"
#include "ServerClassList.h"
#include "ServerConnection.h"

#include <QApplication>
#include <QPointer>
#include <QPushButton>

#include <chrono>
#include <cstdio>
#include <memory>

namespace quiltaro {

namespace {

constexpr auto refreshPeriod = std::chrono::seconds(5);

} // namespace

int showServerResults(const ServerSettings& settings, const Period& period) {
    // The window opens at once, whether the server answers or not, saying
    // that it reads; the class fills it in when the server has answered.
    ClassRecord reading;
    reading.problems << QStringLiteral("les manches sont en cours de lecture sur le serveur de "
                                       "la classe (%1)")
                            .arg(maskedConnInfo(settings.conninfo));
    const auto window =
        std::make_unique<ResultsWindow>(reading, QDateTime::currentDateTime(), false, period);
    window->setClassListPlace(serverClassListPlace(settings));
    auto* computers = new QPushButton(QStringLiteral("&Postes…"));
    computers->setToolTip(QStringLiteral("Quel poste a envoyé les manches de chaque élève, et "
                                         "quand ; les postes qui n'envoient plus"));
    QObject::connect(computers, &QPushButton::clicked, window.get(), [&settings, &window] {
        auto* panel = new ComputersPanel(serverSendingActivity(settings), window.get());
        panel->setAttribute(Qt::WA_DeleteOnClose);
        panel->show();
    });
    window->addClassButton(computers);
    window->show();
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
    // The server counts the class on the feed's thread; the window is built
    // on this one.
    ServerClassFeed feed(
        settings, refreshPeriod,
        [&](const ClassRecord& counted, bool changed, const QString& problem) {
            if (!changed)
                return;
            ClassRecord data = counted;
            if (!problem.isEmpty())
                data.problems << QStringLiteral("les manches n'ont pas pu être lues sur le "
                                                "serveur de la classe : %1 ; nouvel essai dans "
                                                "quelques secondes")
                                     .arg(problem);
            QMetaObject::invokeMethod(
                qApp, [&show, data, problem] { show(data, problem); }, Qt::QueuedConnection);
        });
    const int status = QApplication::exec();
    return status == 0 && !lastProblem.isEmpty() ? 1 : status;
}

} // namespace quiltaro
