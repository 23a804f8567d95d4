#include "ResultsFromServer.h"

#include "ClassRecord.h"
#include "ResultsWindow.h"
#include "ServerClassFeed.h"
#include "ServerClassList.h"
#include "ServerConnection.h"

#include <QApplication>
#include <QPointer>

#include <chrono>
#include <cstdio>
#include <memory>

namespace quiltaro {

namespace {

constexpr auto refreshPeriod = std::chrono::seconds(5);

} // namespace

int showServerResults(const ServerSettings& settings, const Period& period) {
    std::unique_ptr<ResultsWindow> window;
    QString lastProblem;
    auto show = [&](const ClassRecord& data, const QString& problem) {
        if (!problem.isEmpty() && problem != lastProblem)
            std::fprintf(stderr,
                         "quiltaro : les résultats de la classe ne peuvent pas être lus "
                         "sur le serveur (%s) : %s.\n",
                         qPrintable(maskedConnInfo(settings.conninfo)), qPrintable(problem));
        lastProblem = problem;
        if (!window) {
            window =
                std::make_unique<ResultsWindow>(data, QDateTime::currentDateTime(), false, period);
            window->setClassListPlace(serverClassListPlace(settings));
            window->show();
            return;
        }
        // The same window, shown again: it neither moves nor takes the focus
        // from whatever the teacher is doing meanwhile.
        window->refreshWhenFree(data, QDateTime::currentDateTime());
    };
    // The server counts the class on the feed's thread; the window is built
    // on this one.
    ServerClassFeed feed(settings, refreshPeriod,
                         [&](const ClassRecord& counted, bool changed, const QString& problem) {
                             if (!changed)
                                 return;
                             ClassRecord data = counted;
                             if (!problem.isEmpty())
                                 data.problems << problem;
                             QMetaObject::invokeMethod(
                                 qApp, [&show, data, problem] { show(data, problem); },
                                 Qt::QueuedConnection);
                         });
    const int status = QApplication::exec();
    return status == 0 && !lastProblem.isEmpty() ? 1 : status;
}

} // namespace quiltaro
