#pragma once

#include <QFont>
#include <QPoint>
#include <QPointF>
#include <QString>

#include <map>
#include <tuple>
#include <vector>

namespace quiltaro {

// Text too large for Qt's glyph cache, filled as aliased outlines. Filling
// an outline costs as much as the rest of a zoom frame full screen on a 4K
// screen, where the bound labels are printed again at every frame; so each
// text is filled once, at a given scale and place within a device pixel,
// and kept as the runs of pixels it covers.
//
// The baseline is placed on whole device pixels down, and on quarters of a
// pixel across, as Qt places the glyphs it caches: a text printed at
// another height is the same pixels moved, at most half a pixel from where
// the exact outline would fall, a tenth of a design pixel at this size.
class LargeText {
public:
    struct Run {
        int y, left, right; // device pixels from the rounded baseline; right excluded
    };
    struct Placed {
        const std::vector<Run>& runs;
        QPoint origin; // the whole device pixel the runs are counted from
    };

    // The pixels `text` covers in `font`, sized in points, at `scale`
    // device pixels per point, its baseline starting at `baseline` in
    // device pixels. `fontKey` tells fonts apart: the same key, the same
    // font, until clear().
    Placed place(const QFont& font, int fontKey, const QString& text, double scale,
                 QPointF baseline);
    void clear() { known_.clear(); }

private:
    using Key = std::tuple<int, QString, double, int>; // font, text, scale, quarter
    static std::vector<Run> fill(const QFont& font, const QString& text, double scale,
                                 double quarter);
    // A game shows a few dozen texts; a window that keeps changing size
    // would add its own at each new scale, so the known runs are forgotten
    // past this many.
    static constexpr std::size_t maximumKnown = 256;
    std::map<Key, std::vector<Run>> known_;
};

} // namespace quiltaro
