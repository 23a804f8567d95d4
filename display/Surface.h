#pragma once

#include "LargeText.h"
#include "TileRecipes.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QRegion>
#include <QSizeF>
#include <QString>

#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <variant>
#include <vector>

namespace quiltaro {

// A window's inside as an immediate-mode canvas in points (1/72 inch), origin
// at the top left, y downward. What is drawn stays until drawn over; the
// drawing state stays as the last operation left it.
//
// Points are mapped to device pixels here and nowhere else: one point is
// 96/72 logical pixels, times the device pixel ratio, times the content
// scale of a window shown larger or smaller than its design. Line widths are
// in pixels of 1/96 inch, so they scale with both like the text does.
//
// Every drawing operation since the last clear is kept with the drawing
// state it used, so that a change of scale draws the same picture again at
// the new resolution instead of stretching pixels.
class Surface {
public:
    enum class FillStyle { Solid, Transparent };
    enum class LineEnd { Keep, End };
    struct Number {
        double value;
    };
    using PrintItem = std::variant<QString, Number>;

    Surface(QSizeF sizeInPoints, qreal devicePixelRatio, QColor background);

    // Drawing state.
    void setForeColor(int paletteIndex);
    void setForeColor(QColor colour) { foreColor_ = colour; }
    void setFillColor(int paletteIndex);
    void setFillColor(QColor colour) { fillColor_ = colour; }
    void setFillStyle(FillStyle style) { fillStyle_ = style; }
    void setLineWidth(int pixels) { lineWidth_ = pixels; }
    void setFontName(const QString& name);
    void setFontSize(double points);
    void setEmphasis(bool on);
    void setPosition(double x, double y) { x_ = x, y_ = y; }
    void setX(double x) { x_ = x; }
    void setY(double y) { y_ = y; }

    QColor foreColor() const { return foreColor_; }
    QColor fillColor() const { return fillColor_; }
    FillStyle fillStyle() const { return fillStyle_; }
    int lineWidth() const { return lineWidth_; }
    const QFont& font() const { return font_; }
    double fontSize() const { return font_.pixelSize(); }
    bool emphasis() const { return font_.bold(); }
    double x() const { return x_; }
    double y() const { return y_; }

    // Paints the whole surface in the background colour; position (0, 0).
    void clear();
    // A line in the foreground colour, or in the given palette colour.
    void line(double x1, double y1, double x2, double y2);
    void line(double x1, double y1, double x2, double y2, int colour);
    // Outline in the given colour; the inside in the fill colour when solid.
    void box(double x1, double y1, double x2, double y2, int outlineColour);
    // A box wholly in the given colour.
    void filledBox(double x1, double y1, double x2, double y2, int colour);
    // Horizontal radius = radius, vertical = radius * aspect.
    void ellipse(double cx, double cy, double radius, int colour, double aspect);

    void print(std::initializer_list<PrintItem> items, LineEnd end);
    void print(const QString& text, LineEnd end) { print({text}, end); }
    double textWidth(const QString& text) const;
    double lineHeight() const;

    // Sends to the screen now what was drawn since the last presentation,
    // narrowed to the pixels that differ from what the screen shows: a sweep
    // frame redraws the whole interval to move one bracket by one point.
    // The presenter is called at every presentation, with the tiles that
    // changed, or an empty region when none did, so that it can bring the
    // window's controls up to date as well.
    void present();
    // Writes the picture within a rectangle of device pixels into `target`,
    // moved by `origin` and within the bounds of both, as image(deviceRect)
    // and a copy would; `target` holds 32-bit pixels.
    void paintInto(const QRect& deviceRect, QImage& target, QPoint origin) const;
    // What the view has painted from the image, in device pixels.
    void markShown(const QRect& deviceRect);
    void setPresenter(std::function<void(const QRegion& deviceRegion)> presenter) {
        presenter_ = std::move(presenter);
    }
    int presentCount() const { return presentCount_; }

