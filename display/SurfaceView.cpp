#include "SurfaceView.h"

#include <QCoreApplication>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

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
    surface_->setPresenter([this](const QRegion& deviceRegion) {
        if (!isVisible())
            return;
        // A control shown since the last frame is part of this frame, but Qt
        // only marks it for painting from the event loop, which an animation
        // does not run until it ends: the arrow of a point lost would appear
        // after the blink. Those marks are delivered now, and the repaint
        // below paints every marked control along with the surface.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateLater);
        if (deviceRegion.isEmpty()) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
            return;
        }
        const qreal r = surface_->devicePixelRatio();
        if (r == 1) {
            repaintInBands(deviceRegion);
            return;
        }
        std::vector<QRect> logical;
        for (const QRect& rect : deviceRegion)
            logical.push_back(
                QRect(QPoint(static_cast<int>(std::floor(rect.left() / r)),
                             static_cast<int>(std::floor(rect.top() / r))),
                      QPoint(static_cast<int>(std::ceil((rect.right() + 1) / r)) - 1,
                             static_cast<int>(std::ceil((rect.bottom() + 1) / r)) - 1)));
        QRegion region;
        for (const QRect& rect : logical)
            region += rect;
        repaintInBands(region);
    });
}

void SurfaceView::repaintInBands(const QRegion& region) {
    // Without shared memory, Qt's X backing store sends each rectangle of
    // the region it flushes through a staging buffer of the window's, which
    // grows to the largest rectangle flushed and never shrinks: a whole
    // surface repainted at once would keep megabytes for the rest of the
    // game. A region of small rectangles, the usual frame, is repainted at
    // once: every repaint costs Qt's whole round to the X server. Otherwise
    // bands of rows, as high as the widest rectangle allows, keep the buffer
    // small; a band with nothing to paint costs nothing.
    //
    // The bands grow with the picture. A zoom frame full screen at 4K
    // changes 400 to 600 kB of pixels in rows spread over most of the line's
    // height; in bands of 128 kB that made 25 to 27 repaints a frame, and
    // the zoom took 7 % longer than its time, against 5 to 6 % in bands of a
    // sixteenth of the picture. The buffer then stays a small part of what
    // the picture itself holds.
    const qreal r = devicePixelRatioF();
    auto bytes = [r](int width, int height) {
        return std::ceil(width * r) * std::ceil(height * r) * 4;
    };
    const qreal bandBytes = std::max<qreal>(minBandBytes, bytes(width(), height()) / 16);
    int widest = 0;
    qreal largest = 0;
    for (const QRect& rect : region) {
        widest = std::max(widest, rect.width());
        largest = std::max(largest, bytes(rect.width(), rect.height()));
    }
    const QRect bounds = region.boundingRect();
    if (largest <= bandBytes) {
        repaint(region);
        return;
    }
    // Bands start on the surface's rows of tiles: a row of changed tiles is
    // painted at once, not in two halves.
    const int tileRows = std::max(1, static_cast<int>(Surface::tileHeight / r));
    const int rows =
        std::max(tileRows, static_cast<int>(bandBytes / bytes(widest, 1)) / tileRows * tileRows);
    for (int top = bounds.top() / tileRows * tileRows; top <= bounds.bottom(); top += rows) {
        const QRegion band = region.intersected(
            QRect(bounds.left(), top, bounds.width(), std::min(rows, bounds.bottom() + 1 - top)));
        if (!band.isEmpty())
            repaint(band);
    }
}

void SurfaceView::setContentScale(double scale) {
    const std::pair before(surface_->devicePixelRatio(), surface_->contentScale());
    surface_->setScale(devicePixelRatioF(), scale);
    if (std::pair(surface_->devicePixelRatio(), surface_->contentScale()) != before)
        update();
}

bool SurfaceView::event(QEvent* event) {
    // A window in the background (the welcome window behind the game, the
    // game behind the farewell) keeps its picture on the screen and in Qt's
    // backing store; the surface's own copy is only needed to draw, and is
    // drawn again then.
    if (event->type() == QEvent::WindowDeactivate)
        surface_->release();
    return QWidget::event(event);
}

void SurfaceView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    if (!painter.isActive())
        return;
    // The image is copied to the window's device pixels one for one. Left to
    // Qt, a rectangle that starts at a fraction of a device pixel (any odd
    // rectangle at 150 %) is resampled to its place, and lines of the picture
    // come out shifted by a pixel from one rectangle to the next.
    const QTransform toDevice = painter.deviceTransform();
    const QPoint origin(qRound(toDevice.dx()), qRound(toDevice.dy()));
    painter.setWorldTransform(QTransform::fromTranslate(origin.x(), origin.y()) *
                              toDevice.inverted());
    // What Qt paints and sends, in the surface's pixels: the same rectangles
    // are then known to be on the screen.
    QRegion painted = painter.paintEngine()->systemClip().translated(-origin);
    if (painted.isEmpty()) {
        const qreal r = surface_->devicePixelRatio();
        for (const QRect& rect : event->region())
            painted += QRect(QPoint(static_cast<int>(std::floor(rect.left() * r)),
                                    static_cast<int>(std::floor(rect.top() * r))),
                             QPoint(static_cast<int>(std::ceil((rect.right() + 1) * r)) - 1,
                                    static_cast<int>(std::ceil((rect.bottom() + 1) * r)) - 1));
    }
    QImage* const target = copyTarget(painter);
    for (const QRect& rect : painted) {
        if (target)
            surface_->paintInto(rect, *target, origin);
        else
            painter.drawImage(rect.topLeft(), surface_->image(rect), rect);
        surface_->markShown(rect);
    }
}

QImage* SurfaceView::copyTarget(QPainter& painter) {
    // Qt's backing store on X is an image of 32-bit pixels with alpha, and
    // the surface's opaque pixels are the same words in it. QPainter would
    // go through its general blending path for each rectangle of the
    // painted region (a dozen in a sweep frame, cut up by the controls over
    // the line), which cost more than the rest of the frame's presentation.
    QPaintDevice* device = painter.paintEngine()->paintDevice();
    if (!device || device->devType() != QInternal::Image)
        return nullptr;
    auto* image = static_cast<QImage*>(device);
    const QImage::Format format = image->format();
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
                   format == QImage::Format_ARGB32_Premultiplied
               ? image
               : nullptr;
}

} // namespace quiltaro
