#include "Surface.h"

#include <algorithm>
#include <cmath>

// Which operations are kept for drawing the picture again at another scale.
//
// The cover rule drops an operation that a later one paints over whole. It
// holds only because every operation paints its pixels opaque and aliased:
// no blending with what lies under it, no antialiased edge that would show
// through, or add to, what a later operation paints beside it. An operation
// that blended would change the picture when one it covers is dropped.
namespace quiltaro {

namespace {
// How many of the latest operations a new one is checked against: a sweep
// frame draws about a dozen, most of them over the same in the frame before.
constexpr int lookBack = 16;

QRectF pointBox(double x1, double y1, double x2, double y2) {
    return QRectF(QPointF(std::min(x1, x2), std::min(y1, y2)),
                  QPointF(std::max(x1, x2), std::max(y1, y2)));
}
// Closed containment: a box's edges may meet.
bool within(const QRectF& inner, const QRectF& outer) {
    return inner.left() >= outer.left() && inner.right() <= outer.right() &&
           inner.top() >= outer.top() && inner.bottom() <= outer.bottom();
}
} // namespace

// A box of points that holds everything the operation paints, at any scale
// of minimumDeviceScale or more: the device pixels of its edges round by up
// to half a pixel, lines reach out by half their width and the glyphs of a
// text by a pixel or two beyond the ink measured in points.
QRectF Surface::reach(const Operation& op) {
    const double pixel = 1 / (pixelsPerPoint * minimumDeviceScale); // in points
    const double width = 0.75 * std::max(1, op.lineWidth);          // in points
    switch (op.kind) {
    case Operation::Kind::FilledBox:
        return pointBox(op.x1, op.y1, op.x2, op.y2);
    case Operation::Kind::Line:
    case Operation::Kind::Box: {
        const double m = 2 * pixel + width;
        return pointBox(op.x1, op.y1, op.x2, op.y2).adjusted(-m, -m, m, m);
    }
    case Operation::Kind::Ellipse: {
        const double m = 2 * pixel + width;
        return QRectF(op.x1 - op.x2, op.y1 - op.y2, 2 * op.x2, 2 * op.y2).adjusted(-m, -m, m, m);
    }
    case Operation::Kind::Text:
        return op.ink.adjusted(-2 * pixel, -2 * pixel, 2 * pixel, 2 * pixel);
    }
    return {};
}

// Whether `later` paints over every pixel that `earlier` painted, at every
// scale, so that drawing `earlier` again is useless. Every operation paints
// its pixels opaque: no blending, no antialiasing.
bool Surface::covers(const Operation& later, const Operation& earlier) {
    using Kind = Operation::Kind;
    if (later.kind == earlier.kind && later.x1 == earlier.x1 && later.y1 == earlier.y1 &&
        later.x2 == earlier.x2 && later.y2 == earlier.y2 && later.lineWidth == earlier.lineWidth &&
        later.solid == earlier.solid &&
        (later.kind != Kind::Text || (later.font == earlier.font && later.text == earlier.text)))
        return true;
    auto straight = [](const Operation& op) {
        return op.kind == Kind::Line && (op.x1 == op.x2 || op.y1 == op.y2);
    };
    const bool paintsBox =
        later.kind == Kind::FilledBox || (later.kind == Kind::Box && later.solid);
    if (!paintsBox && !straight(later))
        return false;
    const QRectF box = pointBox(later.x1, later.y1, later.x2, later.y2);
    // Straight lines and box outlines of one width: their device pixels
    // follow the points' order, whatever the scale.
    const bool outlined = straight(earlier) || earlier.kind == Kind::Box;
    if (outlined && later.kind != Kind::FilledBox && later.lineWidth == earlier.lineWidth &&
        within(pointBox(earlier.x1, earlier.y1, earlier.x2, earlier.y2), box))
        return paintsBox || straight(earlier);
    return paintsBox && within(reach(earlier), box);
}

void Surface::keep(Operation&& op) {
    if (kept_.size() >= compactAt_)
        compact();
    int checked = 0;
    for (auto it = kept_.rbegin(); it != kept_.rend() && checked < lookBack; ++it) {
        if (!it->live)
            continue;
        ++checked;
        if (covers(op, *it)) {
            it->live = false;
            ++dead_;
        }
    }
    kept_.push_back(std::move(op));
}

void Surface::compact() {
    // Each operation against the boxes painted after it, the largest few.
    constexpr std::size_t coverCount = 16;
    std::vector<const Operation*> later;
    auto area = [](const Operation* op) { return std::abs((op->x2 - op->x1) * (op->y2 - op->y1)); };
    for (auto it = kept_.rbegin(); it != kept_.rend(); ++it) {
        if (!it->live)
            continue;
        for (const Operation* cover : later)
            if (covers(*cover, *it)) {
                it->live = false;
                break;
            }
        const bool paintsBox = it->kind == Operation::Kind::FilledBox ||
                               (it->kind == Operation::Kind::Box && it->solid);
        if (!it->live || !paintsBox)
            continue;
        if (later.size() < coverCount) {
            later.push_back(&*it);
        } else {
            auto smallest = std::min_element(later.begin(), later.end(),
                                             [&](auto a, auto b) { return area(a) < area(b); });
            if (area(*smallest) < area(&*it))
                *smallest = &*it;
        }
    }
    std::erase_if(kept_, [](const Operation& op) { return !op.live; });
    dead_ = 0;
    compactAt_ = std::max(firstCompaction, 2 * kept_.size());
}

} // namespace quiltaro
