#pragma once

#include <QFont>
#include <QMargins>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <optional>
#include <vector>

namespace quiltaro {

class Program;
class SurfaceView;

// What the three windows share: activation, keys seen before the controls,
// closing through the window system, and a layout that scales.
//
// Each window is laid out at one design size, in the coordinates the game
// knows. Shown at another size (a small screen, a maximised window, full
// screen), its content is scaled uniformly to fit, kept in proportion and
// centred on the window's background: controls, fonts, pictures and the
// drawing surface, each drawn again at the new size rather than stretched.
class ProgramWindow : public QWidget {
    Q_OBJECT
public:
    ProgramWindow(Program& program, const QString& name, QSize clientSize,
                  const QColor& background);

    // The activation reaction.
    virtual void activated() {}
    // Whether the window takes this key from its controls.
    virtual bool takesKey(int key, const QString& text) const = 0;
    // The key reaction; key is Qt's key code, text what the key yields.
    virtual void keyReaction(int key, const QString& text) = 0;

    SurfaceView* surfaceView() const { return view_; }

    QSize designSize() const { return designSize_; }
    // How many times larger than designed the content is shown.
    double contentScale() const { return scale_; }
    // Gives the window its design size, or a smaller one that fits the
    // available area of its screen (without panels, with the window frame),
    // and puts its client area at `topLeft`, moved as little as needed to
    // fit whole. Without a position, the window system places it.
    void fitToScreen(std::optional<QPoint> topLeft);
    void toggleFullScreen();

    // The size and place for a window of `design` size, wanted at `topLeft`,
    // in `available` with a frame of `frame` around the client area.
    static QRect fittedGeometry(QSize design, QPoint topLeft, QRect available, QMargins frame);
    static double fittingScale(QSize design, QSize room);
    // The smallest content scale, below which the window does not shrink.
    static constexpr double minimumScale = 0.25;

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    SurfaceView* addSurface(QSizeF sizeInPoints);

    Program& program_;
    SurfaceView* view_ = nullptr;

private:
    struct Placed {
        QPointer<QWidget> widget;
        QRect designRect;
        std::optional<QFont> designFont; // only where the control has a font of its own
    };
    void adopt(QWidget* child);
    void layOut();
    double leastScale() const;
    void matchSizeSteps();

    bool closingInTurn_ = false;
    QSize designSize_;
    double scale_ = 1;
    std::vector<Placed> placed_;
    std::optional<QFont> designFont_;
};

} // namespace quiltaro
