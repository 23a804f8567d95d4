#include "Surface.h"

#include "NumberText.h"
#include "Palette.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

// The surface's state and the operations the game calls: each is made into a
// kept operation, painted (SurfacePainting.cpp) and kept (SurfaceKept.cpp).
// Presentation is in SurfacePresentation.cpp.
namespace quiltaro {

Surface::Surface(QSizeF sizeInPoints, qreal devicePixelRatio, QColor background)
    : size_(sizeInPoints), ratio_(devicePixelRatio > 0 ? devicePixelRatio : 1.0),
      scale_(pixelsPerPoint * ratio_), background_(background),
      image_(static_cast<int>(std::ceil(sizeInPoints.width() * scale_)),
             static_cast<int>(std::ceil(sizeInPoints.height() * scale_)), QImage::Format_RGB32),
      compactAt_(firstCompaction) {
    image_.fill(background_);
    resetTiles();
    // Text is drawn without antialiasing: the game prints the same text over
    // itself again and again (the try line after every key, the labels after
    // a sweep), and blended edges would darken at each reprint.
    font_.setStyleStrategy(QFont::NoAntialias);
    font_.setHintingPreference(QFont::PreferNoHinting);
    font_.setPixelSize(12);
}

void Surface::setScale(qreal devicePixelRatio, double contentScale) {
    const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    const double content =
        std::max(std::isfinite(contentScale) ? contentScale : 1.0, minimumDeviceScale / ratio);
    if (ratio == ratio_ && content == contentScale_)
        return;
    ratio_ = ratio;
    contentScale_ = content;
    // A released image is made again here, at the new size.
    scale_ = pixelsPerPoint * ratio_ * contentScale_;
    image_ = QImage(static_cast<int>(std::ceil(size_.width() * scale_)),
                    static_cast<int>(std::ceil(size_.height() * scale_)), QImage::Format_RGB32);
    image_.fill(background_);
    resetTiles();
    for (const Operation& op : kept_)
        if (op.live)
            perform(op);
    // The screen shows nothing of the new image yet.
    shownTiles_.clear();
    freshTiles_.clear();
    freshRange_ = QRect();
    wholePresents_ = 0;
}

void Surface::setForeColor(int index) {
    foreColor_ = paletteColor(index);
}
void Surface::setFillColor(int index) {
    fillColor_ = paletteColor(index);
}

void Surface::setFontName(const QString& name) {
    font_.setFamily(name);
    fontIndex_ = -1;
}

void Surface::setFontSize(double points) {
    // The font's pixel size is in points here: the painter maps points to
    // device pixels. Sizes are whole points in this game.
    font_.setPixelSize(std::max(1, static_cast<int>(std::lround(points))));
    fontIndex_ = -1;
}

void Surface::setEmphasis(bool on) {
    font_.setBold(on);
    fontIndex_ = -1;
}

int Surface::fontIndex() {
    if (fontIndex_ < 0) {
        const auto found = std::find(fonts_.begin(), fonts_.end(), font_);
        fontIndex_ = static_cast<int>(found - fonts_.begin());
        if (found == fonts_.end())
            fonts_.push_back(font_);
    }
    return fontIndex_;
}

void Surface::release() {
    if (image_.isNull() || !dirty_.isEmpty())
        return;
    releasedSize_ = image_.size();
    image_ = QImage();
}

void Surface::restore() {
    if (!image_.isNull())
        return;
    image_ = QImage(releasedSize_, QImage::Format_RGB32);
    image_.fill(background_);
    resetTiles();
    for (const Operation& op : kept_)
        if (op.live)
            perform(op);
    // The same picture as before, which the screen shows already.
    std::fill(dirtyTiles_.begin(), dirtyTiles_.end(), std::uint8_t(0));
    dirty_ = QRect();
}

void Surface::clear() {
    restore();
    fillDevice(image_.rect(), background_.rgb());
    x_ = y_ = 0;
    kept_.clear();
    dead_ = 0;
    compactAt_ = firstCompaction;
    fonts_.clear();
    fontIndex_ = -1;
    largeText_.clear();
}

void Surface::draw(Operation&& op) {
    restore();
    perform(op);
    keep(std::move(op));
}

Surface::Operation Surface::outlined(Operation::Kind kind, int outlineColour) const {
    return {.kind = kind,
            .solid = fillStyle_ == FillStyle::Solid,
            .lineWidth = lineWidth_,
            .colour = paletteColor(outlineColour).rgb(),
            .fill = fillColor_.rgb()};
}

void Surface::lineOperation(double x1, double y1, double x2, double y2, QRgb colour) {
    draw({.kind = Operation::Kind::Line,
          .lineWidth = lineWidth_,
          .colour = colour,
          .x1 = x1,
          .y1 = y1,
          .x2 = x2,
          .y2 = y2});
    setPosition(x2, y2);
}

void Surface::line(double x1, double y1, double x2, double y2) {
    lineOperation(x1, y1, x2, y2, foreColor_.rgb());
}

void Surface::line(double x1, double y1, double x2, double y2, int colour) {
    lineOperation(x1, y1, x2, y2, paletteColor(colour).rgb());
}

void Surface::filledBox(double x1, double y1, double x2, double y2, int colour) {
    draw({.kind = Operation::Kind::FilledBox,
          .colour = paletteColor(colour).rgb(),
          .x1 = x1,
          .y1 = y1,
          .x2 = x2,
          .y2 = y2});
    setPosition(x2, y2);
}

void Surface::box(double x1, double y1, double x2, double y2, int outlineColour) {
    Operation op = outlined(Operation::Kind::Box, outlineColour);
    op.x1 = x1, op.y1 = y1, op.x2 = x2, op.y2 = y2;
    draw(std::move(op));
    setPosition(x2, y2);
}

void Surface::ellipse(double cx, double cy, double radius, int colour, double aspect) {
    Operation op = outlined(Operation::Kind::Ellipse, colour);
    op.x1 = cx, op.y1 = cy, op.x2 = radius, op.y2 = radius * aspect;
    draw(std::move(op));
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
    for (const PrintItem& item : items) {
        QString text = textOf(item);
        if (text.isEmpty())
            continue;
        const double width = metrics.horizontalAdvance(text);
        Operation op{.kind = Operation::Kind::Text,
                     .font = static_cast<std::int16_t>(fontIndex()),
                     .colour = foreColor_.rgb(),
                     .x1 = x_,
                     .y1 = y_,
                     .text = std::move(text)};
        op.ink = metrics.boundingRect(op.text).translated(x_, y_ + metrics.ascent());
        draw(std::move(op));
        x_ += width;
    }
    if (end == LineEnd::End) {
        x_ = 0;
        y_ += metrics.height();
    }
}

QColor Surface::pixelAt(double x, double y) const {
    const QPoint p(static_cast<int>(std::floor(x * scale_)),
                   static_cast<int>(std::floor(y * scale_)));
    const QImage& pixels = image();
    return pixels.rect().contains(p) ? QColor(pixels.pixel(p)) : QColor();
}

} // namespace quiltaro
