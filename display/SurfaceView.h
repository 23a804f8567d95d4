#pragma once

#include "Surface.h"

#include <QWidget>

#include <memory>

namespace quiltaro {

// The widget that shows a window's drawing surface, under the window's
// controls. Presenting repaints only what changed, synchronously, so that a
// frame is on the screen before the animation that drew it waits.
class SurfaceView : public QWidget {
    Q_OBJECT
public:
    SurfaceView(QSizeF sizeInPoints, QColor background, QWidget* parent);

    Surface& surface() { return *surface_; }
    // Draws the surface again at the window's content scale and the screen's
    // device pixel ratio.
    void setContentScale(double scale);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    // Repaints now, a band of rows at a time, none larger than a sixteenth
    // of the widget's pixels and never under minBandBytes: enough for a row
    // of tiles across a 4K screen (3840 x 8 pixels).
    void repaintInBands(const QRegion& region);
    static constexpr int minBandBytes = 128 * 1024;
    // The image the painter paints on, when the surface's pixels can be
    // copied into it as they are; null otherwise.
    static QImage* copyTarget(QPainter& painter);

    std::unique_ptr<Surface> surface_;
};

} // namespace quiltaro
