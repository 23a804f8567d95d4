#include "XScreen.h"

#include <X11/Xatom.h>
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

std::vector<std::uint32_t> XScreen::pixels(Box b) const {
    std::vector<std::uint32_t> found;
    XImage* image = XGetImage(d_, DefaultRootWindow(d_), b.x, b.y, static_cast<unsigned>(b.w),
                              static_cast<unsigned>(b.h), AllPlanes, ZPixmap);
    if (!image)
        return found;
    found.reserve(static_cast<size_t>(b.w) * static_cast<size_t>(b.h));
    for (int y = 0; y < b.h; ++y)
        for (int x = 0; x < b.w; ++x)
            found.push_back(static_cast<std::uint32_t>(XGetPixel(image, x, y) & 0xffffff));
    XDestroyImage(image);
    return found;
}

namespace {

long pidOf(Display* d, Window w) {
    static const Atom netWmPid = XInternAtom(d, "_NET_WM_PID", False);
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    long pid = 0;
    if (XGetWindowProperty(d, w, netWmPid, 0, 1, False, XA_CARDINAL, &type, &format, &items, &after,
                           &data) == Success &&
        data && format == 32 && items == 1)
        pid = *reinterpret_cast<long*>(data);
    if (data)
        XFree(data);
    return pid;
}

// The mapped window of `pid` among `w` and its children, to `depth` levels:
// a window manager puts each top-level window in a frame of its own.
Window mappedWindowOf(Display* d, Window w, long pid, int depth) {
    XWindowAttributes a{};
    if (!XGetWindowAttributes(d, w, &a) || a.map_state != IsViewable)
        return None;
    if (pidOf(d, w) == pid)
        return w;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned n = 0;
    if (depth == 0 || !XQueryTree(d, w, &root, &parent, &children, &n))
        return None;
    Window found = None;
    for (unsigned i = 0; i < n && found == None; ++i)
        found = mappedWindowOf(d, children[i], pid, depth - 1);
    if (children)
        XFree(children);
    return found;
}

} // namespace

std::optional<Box> XScreen::windowOf(long pid) const {
    const Window root = DefaultRootWindow(d_);
    const Window w = mappedWindowOf(d_, root, pid, 2);
    XWindowAttributes a{};
    Window child = 0;
    int x = 0, y = 0;
    if (w == None || !XGetWindowAttributes(d_, w, &a) ||
        !XTranslateCoordinates(d_, w, root, 0, 0, &x, &y, &child))
        return std::nullopt;
    return Box{x, y, a.width, a.height};
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
