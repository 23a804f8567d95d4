#pragma once

#include <QLabel>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include <functional>

namespace quiltaro {

// Window geometry is given in twips (1/1440 inch); 15 twips make one pixel
// at 96 dots per inch. Edges are rounded, not widths, so that neighbours
// stay edge to edge.
QRect twips(int left, int top, int width, int height);
int twipsToPixels(int twips);

// One of the six pictures, drawn from its SVG at the widget's device pixel
// ratio, never from a scaled bitmap.
QPixmap renderPicture(const QString& asset, QSizeF logicalSize, qreal devicePixelRatio);

// A picture drawn at the top left of its rectangle, with no background of
// its own; it can be clicked and never takes the focus.
class ImageControl : public QWidget {
    Q_OBJECT
public:
    ImageControl(const QString& name, const QString& asset, QRect geometry, QWidget* parent);
    void setBackground(const QColor& colour); // for picture boxes
    // The picture's size relative to its design, as its window's content.
    void setScale(double scale);
    std::function<void()> onClick;

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString asset_;
    QSize pictureSize_;
    double scale_ = 1;
    QColor background_;
    QPixmap cache_;
    bool pressed_ = false;
};

// A label: centred unless said otherwise, wrapped at word boundaries (at
// design size, keeping those lines at any other), cut
// at its rectangle, never focused.
// The text with a line break wherever it wraps at `width` in `font`.
QString linesAt(const QString& text, const QFont& font, int width);

QLabel* makeLabel(const QString& name, const QString& text, QRect geometry, const QFont& font,
                  const QColor& textColour, const QColor& background, QWidget* parent,
                  Qt::Alignment alignment = Qt::AlignHCenter | Qt::AlignTop);

// Screen readers hear a clickable picture as a button they can press, and the
// others as pictures.
void installAccessibleControls();

QFont makeFont(const QString& family, double points, bool bold = false, bool italic = false);

} // namespace quiltaro
