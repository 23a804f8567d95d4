#include "Surface.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

// Presenting what was drawn: only the tiles that differ from what the screen
// shows are sent to it.
namespace quiltaro {

void Surface::present() {
    ++presentCount_;
    if (dirty_.isEmpty()) {
        // Nothing drawn, but controls may have been shown or hidden: they
        // belong to the frame too.
        if (presenter_)
            presenter_(QRegion());
        return;
    }
    // Until the surface has been presented twice, what was drawn goes out
    // whole. Then what the screen now shows is noted, and later
    // presentations send only the tiles that differ from it. A surface
    // presented once, like the welcome window's, never pays for it.
    const QRegion changed = shownTiles_.empty() ? QRegion(dirty_) : changedWithin(dirty_);
    flagTiles(dirty_, 0);
    dirty_ = QRect();
    if (presenter_)
        presenter_(changed);
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

QRegion Surface::changedWithin(const QRect& area) {
    // The pixels outside the area are those the screen already shows, so a
    // tile that differs only counts within the area. Only the tiles that
    // differ are sent, not the rectangle around them: a zoom frame at 4K
    // changes the band's two edges and the labels, a quarter of what lies
    // between them.
    const int columns = tileColumns();
    freshRange_ = QRect(QPoint(area.left() / tileWidth, area.top() / tileHeight),
                        QPoint(area.right() / tileWidth, area.bottom() / tileHeight));
    // Runs of changed tiles along each row of tiles: sorted by y then x and
    // apart, as QRegion::setRects asks. A row whose runs are those of the
    // row above joins it, as QRegion itself would keep them: a bracket's
    // column of tiles goes out as one rectangle, not one per row.
    std::vector<QRect> runs;
    std::size_t bandStart = 0;
    for (int row = freshRange_.top(); row <= freshRange_.bottom(); ++row) {
        const std::size_t rowStart = runs.size();
        int runStart = -1;
        for (int column = freshRange_.left(); column <= freshRange_.right() + 1; ++column) {
            bool differs = false;
            if (column <= freshRange_.right()) {
                // A tile not drawn on since the screen was told what it
                // holds still holds it.
                const std::size_t index = row * columns + column;
                const bool known = !dirtyTiles_[index] && shownTiles_[index] != unknownTile;
                freshTiles_[index] = known ? shownTiles_[index] : tileHash(column, row);
                differs = freshTiles_[index] != shownTiles_[index];
            }
            if (differs && runStart < 0)
                runStart = column;
            if (!differs && runStart >= 0) {
                runs.push_back(QRect(QPoint(runStart * tileWidth, row * tileHeight),
                                     QPoint(column * tileWidth - 1, (row + 1) * tileHeight - 1))
                                   .intersected(area));
                runStart = -1;
            }
        }
        const std::size_t count = runs.size() - rowStart;
        const bool sameAsAbove =
            count > 0 && rowStart - bandStart == count &&
            runs[bandStart].bottom() + 1 == runs[rowStart].top() &&
            std::equal(runs.begin() + rowStart, runs.end(), runs.begin() + bandStart,
                       [](const QRect& a, const QRect& b) {
                           return a.left() == b.left() && a.right() == b.right();
                       });
        if (sameAsAbove) {
            for (std::size_t i = bandStart; i < rowStart; ++i)
                runs[i].setBottom(runs[rowStart].bottom());
            runs.resize(rowStart);
        } else {
            bandStart = rowStart;
        }
    }
    // Each rectangle is a request of its own to the X server, which costs
    // more than a few pixels: the changed tiles of a sweep frame at design
    // size go out as the one rectangle around them.
    QRect around;
    qint64 covered = 0;
    for (const QRect& run : runs) {
        around |= run;
        covered += qint64(run.width()) * run.height();
    }
    if (qint64(around.width()) * around.height() <= 2 * covered)
        return QRegion(around);
    QRegion changed;
    changed.setRects(runs.data(), static_cast<int>(runs.size()));
    return changed;
}

void Surface::paintInto(const QRect& deviceRect, QImage& target, QPoint origin) const {
    const_cast<Surface*>(this)->restore();
    const QRect place =
        deviceRect.intersected(image_.rect()).translated(origin).intersected(target.rect());
    if (place.isEmpty())
        return;
    const QRect rect = place.translated(-origin);
    // A tile whose recipe changed since its pixels were written goes to the
    // target from its recipe, and its pixels in the image stay to be written
    // when read. Most of a zoom frame's changed tiles at 4K are erased ones,
    // which the next frame erases again: writing them into the image first,
    // then copying them, took almost a fifth of the zoom's processor time,
    // the image's 33 MB being mostly out of the processor's cache. The
    // painted rectangle may reach past the image by a device pixel where
    // the widget's size rounds up.
    const int columns = tileColumns();
    const int firstColumn = rect.left() / tileWidth, lastColumn = rect.right() / tileWidth;
    const qsizetype targetLine = target.bytesPerLine();
    uchar* const targetBits = target.bits();
    auto targetRow = [&](int y) {
        return reinterpret_cast<QRgb*>(targetBits + (y + origin.y()) * targetLine) + origin.x();
    };
    // The written pixels first, row by row, in runs between the tiles that
    // go from their recipes.
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        QRgb* const out = targetRow(y);
        const QRgb* const in = pixelRow(y);
        const std::size_t rowStart = static_cast<std::size_t>(y / tileHeight) * columns;
        int copyFrom = rect.left(); // start of the written pixels not yet copied
        for (int column = firstColumn; column <= lastColumn + 1; ++column) {
            const int left = std::clamp(column * tileWidth, rect.left(), rect.right() + 1);
            const bool fromRecipe = column <= lastColumn && unwritten_[rowStart + column];
            if (column <= lastColumn && !fromRecipe)
                continue;
            std::copy(in + copyFrom, in + left, out + copyFrom);
            copyFrom = std::min(rect.right(), (column + 1) * tileWidth - 1) + 1;
        }
    }
    // Then those tiles, a tile at a time: the rows of a bracket's tile are
    // alike, and are painted once.
    for (int row = rect.top() / tileHeight; row <= rect.bottom() / tileHeight; ++row) {
        const int top = std::max(rect.top(), row * tileHeight);
        const int bottom = std::min(rect.bottom(), (row + 1) * tileHeight - 1);
        for (int column = firstColumn; column <= lastColumn; ++column) {
            const std::size_t index = static_cast<std::size_t>(row) * columns + column;
            if (!unwritten_[index])
                continue;
            const int tileLeft = column * tileWidth;
            wanted_.paint(index, targetRow(top) + tileLeft, targetLine / sizeof(QRgb),
                          top - row * tileHeight, bottom - row * tileHeight,
                          std::max(rect.left(), tileLeft) - tileLeft,
                          std::min(rect.right(), tileLeft + tileWidth - 1) - tileLeft);
        }
    }
}

void Surface::markShown(const QRect& deviceRect) {
    if (image_.isNull())
        return;
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
            const bool known = rect.contains(tileRect(column, row)) || !dirtyTiles_[index];
            shownTiles_[index] = known ? tileHash(column, row) : unknownTile;
        }
}

} // namespace quiltaro
