#include "Surface.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

// The surface's tiles: what is written to the image now, what only when it
// is read, and a hash of each for comparing with what the screen shows.
namespace quiltaro {

void Surface::resetTiles() {
    const int rows = (image_.height() + tileHeight - 1) / tileHeight;
    const auto tiles = static_cast<std::size_t>(tileColumns()) * rows;
    wanted_.reset(tiles);
    written_.assign(tiles, unknownTile);
    unwritten_.assign(tiles, 0);
    unwrittenTiles_ = QRect();
    dirtyTiles_.assign(tiles, 1);
    dirty_ = image_.rect();
}

void Surface::markDirty(const QRect& area) {
    const QRect rect = area.intersected(image_.rect());
    if (rect.isEmpty())
        return;
    dirty_ |= rect;
    flagTiles(rect, 1);
}

template <typename T>
void Surface::setOverTiles(std::vector<T>& perTile, const QRect& rect, T value) const {
    const int columns = tileColumns();
    for (int row = rect.top() / tileHeight; row <= rect.bottom() / tileHeight; ++row)
        std::fill_n(perTile.begin() + row * columns + rect.left() / tileWidth,
                    rect.right() / tileWidth - rect.left() / tileWidth + 1, value);
}

void Surface::flagTiles(const QRect& rect, std::uint8_t drawnOn) {
    setOverTiles(dirtyTiles_, rect, drawnOn);
}

void Surface::materialize(std::size_t index, const QRect& tile) const {
    if (!unwritten_[index])
        return;
    unwritten_[index] = 0;
    const std::size_t hash = recipeHash(index, tile.size());
    if (written_[index] == hash)
        return;
    wanted_.paint(index, pixelRow(tile.top()) + tile.left(), image_.bytesPerLine() / sizeof(QRgb),
                  0, tile.height() - 1, 0, tile.width() - 1);
    written_[index] = hash;
}

const QImage& Surface::image() const {
    const_cast<Surface*>(this)->restore();
    return image(image_.rect());
}

const QImage& Surface::image(const QRect& deviceRect) const {
    // Reading a released image draws it again: the picture is the same, only
    // its pixels come back.
    const_cast<Surface*>(this)->restore();
    const QRect rect = deviceRect.intersected(image_.rect());
    // Only the tiles whose recipes changed since they were written are
    // looked at: a test reads the image pixel by pixel.
    const QRect tiles = QRect(QPoint(rect.left() / tileWidth, rect.top() / tileHeight),
                              QPoint(rect.right() / tileWidth, rect.bottom() / tileHeight))
                            .intersected(unwrittenTiles_);
    if (rect.isEmpty() || tiles.isEmpty())
        return image_;
    ownPixels();
    const int columns = tileColumns();
    for (int row = tiles.top(); row <= tiles.bottom(); ++row)
        for (int column = tiles.left(); column <= tiles.right(); ++column) {
            if (const std::size_t index = static_cast<std::size_t>(row) * columns + column;
                unwritten_[index])
                materialize(index, tileRect(column, row));
        }
    if (tiles == unwrittenTiles_)
        unwrittenTiles_ = QRect();
    return image_;
}

// A fill changes the recipes of the tiles it reaches, not their pixels:
// those are written when the tile is read or drawn on otherwise, and only if
// the recipe then differs from what they hold. A sweep frame fills the whole
// interval again and draws its lines over it, and at 4K a zoom frame fills 3
// million pixels for some 100,000 that change: most tiles end the frame as
// they began it, and are neither written, nor hashed, nor sent. The loop stays
// on integers.
void Surface::fillDevice(QRect rect, QRgb rgb) {
    rect = rect.intersected(image_.rect());
    if (rect.isEmpty())
        return;
    ownPixels();
    const int columns = tileColumns(), lastColumn = rect.right() / tileWidth;
    int firstChanged = columns, lastChanged = -1, topChanged = -1, bottomChanged = -1;
    const auto noteChanged = [&](std::size_t index, int column, int row) {
        dirtyTiles_[index] = unwritten_[index] = 1;
        firstChanged = std::min(firstChanged, column);
        lastChanged = std::max(lastChanged, column);
        topChanged = topChanged < 0 ? row : topChanged;
        bottomChanged = row;
    };
    // The tiles the fill covers whole, most of a large fill, only take its
    // colour: at 4K a zoom frame's erase box reaches 9,000 tiles.
    const int firstWhole = (rect.left() + tileWidth - 1) / tileWidth;
    const int lastWhole =
        rect.right() == image_.width() - 1 ? lastColumn : (rect.right() + 1) / tileWidth - 1;
    for (int row = rect.top() / tileHeight; row <= rect.bottom() / tileHeight; ++row) {
        const int rowBottom = std::min((row + 1) * tileHeight, image_.height()) - 1;
        const bool wholeRow = rect.top() <= row * tileHeight && rect.bottom() >= rowBottom;
        for (int column = rect.left() / tileWidth; column <= lastColumn; ++column) {
            const std::size_t index = static_cast<std::size_t>(row) * columns + column;
            if (wholeRow && column >= firstWhole && column <= lastWhole) {
                if (wanted_.fillWhole(index, rgb))
                    noteChanged(index, column, row);
                continue;
            }
            const QRect tile = tileRect(column, row), part = rect.intersected(tile);
            if (wanted_.known(index)) {
                const TileRecipes::Change change =
                    wanted_.addFill(index, part.translated(-tile.topLeft()), tile.size(), rgb);
                if (change == TileRecipes::Change::None)
                    continue;
                if (change == TileRecipes::Change::Changed) {
                    noteChanged(index, column, row);
                    continue;
                }
                // Past what a recipe holds: the pixels are written as they
                // were, and take the fill themselves.
                materialize(index, tile);
                forgetRecipe(index);
            }
            fillPart(part, rgb);
        }
    }
    if (lastChanged < 0)
        return;
    unwrittenTiles_ |= QRect(QPoint(firstChanged, topChanged), QPoint(lastChanged, bottomChanged));
    dirty_ |= QRect(QPoint(firstChanged * tileWidth, topChanged * tileHeight),
                    QPoint((lastChanged + 1) * tileWidth - 1, (bottomChanged + 1) * tileHeight - 1))
                  .intersected(rect);
}

void Surface::fillPart(QRect part, QRgb rgb) {
    int top = -1, bottom = -1;
    for (int y = part.top(); y <= part.bottom(); ++y) {
        QRgb* line = pixelRow(y) + part.left();
        if (std::all_of(line, line + part.width(), [rgb](QRgb p) { return p == rgb; }))
            continue;
        std::fill(line, line + part.width(), rgb);
        if (top < 0)
            top = y;
        bottom = y;
    }
    if (top >= 0)
        markDirty(QRect(QPoint(part.left(), top), QPoint(part.right(), bottom)));
}

void Surface::forgetRecipe(std::size_t index) {
    wanted_.forget(index);
    written_[index] = unknownTile;
    unwritten_[index] = 0;
}

void Surface::forgetRecipes(const QRect& rect) {
    const int columns = tileColumns();
    for (int row = rect.top() / tileHeight; row <= rect.bottom() / tileHeight; ++row)
        for (int column = rect.left() / tileWidth; column <= rect.right() / tileWidth; ++column)
            forgetRecipe(static_cast<std::size_t>(row) * columns + column);
}

namespace {

constexpr std::uint64_t odd = 0x9E3779B97F4A7C15ULL;

// One step of the tiles' hashes: a bijection of h for each word.
std::uint64_t step(std::uint64_t h, std::uint64_t word) {
    h = (h ^ word) * odd;
    return h ^ (h >> 29);
}

// Eight independent lanes, each step a bijection of the lane, so that a
// tile's hash changes with any one of its pixels; the processor runs the
// lanes side by side, faster than a general-purpose hash, which matters at
// ratio 2 where a sweep frame compares 800 kB.
template <typename Row> std::size_t hashRows(int width, int height, Row row) {
    constexpr int lanes = 8;
    std::uint64_t lane[lanes] = {1, 2, 3, 4, 5, 6, 7, 8};
    const std::size_t bytes = static_cast<std::size_t>(width) * sizeof(QRgb);
    for (int y = 0; y < height; ++y) {
        const uchar* p = row(y);
        std::size_t i = 0;
        for (; i + 8 * lanes <= bytes; i += 8 * lanes)
            for (int k = 0; k < lanes; ++k) {
                std::uint64_t word;
                std::memcpy(&word, p + i + 8 * k, 8);
                lane[k] = step(lane[k], word);
            }
        for (int k = 0; i < bytes; i += sizeof(QRgb), k = (k + 1) % lanes) {
            std::uint32_t pixel;
            std::memcpy(&pixel, p + i, sizeof pixel);
            lane[k] = step(lane[k], pixel);
        }
    }
    std::uint64_t hash = lane[0];
    for (int k = 1; k < lanes; ++k)
        hash = step(hash, lane[k]);
    return static_cast<std::size_t>(step(hash, odd)) | 1; // never unknownTile
}

} // namespace

std::size_t Surface::recipeHash(std::size_t index, QSize tileSize) const {
    if (wanted_.uniform(index))
        return uniformHash(wanted_.colour(index), tileSize);
    std::array<TileRecipes::Layer, TileRecipes::maxColours> layers;
    const int count = wanted_.layers(index, tileSize, layers);
    std::uint64_t hash = odd;
    for (int i = 0; i < count; ++i) {
        const TileRecipes::Layer& layer = layers[static_cast<std::size_t>(i)];
        hash = step(hash, layer.colour);
        for (std::size_t y = 0; y < layer.pixels.size(); y += 2)
            hash = step(hash, std::uint64_t(layer.pixels[y]) | std::uint64_t(layer.pixels[y + 1])
                                                                   << 32);
    }
    return static_cast<std::size_t>(step(hash, odd)) | 1; // never unknownTile
}

// A tile made of fills hashes as its recipe, written or not. Those are what a
// sweep frame draws again unchanged, a few hundred tiles at 4K: hashing their
// pixels cost more than drawing them.
std::size_t Surface::tileHash(int column, int row) const {
    const QRect tile = tileRect(column, row);
    const std::size_t index = static_cast<std::size_t>(row) * tileColumns() + column;
    if (wanted_.known(index))
        return recipeHash(index, tile.size());
    return hashRows(tile.width(), tile.height(), [&](int y) {
        return image_.constScanLine(tile.top() + y) + tile.left() * sizeof(QRgb);
    });
}

std::size_t Surface::uniformHash(QRgb colour, QSize size) {
    // A frame's fills use a few colours on tiles of a few sizes.
    struct Known {
        QRgb colour = noColour;
        QSize size;
        std::size_t hash = 0;
    };
    thread_local std::array<Known, 16> known;
    Known& slot =
        known[(colour ^ (colour >> 7) ^ static_cast<QRgb>(size.width() * 31 + size.height())) %
              known.size()];
    if (slot.colour != colour || slot.size != size) {
        const std::array<QRgb, tileWidth> line = [colour] {
            std::array<QRgb, tileWidth> l{};
            l.fill(colour);
            return l;
        }();
        slot = {colour, size, hashRows(size.width(), size.height(), [&](int) {
                    return reinterpret_cast<const uchar*>(line.data());
                })};
    }
    return slot.hash;
}

} // namespace quiltaro
