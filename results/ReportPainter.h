#pragma once

#include <QFont>
#include <QPainter>
#include <QPdfWriter>
#include <QString>
#include <QStringList>

#include <vector>

namespace quiltaro {

// Writes the report's pages top to bottom, in points on A4, and starts a
// new page when the next piece would not fit: headings, paragraphs, tables
// and bar charts, in French, black on white for any printer.
class ReportPainter {
public:
    explicit ReportPainter(QPdfWriter& writer);
    bool ok() const { return painter_.isActive(); }
    double width() const { return width_; }

    void newPage();
    void title(const QString& text, const QString& under);
    void heading(const QString& text);
    // A paragraph, wrapped; `colour` for who needs help.
    void paragraph(const QString& text, const QColor& colour = Qt::black, bool bold = false);
    // Columns of the given widths (fractions of the page's width); the first
    // row is the header, drawn bold and repeated on a new page; rows in
    // `strong` are drawn bold, on a light tint.
    void table(const std::vector<double>& widths, const std::vector<QStringList>& rows,
               const std::vector<bool>& strong = {});
    // Bars of `values` (negative: nothing that time) under `labels`, from 0
    // to `top`, a dashed line at `mark` when above zero.
    void bars(const QString& caption, const QStringList& labels, const std::vector<double>& values,
              double top, double mark = -1);
    void space(double points) { y_ += points; }
    // The last page's footer; false when the file could not be written.
    bool finish();

private:
    void room(double height); // a new page unless `height` fits
    void footer();

    QPdfWriter& writer_;
    QPainter painter_;
    QFont font_;
    double width_ = 0;
    double bottom_ = 0;
    double y_ = 0;
    int page_ = 1;
};

} // namespace quiltaro
