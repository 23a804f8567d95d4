// The results window, a program of its own so that the game itself never
// loads Qt Charts: `quiltaro --results` hands over to it.
#include "Commands.h"
#include "RecordStore.h"
#include "Results.h"
#include "ResultsWindow.h"

#include <QApplication>
#include <QTimer>
#include <QWindow>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication::setApplicationName(QStringLiteral("quiltaro"));
    // The game's desktop entry opens this window too ("Résultats"): the same
    // app id, so that the dock shows the game's icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("fr.quiltaro.Quiltaro"));
    QApplication app(argc, argv);
    const quiltaro::ResultsData data = quiltaro::loadResults(quiltaro::RecordStore::defaultPath(),
                                                             quiltaro::ResultsWindow::recentGames);
    // Told on the terminal too, for a teacher who reads the results from a script.
    if (data.damaged)
        std::fprintf(stderr, "%s\n",
                     qPrintable(quiltaro::damagedRecordText(quiltaro::RecordStore::defaultPath(),
                                                            size_t(data.rounds), -1)));
    quiltaro::ResultsWindow window(data);
    window.show();
    // For the benchmark: says when the window is on the screen, then leaves.
    if (qEnvironmentVariableIsSet("QUILTARO_REPORT_PAINTED")) {
        while (!window.windowHandle() || !window.windowHandle()->isExposed())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        window.repaint();
        QCoreApplication::processEvents();
        std::printf(
            "painted_ns %lld\n",
            static_cast<long long>(std::chrono::steady_clock::now().time_since_epoch().count()));
        return 0;
    }
    const int status = app.exec();
    // What was shown was not the whole record.
    return status == 0 && data.damaged ? 1 : status;
}
