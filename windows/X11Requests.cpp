#include "X11Requests.h"

#include <QGuiApplication>
#include <QWidget>

#include <sys/socket.h>
#include <xcb/xcb.h>

#include <cstring>

namespace quiltaro {

namespace {
// The connection to the X server, or none on another platform. The
// offscreen platform also answers as an X11 application, with no connection
// and windows that are no X windows.
xcb_connection_t* connection() {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    return x11->connection();
}

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return result;
}
} // namespace

void keepTitleEmpty(QWidget* window) {
    xcb_connection_t* const x = connection();
    if (!x || !window->windowTitle().isEmpty())
        return;
    const auto id = static_cast<xcb_window_t>(window->winId());
    xcb_change_property(x, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0, "");
    const xcb_atom_t netName = atom(x, "_NET_WM_NAME");
    const xcb_atom_t utf8 = atom(x, "UTF8_STRING");
    if (netName != XCB_ATOM_NONE && utf8 != XCB_ATOM_NONE)
        xcb_change_property(x, XCB_PROP_MODE_REPLACE, id, netName, utf8, 8, 0, "");
    xcb_flush(x);
}

void makeRoomForFrames() {
    // A frame is presented, then its wait begins. A small frame fits in the
    // socket to the X server and the wait begins at once, while the server
    // copies it to the screen. A zoom frame full screen (about 200 kB at
    // 1920x1080, up to 750 kB at 3840x2160) did not fit the kernel's default
    // 208 kB: the game sat in the write until the server had read most of
    // it, and that time was added to every wait, a fifth to a quarter of a
    // 4K zoom frame's presentation. 4 MB holds several of the largest
    // frames. An ordinary user may ask for up to net.core.wmem_max, which the
    // kernel then doubles: twice the default on a stock system, more where
    // the limit was raised. Over TCP the kernel sizes the buffer itself, and
    // setting it would stop that, so only a local socket is touched.
    xcb_connection_t* const x = connection();
    if (!x)
        return;
    const int socket = xcb_get_file_descriptor(x);
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        address.ss_family != AF_UNIX)
        return;
    const int wanted = 4 * 1024 * 1024;
    // The request is only a wish: a smaller buffer than asked is no fault.
    (void)setsockopt(socket, SOL_SOCKET, SO_SNDBUF, &wanted, sizeof wanted);
}

} // namespace quiltaro
