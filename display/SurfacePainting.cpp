#include "Surface.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>

// How a kept operation paints its device pixels, at the surface's scale.
namespace quiltaro {

int Surface::dev(double points) const {
    return static_cast<int>(std::lround(points * scale_));
}

int Surface::pixelWidth(int widthInPixels) const {
    return std::max(
        1, static_cast<int>(std::lround(std::max(1, widthInPixels) * ratio_ * contentScale_)));
}

void Surface::fillDevice(QRect rect, QRgb rgb) {
    rect = rect.intersected(image_.rect());
    if (rect.isEmpty())
        return;
    for (int row = rect.top(); row <= rect.bottom(); ++row) {
        auto* line = reinterpret_cast<QRgb*>(image_.scanLine(row));
        std::fill(line + rect.left(), line + rect.right() + 1, rgb);
    }
    markDirty(rect);
}

// Horizontal and vertical lines, which are all this game draws, go straight
// to whole device pixels: crisp at any scale, and cheap enough for an
// animation frame. Square ends, so that a serif meets its bracket without a
// notch.
QRect Surface::straightLineRect(const Operation& op) const {
    const int width = pixelWidth(op.lineWidth);
    const int half = width / 2;
    const int left = dev(std::min(op.x1, op.x2)) - half;
    const int top = dev(std::min(op.y1, op.y2)) - half;
    const int right = dev(std::max(op.x1, op.x2)) - half + width;
    const int bottom = dev(std::max(op.y1, op.y2)) - half + width;
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

// Both corners are included: the box reaches over the last point's pixel.
QRect Surface::boxRect(const Operation& op) const {
    const int onePixel = pixelWidth(1);
    return QRect(QPoint(dev(std::min(op.x1, op.x2)), dev(std::min(op.y1, op.y2))),
                 QPoint(dev(std::max(op.x1, op.x2)) + onePixel - 1,
                        dev(std::max(op.y1, op.y2)) + onePixel - 1));
}

void Surface::perform(const Operation& op) {
    switch (op.kind) {
    case Operation::Kind::Line: {
        if (op.x1 == op.x2 || op.y1 == op.y2) {
            fillDevice(straightLineRect(op), op.colour);
            return;
        }
        const int width = pixelWidth(op.lineWidth);
        QPainter painter(&image_);
        painter.setPen(QPen(QColor(op.colour), width, Qt::SolidLine, Qt::SquareCap));
        painter.drawLine(QPointF(op.x1 * scale_, op.y1 * scale_),
                         QPointF(op.x2 * scale_, op.y2 * scale_));
        const int margin = width + 1;
        markDirty(QRect(QPoint(dev(std::min(op.x1, op.x2)), dev(std::min(op.y1, op.y2))),
                        QPoint(dev(std::max(op.x1, op.x2)), dev(std::max(op.y1, op.y2))))
                      .adjusted(-margin, -margin, margin, margin));
        return;
    }
    case Operation::Kind::FilledBox:
        fillDevice(boxRect(op), op.colour);
        return;
    case Operation::Kind::Box: {
        if (op.solid)
            fillDevice(boxRect(op), op.fill);
        Operation side = op;
        side.kind = Operation::Kind::Line;
        for (auto [x1, y1, x2, y2] :
             {std::array{op.x1, op.y1, op.x2, op.y1}, std::array{op.x2, op.y1, op.x2, op.y2},
              std::array{op.x1, op.y2, op.x2, op.y2}, std::array{op.x1, op.y1, op.x1, op.y2}}) {
            side.x1 = x1, side.y1 = y1, side.x2 = x2, side.y2 = y2;
            fillDevice(straightLineRect(side), op.colour);
        }
        return;
    }
    case Operation::Kind::Ellipse: {
        const double rx = op.x2 * scale_;
        const double ry = op.y2 * scale_;
        const QPointF centre(op.x1 * scale_, op.y1 * scale_);
        const int width = pixelWidth(op.lineWidth);
        {
            QPainter painter(&image_);
            painter.setPen(QPen(QColor(op.colour), width));
            if (op.solid)
                painter.setBrush(QColor(op.fill));
            painter.drawEllipse(centre, rx, ry);
        }
        const int margin = width + 1;
        markDirty(QRectF(centre.x() - rx, centre.y() - ry, 2 * rx, 2 * ry)
                      .toAlignedRect()
                      .adjusted(-margin, -margin, margin, margin));
        return;
    }
    case Operation::Kind::Text: {
        const QFont& font = fonts_[static_cast<std::size_t>(op.font)];
        const QFontMetricsF metrics(font);
        QPainter painter(&image_);
        painter.scale(scale_, scale_);
        painter.setFont(font);
        painter.setPen(QColor(op.colour));
        // The position is the text's top left; Qt draws from the baseline.
        painter.drawText(QPointF(op.x1, op.y1 + metrics.ascent()), op.text);
        const QRectF cell(op.x1, op.y1, metrics.horizontalAdvance(op.text), metrics.height());
        const QRectF area = op.ink.united(cell);
        markDirty(QRectF(area.topLeft() * scale_, area.bottomRight() * scale_)
                      .toAlignedRect()
                      .adjusted(-2, -2, 2, 2));
        return;
    }
    }
}

} // namespace quiltaro
