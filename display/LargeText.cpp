#include "LargeText.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>

#include <cmath>

namespace quiltaro {

LargeText::Placed LargeText::place(const QFont& font, int fontKey, const QString& text,
                                   double scale, QPointF baseline) {
    const double across = std::round(baseline.x() * 4) / 4;
    const QPoint origin(static_cast<int>(std::floor(across)),
                        static_cast<int>(std::round(baseline.y())));
    const int quarter = static_cast<int>(std::lround((across - origin.x()) * 4));
    const Key key{fontKey, text, scale, quarter};
    auto found = known_.find(key);
    if (found == known_.end()) {
        if (known_.size() >= maximumKnown)
            known_.clear();
        found = known_.emplace(key, fill(font, text, scale, quarter / 4.0)).first;
    }
    return {found->second, origin};
}

std::vector<LargeText::Run> LargeText::fill(const QFont& font, const QString& text, double scale,
                                            double quarter) {
    QPainterPath outline;
    outline.addText(QPointF(0, 0), font, text);
    const QTransform toDevice = QTransform::fromTranslate(quarter, 0).scale(scale, scale);
    const QRect area = toDevice.map(outline).boundingRect().toAlignedRect().adjusted(-1, -1, 1, 1);
    std::vector<Run> runs;
    if (area.isEmpty())
        return runs;
    QImage mask(area.size(), QImage::Format_Alpha8);
    mask.fill(0);
    {
        QPainter painter(&mask);
        painter.setTransform(toDevice * QTransform::fromTranslate(-area.left(), -area.top()));
        painter.fillPath(outline, Qt::black); // aliased: every pixel in or out
    }
    for (int y = 0; y < mask.height(); ++y) {
        const uchar* line = mask.constScanLine(y);
        for (int x = 0; x < mask.width();) {
            if (!line[x]) {
                ++x;
                continue;
            }
            const int left = x;
            while (x < mask.width() && line[x])
                ++x;
            runs.push_back({y + area.top(), left + area.left(), x + area.left()});
        }
    }
    return runs;
}

} // namespace quiltaro
