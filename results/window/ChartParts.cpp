#include "ChartParts.h"

#include <QChart>
#include <QChartView>
#include <QGraphicsLayout>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>

#include <algorithm>
#include <cmath>

namespace quiltaro::charts {

namespace {

const StepWords stepWords[] = {
    {"Jour", "Par jour", "jour par jour", "Plus haut du jour", 1},
    {"Semaine", "Par semaine", "semaine par semaine", "Plus haut de la semaine", 7},
    {"Mois", "Par mois", "mois par mois", "Plus haut du mois", 30},
};

} // namespace

const StepWords& wordsOf(ChartStep step) {
    return stepWords[static_cast<int>(step)];
}

qint64 at(const QDate& day, ChartStep step) {
    // A day's point at its noon, a week's or a month's in its middle.
    const qint64 middle = step == ChartStep::Month  ? day.daysInMonth() * dayMs / 2
                          : step == ChartStep::Week ? 3 * dayMs + dayMs / 2
                                                    : dayMs / 2;
    return day.startOfDay().toMSecsSinceEpoch() + middle;
}

QChart* newChart(const QString& title) {
    auto* chart = new QChart;
    chart->setTitle(title);
    QFont font = chart->titleFont();
    font.setBold(true);
    chart->setTitleFont(font);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setBackgroundRoundness(0);
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->legend()->setAlignment(Qt::AlignBottom);
    // Each series' own mark in the legend: a dashed line looks dashed there,
    // not a grey square like its neighbour's.
    chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
    // A little smaller than the axes' words: five entries fit a quarter of
    // a laptop's screen whole.
    QFont legend = chart->legend()->font();
    legend.setPointSizeF(legend.pointSizeF() * 0.85);
    chart->legend()->setFont(legend);
    return chart;
}

void addSeries(QChart* chart, const QString& name, const Style& style,
               const std::vector<QPointF>& points, bool joined) {
    if (joined) {
        auto* line = new QLineSeries;
        line->setPen(QPen(style.colour, 2, style.line));
        for (const QPointF& p : points)
            line->append(p);
        chart->addSeries(line);
        chart->legend()->markers(line).constFirst()->setVisible(false);
    }
    auto* marks = new QScatterSeries;
    marks->setName(name);
    marks->setMarkerShape(style.shape);
    marks->setMarkerSize(style.shape == QScatterSeries::MarkerShapeCircle ? 11 : 9);
    marks->setColor(style.colour);
    marks->setBorderColor(style.colour.darker(140));
    for (const QPointF& p : points)
        marks->append(p);
    chart->addSeries(marks);
}

QDateTimeAxis* dateAxis(qint64 first, qint64 last, ChartStep step) {
    auto* x = new QDateTimeAxis;
    // At least a week (or eight weeks) wide, so that the first days of a
    // pupil stand on the left rather than stretched across.
    const qint64 shortest = step == ChartStep::Day ? 7 * dayMs : 8 * 7 * dayMs;
    last = std::max(last, first + shortest);
    const qint64 margin = wordsOf(step).days * dayMs / 2;
    x->setRange(QDateTime::fromMSecsSinceEpoch(first - margin),
                QDateTime::fromMSecsSinceEpoch(last + margin));
    // Months come with spans of more than a year: the year tells them apart.
    x->setFormat(step == ChartStep::Month ? QStringLiteral("MM/yyyy") : QStringLiteral("dd/MM"));
    x->setTickCount(6); // whole dates in a quarter of a laptop's screen
    x->setTitleText(QString::fromUtf8(wordsOf(step).axis));
    x->setGridLineVisible(false);
    return x;
}

namespace {

// A step between the counts' labels that leaves seven of them at most, zero
// included: more do not fit the chart's height, and Qt then cuts every
// label down to dots.
double tickStep(double top) {
    for (double step : {2.0, 5.0, 10.0, 20.0, 50.0, 100.0, 200.0, 500.0})
        if (top / step <= 6)
            return step;
    return std::ceil(top / 6 / 1000) * 1000;
}

} // namespace

QValueAxis* valueAxis(const QString& title, double top) {
    const double step = tickStep(top);
    auto* y = new QValueAxis;
    y->setTitleText(title);
    y->setRange(0, top);
    y->setLabelFormat(QStringLiteral("%d"));
    y->setTickType(QValueAxis::TicksDynamic);
    y->setTickAnchor(0);
    y->setTickInterval(step);
    return y;
}

QChartView* viewOf(QChart* chart, QAbstractAxis* x, QAbstractAxis* y, const QString& description) {
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QAbstractSeries* series : chart->series()) {
        series->attachAxis(x);
        series->attachAxis(y);
    }
    auto* view = new QChartView(chart);
    view->setRenderHint(QPainter::Antialiasing);
    // Small enough for four to share a laptop's half screen.
    view->setMinimumSize(200, 150);
    view->setAccessibleName(chart->title());
    view->setAccessibleDescription(description);
    view->setFocusPolicy(Qt::TabFocus);
    return view;
}

} // namespace quiltaro::charts
