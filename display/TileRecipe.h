#pragma once

#include <QRect>
#include <QRgb>

#include <algorithm>
#include <array>
#include <cstdint>

namespace quiltaro {

// What makes one tile's pixels: a colour, then fills over parts of it, in
// order. Two tiles with the same recipe hold the same pixels, so a tile is
// compared with what the screen shows without reading its pixels, and its
// pixels need not be written again for a recipe they were written from.
//
// The recipe is kept in one form for one picture as far as an animation
// frame goes: a fill drops the earlier fills it paints over whole. A sweep
// frame fills the interval's box over a bracket, then draws the bracket
// again; noted one after the other for ever, those fills made a new recipe
// every frame for the same pixels, and the bracket's tiles went to the screen
// every frame although nothing there had changed.
class TileRecipe {
public:
    // More fills than this, and the tile is written and hashed from its
    // pixels.
    static constexpr int maxFills = 4;

    struct Fill {
        std::uint8_t left, top, right, bottom; // within the tile
        QRgb colour;
        bool within(const Fill& outer) const {
            return left >= outer.left && right <= outer.right && top >= outer.top &&
                   bottom <= outer.bottom;
        }
    };

    bool known() const { return count_ != unknown; }
    QRgb base() const { return base_; }
    int fillCount() const { return known() ? count_ : 0; }
    const Fill& fill(int i) const { return fills_[static_cast<std::size_t>(i)]; }

    // Writes row `y` of a known tile's pixels, from its column `from` to
    // `to`, into `line`, which holds the tile's row from its first column.
    void paintRow(QRgb* line, int y, int from, int to) const {
        std::fill(line + from, line + to + 1, base_);
        for (int i = 0; i < fillCount(); ++i) {
            const Fill& f = fill(i);
            const int left = std::max<int>(from, f.left), right = std::min<int>(to, f.right);
            if (y >= f.top && y <= f.bottom && left <= right)
                std::fill(line + left, line + right + 1, f.colour);
        }
    }

    void setUniform(QRgb colour) { base_ = colour, count_ = 0; }
    void forget() { count_ = unknown; }

    // A fill over the whole tile. Returns whether the recipe changed: a tile
    // filled whole in the colour it has stays as it is.
    bool fillWhole(QRgb colour) {
        const bool same = known() && count_ == 0 && base_ == colour;
        setUniform(colour);
        return !same;
    }

    // A fill over `part`, in the tile's own pixels, of a tile `tileSize`.
    // Returns whether the recipe changed: the same fill again, or a tile
    // filled whole in the colour it has, leave it as it is.
    bool addFill(const QRect& part, QSize tileSize, QRgb colour) {
        if (part.topLeft() == QPoint(0, 0) && part.size() == tileSize)
            return fillWhole(colour);
        if (!known())
            return true;
        const Fill added{static_cast<std::uint8_t>(part.left()),
                         static_cast<std::uint8_t>(part.top()),
                         static_cast<std::uint8_t>(part.right()),
                         static_cast<std::uint8_t>(part.bottom()), colour};
        if (count_ > 0) {
            const Fill& last = fills_[count_ - 1u];
            if (last.colour == colour && last.within(added) && added.within(last))
                return false;
        }
        const auto end = std::remove_if(fills_.begin(), fills_.begin() + count_,
                                        [&](const Fill& f) { return f.within(added); });
        count_ = static_cast<std::uint8_t>(end - fills_.begin());
        if (count_ == maxFills) {
            forget();
            return true;
        }
        fills_[count_++] = added;
        return true;
    }

private:
    static constexpr std::uint8_t unknown = 0xFF;
    std::array<Fill, maxFills> fills_{};
    QRgb base_ = 0;
    std::uint8_t count_ = unknown;
};

} // namespace quiltaro
