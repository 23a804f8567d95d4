#include "Controls.h"

#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QSvgRenderer>
#include <QTextLayout>

#include <cmath>

namespace quiltaro {

int twipsToPixels(int twips) {
    return static_cast<int>(std::lround(twips / 15.0));
}

QRect twips(int left, int top, int width, int height) {
    auto px = twipsToPixels;
    return QRect(QPoint(px(left), px(top)), QPoint(px(left + width) - 1, px(top + height) - 1));
}

QPixmap renderPicture(const QString& asset, QSizeF logicalSize, qreal ratio) {
    QSvgRenderer renderer(asset);
    QPixmap pixmap((logicalSize * ratio).toSize());
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixmap.size())));
    }
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

ImageControl::ImageControl(const QString& name, const QString& asset, QRect geometry,
                           QWidget* parent)
    : QWidget(parent), asset_(asset) {
    setObjectName(name);
    setGeometry(geometry);
    setFocusPolicy(Qt::NoFocus);
    QSvgRenderer renderer(asset);
    pictureSize_ = renderer.defaultSize();
}

void ImageControl::setBackground(const QColor& colour) {
    background_ = colour;
    update();
}

void ImageControl::setScale(double scale) {
    if (scale == scale_)
        return;
    scale_ = scale;
    cache_ = QPixmap();
    update();
}

void ImageControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (background_.isValid())
        painter.fillRect(rect(), background_);
    // Rendered again when the ratio or the scale changes: crisp on any
    // screen the window moves to, at any size.
    if (cache_.isNull() || cache_.devicePixelRatio() != devicePixelRatioF())
        cache_ = renderPicture(asset_, QSizeF(pictureSize_) * scale_, devicePixelRatioF());
    painter.drawPixmap(0, 0, cache_);
}

void ImageControl::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
}

void ImageControl::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    // Events sent straight to the widget reach it even while it is hidden;
    // a control the pupil cannot see must not act.
    if (click && onClick && isVisible())
        onClick();
}

namespace {

class AccessibleImage final : public QAccessibleWidget {
public:
    explicit AccessibleImage(ImageControl* image) : QAccessibleWidget(image) {}
    QAccessible::Role role() const override {
        return control()->onClick ? QAccessible::Button : QAccessible::Graphic;
    }
    QStringList actionNames() const override {
        return control()->onClick ? QStringList{pressAction()} : QStringList{};
    }
    void doAction(const QString& action) override {
        if (action == pressAction() && control()->isVisible() && control()->onClick)
            control()->onClick();
    }

private:
    ImageControl* control() const { return static_cast<ImageControl*>(widget()); }
};

QAccessibleInterface* accessibleFor(const QString& className, QObject* object) {
    if (className == QLatin1String("quiltaro::ImageControl") && object->isWidgetType())
        return new AccessibleImage(static_cast<ImageControl*>(object));
    // Qt asks again with each base class's name.
    if (className == QLatin1String("quiltaro::ProgramWindow") && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    if (className == QLatin1String("quiltaro::SurfaceView") && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Graphic);
    return nullptr;
}

} // namespace

void installAccessibleControls() {
    static bool installed = false;
    if (!installed)
        QAccessible::installFactory(accessibleFor);
    installed = true;
}

// The lines of a text wrapped at word boundaries to a width, as a label
// wraps it, without the spaces where it breaks.
QString linesAt(const QString& text, const QFont& font, int width) {
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines << text.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return lines.join(QLatin1Char('\n'));
}

QLabel* makeLabel(const QString& name, const QString& text, QRect geometry, const QFont& font,
                  const QColor& textColour, const QColor& background, QWidget* parent,
                  Qt::Alignment alignment) {
    // The text is wrapped once, at design size. Shown larger or smaller, in a
    // font of whole pixels that is never quite the design's scaled, it keeps
    // those lines: wrapped again, a line would break at another word.
    auto* label = new QLabel(linesAt(text, font, geometry.width()), parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setFont(font);
    label->setAlignment(alignment);
    label->setFocusPolicy(Qt::NoFocus);
    label->setTextFormat(Qt::PlainText);
    label->setAutoFillBackground(true);
    QPalette colours = label->palette();
    colours.setColor(QPalette::WindowText, textColour);
    colours.setColor(QPalette::Window, background);
    label->setPalette(colours);
    label->setAccessibleName(text);
    return label;
}

QFont makeFont(const QString& family, double points, bool bold, bool italic) {
    QFont font(family);
    font.setPointSizeF(points);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

} // namespace quiltaro
