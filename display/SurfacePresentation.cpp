#include "Surface.h"

#include <algorithm>
#include <cstring>

// Presenting what was drawn: only the pixels that differ from what the
// screen shows are sent to it.
namespace quiltaro {

void Surface::present() {
    ++presentCount_;
    if (dirty_.isEmpty()) {
        // Nothing drawn, but controls may have been shown or hidden: they
        // belong to the frame too.
        if (presenter_)
            presenter_(QRect());
        return;
    }
    // Until the surface has been presented twice, what was drawn goes out
    // whole. Then a copy of the image, which the screen now shows, is kept,
    // and later presentations send only the pixels that differ from it. A
    // surface presented once, like the welcome window's, never pays for it.
    const QRect rect = shown_.isNull() ? dirty_ : changedWithin(dirty_);
    dirty_ = QRect();
    if (presenter_)
        presenter_(rect);
    if (shown_.isNull() && ++wholePresents_ == 2)
        shown_ = image_.copy();
}

QRect Surface::changedWithin(const QRect& area) const {
    // Whole rows and the parts of rows outside the columns already known to
    // have changed are compared with memcmp; a pixel loop only runs where a
    // new change lies.
    const int width = area.width();
    auto now = [&](int row) {
        return reinterpret_cast<const QRgb*>(image_.constScanLine(row)) + area.left();
    };
    auto was = [&](int row) {
        return reinterpret_cast<const QRgb*>(shown_.constScanLine(row)) + area.left();
    };
    auto same = [&](int row, int from, int to) {
        return from >= to ||
               std::memcmp(now(row) + from, was(row) + from, (to - from) * sizeof(QRgb)) == 0;
    };
    int top = area.top(), bottom = area.bottom();
    while (top <= bottom && same(top, 0, width))
        ++top;
    while (bottom > top && same(bottom, 0, width))
        --bottom;
    if (top > bottom)
        return QRect();
    int left = width, right = -1;
    for (int row = top; row <= bottom; ++row) {
        const QRgb *a = now(row), *b = was(row);
        if (!same(row, 0, left))
            for (left = 0; a[left] == b[left];)
                ++left;
        if (!same(row, right + 1, width))
            for (right = width - 1; a[right] == b[right];)
                --right;
    }
    return QRect(QPoint(area.left() + left, top), QPoint(area.left() + right, bottom));
}

void Surface::markShown(const QRect& deviceRect) {
    const QRect rect = shown_.isNull() ? QRect() : deviceRect.intersected(image_.rect());
    for (int row = rect.top(); row <= rect.bottom(); ++row) {
        const auto* from = reinterpret_cast<const QRgb*>(image_.constScanLine(row));
        std::copy(from + rect.left(), from + rect.right() + 1,
                  reinterpret_cast<QRgb*>(shown_.scanLine(row)) + rect.left());
    }
}

} // namespace quiltaro
