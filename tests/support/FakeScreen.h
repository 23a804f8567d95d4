#pragma once

#include "Surface.h"

#include <QImage>
#include <QRegion>
#include <QtTest>

#include <initializer_list>

#include <vector>

namespace quiltaro {

// The rows of a test run at each of these device pixel ratios.
inline void ratioRows(std::initializer_list<qreal> ratios) {
    QTest::addColumn<qreal>("ratio");
    for (qreal ratio : ratios)
        QTest::newRow(qPrintable(QString::number(ratio))) << ratio;
}

// A view without a window: what it paints is copied from the image to a
// screen of its own, and the surface is told, as the real view does.
struct FakeScreen {
    Surface g;
    QImage screen;
    std::vector<QRegion> presented;

    explicit FakeScreen(qreal ratio) : g(QSizeF(480, 300), ratio, Qt::white) {
        screen = QImage(g.image().size(), QImage::Format_RGB32);
        screen.fill(Qt::black);
        g.setPresenter([this](const QRegion& region) {
            presented.push_back(region);
            for (const QRect& rect : region)
                paint(rect);
        });
    }
    void paint(const QRect& rect) {
        g.paintInto(rect, screen, QPoint());
        g.markShown(rect);
    }
};

} // namespace quiltaro
