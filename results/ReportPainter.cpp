#include "ReportPainter.h"

#include <QPageLayout>

#include <algorithm>

namespace quiltaro {

namespace {

constexpr double margin = 42; // points, some 15 mm
constexpr double footerHeight = 20;

QFont sized(QFont font, double points, bool bold = false) {
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

} // namespace

ReportPainter::ReportPainter(QPdfWriter& writer) : writer_(writer) {
    writer_.setPageSize(QPageSize(QPageSize::A4));
    writer_.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
    // One unit a point, whatever the printer.
    writer_.setResolution(72);
    if (!painter_.begin(&writer_))
        return;
    font_ = QFont(QStringLiteral("Liberation Sans"));
    const QRectF page = writer_.pageLayout().paintRect(QPageLayout::Point);
    width_ = page.width() - 2 * margin;
    bottom_ = page.height() - margin - footerHeight;
    y_ = margin;
}

void ReportPainter::footer() {
    painter_.setFont(sized(font_, 8));
    painter_.setPen(Qt::darkGray);
    painter_.drawText(QRectF(margin, bottom_ + 6, width_, footerHeight),
                      Qt::AlignRight | Qt::AlignTop, QStringLiteral("page %1").arg(page_));
    painter_.setPen(Qt::black);
}

void ReportPainter::newPage() {
    footer();
    writer_.newPage();
    ++page_;
    y_ = margin;
}

bool ReportPainter::finish() {
    footer();
    return painter_.end();
}

void ReportPainter::room(double height) {
    if (y_ + height > bottom_ && y_ > margin)
        newPage();
}

void ReportPainter::title(const QString& text, const QString& under) {
    painter_.setFont(sized(font_, 18, true));
    painter_.drawText(QRectF(margin, y_, width_, 26), Qt::AlignLeft | Qt::AlignVCenter, text);
    y_ += 28;
    painter_.setFont(sized(font_, 10));
    const QRectF bounds =
        painter_.boundingRect(QRectF(margin, y_, width_, 1000), Qt::TextWordWrap, under);
    painter_.drawText(bounds, Qt::TextWordWrap, under);
    y_ += bounds.height() + 6;
    painter_.drawLine(QPointF(margin, y_), QPointF(margin + width_, y_));
    y_ += 10;
}

void ReportPainter::heading(const QString& text) {
    room(40);
    painter_.setFont(sized(font_, 12.5, true));
    painter_.drawText(QRectF(margin, y_, width_, 18), Qt::AlignLeft | Qt::AlignVCenter, text);
    y_ += 22;
}

void ReportPainter::paragraph(const QString& text, const QColor& colour, bool bold) {
    painter_.setFont(sized(font_, 9.5, bold));
    const QRectF bounds =
        painter_.boundingRect(QRectF(margin, 0, width_, 10000), Qt::TextWordWrap, text);
    room(bounds.height());
    painter_.setPen(colour);
    painter_.drawText(QRectF(margin, y_, width_, bounds.height()), Qt::TextWordWrap, text);
    painter_.setPen(Qt::black);
    y_ += bounds.height() + 4;
}

void ReportPainter::table(const std::vector<double>& widths, const std::vector<QStringList>& rows,
                          const std::vector<bool>& strong) {
    if (rows.empty())
        return;
    constexpr double pad = 3;
    const QFont plain = sized(font_, 8.5), bold = sized(font_, 8.5, true);
    const auto heightOf = [&](const QStringList& row, const QFont& font) {
        painter_.setFont(font);
        double height = 0;
        for (size_t c = 0; c < widths.size(); ++c) {
            const QRectF r = painter_.boundingRect(QRectF(0, 0, widths[c] * width_ - 2 * pad, 1000),
                                                   Qt::TextWordWrap, row.value(int(c)));
            height = std::max(height, r.height() + 2 * pad);
        }
        return height;
    };
    // Figures to the right, words to the left; a header as its column's
    // first line.
    const auto rightAligned = [&](size_t column) {
        const QString first = rows.size() > 1 ? rows[1].value(int(column)) : QString();
        return column > 0 && !first.isEmpty() && (first[0].isDigit() || first[0] == u'–');
    };
    const auto draw = [&](const QStringList& row, const QFont& font, const QColor& tint) {
        const double height = heightOf(row, font);
        if (tint.isValid())
            painter_.fillRect(QRectF(margin, y_, width_, height), tint);
        double x = margin;
        for (size_t c = 0; c < widths.size(); ++c) {
            const double w = widths[c] * width_;
            const Qt::Alignment align = rightAligned(c) ? Qt::AlignRight : Qt::AlignLeft;
            painter_.drawText(QRectF(x + pad, y_ + pad, w - 2 * pad, height - 2 * pad),
                              int(align | Qt::AlignVCenter) | Qt::TextWordWrap, row.value(int(c)));
            x += w;
        }
        painter_.setPen(QColor(190, 190, 190));
        painter_.drawLine(QPointF(margin, y_ + height), QPointF(margin + width_, y_ + height));
        painter_.setPen(Qt::black);
        y_ += height;
    };
    const QColor headerTint(225, 225, 225), strongTint(255, 228, 220);
    const double headerHeight = heightOf(rows[0], bold);
    room(headerHeight + heightOf(rows.size() > 1 ? rows[1] : rows[0], plain));
    draw(rows[0], bold, headerTint);
    for (size_t i = 1; i < rows.size(); ++i) {
        const bool isStrong = i < strong.size() && strong[i];
        const double height = heightOf(rows[i], isStrong ? bold : plain);
        // On a new page, the header again above the rest.
        if (y_ + height > bottom_) {
            newPage();
            draw(rows[0], bold, headerTint);
        }
        draw(rows[i], isStrong ? bold : plain, isStrong ? strongTint : QColor());
    }
    y_ += 8;
}

void ReportPainter::bars(const QString& caption, const QStringList& labels,
                         const std::vector<double>& values, double top, double mark) {
    constexpr double height = 110, axis = 22, left = 24;
    room(height + axis + 24);
    painter_.setFont(sized(font_, 9.5, true));
    painter_.drawText(QRectF(margin, y_, width_, 14), Qt::AlignLeft, caption);
    y_ += 18;
    const QRectF plot(margin + left, y_, width_ - left, height);
    painter_.setFont(sized(font_, 7.5));
    painter_.setPen(QColor(150, 150, 150));
    const double tick = mark > 0 ? mark : top;
    for (double v : {0.0, tick / 2, tick}) {
        const double py = plot.bottom() - v / top * plot.height();
        painter_.drawLine(QPointF(plot.left(), py), QPointF(plot.right(), py));
        painter_.drawText(QRectF(margin, py - 6, left - 4, 12), Qt::AlignRight | Qt::AlignVCenter,
                          QString::number(v, 'g', 3));
    }
    if (mark > 0) {
        const double py = plot.bottom() - mark / top * plot.height();
        painter_.setPen(QPen(Qt::black, 0.8, Qt::DashLine));
        painter_.drawLine(QPointF(plot.left(), py), QPointF(plot.right(), py));
    }
    const double slot = plot.width() / std::max<double>(1, double(values.size()));
    painter_.setPen(Qt::black);
    for (size_t i = 0; i < values.size(); ++i) {
        const double x = plot.left() + slot * double(i);
        if (values[i] >= 0) {
            const double h = std::min(values[i], top) / top * plot.height();
            painter_.fillRect(QRectF(x + slot * 0.2, plot.bottom() - h, slot * 0.6, h),
                              QColor(0, 114, 178));
            painter_.drawText(QRectF(x, plot.bottom() - h - 12, slot, 11), Qt::AlignCenter,
                              QString::number(values[i], 'g', 3).replace('.', ','));
        }
        painter_.drawText(QRectF(x, plot.bottom() + 2, slot, axis - 4),
                          Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, labels.value(int(i)));
    }
    y_ += height + axis + 8;
}

} // namespace quiltaro
