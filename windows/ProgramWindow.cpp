#include "ProgramWindow.h"

#include "Program.h"
#include "SurfaceView.h"

#include <QCloseEvent>
#include <QPointer>

namespace quiltaro {

ProgramWindow::ProgramWindow(Program& program, const QString& name, QSize clientSize,
                             const QColor& background)
    : QWidget(nullptr), program_(program) {
    setObjectName(name);
    setAttribute(Qt::WA_DeleteOnClose);
    // The layout is drawn at one size; the window keeps it.
    setFixedSize(clientSize);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, background);
    setPalette(colours);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
}

SurfaceView* ProgramWindow::addSurface(QSizeF sizeInPoints) {
    view_ = new SurfaceView(sizeInPoints, palette().color(QPalette::Window), this);
    view_->move(0, 0);
    view_->lower();
    return view_;
}

bool ProgramWindow::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate)
        program_.windowActivated(this);
    return QWidget::event(event);
}

void ProgramWindow::closeEvent(QCloseEvent* event) {
    if (program_.gate().busy() && !closingInTurn_) {
        // Closed in the middle of an animation: the close waits its turn
        // like any other reaction, and the window goes when it comes.
        event->ignore();
        QPointer<ProgramWindow> self(this);
        program_.react([self] {
            if (self) {
                self->closingInTurn_ = true;
                self->close();
            }
        });
        return;
    }
    event->accept();
}

} // namespace quiltaro
