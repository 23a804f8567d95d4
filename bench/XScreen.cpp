#include "XScreen.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace quiltaro::bench {

XScreen::XScreen() : d_(XOpenDisplay(nullptr)) {
    // A window can vanish between two requests (the game is killed); that is
    // an answer, not a reason to exit.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
}

XScreen::~XScreen() {
    if (d_)
        XCloseDisplay(d_);
}

bool XScreen::ok() const {
    if (!d_)
        return false;
    const Visual* v = DefaultVisual(d_, DefaultScreen(d_));
    return v->red_mask == 0xff0000 && v->green_mask == 0xff00 && v->blue_mask == 0xff;
}

int XScreen::width() const {
    return DisplayWidth(d_, DefaultScreen(d_));
}

int XScreen::height() const {
    return DisplayHeight(d_, DefaultScreen(d_));
}

int XScreen::count(Box b, unsigned long rgb) const {
    XImage* image = XGetImage(d_, DefaultRootWindow(d_), b.x, b.y, static_cast<unsigned>(b.w),
                              static_cast<unsigned>(b.h), AllPlanes, ZPixmap);
    if (!image)
        return 0;
    int n = 0;
    for (int y = 0; y < b.h; ++y)
        for (int x = 0; x < b.w; ++x)
            n += (XGetPixel(image, x, y) & 0xffffff) == rgb;
    XDestroyImage(image);
    return n;
}

std::optional<Box> XScreen::focusedWindow() const {
    Window w = 0, root = DefaultRootWindow(d_);
    int revert = 0;
    XGetInputFocus(d_, &w, &revert);
    if (w == None || w == PointerRoot)
        return std::nullopt;
    for (;;) {
        Window r = 0, parent = 0, *children = nullptr;
        unsigned n = 0;
        if (!XQueryTree(d_, w, &r, &parent, &children, &n))
            return std::nullopt;
        if (children)
            XFree(children);
        if (parent == root || parent == 0)
            break;
        w = parent;
    }
    XWindowAttributes a{};
    Window child = 0;
    int x = 0, y = 0;
    if (!XGetWindowAttributes(d_, w, &a) ||
        !XTranslateCoordinates(d_, w, root, 0, 0, &x, &y, &child))
        return std::nullopt;
    return Box{x, y, a.width, a.height};
}

} // namespace quiltaro::bench
