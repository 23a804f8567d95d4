#include "Surface.h"

#include "Palette.h"

#include "NumberText.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace quiltaro {

namespace {
constexpr double pixelsPerPoint = 96.0 / 72.0;
}

Surface::Surface(QSizeF sizeInPoints, qreal devicePixelRatio, QColor background)
    : ratio_(devicePixelRatio > 0 ? devicePixelRatio : 1.0), scale_(pixelsPerPoint * ratio_),
      background_(background),
      image_(static_cast<int>(std::ceil(sizeInPoints.width() * scale_)),
             static_cast<int>(std::ceil(sizeInPoints.height() * scale_)), QImage::Format_RGB32) {
    image_.fill(background_);
    dirty_ = image_.rect();
    // Text is drawn without antialiasing: the game prints the same text over
    // itself again and again (the try line after every key, the labels after
    // a sweep), and blended edges would darken at each reprint.
    font_.setStyleStrategy(QFont::NoAntialias);
    font_.setHintingPreference(QFont::PreferNoHinting);
    font_.setPixelSize(12);
}

void Surface::setForeColor(int index) {
    foreColor_ = paletteColor(index);
}
void Surface::setFillColor(int index) {
    fillColor_ = paletteColor(index);
}

void Surface::setFontName(const QString& name) {
    font_.setFamily(name);
}

void Surface::setFontSize(double points) {
    // The font's pixel size is in points here: the painter maps points to
    // device pixels. Sizes are whole points in this game.
    font_.setPixelSize(std::max(1, static_cast<int>(std::lround(points))));
}

void Surface::setEmphasis(bool on) {
    font_.setBold(on);
}

int Surface::dev(double points) const {
    return static_cast<int>(std::lround(points * scale_));
}

int Surface::pixelWidth(int widthInPixels) const {
    return std::max(1, static_cast<int>(std::lround(std::max(1, widthInPixels) * ratio_)));
}

void Surface::fillDevice(QRect rect, const QColor& colour) {
    rect = rect.intersected(image_.rect());
    if (rect.isEmpty())
        return;
    const QRgb rgb = colour.rgb();
    for (int row = rect.top(); row <= rect.bottom(); ++row) {
        auto* line = reinterpret_cast<QRgb*>(image_.scanLine(row));
        std::fill(line + rect.left(), line + rect.right() + 1, rgb);
    }
    markDirty(rect);
}

void Surface::clear() {
    fillDevice(image_.rect(), background_);
    x_ = y_ = 0;
}

void Surface::straightLine(double x1, double y1, double x2, double y2, const QColor& colour) {
    const int width = pixelWidth(lineWidth_);
    const int half = width / 2;
    if (x1 == x2 || y1 == y2) {
        // Horizontal and vertical lines, which are all this game draws, go
        // straight to whole device pixels: crisp at any ratio, and cheap
        // enough for an animation frame. Square ends, so that a serif meets
        // its bracket without a notch.
        const int left = dev(std::min(x1, x2)) - half;
        const int top = dev(std::min(y1, y2)) - half;
        const int right = dev(std::max(x1, x2)) - half + width;
        const int bottom = dev(std::max(y1, y2)) - half + width;
        fillDevice(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)), colour);
        return;
    }
    QPainter painter(&image_);
    painter.setPen(QPen(colour, width, Qt::SolidLine, Qt::SquareCap));
    painter.drawLine(QPointF(x1 * scale_, y1 * scale_), QPointF(x2 * scale_, y2 * scale_));
    const int margin = width + 1;
    markDirty(QRect(QPoint(dev(std::min(x1, x2)), dev(std::min(y1, y2))),
                    QPoint(dev(std::max(x1, x2)), dev(std::max(y1, y2))))
                  .adjusted(-margin, -margin, margin, margin));
}

void Surface::line(double x1, double y1, double x2, double y2) {
    straightLine(x1, y1, x2, y2, foreColor_);
    setPosition(x2, y2);
}

void Surface::line(double x1, double y1, double x2, double y2, int colour) {
    straightLine(x1, y1, x2, y2, paletteColor(colour));
    setPosition(x2, y2);
}

void Surface::filledBox(double x1, double y1, double x2, double y2, int colour) {
    // Both corners are included: the box reaches over the last point's pixel.
    const int onePixel = pixelWidth(1);
    QRect rect(QPoint(dev(std::min(x1, x2)), dev(std::min(y1, y2))),
               QPoint(dev(std::max(x1, x2)) + onePixel - 1, dev(std::max(y1, y2)) + onePixel - 1));
    fillDevice(rect, paletteColor(colour));
    setPosition(x2, y2);
}

void Surface::box(double x1, double y1, double x2, double y2, int outlineColour) {
    if (fillStyle_ == FillStyle::Solid) {
        const int onePixel = pixelWidth(1);
        fillDevice(QRect(QPoint(dev(std::min(x1, x2)), dev(std::min(y1, y2))),
                         QPoint(dev(std::max(x1, x2)) + onePixel - 1,
                                dev(std::max(y1, y2)) + onePixel - 1)),
                   fillColor_);
    }
    const QColor outline = paletteColor(outlineColour);
    straightLine(x1, y1, x2, y1, outline);
    straightLine(x2, y1, x2, y2, outline);
    straightLine(x1, y2, x2, y2, outline);
    straightLine(x1, y1, x1, y2, outline);
    setPosition(x2, y2);
}

