// What a surface sends to the screen: every pixel that changed, however the
// view paints meanwhile, and a large change in bands that keep Qt's staging
// buffers small.
#include "FakeScreen.h"
#include "Palette.h"
#include "SurfaceView.h"

#include <QBackingStore>
#include <QPaintEvent>
#include <QPainter>
#include <QRandomGenerator>
#include <QtTest>

#include <vector>

using namespace quiltaro;
using namespace quiltaro::palette;

class PresentingTest : public QObject {
    Q_OBJECT

private slots:
    void theScreenShowsEveryChange_data() { ratioRows({1, 1.5}); }
    void theScreenShowsEveryChange() {
        // Small and large drawings, often drawn back to what the screen
        // showed two frames before (a blink, a bracket that moves on), and
        // paints of the view between presentations (a control shown, a
        // window uncovered) over what is drawn but not yet presented.
        QFETCH(qreal, ratio);
        FakeScreen f(ratio);
        QRandomGenerator random(19);
        auto at = [&](double limit) { return random.bounded(limit); };
        f.g.present(), f.g.present();
        for (int frame = 0; frame < 600; ++frame) {
            for (int n = random.bounded(1, 5); n > 0; --n) {
                const double x = at(470), y = at(290);
                switch (random.bounded(5)) {
                case 0:
                    f.g.line(x, y, x, y + at(60), random.bounded(count));
                    break;
                case 1:
                    f.g.filledBox(x, y, x + at(40), y + at(20), random.bounded(count));
                    break;
                case 2:
                    f.g.filledBox(0, 60, 480, 300, frame % 2 ? white : lightCyan);
                    break;
                case 3:
                    // Now and then past Qt's glyph cache, which draws otherwise.
                    f.g.setFontSize(random.bounded(4) == 0 ? 60 : 14);
                    f.g.setForeColor(random.bounded(count));
                    f.g.setPosition(x, y);
                    f.g.print(QString::number(frame), Surface::LineEnd::Keep);
                    break;
                default:
                    f.g.ellipse(x, y, at(20), random.bounded(count), 1);
                }
                if (random.bounded(8) == 0) {
                    const QRect image = f.g.image().rect();
                    f.paint(QRect(random.bounded(image.width()), random.bounded(image.height()),
                                  random.bounded(1, 50), random.bounded(1, 50))
                                .intersected(image));
                }
            }
            f.g.present();
            if (f.screen != f.g.image()) {
                const QImage diff = f.screen;
                QRect wrong;
                for (int y = 0; y < diff.height(); ++y)
                    for (int x = 0; x < diff.width(); ++x)
                        if (diff.pixel(x, y) != f.g.image().pixel(x, y))
                            wrong |= QRect(x, y, 1, 1);
                QFAIL(qPrintable(
                    QStringLiteral("frame %1: the screen differs within (%2, %3) %4 x %5")
                        .arg(frame)
                        .arg(wrong.x())
                        .arg(wrong.y())
                        .arg(wrong.width())
                        .arg(wrong.height())));
            }
        }
    }

    void whatIsDrawnOverAFillMeetsTheFill_data() { ratioRows({1, 1.5}); }
    void whatIsDrawnOverAFillMeetsTheFill() {
        // A fill that covers whole tiles writes them only when they are read
        // or drawn over: a glyph, a curve or a line drawn on such a tile
        // must blend with the fill, not with what the tile held before.
        QFETCH(qreal, ratio);
        auto drawOver = [](Surface& g) {
            g.filledBox(0, 40, 480, 300, lightCyan);
            g.ellipse(200, 150, 60, red, 0.5);
            g.setForeColor(blue);
            g.setPosition(70, 260);
            g.print(QStringLiteral("Ta réponse est en dehors de l'intervalle"),
                    Surface::LineEnd::Keep);
            g.line(10, 120, 460, 121, blue);
            g.line(100, 99, 100, 140, white);
        };
        Surface before(QSizeF(480, 300), ratio, Qt::white),
            fresh(QSizeF(480, 300), ratio, Qt::white);
        before.filledBox(0, 0, 480, 300, yellow);
        before.line(50, 50, 400, 280, red);
        before.present(), before.present(), before.present();
        drawOver(before);
        drawOver(fresh);
        QCOMPARE(before.pixelAt(300, 250), QColor(paletteColor(lightCyan)));
        QCOMPARE(before.pixelAt(300, 20), QColor(paletteColor(yellow)));
        // Below the top of the fill, the two pictures are the same, and
        // what was drawn over the fill is there.
        const int top = static_cast<int>(std::ceil(40 * before.scale())) + 1;
        const QRect below(0, top, before.image().width(), before.image().height() - top);
        QVERIFY(before.image().copy(below) == fresh.image().copy(below));
        auto count = [&](QRgb colour) {
            int n = 0;
            for (int y = below.top(); y <= below.bottom(); ++y)
                for (int x = below.left(); x <= below.right(); ++x)
                    n += before.image().pixel(x, y) == colour;
            return n;
        };
        QVERIFY(count(paletteColor(red).rgb()) > 100 * ratio);
        QVERIFY(count(paletteColor(blue).rgb()) > 1000 * ratio);
        QVERIFY(count(paletteColor(white).rgb()) > 30 * ratio);
    }

