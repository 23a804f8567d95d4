#pragma once

#include <QString>
#include <QWidget>

namespace quiltaro {

class Program;
class SurfaceView;

// What the three windows share: activation, keys seen before the controls,
// and closing through the window system.
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

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    SurfaceView* addSurface(QSizeF sizeInPoints);

    Program& program_;
    SurfaceView* view_ = nullptr;

private:
    bool closingInTurn_ = false;
};

} // namespace quiltaro
