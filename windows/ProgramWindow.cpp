#include "ProgramWindow.h"

#include "Controls.h"
#include "Program.h"
#include "SurfaceView.h"

#include <QCloseEvent>
#include <QFontInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace quiltaro {

namespace {
int scaled(int length, double scale) {
    return static_cast<int>(std::lround(length * scale));
}

// Text is drawn at whole pixel sizes. Rounded down, a scaled text never
// takes a larger share of its label than at design size, so that it wraps
// (or fits) as designed.
QFont scaledFont(QFont font, double scale) {
    if (scale == 1)
        return font;
    const double pixels = font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
    font.setPixelSize(std::max(1, static_cast<int>(std::floor(pixels * scale + 1e-9))));
    return font;
}

// A label keeps the lines of its design size (makeLabel). Glyphs of whole
// pixels do not widen in proportion to their size: at exactly twice the
// design, a line that just fitted is a pixel or two too wide. Such a label's
// font is a pixel smaller, until its lines fit.
void fitLines(QFont& font, const QString& text, int width) {
    const QStringList lines = text.split(QLatin1Char('\n'));
    auto fits = [&] {
        const QFontMetricsF metrics(font);
        return std::all_of(lines.begin(), lines.end(), [&](const QString& line) {
            return metrics.horizontalAdvance(line) <= width;
        });
    };
    while (font.pixelSize() > 1 && !fits())
        font.setPixelSize(font.pixelSize() - 1);
}

// Until the window system has framed a window, it is given room for a
// title bar and thin borders like those of common desktops.
constexpr QMargins assumedFrame(4, 32, 4, 4);
} // namespace

