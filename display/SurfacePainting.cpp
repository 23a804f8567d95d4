#include "Surface.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

// How a kept operation paints its device pixels, at the surface's scale.
namespace quiltaro {

// Every operation is placed on the design pixels first: the device pixels of
// the window at its design size on this screen (content scale 1). Shown at
// another size, a design pixel becomes the device pixels whose centres lie in
// it, scaled, the same for every operation. So what covers an operation's
// design pixels covers them at every scale: an erase box over a stroke erases
// the whole stroke, and a stroke left one design pixel wide beside it stays.
int Surface::designPixel(double points) const {
    return static_cast<int>(std::lround(points * pixelsPerPoint * ratio_));
}

int Surface::designWidth(int widthInPixels) const {
    return std::max(1, static_cast<int>(std::lround(std::max(1, widthInPixels) * ratio_)));
}

// The first device pixel whose centre lies at or past a design pixel's edge.
int Surface::scaledEdge(int designEdge) const {
    return static_cast<int>(std::ceil(designEdge * contentScale_ - 0.5));
}

QRect Surface::scaledRect(const QRect& design) const {
    return QRect(QPoint(scaledEdge(design.left()), scaledEdge(design.top())),
                 QPoint(scaledEdge(design.right() + 1) - 1, scaledEdge(design.bottom() + 1) - 1));
}

int Surface::pixelWidth(int widthInPixels) const {
    return std::max(
        1, static_cast<int>(std::lround(std::max(1, widthInPixels) * ratio_ * contentScale_)));
}

// Horizontal and vertical lines, which are all this game draws, go straight
// to whole device pixels: crisp at any scale, and cheap enough for an
// animation frame. Square ends, so that a serif meets its bracket without a
// notch.
QRect Surface::straightLineRect(const Operation& op) const {
    const int width = designWidth(op.lineWidth);
    const int half = width / 2;
    const int left = designPixel(std::min(op.x1, op.x2)) - half;
    const int top = designPixel(std::min(op.y1, op.y2)) - half;
    const int right = designPixel(std::max(op.x1, op.x2)) - half + width;
    const int bottom = designPixel(std::max(op.y1, op.y2)) - half + width;
    return scaledRect(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)));
}

// Both corners are included: the box reaches over the last point's pixel.
QRect Surface::boxRect(const Operation& op) const {
    const int onePixel = designWidth(1);
    return scaledRect(
        QRect(QPoint(designPixel(std::min(op.x1, op.x2)), designPixel(std::min(op.y1, op.y2))),
              QPoint(designPixel(std::max(op.x1, op.x2)) + onePixel - 1,
                     designPixel(std::max(op.y1, op.y2)) + onePixel - 1)));
}

// Curves, slanted lines and text are drawn at the device's resolution, sharp
// at any size, but never outside the design pixels they reach at design size:
// a stroke's half width and a glyph's edge scale with the content, and would
// otherwise reach past an erase box that covers them at design size.
QRect Surface::designInk(const Operation& op) const {
    if (op.inkRatio == ratio_)
        return op.designInk;
    const double base = pixelsPerPoint * ratio_;
    const QRectF r = reach(op);
    const QRect area =
        QRectF(r.topLeft() * base, r.bottomRight() * base).toAlignedRect().adjusted(-2, -2, 2, 2);
    QImage scratch(area.size(), QImage::Format_ARGB32_Premultiplied);
    scratch.fill(Qt::transparent);
    {
        QPainter painter(&scratch);
        painter.translate(-area.topLeft());
        paintShape(painter, op, base, designWidth(op.lineWidth));
    }
    QRect ink;
    for (int y = 0; y < scratch.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(scratch.constScanLine(y));
        int left = 0, right = scratch.width() - 1;
        while (left <= right && qAlpha(line[left]) == 0)
            ++left;
        while (right >= left && qAlpha(line[right]) == 0)
            --right;
        if (left <= right)
            ink |= QRect(left, y, right - left + 1, 1);
    }
    op.designInk = ink.translated(area.topLeft());
    op.inkRatio = ratio_;
    return op.designInk;
}