void Surface::ellipse(double cx, double cy, double radius, int colour, double aspect) {
    const double rx = radius * scale_;
    const double ry = radius * aspect * scale_;
    const QPointF centre(cx * scale_, cy * scale_);
    {
        QPainter painter(&image_);
        painter.setPen(QPen(paletteColor(colour), pixelWidth(lineWidth_)));
        if (fillStyle_ == FillStyle::Solid)
            painter.setBrush(fillColor_);
        painter.drawEllipse(centre, rx, ry);
    }
    const int margin = pixelWidth(lineWidth_) + 1;
    markDirty(QRectF(centre.x() - rx, centre.y() - ry, 2 * rx, 2 * ry)
                  .toAlignedRect()
                  .adjusted(-margin, -margin, margin, margin));
    setPosition(cx, cy);
}

QString Surface::textOf(const PrintItem& item) {
    if (const auto* text = std::get_if<QString>(&item))
        return *text;
    return QString::fromStdString(printedNumber(std::get<Number>(item).value));
}

double Surface::textWidth(const QString& text) const {
    return QFontMetricsF(font_).horizontalAdvance(text);
}

double Surface::lineHeight() const {
    return QFontMetricsF(font_).height();
}

void Surface::print(std::initializer_list<PrintItem> items, LineEnd end) {
    const QFontMetricsF metrics(font_);
    QPainter painter(&image_);
    painter.scale(scale_, scale_);
    painter.setFont(font_);
    painter.setPen(foreColor_);
    for (const PrintItem& item : items) {
        const QString text = textOf(item);
        if (text.isEmpty())
            continue;
        // The position is the text's top left; Qt draws from the baseline.
        const double width = metrics.horizontalAdvance(text);
        painter.drawText(QPointF(x_, y_ + metrics.ascent()), text);
        const QRectF ink = metrics.boundingRect(text).translated(x_, y_ + metrics.ascent());
        const QRectF cell(x_, y_, width, metrics.height());
        markDirty(
            QRectF(ink.united(cell).topLeft() * scale_, ink.united(cell).bottomRight() * scale_)
                .toAlignedRect()
                .adjusted(-2, -2, 2, 2));
        x_ += width;
    }
    if (end == LineEnd::End) {
        x_ = 0;
        y_ += metrics.height();
    }
}

void Surface::present() {
    ++presentCount_;
    if (dirty_.isEmpty()) {
        // Nothing drawn, but controls may have been shown or hidden: they
        // belong to the frame too.
        if (presenter_)
            presenter_(QRect());
        return;
    }
    // Until the surface has been presented twice, what was drawn goes out
    // whole. Then a copy of the image, which the screen now shows, is kept,
    // and later presentations send only the pixels that differ from it. A
    // surface presented once, like the welcome window's, never pays for it.
    const QRect rect = shown_.isNull() ? dirty_ : changedWithin(dirty_);
    dirty_ = QRect();
    if (presenter_)
        presenter_(rect);
    if (shown_.isNull() && ++wholePresents_ == 2)
        shown_ = image_.copy();
}

QRect Surface::changedWithin(const QRect& area) const {
    // Whole rows and the parts of rows outside the columns already known to
    // have changed are compared with memcmp; a pixel loop only runs where a
    // new change lies.
    const int width = area.width();
    auto now = [&](int row) {
        return reinterpret_cast<const QRgb*>(image_.constScanLine(row)) + area.left();
    };
    auto was = [&](int row) {
        return reinterpret_cast<const QRgb*>(shown_.constScanLine(row)) + area.left();
    };
    auto same = [&](int row, int from, int to) {
        return from >= to ||
               std::memcmp(now(row) + from, was(row) + from, (to - from) * sizeof(QRgb)) == 0;
    };
    int top = area.top(), bottom = area.bottom();
    while (top <= bottom && same(top, 0, width))
        ++top;
    while (bottom > top && same(bottom, 0, width))
        --bottom;
    if (top > bottom)
        return QRect();
    int left = width, right = -1;
    for (int row = top; row <= bottom; ++row) {
        const QRgb *a = now(row), *b = was(row);
        if (!same(row, 0, left))
            for (left = 0; a[left] == b[left];)
                ++left;
        if (!same(row, right + 1, width))
            for (right = width - 1; a[right] == b[right];)
                --right;
    }
    return QRect(QPoint(area.left() + left, top), QPoint(area.left() + right, bottom));
}

void Surface::markShown(const QRect& deviceRect) {
    const QRect rect = shown_.isNull() ? QRect() : deviceRect.intersected(image_.rect());
    for (int row = rect.top(); row <= rect.bottom(); ++row) {
        const auto* from = reinterpret_cast<const QRgb*>(image_.constScanLine(row));
        std::copy(from + rect.left(), from + rect.right() + 1,
                  reinterpret_cast<QRgb*>(shown_.scanLine(row)) + rect.left());
    }
}

QColor Surface::pixelAt(double x, double y) const {
    const QPoint p(static_cast<int>(std::floor(x * scale_)),
                   static_cast<int>(std::floor(y * scale_)));
    return image_.rect().contains(p) ? QColor(image_.pixel(p)) : QColor();
}

} // namespace quiltaro
