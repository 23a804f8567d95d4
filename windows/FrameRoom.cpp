#include "FrameRoom.h"

#include <QGuiApplication>

#include <sys/socket.h>
#include <xcb/xcb.h>

namespace quiltaro {

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
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || QGuiApplication::platformName() != QLatin1String("xcb") || !x11->connection())
        return;
    const int socket = xcb_get_file_descriptor(x11->connection());
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