void Surface::paintShape(QPainter& painter, const Operation& op, double scale, int penWidth) const {
    switch (op.kind) {
    case Operation::Kind::Line:
        painter.setPen(QPen(QColor(op.colour), penWidth, Qt::SolidLine, Qt::SquareCap));
        painter.drawLine(QPointF(op.x1 * scale, op.y1 * scale),
                         QPointF(op.x2 * scale, op.y2 * scale));
        return;
    case Operation::Kind::Ellipse:
        painter.setPen(QPen(QColor(op.colour), penWidth));
        if (op.solid)
            painter.setBrush(QColor(op.fill));
        painter.drawEllipse(QPointF(op.x1 * scale, op.y1 * scale), op.x2 * scale, op.y2 * scale);
        return;
    case Operation::Kind::Text: {
        const QFont& font = fonts_[static_cast<std::size_t>(op.font)];
        // The position is the text's top left; glyphs stand on the baseline.
        const QPointF baseline(op.x1, op.y1 + QFontMetricsF(font).ascent());
        painter.scale(scale, scale);
        painter.setPen(QColor(op.colour));
        // Qt renders glyphs up to 64 device pixels from a cache of bitmaps
        // that the font engine makes aliased, as the font asks. Larger ones
        // (18 points on a 4K screen) it fills as outlines, antialiased
        // whatever the font asks, so that each reprint in place blended again.
        // Those are filled aliased: the same unhinted outline, with strokes
        // several pixels wide, so that none drops out. On the surface itself
        // copyLargeText does it, keeping what it filled.
        if (pastGlyphCache(font, scale)) {
            QPainterPath outline;
            outline.addText(baseline, font, op.text);
            painter.fillPath(outline, QColor(op.colour));
            return;
        }
        painter.setFont(font);
        painter.drawText(baseline, op.text);
        return;
    }
    case Operation::Kind::FilledBox:
    case Operation::Kind::Box:
        return;
    }
}

void Surface::perform(const Operation& op) {
    switch (op.kind) {
    case Operation::Kind::Line:
        if (op.x1 == op.x2 || op.y1 == op.y2) {
            fillDevice(straightLineRect(op), op.colour);
            return;
        }
        break;
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
    case Operation::Kind::Ellipse:
    case Operation::Kind::Text:
        break;
    }
    const QRect clip = scaledRect(designInk(op)).intersected(image_.rect());
    if (clip.isEmpty())
        return;
    // The shape lands on what the tiles hold: their pending fills first.
    image(clip);
    if (op.kind == Operation::Kind::Text &&
        pastGlyphCache(fonts_[static_cast<std::size_t>(op.font)], scale_)) {
        copyLargeText(op, clip);
    } else {
        QPainter painter(&image_);
        painter.setClipRect(clip);
        paintShape(painter, op, scale_, pixelWidth(op.lineWidth));
    }
    forgetRecipes(clip);
    markDirty(clip);
}

// Text past Qt's glyph cache: the runs of pixels its outline covers, filled
// once and kept (see LargeText).
void Surface::copyLargeText(const Operation& op, const QRect& clip) {
    const QFont& font = fonts_[static_cast<std::size_t>(op.font)];
    const QPointF baseline(op.x1 * scale_, (op.y1 + QFontMetricsF(font).ascent()) * scale_);
    const LargeText::Placed placed = largeText_.place(font, op.font, op.text, scale_, baseline);
    for (const LargeText::Run& run : placed.runs) {
        const int y = placed.origin.y() + run.y;
        if (y < clip.top() || y > clip.bottom())
            continue;
        const int left = std::max(clip.left(), placed.origin.x() + run.left);
        const int right = std::min(clip.right() + 1, placed.origin.x() + run.right);
        if (left < right)
            std::fill(pixelRow(y) + left, pixelRow(y) + right, op.colour);
    }
}

} // namespace quiltaro