    // Gives the image's memory back while its window waits in the
    // background, when everything drawn is on the screen: the kept
    // operations draw the same picture again when it is next drawn on or
    // read. A window's image is megabytes, as much as Qt's own copy of it.
    void release();
    bool holdsImage() const { return !image_.isNull(); }

    // Makes the image again at another resolution, with the same picture.
    // The ratio times the content scale is kept at minimumDeviceScale or more.
    void setScale(qreal devicePixelRatio, double contentScale);
    static constexpr double minimumDeviceScale = 0.5;
    // What the surface compares with what the screen shows, and sends to it,
    // is tiles of this size in device pixels.
    static constexpr int tileWidth = 32, tileHeight = 8;

    // The picture, every pixel up to date; or up to date within a rectangle
    // of device pixels, which is all the view needs to paint it.
    const QImage& image() const;
    const QImage& image(const QRect& deviceRect) const;
    qreal devicePixelRatio() const { return ratio_; }
    double contentScale() const { return contentScale_; }
    // Device pixels per point.
    double scale() const { return scale_; }
    // The colour at a point, read back from the device pixels.
    QColor pixelAt(double x, double y) const;
    // How many drawing operations are kept for drawing the picture again.
    int keptOperations() const { return static_cast<int>(kept_.size()) - dead_; }

private:
    // One drawing operation with the state it used; what it paints depends
    // on nothing else, so that it paints the same again at any scale.
    struct Operation {
        enum class Kind : std::uint8_t { Line, FilledBox, Box, Ellipse, Text };
        Kind kind;
        bool solid = false; // a box's or ellipse's inside in `fill`
        bool live = true;
        std::int16_t font = -1; // Text: index in fonts_
        int lineWidth = 1;
        QRgb colour = 0, fill = 0;
        double x1 = 0, y1 = 0, x2 = 0, y2 = 0; // Ellipse: centre, radii; Text: position
        QString text = {};
        QRectF ink = {}; // Text: where its glyphs lie, in points
        // Curves, slanted lines and text: the design pixels they paint, at
        // the device pixel ratio they were found for.
        mutable QRect designInk = {};
        mutable qreal inkRatio = 0;
    };

    static constexpr double pixelsPerPoint = 96.0 / 72.0;
    // Qt's own limit for glyphs drawn from its cache (QT_MAX_CACHED_GLYPH_SIZE).
    static constexpr double maxCachedGlyphPixels = 64;
    // Whether a text in this font, at this many device pixels a point, is
    // past that cache: then it is filled as its outline, aliased.
    static bool pastGlyphCache(const QFont& font, double scale) {
        return font.pixelSize() * scale > maxCachedGlyphPixels;
    }
    // Kept operations are compacted once there are this many, then whenever
    // they have doubled.
    static constexpr std::size_t firstCompaction = 1024;

    int designPixel(double points) const;
    int designWidth(int widthInPixels) const;
    int scaledEdge(int designEdge) const;
    QRect scaledRect(const QRect& design) const;
    int pixelWidth(int widthInPixels) const;
    QRect designInk(const Operation& op) const;
    void paintShape(QPainter& painter, const Operation& op, double scale, int penWidth) const;
    void fillDevice(QRect rect, QRgb colour);
    // Fills a part of one tile in its pixels, writing only the rows that
    // change.
    void fillPart(QRect part, QRgb colour);
    QRect straightLineRect(const Operation& op) const;
    QRect boxRect(const Operation& op) const;
    void lineOperation(double x1, double y1, double x2, double y2, QRgb colour);
    // Draws an operation and keeps it, to draw it again at another scale.
    void draw(Operation&& op);
    // A box or an ellipse in the current fill and line width.
    Operation outlined(Operation::Kind kind, int outlineColour) const;
    void perform(const Operation& op);
    void copyLargeText(const Operation& op, const QRect& clip);
    void keep(Operation&& op);
    void compact();
    void markDirty(const QRect& rect);
    QRegion changedWithin(const QRect& area);
    int fontIndex();
    static QString textOf(const PrintItem& item);
    static bool covers(const Operation& later, const Operation& earlier);
    static QRectF reach(const Operation& op);