ProgramWindow::ProgramWindow(Program& program, const QString& name, QSize clientSize,
                             const QColor& background)
    : QWidget(nullptr), program_(program), designSize_(clientSize) {
    setObjectName(name);
    setAttribute(Qt::WA_DeleteOnClose);
    resize(clientSize);
    setMinimumSize(scaled(clientSize.width(), leastScale()),
                   scaled(clientSize.height(), leastScale()));
    matchSizeSteps();
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

// Qt asks the window manager to size a window in steps of one logical pixel
// in device pixels, rounded: two at 150 % and 175 %. The steps count from the
// base size, or from the minimum size when there is none; from an odd one,
// the design size lay between two steps and the window opened a device pixel
// smaller, its content (and its fonts, rounded down) below design size. The
// base size is one from which the design size is a whole number of steps.
void ProgramWindow::matchSizeSteps() {
    // Only X11 window managers size windows in steps.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    const qreal ratio = devicePixelRatioF();
    const int step = std::max(1, static_cast<int>(std::lround(ratio)));
    auto base = [&](int design) {
        const auto device = [ratio](int logical) { return qRound(logical * ratio); };
        int b = 1;
        while (b < 2 * step && (device(design) - device(b)) % step != 0)
            ++b;
        return b;
    };
    const QSize wanted(base(designSize_.width()), base(designSize_.height()));
    // Qt hands a widget's base size to its native window only when it changes.
    setBaseSize(wanted);
    if (QWindow* window = windowHandle())
        window->setBaseSize(wanted);
}

double ProgramWindow::leastScale() const {
    // The drawing surface keeps a least resolution of its own.
    return std::max(minimumScale, Surface::minimumDeviceScale / devicePixelRatioF());
}

double ProgramWindow::fittingScale(QSize design, QSize room) {
    if (design.isEmpty())
        return 1;
    return std::min({1.0, static_cast<double>(room.width()) / design.width(),
                     static_cast<double>(room.height()) / design.height()});
}

QRect ProgramWindow::fittedGeometry(QSize design, QPoint topLeft, QRect available, QMargins frame) {
    const QRect room = available.marginsRemoved(frame);
    const double scale = std::max(minimumScale, fittingScale(design, room.size()));
    const QSize size(scaled(design.width(), scale), scaled(design.height(), scale));
    // Moved only as far as it must; what cannot fit keeps its top left in view.
    const int x = std::max(room.left(), std::min(topLeft.x(), room.right() + 1 - size.width()));
    const int y = std::max(room.top(), std::min(topLeft.y(), room.bottom() + 1 - size.height()));
    return QRect(QPoint(x, y), size);
}

void ProgramWindow::fitToScreen(std::optional<QPoint> topLeft) {
    QScreen* screen = topLeft ? QGuiApplication::screenAt(*topLeft) : nullptr;
    if (!screen)
        screen = this->screen();
    if (!screen) {
        if (topLeft)
            setGeometry(QRect(*topLeft, size()));
        return;
    }
    const QRect frameRect = frameGeometry(), client = geometry();
    const QMargins frame =
        frameRect == client
            ? assumedFrame
            : QMargins(client.left() - frameRect.left(), client.top() - frameRect.top(),
                       frameRect.right() - client.right(), frameRect.bottom() - client.bottom());
    const QRect place = fittedGeometry(designSize_, topLeft.value_or(client.topLeft()),
                                       screen->availableGeometry(), frame);
    if (topLeft)
        setGeometry(place);
    else
        resize(place.size());
}

void ProgramWindow::toggleFullScreen() {
    setWindowState(windowState() ^ Qt::WindowFullScreen);
}

void ProgramWindow::adopt(QWidget* child) {
    if (child->isWindow() ||
        std::any_of(placed_.begin(), placed_.end(),
                    [child](const Placed& placed) { return placed.widget == child; }))
        return;
    // Controls are placed in design coordinates; what they are given before
    // the window first scales them is their design.
    placed_.push_back(
        {child, child->geometry(),
         child->testAttribute(Qt::WA_SetFont) ? std::optional(child->font()) : std::nullopt});
}

void ProgramWindow::layOut() {
    for (QObject* object : children())
        if (object->isWidgetType())
            adopt(static_cast<QWidget*>(object));
    if (!designFont_)
        designFont_ = font();
    const double scale =
        std::max(leastScale(), std::min(static_cast<double>(width()) / designSize_.width(),
                                        static_cast<double>(height()) / designSize_.height()));
    scale_ = scale;
    const QPoint origin((width() - scaled(designSize_.width(), scale)) / 2,
                        (height() - scaled(designSize_.height(), scale)) / 2);
    if (const QFont wanted = scaledFont(*designFont_, scale); font() != wanted)
        setFont(wanted);
    for (const Placed& placed : placed_) {
        QWidget* control = placed.widget;
        if (!control)
            continue;
        // Edges are scaled, not widths, so that neighbours stay edge to edge.
        const QRect& r = placed.designRect;
        const QRect target(
            origin + QPoint(scaled(r.left(), scale), scaled(r.top(), scale)),
            origin + QPoint(scaled(r.right() + 1, scale) - 1, scaled(r.bottom() + 1, scale) - 1));
        if (control->geometry() != target)
            control->setGeometry(target);
        if (placed.designFont) {
            QFont wanted = scaledFont(*placed.designFont, scale);
            if (auto* label = qobject_cast<QLabel*>(control))
                fitLines(wanted, label->text(), target.width());
            if (control->font() != wanted)
                control->setFont(wanted);
        }
        if (auto* image = qobject_cast<ImageControl*>(control))
            image->setScale(scale);
        else if (auto* view = qobject_cast<SurfaceView*>(control))
            view->setContentScale(scale);
    }
}

void ProgramWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layOut();
}

bool ProgramWindow::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate)
        program_.windowActivated(this);
    // On a screen of another device pixel ratio, everything is drawn again
    // at the new resolution.
    if (event->type() == QEvent::WinIdChange)
        matchSizeSteps();
    if (event->type() == QEvent::ScreenChangeInternal) {
        matchSizeSteps();
        if (!placed_.empty())
            layOut();
    }
    // A control added once the window is shown joins the layout at once.
    if (event->type() == QEvent::ChildPolished && !placed_.empty())
        if (auto* child = qobject_cast<QWidget*>(static_cast<QChildEvent*>(event)->child());
            child && !child->isWindow()) {
            const auto known = placed_.size();
            adopt(child);
            if (placed_.size() != known)
                layOut();
        }
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
