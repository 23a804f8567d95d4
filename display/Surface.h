#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QSizeF>
#include <QString>

#include <functional>
#include <initializer_list>
#include <variant>

namespace quiltaro {

// A window's inside as an immediate-mode canvas in points (1/72 inch), origin
// at the top left, y downward. What is drawn stays until drawn over; the
// drawing state stays as the last operation left it.
//
// Points are mapped to device pixels here and nowhere else: one point is
// 96/72 logical pixels, times the device pixel ratio. Line widths are in
// pixels of 1/96 inch, so they scale with the ratio like the text does.
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
    // The presenter is called at every presentation, with an empty
    // rectangle when no pixel of the surface changed, so that it can bring
    // the window's controls up to date as well.
    void present();
    // What the view has painted from the image, in device pixels.
    void markShown(const QRect& deviceRect);
    void setPresenter(std::function<void(const QRect& deviceRect)> presenter) {
        presenter_ = std::move(presenter);
    }
    int presentCount() const { return presentCount_; }

    const QImage& image() const { return image_; }
    qreal devicePixelRatio() const { return ratio_; }
    // Device pixels per point.
    double scale() const { return scale_; }
    // The colour at a point, read back from the device pixels.
    QColor pixelAt(double x, double y) const;

private:
    int dev(double points) const;
    int pixelWidth(int widthInPixels) const;
    void fillDevice(QRect rect, const QColor& colour);
    void straightLine(double x1, double y1, double x2, double y2, const QColor& colour);
    void markDirty(const QRect& rect) { dirty_ |= rect.intersected(image_.rect()); }
    QRect changedWithin(const QRect& area) const;
    static QString textOf(const PrintItem& item);

    qreal ratio_;
    double scale_;
    QColor background_;
    QImage image_;
    QImage shown_; // what the screen shows, as far as the view has told
    int wholePresents_ = 0;
    QRect dirty_;
    std::function<void(const QRect&)> presenter_;
    int presentCount_ = 0;

    QColor foreColor_{Qt::black};
    QColor fillColor_{Qt::black};
    FillStyle fillStyle_ = FillStyle::Transparent;
    int lineWidth_ = 1;
    QFont font_;
    double x_ = 0, y_ = 0;
};

} // namespace quiltaro
