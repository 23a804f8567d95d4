#include "SurfaceView.h"

#include <QCoreApplication>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace quiltaro {

SurfaceView::SurfaceView(QSizeF sizeInPoints, QColor background, QWidget* parent)
    : QWidget(parent) {
    const qreal ratio = parent ? parent->devicePixelRatioF() : devicePixelRatioF();
    surface_ = std::make_unique<Surface>(sizeInPoints, ratio, background);
    resize(static_cast<int>(std::lround(sizeInPoints.width() * 96.0 / 72.0)),
           static_cast<int>(std::lround(sizeInPoints.height() * 96.0 / 72.0)));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    surface_->setPresenter([this](const QRect& deviceRect) {
        if (!isVisible())
            return;
        // A control shown since the last frame is part of this frame, but Qt
        // only marks it for painting from the event loop, which an animation
        // does not run until it ends: the arrow of a point lost would appear
        // after the blink. Those marks are delivered now, and the repaint
        // below paints every marked control along with the surface.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateLater);
        if (deviceRect.isEmpty()) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
            return;
        }
        const qreal r = surface_->devicePixelRatio();
        const QRect logical(QPoint(static_cast<int>(std::floor(deviceRect.left() / r)),
                                   static_cast<int>(std::floor(deviceRect.top() / r))),
                            QPoint(static_cast<int>(std::ceil((deviceRect.right() + 1) / r)),
                                   static_cast<int>(std::ceil((deviceRect.bottom() + 1) / r))));
        repaintInBands(logical);
    });
}

void SurfaceView::repaintInBands(const QRect& rect) {
    // Without shared memory, Qt's X backing store copies each rectangle it
    // flushes into a staging buffer of the window's, which grows to the
    // largest rectangle flushed and never shrinks: a whole surface repainted
    // at once would keep megabytes for the rest of the game. Bands of rows
    // keep it small, at the cost of a few more requests to the X server.
    const qreal r = devicePixelRatioF();
    const qreal bytesPerRow = std::ceil(rect.width() * r) * std::ceil(r) * 4;
    const int rows = std::max(1, static_cast<int>(bandBytes / bytesPerRow));
    for (int top = rect.top(); top <= rect.bottom(); top += rows)
        repaint(QRect(rect.left(), top, rect.width(), std::min(rows, rect.bottom() + 1 - top)));
}

void SurfaceView::setContentScale(double scale) {
    const qint64 before = surface_->image().cacheKey();
    surface_->setScale(devicePixelRatioF(), scale);
    if (surface_->image().cacheKey() != before)
        update();
}

void SurfaceView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QImage& image = surface_->image();
    const qreal r = surface_->devicePixelRatio();
    for (const QRect& rect : event->region()) {
        const QRect source(static_cast<int>(std::floor(rect.left() * r)),
                           static_cast<int>(std::floor(rect.top() * r)),
                           static_cast<int>(std::ceil(rect.width() * r)),
                           static_cast<int>(std::ceil(rect.height() * r)));
        painter.drawImage(QRectF(rect), image, source);
        surface_->markShown(source);
    }
}

} // namespace quiltaro
