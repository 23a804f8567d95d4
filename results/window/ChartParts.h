#pragma once

#include "PupilFigures.h"

#include <QColor>
#include <QDateTimeAxis>
#include <QPointF>
#include <QScatterSeries>
#include <QString>
#include <QValueAxis>

#include <vector>

class QChart;
class QChartView;

// The parts the teacher's charts are made of: one look for every chart, the
// axes by date and by count, and the view a screen reader can name.
namespace quiltaro::charts {

// Colours told apart also by readers who confuse red and green, and a
// marker shape each, so that equal values never hide one another.
struct Style {
    QColor colour;
    QScatterSeries::MarkerShape shape;
    Qt::PenStyle line;
};

constexpr qint64 dayMs = 24 * 3600 * 1000;

// The words of each step of the charts by date, and how many days a point
// stands for, about.
struct StepWords {
    const char* axis;
    const char* perPoint;
    const char* period;
    const char* best;
    int days;
};
const StepWords& wordsOf(ChartStep step);

// Where a point by date stands on the time axis, in milliseconds.
qint64 at(const QDate& day, ChartStep step);

QChart* newChart(const QString& title);
// A line joining the points, and the points themselves in their shape; one
// legend entry for both.
void addSeries(QChart* chart, const QString& name, const Style& style,
               const std::vector<QPointF>& points, bool joined = true);
QDateTimeAxis* dateAxis(qint64 first, qint64 last, ChartStep step);
QValueAxis* valueAxis(const QString& title, double top);
// The chart with its two axes, in a view that carries its title and
// `description` for a screen reader.
QChartView* viewOf(QChart* chart, QAbstractAxis* x, QAbstractAxis* y, const QString& description);

} // namespace quiltaro::charts
