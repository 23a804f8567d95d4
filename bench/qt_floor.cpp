// The floor under the game's memory: the least a Qt Widgets program takes
// with the game's three windows, at their sizes and places, its four fonts
// and its six pictures, on the same platform settings. Nothing of the game
// runs: no drawing surface, no record, no animation.
//
//   qt_floor [--full-screen]
//
// Shows the three windows one after another, as a round does, then ends by
// itself; the bench reads its peak memory from outside, as it does the game's.

#include "Fonts.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
#include <QTimer>

#include <cstring>
#include <vector>

static void initPictures() {
    Q_INIT_RESOURCE(quiltaro_pictures);
}

namespace {

struct WindowPlan {
    QRect geometry; // the client, where the game puts it without a window manager
    const char* face;
    double points;
};

QPixmap picture(const QString& name, int pixels) {
    QPixmap pixmap(pixels, pixels);
    pixmap.fill(Qt::white);
    QPainter painter(&pixmap);
    QSvgRenderer(QStringLiteral(":/assets/%1.svg").arg(name)).render(&painter);
    return pixmap;
}

} // namespace

int main(int argc, char** argv) {
    const bool fullScreen = argc > 1 && std::strcmp(argv[1], "--full-screen") == 0;
    // The game's own platform settings: X without shared memory.
    qputenv("QT_XCB_NO_MITSHM", "1");
    QApplication app(argc, argv);
    initPictures();
    quiltaro::installFonts();

    const std::vector<WindowPlan> plans = {
        {QRect(72, 99, 980, 569), "Times New Roman", 24},
        {QRect(82, 198, 861, 568), "Arial", 12},
        {QRect(0, 0, 887, 576), "Brush Script MT", 36},
    };
    const QStringList pictures = {QStringLiteral("emblem"), QStringLiteral("magnifier"),
                                  QStringLiteral("smiley"), QStringLiteral("stop"),
                                  QStringLiteral("arrow"),  QStringLiteral("envelope")};
    std::vector<QWidget*> windows;
    for (const WindowPlan& plan : plans) {
        auto* window = new QWidget;
        window->setGeometry(plan.geometry);
        window->setFont(QFont(QString::fromLatin1(plan.face), static_cast<int>(plan.points)));
        auto* text = new QLabel(QStringLiteral("Au revoir : 0 1 2 3 4 5 6 7 8 9"), window);
        text->move(20, 20);
        auto* tahoma = new QLabel(QStringLiteral("contact@quiltaro.example"), window);
        tahoma->setFont(QFont(QStringLiteral("Tahoma"), 12));
        tahoma->move(20, 80);
        int x = 20;
        for (const QString& name : pictures) {
            auto* image = new QLabel(window);
            image->setPixmap(picture(name, 32));
            image->setGeometry(x, 140, 32, 32);
            x += 40;
        }
        windows.push_back(window);
    }
    // One window after another, as a round opens them, all kept to the end.
    int shown = 0;
    QTimer next;
    QObject::connect(&next, &QTimer::timeout, [&] {
        if (shown < static_cast<int>(windows.size())) {
            QWidget* window = windows[static_cast<size_t>(shown++)];
            fullScreen ? window->showFullScreen() : window->show();
        } else {
            QApplication::quit();
        }
    });
    next.start(700);
    const int status = app.exec();
    qDeleteAll(windows);
    return status;
}
