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

private:
    // Repaints now, a band of rows at a time, none larger than bandBytes.
    void repaintInBands(const QRect& rect);
    static constexpr int bandBytes = 64 * 1024;

    std::unique_ptr<Surface> surface_;
};

} // namespace quiltaro
