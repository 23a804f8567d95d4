#pragma once

#include <QRect>
#include <QRgb>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <vector>

namespace quiltaro {

// What makes each tile's pixels without the pixels themselves: up to four
// colours, and for each pixel which of them it shows, in two planes of bits.
// A tile is compared with what the screen shows without reading its pixels,
// and its pixels need not be written again for a recipe they were written
// from.
//
// A recipe depends on the pixels alone, not on the fills that made them. At
// a moving bracket each frame erases its old place, fills the box up to its
// new one and draws it there; kept as a list of fills, those tiles ran past
// any bound in two frames and were then written, hashed and compared pixel by
// pixel, in the 33 MB of a 4K picture, mostly out of the processor's cache.
// Two tiles that show the same pixels give the same `layers`, however they
// were drawn.
//
// Most tiles are of one colour: only the others hold planes, taken from a
// store shared by the tiles. A tile's recipe takes 24 bytes, and 64 more while
// it has several colours; planes for every tile added 100 to 200 kB
// to the game's peak at design size.
class TileRecipes {
public:
    // The largest tile: a row of it is a word of bits.
    static constexpr int width = 32, height = 8;
    // More colours than this in one tile, and it is written and hashed from
    // its pixels.
    static constexpr int maxColours = 4;

    using Rows = std::array<std::uint32_t, height>;
    // One colour of a tile, and where it shows: bit x of row y for the pixel
    // (x, y).
    struct Layer {
        QRgb colour;
        Rows pixels;
    };
    enum class Change { None, Changed, TooManyColours };

    // `count` tiles, none known.
    void reset(std::size_t count) {
        recipes_.assign(count, Recipe());
        planes_.clear();
        freePlanes_.clear();
    }

    bool known(std::size_t tile) const { return recipes_[tile].used != unknown; }
    bool uniform(std::size_t tile) const { return recipes_[tile].used == 1; }
    // The colour of a uniform tile.
    QRgb colour(std::size_t tile) const { return recipes_[tile].colours[0]; }

    void forget(std::size_t tile) {
        dropPlanes(recipes_[tile]);
        recipes_[tile].used = unknown;
    }
    // A fill over the whole tile. Returns whether the recipe changed: a tile
    // filled whole in the colour it has stays as it is.
    bool fillWhole(std::size_t tile, QRgb colour) {
        const bool same = uniform(tile) && recipes_[tile].colours[0] == colour;
        setUniform(tile, colour);
        return !same;
    }
    // A fill over `part`, in the tile's own pixels, of a known tile of
    // `size`. A fill that changes no pixel leaves the recipe as it is; one
    // that would bring a fifth colour leaves it too, and says so.
    Change addFill(std::size_t tile, const QRect& part, QSize size, QRgb colour);

    // The colours of a known tile of `size`, in the order of their values,
    // each with the pixels that show it.
    int layers(std::size_t tile, QSize size, std::array<Layer, maxColours>& out) const;

    // Writes rows `top` to `bottom` of a known tile's pixels, from its column
    // `from` to `to`, into `line` and the lines `stride` pixels apart after
    // it, each holding the tile's row from its first column.
    void paint(std::size_t tile, QRgb* line, qsizetype stride, int top, int bottom, int from,
               int to) const {
        const Recipe& recipe = recipes_[tile];
        if (recipe.used == 1) {
            for (int y = top; y <= bottom; ++y, line += stride)
                std::fill(line + from, line + to + 1, recipe.colours[0]);
            return;
        }
        const Planes& planes = planes_[recipe.planes];
        for (int y = top; y <= bottom; ++y, line += stride) {
            const auto row = static_cast<std::size_t>(y);
            // A row like the one above it (a bracket's column, the inside of
            // a box's edge) is a copy of it.
            if (y > top && planes.low[row] == planes.low[row - 1] &&
                planes.high[row] == planes.high[row - 1]) {
                std::copy(line - stride + from, line - stride + to + 1, line + from);
                continue;
            }
            // A run of one colour at a time: a row has a few, as many as the
            // edges of what was drawn there.
            const std::uint32_t low = planes.low[row], high = planes.high[row];
            for (int x = from; x <= to;) {
                const std::uint32_t lowBit = low >> x & 1, highBit = high >> x & 1;
                const std::uint32_t other =
                    ((low >> x) ^ (0u - lowBit)) | ((high >> x) ^ (0u - highBit));
                const int end = std::min(to + 1, x + std::countr_zero(other));
                std::fill(line + x, line + end, recipe.colours[lowBit | highBit << 1]);
                x = end;
            }
        }
    }

private:
    static constexpr std::uint8_t unknown = 0xFF;
    static constexpr std::uint32_t noPlanes = ~0u;

    struct Planes {
        Rows low{}, high{}; // the two bits of each pixel's index in the colours
    };
    struct Recipe {
        std::uint8_t used = unknown; // bit i: colours[i] shows in some pixel
        std::uint32_t planes = noPlanes;
        std::array<QRgb, maxColours> colours{};
    };

    static std::uint32_t columnsOf(int left, int right) {
        const std::uint32_t upTo = right >= width - 1 ? ~0u : (1u << (right + 1)) - 1;
        return upTo & ~((1u << left) - 1);
    }
    // The pixels of row y that show the colour in `slot`.
    static std::uint32_t showing(const Planes& planes, int slot, int y) {
        const std::uint32_t low = planes.low[static_cast<std::size_t>(y)],
                            high = planes.high[static_cast<std::size_t>(y)];
        return (slot & 1 ? low : ~low) & (slot & 2 ? high : ~high);
    }
    // Gives the tile's planes back to the store.
    void dropPlanes(Recipe& recipe) {
        if (recipe.planes != noPlanes) {
            freePlanes_.push_back(recipe.planes);
            recipe.planes = noPlanes;
        }
    }
    void setUniform(std::size_t tile, QRgb colour) {
        Recipe& recipe = recipes_[tile];
        dropPlanes(recipe);
        recipe.colours[0] = colour;
        recipe.used = 1;
    }
    Planes& planesOf(Recipe& recipe);
    void settle(std::size_t tile, QSize size, int filled);

    std::vector<Recipe> recipes_;
    std::vector<Planes> planes_;
    std::vector<std::uint32_t> freePlanes_;
};

} // namespace quiltaro