    QSizeF size_;
    qreal ratio_;
    double contentScale_ = 1;
    double scale_;
    QColor background_;
    // Written as it is read: see wanted_.
    mutable QImage image_;
    std::deque<Operation> kept_;
    int dead_ = 0;
    std::size_t compactAt_;
    std::vector<QFont> fonts_;
    LargeText largeText_; // keyed by the index in fonts_
    int fontIndex_ = -1;
    // What the screen shows, as far as the view has told: a hash of each tile
    // of it rather than a copy, which would double the image's memory (28 MB
    // full screen on a 4K screen). Empty until the screen shows the image.
    std::vector<std::size_t> shownTiles_;
    static constexpr std::size_t unknownTile = 0;
    // The hashes of the presentation under way, over the tiles it compared:
    // what the view paints meanwhile is not hashed twice.
    std::vector<std::size_t> freshTiles_;
    QRect freshRange_; // in tiles
    // The tiles drawn on since the last presentation; only those can differ
    // from what the screen shows.
    std::vector<std::uint8_t> dirtyTiles_;
    // What each tile holds once written, as its colours and which pixel
    // shows which; unknown once anything else drew there (text, a curve, a
    // fifth colour), and then the image's pixels are the tile. Fills are
    // written when the tile is read or drawn on otherwise (see fillDevice).
    mutable TileRecipes wanted_;
    // The hash of the recipe the image's pixels were last written from, or
    // unknownTile: a tile whose recipe is the same again is not written.
    mutable std::vector<std::size_t> written_;
    // The tiles whose recipe changed since they were last written.
    mutable std::vector<std::uint8_t> unwritten_;
    mutable QRect unwrittenTiles_; // around them, in tiles
    void forgetRecipe(std::size_t index);
    static_assert(tileWidth <= TileRecipes::width && tileHeight <= TileRecipes::height,
                  "a tile's row is a word of a recipe's bits");
    std::size_t recipeHash(std::size_t index, QSize tileSize) const;
    void forgetRecipes(const QRect& rect);
    // Sets a value of each tile a device rectangle touches.
    template <typename T>
    void setOverTiles(std::vector<T>& perTile, const QRect& rect, T value) const;
    static constexpr QRgb noColour = 0; // the pixels are opaque: never a colour
    int tileColumns() const { return (image_.width() + tileWidth - 1) / tileWidth; }
    QRect tileRect(int column, int row) const {
        return QRect(column * tileWidth, row * tileHeight, tileWidth, tileHeight)
            .intersected(image_.rect());
    }
    void resetTiles();
    // Marks the tiles a device rectangle touches as drawn on (1) or not (0).
    void flagTiles(const QRect& rect, std::uint8_t drawnOn);
    // The released image drawn again, as the screen shows it.
    void restore();
    QSize releasedSize_;
    void materialize(std::size_t index, const QRect& tile) const;
    // A row of the image's pixels, without QImage::scanLine's check for a
    // shared copy on every call: the callers write only after a call to
    // ownPixels, which makes the image the surface's own.
    QRgb* pixelRow(int y) const {
        return reinterpret_cast<QRgb*>(const_cast<uchar*>(image_.constBits()) +
                                       static_cast<qsizetype>(y) * image_.bytesPerLine());
    }
    void ownPixels() const { image_.bits(); }
    std::size_t tileHash(int column, int row) const;
    static std::size_t uniformHash(QRgb colour, QSize size);
    int wholePresents_ = 0;
    QRect dirty_;
    std::function<void(const QRegion&)> presenter_;
    int presentCount_ = 0;

    QColor foreColor_{Qt::black};
    QColor fillColor_{Qt::black};
    FillStyle fillStyle_ = FillStyle::Transparent;
    int lineWidth_ = 1;
    QFont font_;
    double x_ = 0, y_ = 0;
};

} // namespace quiltaro