    void paintingWritesItsRectangleOnly() {
        // Tiles made of fills go to the window from their recipes. A
        // rectangle often cuts tiles (a control over the line, the edge of
        // what changed): the window's pixels outside it, a control's among
        // them, stay as they were.
        Surface g(QSizeF(480, 300), 1.5, Qt::white);
        g.present(), g.present();
        QRandomGenerator random(5);
        const QPoint origin(7, 3);
        QImage window(g.image().size() + QSize(9, 9), QImage::Format_ARGB32_Premultiplied);
        for (int round = 0; round < 200; ++round) {
            for (int n = random.bounded(1, 6); n > 0; --n) {
                const double x = random.bounded(480.0), y = random.bounded(300.0);
                g.filledBox(x, y, x + 1 + random.bounded(200.0), y + 1 + random.bounded(40.0),
                            random.bounded(count));
            }
            if (round % 4 == 0)
                g.line(random.bounded(480.0), 0, random.bounded(480.0), 300, red);
            const QRect rect(random.bounded(-5, window.width()),
                             random.bounded(-5, window.height()), random.bounded(1, 300),
                             random.bounded(1, 120));
            window.fill(Qt::black);
            g.paintInto(rect, window, origin);
            QImage expected(window.size(), window.format());
            expected.fill(Qt::black);
            QPainter painter(&expected);
            painter.setClipRect(rect.translated(origin));
            painter.drawImage(origin, g.image());
            painter.end();
            QVERIFY2(window == expected, qPrintable(QStringLiteral("round %1").arg(round)));
            g.present();
        }
    }

    void aReleasedImageComesBackAsItWas() {
        // A window in the background gives its image back; drawn on again,
        // it has the same picture as a surface that never let it go, and the
        // screen, which showed it all along, is sent only what changed.
        FakeScreen f(1.5);
        Surface twin(QSizeF(480, 300), 1.5, Qt::white);
        auto draw = [](Surface& g, int round) {
            g.filledBox(0, 60, 480, 300, round % 2 ? white : lightCyan);
            g.ellipse(100 + round * 20, 150, 40, red, 0.5);
            g.setForeColor(blue);
            g.setPosition(70, 260);
            g.print(QString::number(round * 1234.5), Surface::LineEnd::End);
            g.line(10, 120 + round, 460, 120 + round, blue);
        };
        for (int whole = 0; whole < 2; ++whole) // until then, the surface goes out whole
            f.g.filledBox(0, 0, 480, 300, yellow), f.g.present(),
                twin.filledBox(0, 0, 480, 300, yellow);
        for (int round = 0; round < 6; ++round) {
            draw(f.g, round), draw(twin, round);
            f.g.present(), twin.present();
            const QImage shown = f.screen;
            f.g.release();
            QVERIFY(!f.g.holdsImage());
            f.presented.clear();
            f.g.present(); // nothing drawn: nothing to draw again either
            QVERIFY(!f.g.holdsImage());
            QCOMPARE(f.presented, std::vector<QRegion>{QRegion()});
            QCOMPARE(f.g.image(), twin.image());
            QVERIFY(f.g.holdsImage());
            f.g.setForeColor(blue);
            f.g.setPosition(70, 260);
            f.g.print(QString::number(round * 1234.5), Surface::LineEnd::End);
            f.presented.clear();
            f.g.present();
            QCOMPARE(f.screen, shown);
            QCOMPARE(f.presented, std::vector<QRegion>{QRegion()});
        }
        // Something drawn and not yet on the screen keeps the image.
        f.g.line(0, 0, 100, 0, red);
        f.g.release();
        QVERIFY(f.g.holdsImage());
    }

