#include "Surface.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

// Presenting what was drawn: only the tiles that differ from what the screen
// shows are sent to it.
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
    // whole. Then what the screen now shows is noted, and later
    // presentations send only the tiles that differ from it. A surface
    // presented once, like the welcome window's, never pays for it.
    const QRect rect = shownTiles_.empty() ? dirty_ : changedWithin(dirty_);
    dirty_ = QRect();
    if (presenter_)
        presenter_(rect);
    freshRange_ = QRect();
    if (shownTiles_.empty() && ++wholePresents_ == 2) {
        const int columns = tileColumns(), rows = (image_.height() + tileHeight - 1) / tileHeight;
        shownTiles_.resize(static_cast<std::size_t>(columns) * rows);
        freshTiles_.resize(shownTiles_.size());
        for (int row = 0; row < rows; ++row)
            for (int column = 0; column < columns; ++column)
                shownTiles_[row * columns + column] = tileHash(column, row);
    }
}

std::size_t Surface::tileHash(int column, int row) const {
    // Eight independent lanes, each step a bijection of the lane, so that a
    // tile's hash changes with any one of its pixels; the processor runs the
    // lanes side by side, faster than a general-purpose hash, which matters
    // at ratio 2 where a sweep frame compares 800 kB.
    constexpr std::uint64_t odd = 0x9E3779B97F4A7C15ULL;
    auto step = [](std::uint64_t h, std::uint64_t word) {
        h = (h ^ word) * odd;
        return h ^ (h >> 29);
    };
    const QRect tile = QRect(column * tileWidth, row * tileHeight, tileWidth, tileHeight)
                           .intersected(image_.rect());
    constexpr int lanes = 8;
    std::uint64_t lane[lanes] = {1, 2, 3, 4, 5, 6, 7, 8};
    const std::size_t bytes = static_cast<std::size_t>(tile.width()) * sizeof(QRgb);
    for (int y = tile.top(); y <= tile.bottom(); ++y) {
        const uchar* p = image_.constScanLine(y) + tile.left() * sizeof(QRgb);
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

QRect Surface::changedWithin(const QRect& area) {
    // The pixels outside the area are those the screen already shows, so a
    // tile that differs only counts within the area.
    const int columns = tileColumns();
    freshRange_ = QRect(QPoint(area.left() / tileWidth, area.top() / tileHeight),
                        QPoint(area.right() / tileWidth, area.bottom() / tileHeight));
    QRect changed;
    for (int row = freshRange_.top(); row <= freshRange_.bottom(); ++row)
        for (int column = freshRange_.left(); column <= freshRange_.right(); ++column) {
            const std::size_t index = row * columns + column;
            freshTiles_[index] = tileHash(column, row);
            if (freshTiles_[index] != shownTiles_[index])
                changed |= QRect(column * tileWidth, row * tileHeight, tileWidth, tileHeight);
        }
    return changed.intersected(area);
}

void Surface::markShown(const QRect& deviceRect) {
    const QRect rect = shownTiles_.empty() ? QRect() : deviceRect.intersected(image_.rect());
    if (rect.isEmpty())
        return;
    // The rest of a tile partly painted is what the screen showed already,
    // unless something drawn and not yet presented lies there (the view
    // painted between two presentations): then the tile is not known, and
    // the next presentation sends it again.
    const int columns = tileColumns();
    for (int row = rect.top() / tileHeight; row <= rect.bottom() / tileHeight; ++row)
        for (int column = rect.left() / tileWidth; column <= rect.right() / tileWidth; ++column) {
            const std::size_t index = row * columns + column;
            if (freshRange_.contains(column, row)) {
                shownTiles_[index] = freshTiles_[index];
                continue;
            }
            const QRect tile(column * tileWidth, row * tileHeight, tileWidth, tileHeight);
            const bool known =
                rect.contains(tile.intersected(image_.rect())) || !dirty_.intersects(tile);
            shownTiles_[index] = known ? tileHash(column, row) : unknownTile;
        }
}

} // namespace quiltaro
