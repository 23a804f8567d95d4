#include "ResultsFromServer.h"

#include "ClassRecord.h"
#include "ResultsWindow.h"
#include "ServerClassFeed.h"
#include "ServerClassList.h"
#include "ServerConnection.h"

#include <QApplication>
#include <QPointer>
#include <QWindow>

#include <chrono>
#include <cstdio>
#include <memory>

namespace quiltaro {

namespace {

constexpr auto refreshPeriod = std::chrono::seconds(5);

} // namespace

int showServerResults(const ServerSettings& settings) {
    std::unique_ptr<ResultsWindow> window;
    QString lastProblem;
    bool first = true;
    auto show = [&](const ClassRecord& data, const QString& problem) {
        if (!problem.isEmpty() && problem != lastProblem)
            std::fprintf(stderr,
                         "quiltaro : les résultats de la classe ne peuvent pas être lus "
                         "sur le serveur (%s) : %s.\n",
                         qPrintable(maskedConnInfo(settings.conninfo)), qPrintable(problem));
        lastProblem = problem;
        first = false;
        if (!window) {
            window = std::make_unique<ResultsWindow>(data, QDateTime::currentDateTime(), false);
            window->setClassListPlace(serverClassListPlace(settings));
            window->show();
            return;
        }
        // The same window, shown again: it neither moves nor takes the focus
        // from whatever the teacher is doing meanwhile.
        window->refreshWhenFree(data, QDateTime::currentDateTime());
    };
    // The sums are done on the feed's thread; the window is built on this one.
    ServerClassFeed feed(
        settings, refreshPeriod,
        [&](const std::vector<RoundRecord>& rounds, bool changed, const QString& problem) {
            if (!changed)
                return;
            ClassRecord data = classOfRounds(rounds);
            if (!problem.isEmpty())
                data.problems << problem;
            QMetaObject::invokeMethod(
                qApp, [&show, data, problem] { show(data, problem); }, Qt::QueuedConnection);
        });
    // For the benchmark: says when the window is on the screen, then leaves.
    if (qEnvironmentVariableIsSet("QUILTARO_REPORT_PAINTED")) {
        while (first || !window->windowHandle() || !window->windowHandle()->isExposed())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        window->repaint();
        QCoreApplication::processEvents();
        std::printf(
            "painted_ns %lld\n",
            static_cast<long long>(std::chrono::steady_clock::now().time_since_epoch().count()));
        return 0;
    }
    const int status = QApplication::exec();
    return status == 0 && !lastProblem.isEmpty() ? 1 : status;
}

} // namespace quiltaro
