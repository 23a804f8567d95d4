#include "Surface.h"

#include "Palette.h"

#include "NumberText.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace quiltaro {

namespace {
constexpr double pixelsPerPoint = 96.0 / 72.0;
// How many of the latest operations a new one is checked against: a sweep
// frame draws about a dozen, most of them over the same in the frame before.
constexpr int lookBack = 16;
constexpr std::size_t firstCompaction = 1024;

QRectF pointBox(double x1, double y1, double x2, double y2) {
    return QRectF(QPointF(std::min(x1, x2), std::min(y1, y2)),
                  QPointF(std::max(x1, x2), std::max(y1, y2)));
}
// Closed containment: a box's edges may meet.
bool within(const QRectF& inner, const QRectF& outer) {
    return inner.left() >= outer.left() && inner.right() <= outer.right() &&
           inner.top() >= outer.top() && inner.bottom() <= outer.bottom();
}
} // namespace

Surface::Surface(QSizeF sizeInPoints, qreal devicePixelRatio, QColor background)
    : size_(sizeInPoints), ratio_(devicePixelRatio > 0 ? devicePixelRatio : 1.0),
      scale_(pixelsPerPoint * ratio_), background_(background),
      image_(static_cast<int>(std::ceil(sizeInPoints.width() * scale_)),
             static_cast<int>(std::ceil(sizeInPoints.height() * scale_)), QImage::Format_RGB32),
      compactAt_(firstCompaction) {
    image_.fill(background_);
    dirty_ = image_.rect();
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
    scale_ = pixelsPerPoint * ratio_ * contentScale_;
    image_ = QImage(static_cast<int>(std::ceil(size_.width() * scale_)),
                    static_cast<int>(std::ceil(size_.height() * scale_)), QImage::Format_RGB32);
    image_.fill(background_);
    for (const Operation& op : kept_)
        if (op.live)
            perform(op);
    // The screen shows nothing of the new image yet.
    shownTiles_.clear();
    freshTiles_.clear();
    freshRange_ = QRect();
    wholePresents_ = 0;
    dirty_ = image_.rect();
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

void Surface::clear() {
    fillDevice(image_.rect(), background_.rgb());
    x_ = y_ = 0;
    kept_.clear();
    dead_ = 0;
    compactAt_ = firstCompaction;
    fonts_.clear();
    fontIndex_ = -1;
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

// A box of points that holds everything the operation paints, at any scale
// of minimumDeviceScale or more: the device pixels of its edges round by up
// to half a pixel, lines reach out by half their width and the glyphs of a
// text by a pixel or two beyond the ink measured in points.
QRectF Surface::reach(const Operation& op) {
    const double pixel = 1 / (pixelsPerPoint * minimumDeviceScale); // in points
    const double width = 0.75 * std::max(1, op.lineWidth);          // in points
    switch (op.kind) {
    case Operation::Kind::FilledBox:
        return pointBox(op.x1, op.y1, op.x2, op.y2);
    case Operation::Kind::Line:
    case Operation::Kind::Box: {
        const double m = 2 * pixel + width;
        return pointBox(op.x1, op.y1, op.x2, op.y2).adjusted(-m, -m, m, m);
    }
    case Operation::Kind::Ellipse: {
        const double m = 2 * pixel + width;
        return QRectF(op.x1 - op.x2, op.y1 - op.y2, 2 * op.x2, 2 * op.y2).adjusted(-m, -m, m, m);
    }
    case Operation::Kind::Text:
        return op.ink.adjusted(-2 * pixel, -2 * pixel, 2 * pixel, 2 * pixel);
    }
    return {};
}

// Whether `later` paints over every pixel that `earlier` painted, at every
// scale, so that drawing `earlier` again is useless. Every operation paints
// its pixels opaque: no blending, no antialiasing.
bool Surface::covers(const Operation& later, const Operation& earlier) {
    using Kind = Operation::Kind;
    if (later.kind == earlier.kind && later.x1 == earlier.x1 && later.y1 == earlier.y1 &&
        later.x2 == earlier.x2 && later.y2 == earlier.y2 && later.lineWidth == earlier.lineWidth &&
        later.solid == earlier.solid &&
        (later.kind != Kind::Text || (later.font == earlier.font && later.text == earlier.text)))
        return true;
    auto straight = [](const Operation& op) {
        return op.kind == Kind::Line && (op.x1 == op.x2 || op.y1 == op.y2);
    };
    const bool paintsBox =
        later.kind == Kind::FilledBox || (later.kind == Kind::Box && later.solid);
    if (!paintsBox && !straight(later))
        return false;
    const QRectF box = pointBox(later.x1, later.y1, later.x2, later.y2);
    // Straight lines and box outlines of one width: their device pixels
    // follow the points' order, whatever the scale.
    const bool outlined = straight(earlier) || earlier.kind == Kind::Box;
    if (outlined && later.kind != Kind::FilledBox && later.lineWidth == earlier.lineWidth &&
        within(pointBox(earlier.x1, earlier.y1, earlier.x2, earlier.y2), box))
        return paintsBox || straight(earlier);
    return paintsBox && within(reach(earlier), box);
}

void Surface::keep(Operation&& op) {
    if (kept_.size() >= compactAt_)
        compact();
    int checked = 0;
    for (auto it = kept_.rbegin(); it != kept_.rend() && checked < lookBack; ++it) {
        if (!it->live)
            continue;
        ++checked;
        if (covers(op, *it)) {
            it->live = false;
            ++dead_;
        }
    }
    kept_.push_back(std::move(op));
}

void Surface::compact() {
    // Each operation against the boxes painted after it, the largest few.
    constexpr std::size_t coverCount = 16;
    std::vector<const Operation*> later;
    auto area = [](const Operation* op) { return std::abs((op->x2 - op->x1) * (op->y2 - op->y1)); };
    for (auto it = kept_.rbegin(); it != kept_.rend(); ++it) {
        if (!it->live)
            continue;
        for (const Operation* cover : later)
            if (covers(*cover, *it)) {
                it->live = false;
                break;
            }
        const bool paintsBox = it->kind == Operation::Kind::FilledBox ||
                               (it->kind == Operation::Kind::Box && it->solid);
        if (!it->live || !paintsBox)
            continue;
        if (later.size() < coverCount) {
            later.push_back(&*it);
        } else {
            auto smallest = std::min_element(later.begin(), later.end(),
                                             [&](auto a, auto b) { return area(a) < area(b); });
            if (area(*smallest) < area(&*it))
                *smallest = &*it;
        }
    }
    std::erase_if(kept_, [](const Operation& op) { return !op.live; });
    dead_ = 0;
    compactAt_ = std::max(firstCompaction, 2 * kept_.size());
}

void Surface::draw(Operation&& op) {
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
    // whole. Then what the screen now shows is noted, and later
    // presentations send only the tiles that differ from it. A surface
    // presented once, like the welcome window's, never pays for it.
    const QRect rect = shownTiles_.empty() ? dirty_ : changedWithin(dirty_);
    dirty_ = QRect();
    if (presenter_)
        presenter_(rect);
    freshRange_ = QRect();
    if (shownTiles_.empty() && ++wholePresents_ == 2) {
        const int columns = tileColumns(), rows = (image_.height() + tileHeight - 1) / tileHeight;
        shownTiles_.resize(static_cast<std::size_t>(columns) * rows);
        freshTiles_.resize(shownTiles_.size());
        for (int row = 0; row < rows; ++row)
            for (int column = 0; column < columns; ++column)
                shownTiles_[row * columns + column] = tileHash(column, row);
    }
}

std::size_t Surface::tileHash(int column, int row) const {
    // Eight independent lanes, each step a bijection of the lane, so that a
    // tile's hash changes with any one of its pixels; the processor runs the
    // lanes side by side, faster than a general-purpose hash, which matters
    // at ratio 2 where a sweep frame compares 800 kB.
    constexpr std::uint64_t odd = 0x9E3779B97F4A7C15ULL;
    auto step = [](std::uint64_t h, std::uint64_t word) {
        h = (h ^ word) * odd;
        return h ^ (h >> 29);
    };
    const QRect tile = QRect(column * tileWidth, row * tileHeight, tileWidth, tileHeight)
                           .intersected(image_.rect());
    constexpr int lanes = 8;
    std::uint64_t lane[lanes] = {1, 2, 3, 4, 5, 6, 7, 8};
    const std::size_t bytes = static_cast<std::size_t>(tile.width()) * sizeof(QRgb);
    for (int y = tile.top(); y <= tile.bottom(); ++y) {
        const uchar* p = image_.constScanLine(y) + tile.left() * sizeof(QRgb);
        std::size_t i = 0;
        for (; i + 8 * lanes <= bytes; i += 8 * lanes)
            for (int k = 0; k < lanes; ++k) {
                std::uint64_t word;
                std::memcpy(&word, p + i + 8 * k, 8);
                lane[k] = step(lane[k], word);
            }
        for (int k = 0; i < bytes; i += sizeof(QRgb), k = (k + 1) % lanes) {
            std::uint32_t pixel;
            std::memcpy(&pixel, p + i, sizeof pixel);
            lane[k] = step(lane[k], pixel);
        }
    }
    std::uint64_t hash = lane[0];
    for (int k = 1; k < lanes; ++k)
        hash = step(hash, lane[k]);
    return static_cast<std::size_t>(step(hash, odd)) | 1; // never unknownTile
}

QRect Surface::changedWithin(const QRect& area) {
    // The pixels outside the area are those the screen already shows, so a
    // tile that differs only counts within the area.
    const int columns = tileColumns();
    freshRange_ = QRect(QPoint(area.left() / tileWidth, area.top() / tileHeight),
                        QPoint(area.right() / tileWidth, area.bottom() / tileHeight));
    QRect changed;
    for (int row = freshRange_.top(); row <= freshRange_.bottom(); ++row)
        for (int column = freshRange_.left(); column <= freshRange_.right(); ++column) {
            const std::size_t index = row * columns + column;
            freshTiles_[index] = tileHash(column, row);
            if (freshTiles_[index] != shownTiles_[index])
                changed |= QRect(column * tileWidth, row * tileHeight, tileWidth, tileHeight);
        }
    return changed.intersected(area);
}

void Surface::markShown(const QRect& deviceRect) {
    const QRect rect = shownTiles_.empty() ? QRect() : deviceRect.intersected(image_.rect());
    if (rect.isEmpty())
        return;
    // The rest of a tile partly painted is what the screen showed already,
    // unless something drawn and not yet presented lies there (the view
    // painted between two presentations): then the tile is not known, and
    // the next presentation sends it again.
    const int columns = tileColumns();
    for (int row = rect.top() / tileHeight; row <= rect.bottom() / tileHeight; ++row)
        for (int column = rect.left() / tileWidth; column <= rect.right() / tileWidth; ++column) {
            const std::size_t index = row * columns + column;
            if (freshRange_.contains(column, row)) {
                shownTiles_[index] = freshTiles_[index];
                continue;
            }
            const QRect tile(column * tileWidth, row * tileHeight, tileWidth, tileHeight);
            const bool known =
                rect.contains(tile.intersected(image_.rect())) || !dirty_.intersects(tile);
            shownTiles_[index] = known ? tileHash(column, row) : unknownTile;
        }
}

QColor Surface::pixelAt(double x, double y) const {
    const QPoint p(static_cast<int>(std::floor(x * scale_)),
                   static_cast<int>(std::floor(y * scale_)));
    return image_.rect().contains(p) ? QColor(image_.pixel(p)) : QColor();
}

} // namespace quiltaro
