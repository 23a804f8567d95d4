// The results window, a program of its own so that the game itself never
// loads Qt Charts: `quiltaro --results` hands over to it.
#include "Commands.h"
#include "RecordStore.h"
#include "Results.h"
#include "ResultsWindow.h"
#include "ServerResults.h"

#include <QApplication>
#include <QTimer>
#include <QWindow>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <utility>

namespace {

// Runs something once, after the window's first paint has been handled.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(std::function<void()> then) : then_(std::move(then)) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && then_)
            std::exchange(then_, nullptr)();
        return false;
    }

private:
    std::function<void()> then_;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication::setApplicationName(QStringLiteral("quiltaro"));
    // The game's desktop entry opens this window too ("Résultats"): the same
    // app id, so that the dock shows the game's icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("fr.quiltaro.Quiltaro"));
    QApplication app(argc, argv);
    using namespace quiltaro;
    // With a server, the class is read there, and followed while it plays.
    if (const ServerSettings server = readServerSettings(); server.configured())
        return showServerResults(server);
    const QString path = RecordStore::defaultPath();
    // The window first; the check of the whole file, which reads all of it,
    // once it is on the screen.
    ResultsData data = loadResults(path, ResultsWindow::recentGames, false);
    auto window = std::make_unique<ResultsWindow>(data);
    window->show();
    auto tellDamage = [&] {
        // Told on the terminal too, for a teacher who reads the results from a script.
        std::fprintf(stderr, "%s\n", qPrintable(damagedRecordText(path, size_t(data.rounds), -1)));
    };
    auto checkWhole = [&] {
        if (data.damaged || data.state == ResultsData::State::Newer || recordIsWhole(path))
            return;
        data = loadResults(path, ResultsWindow::recentGames);
        auto whole = std::make_unique<ResultsWindow>(data);
        whole->setGeometry(window->geometry());
        whole->show();
        window = std::move(whole);
        tellDamage();
    };
    if (data.damaged)
        tellDamage();
    // For the benchmark: says when the window is on the screen, then leaves.
    if (qEnvironmentVariableIsSet("QUILTARO_REPORT_PAINTED")) {
        while (!window->windowHandle() || !window->windowHandle()->isExposed())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        window->repaint();
        QCoreApplication::processEvents();
        std::printf(
            "painted_ns %lld\n",
            static_cast<long long>(std::chrono::steady_clock::now().time_since_epoch().count()));
        return 0;
    }
    FirstPaint firstPaint([&] { QTimer::singleShot(0, checkWhole); });
    window->installEventFilter(&firstPaint);
    const int status = app.exec();
    // What was shown was not the whole record.
    return status == 0 && data.damaged ? 1 : status;
}