    void aWindowInTheBackgroundReleasesItsImage() {
        QWidget back, front;
        auto* view = new SurfaceView(QSizeF(480, 300), Qt::white, &back);
        back.resize(700, 450), front.resize(200, 100);
        back.show();
        QVERIFY(QTest::qWaitForWindowActive(&back));
        view->surface().filledBox(10, 10, 100, 100, red);
        view->surface().present();
        QVERIFY(view->surface().holdsImage());
        front.show();
        front.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&front));
        QTRY_VERIFY(!view->surface().holdsImage());
        QCOMPARE(view->surface().pixelAt(50, 50), QColor(paletteColor(red)));
    }

    void theWindowShowsTheSurfacePixelForPixel() {
        // On a desktop at 125 % or 150 %, a rectangle of the view often
        // starts at a fraction of a device pixel; what the window shows must
        // still be the surface's pixels, not a resampled copy with lines
        // shifted from one rectangle to the next. Run at such ratios by ctest.
        QWidget window;
        window.resize(700, 450);
        auto* view = new SurfaceView(QSizeF(480, 300), Qt::white, &window);
        view->move(3, 5); // odd, as where a window centres its content
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        Surface& g = view->surface();
        g.setScale(view->devicePixelRatioF(), 0.84); // a window scaled to fit a small screen
        auto shown = [&window] {
            QPaintDevice* device = window.backingStore()->paintDevice();
            return device->devType() == QInternal::Image
                       ? static_cast<QImage*>(device)->convertToFormat(QImage::Format_RGB32)
                       : QImage();
        };
        // The frame the view is placed by: a whole picture, presented whole.
        g.filledBox(0, 0, 480, 300, lightCyan), g.present(), g.present();
        QImage screen = shown();
        QVERIFY(!screen.isNull());
        const QRect viewRect = g.image().rect();
        QPoint origin(-1, -1);
        for (int y = 0; y <= 12 && origin.y() < 0; ++y)
            for (int x = 0; x <= 12 && origin.y() < 0; ++x)
                if (screen.copy(viewRect.translated(x, y)) == g.image())
                    origin = QPoint(x, y);
        QVERIFY2(origin.y() >= 0, "the whole picture is not on the screen pixel for pixel");
        QRandomGenerator random(7);
        for (int frame = 0; frame < 150; ++frame) {
            const double x = random.bounded(470.0), y = random.bounded(280.0);
            g.filledBox(0, 60, 480, 300, frame % 2 ? white : lightCyan);
            g.line(x, y, x, y + 20, red);
            g.line(0, y, x, y, blue);
            g.present();
            screen = shown();
            if (screen.copy(viewRect.translated(origin)) != g.image())
                QFAIL(qPrintable(
                    QStringLiteral("frame %1 is not on the screen as drawn").arg(frame)));
        }
    }

    void aLargeChangeIsPaintedInBands() {
        // Qt's X backing store keeps a buffer as large as the largest
        // rectangle it has flushed, for the life of the window.
        QWidget window;
        window.resize(700, 450);
        auto* view = new SurfaceView(QSizeF(480, 300), Qt::white, &window);
        std::vector<QRect> painted;
        struct Spy : QObject {
            std::vector<QRect>* painted;
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() == QEvent::Paint)
                    painted->push_back(static_cast<QPaintEvent*>(e)->rect());
                return false;
            }
        } spy;
        spy.painted = &painted;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        view->installEventFilter(&spy);
        view->surface().filledBox(0, 0, 480, 300, blue);
        view->surface().present();
        QRegion covered;
        const qreal r = view->devicePixelRatioF();
        for (const QRect& rect : painted) {
            QVERIFY2(rect.width() * rect.height() * r * r * 4 <= 128 * 1024,
                     qPrintable(QStringLiteral("%1 x %2").arg(rect.width()).arg(rect.height())));
            covered += rect;
        }
        QCOMPARE(covered, QRegion(view->rect()));
    }
};

QTEST_MAIN(PresentingTest)
#include "test_presenting.moc"
