#include "TileRecipes.h"

namespace quiltaro {

TileRecipes::Change TileRecipes::addFill(std::size_t tile, const QRect& part, QSize size,
                                         QRgb colour) {
    if (part.topLeft() == QPoint(0, 0) && part.size() == size)
        return fillWhole(tile, colour) ? Change::Changed : Change::None;
    Recipe& recipe = recipes_[tile];
    int slot = 0;
    while (slot < maxColours &&
           !((recipe.used >> slot & 1) && recipe.colours[static_cast<std::size_t>(slot)] == colour))
        ++slot;
    if (slot == maxColours) {
        slot = std::countr_one(recipe.used);
        if (slot >= maxColours)
            return Change::TooManyColours;
        recipe.colours[static_cast<std::size_t>(slot)] = colour;
    }
    if (slot == 0 && recipe.used == 1)
        return Change::None; // the tile's own colour
    Planes& planes = planesOf(recipe);
    const std::uint32_t columns = columnsOf(part.left(), part.right());
    const std::uint32_t lowBits = slot & 1 ? columns : 0, highBits = slot & 2 ? columns : 0;
    bool changed = false;
    for (int y = part.top(); y <= part.bottom(); ++y) {
        std::uint32_t& low = planes.low[static_cast<std::size_t>(y)];
        std::uint32_t& high = planes.high[static_cast<std::size_t>(y)];
        const std::uint32_t newLow = (low & ~columns) | lowBits,
                            newHigh = (high & ~columns) | highBits;
        changed |= newLow != low || newHigh != high;
        low = newLow, high = newHigh;
    }
    if (!changed)
        return Change::None;
    settle(tile, size, slot);
    return Change::Changed;
}

TileRecipes::Planes& TileRecipes::planesOf(Recipe& recipe) {
    if (recipe.planes == noPlanes) {
        // A uniform tile: every pixel shows its first colour.
        if (freePlanes_.empty()) {
            recipe.planes = static_cast<std::uint32_t>(planes_.size());
            planes_.emplace_back();
        } else {
            recipe.planes = freePlanes_.back();
            freePlanes_.pop_back();
            planes_[recipe.planes] = Planes();
        }
    }
    return planes_[recipe.planes];
}

// Notes which colours still show, so that a colour painted over everywhere
// gives its place to another, and a tile of one colour is uniform again,
// whatever the fills that made it so. Only the colours the fill painted over
// can have gone.
void TileRecipes::settle(std::size_t tile, QSize size, int filled) {
    Recipe& recipe = recipes_[tile];
    const Planes& planes = planes_[recipe.planes];
    const std::uint32_t inside = columnsOf(0, size.width() - 1);
    recipe.used |= static_cast<std::uint8_t>(1 << filled);
    for (int slot = 0; slot < maxColours; ++slot) {
        if (slot == filled || !(recipe.used >> slot & 1))
            continue;
        int y = 0;
        while (y < size.height() && !(showing(planes, slot, y) & inside))
            ++y;
        if (y == size.height())
            recipe.used &= static_cast<std::uint8_t>(~(1 << slot));
    }
    if (std::has_single_bit(recipe.used))
        setUniform(tile, recipe.colours[static_cast<std::size_t>(std::countr_zero(recipe.used))]);
}

int TileRecipes::layers(std::size_t tile, QSize size, std::array<Layer, maxColours>& out) const {
    const Recipe& recipe = recipes_[tile];
    const std::uint32_t inside = columnsOf(0, size.width() - 1);
    if (recipe.used == 1) {
        out[0] = {recipe.colours[0], {}};
        std::fill_n(out[0].pixels.begin(), size.height(), inside);
        return 1;
    }
    const Planes& planes = planes_[recipe.planes];
    int count = 0;
    for (int slot = 0; slot < maxColours; ++slot) {
        if (!(recipe.used >> slot & 1))
            continue;
        Layer& layer = out[static_cast<std::size_t>(count++)];
        layer = {recipe.colours[static_cast<std::size_t>(slot)], {}};
        for (int y = 0; y < size.height(); ++y)
            layer.pixels[static_cast<std::size_t>(y)] = showing(planes, slot, y) & inside;
    }
    // Four at most: sorted in place (std::sort's inner loop reads past so
    // short a range, as far as the compiler can tell).
    for (int i = 1; i < count; ++i)
        for (int j = i; j > 0 && out[j].colour < out[j - 1].colour; --j)
            std::swap(out[j], out[j - 1]);
    return count;
}

} // namespace quiltaro
