#include "PupilCharts.h"

#include "ChartParts.h"
#include "PupilFigures.h"

#include <QChart>
#include <QChartView>
#include <QGridLayout>
#include <QLineSeries>
#include <QLocale>
#include <QScatterSeries>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <map>

namespace quiltaro {

namespace {

using namespace charts;

const QLocale french(QLocale::French, QLocale::France);

const Style levelStyles[levelCount] = {
    {QColor(0, 114, 178), QScatterSeries::MarkerShapeCircle, Qt::SolidLine},
    {QColor(230, 159, 0), QScatterSeries::MarkerShapeRectangle, Qt::DashLine},
    {QColor(0, 158, 115), QScatterSeries::MarkerShapeTriangle, Qt::DotLine},
};

// Short, so that the five entries of a legend fit a chart a quarter of a
// laptop's screen wide.
const QString levelShortNames[levelCount] = {QStringLiteral("Entiers"), QStringLiteral("Dixièmes"),
                                             QStringLiteral("Centièmes")};

// Games beyond which the scores are drawn a mark a point by date: each is an
// item of its own on the chart's scene.
constexpr size_t maxGameMarks = 200;

// The top of a count's axis: room above the highest mark for the whole of
// it, however small the chart is drawn.
double headroom(double highest) {
    return std::ceil((highest * 1.15 + 1) / 2) * 2;
}

QString dayText(const QDate& day) {
    return french.toString(day, QStringLiteral("d MMMM yyyy"));
}

QString period(const std::vector<DatePoint>& points, ChartStep step) {
    if (points.empty())
        return QStringLiteral("Aucune manche jouée.");
    return QStringLiteral("Du %1 au %2, %3.")
        .arg(dayText(points.front().date), dayText(points.back().date),
             QString::fromUtf8(wordsOf(step).period));
}

QChartView* triesChart(const std::vector<DatePoint>& points, ChartStep step) {
    QChart* chart = newChart(QStringLiteral("Essais par nombre trouvé"));
    // Five entries: one under the other, beside the points, each whole.
    chart->legend()->setAlignment(Qt::AlignRight);
    double highest = 10;
    QString description =
        QStringLiteral("Abandons compris ; moins il y en a, mieux c'est : 5 essais "
                       "ou moins rapportent 2 points, 10 ou moins 1 point. ") +
        period(points, step);
    for (int level = 0; level < levelCount; ++level) {
        std::vector<QPointF> series;
        for (const DatePoint& p : points)
            if (p.levels[level].found > 0) {
                series.emplace_back(double(at(p.date, step)), p.levels[level].triesPerFound());
                highest = std::max(highest, p.levels[level].triesPerFound());
            }
        if (series.empty())
            continue;
        addSeries(chart, levelShortNames[level], levelStyles[level], series);
        description += QStringLiteral(" %1 : %2 essais au début, %3 à la fin.")
                           .arg(levelName(level), french.toString(series.front().y(), 'f', 1),
                                french.toString(series.back().y(), 'f', 1));
    }
    // The scoring: found within 5 tries earns two points, within 10 one.
    const qint64 first = points.empty() ? 0 : at(points.front().date, step);
    QDateTimeAxis* x = dateAxis(first, points.empty() ? 0 : at(points.back().date, step), step);
    x->setTickCount(4); // narrower than the others, beside its legend
    for (auto [tries, name] : {std::pair{5.0, "≤5 : 2 pts"}, std::pair{10.0, "≤10 : 1 pt"}}) {
        auto* line = new QLineSeries;
        line->setName(QString::fromUtf8(name));
        // Two greys, dashed and dotted, drawn as lines in the legend too.
        line->setPen(tries == 5 ? QPen(QColor(90, 90, 90), 1.5, Qt::DashLine)
                                : QPen(QColor(150, 150, 150), 1.5, Qt::DotLine));
        line->append(double(x->min().toMSecsSinceEpoch()), tries);
        line->append(double(x->max().toMSecsSinceEpoch()), tries);
        chart->addSeries(line);
    }
    return viewOf(chart, x, valueAxis(QStringLiteral("Essais"), headroom(highest)), description);
}

// The scores are drawn by day, week or month as the charts above and below
// it are, and on the same span of dates: a day stands at the same place in all
// three.
QChartView* scoresChart(const std::vector<GamePoint>& games, const std::vector<DatePoint>& days,
                        ChartStep step) {
    QChart* chart = newChart(QStringLiteral("Scores des parties (10 : gagnée)"));
    std::vector<QPointF> highest, final;
    // A mark a game while they can be told apart; beyond, one a point of
    // the charts by date: the best score reached, and the mean of the final scores.
    const bool gathered = games.size() > maxGameMarks;
    std::map<QDate, std::pair<int, std::vector<int>>> buckets;
    for (const GamePoint& g : games) {
        if (!gathered) {
            highest.emplace_back(double(g.started.toMSecsSinceEpoch()), g.highest);
            final.emplace_back(double(g.started.toMSecsSinceEpoch()), g.final);
            continue;
        }
        auto& [best, finals] = buckets[chartDate(g.started.date(), step)];
        best = std::max(best, g.highest);
        finals.push_back(g.final);
    }
    for (const auto& [day, bucket] : buckets) {
        const auto& [best, finals] = bucket;
        double sum = 0;
        for (int f : finals)
            sum += f;
        highest.emplace_back(double(at(day, step)), best);
        final.emplace_back(double(at(day, step)), sum / double(finals.size()));
    }
    // Hollow rings around the final score's smaller squares: both show when
    // equal. The chart's title says they are scores: the legend's words are
    // short enough to read whole beside the figures on a laptop's screen.
    addSeries(
        chart, gathered ? QString::fromUtf8(wordsOf(step).best) : QStringLiteral("Le plus haut"),
        {QColor(0, 114, 178), QScatterSeries::MarkerShapeCircle, Qt::SolidLine}, highest, false);
    auto* rings = static_cast<QScatterSeries*>(chart->series().constLast());
    rings->setColor(Qt::transparent);
    rings->setBorderColor(QColor(0, 114, 178));
    rings->setMarkerSize(14);
    QPen ring(QColor(0, 114, 178), 2.5);
    rings->setPen(ring);
    addSeries(chart, gathered ? QStringLiteral("Fin, en moyenne") : QStringLiteral("À la fin"),
              {QColor(213, 94, 0), QScatterSeries::MarkerShapeRectangle, Qt::SolidLine}, final,
              false);
    static_cast<QScatterSeries*>(chart->series().constLast())->setMarkerSize(7);
    // Games and days come from the same rounds played, so both are there or
    // neither. A game begun just before midnight, and played after it,
    // starts a day before the days below: its mark stays on the chart.
    const qint64 first = games.empty()
                             ? 0
                             : std::min(at(days.front().date, step),
                                        at(chartDate(games.front().started.date(), step), step));
    const qint64 last = days.empty() ? 0 : at(days.back().date, step);
    QString description = games.empty() ? QStringLiteral("Aucune partie jouée.")
                                        : QStringLiteral("%1 parties, du %2 au %3.")
                                              .arg(games.size())
                                              .arg(dayText(games.front().started.date()),
                                                   dayText(games.back().started.date()));
    if (!games.empty()) {
        const int won = int(std::count_if(games.begin(), games.end(),
                                          [](const GamePoint& g) { return g.final >= 10; }));
        const auto best = std::max_element(
            games.begin(), games.end(),
            [](const GamePoint& a, const GamePoint& b) { return a.highest < b.highest; });
        description += QStringLiteral(" Score le plus haut : %1. Parties gagnées : %2. Dernière "
                                      "partie : %3 au plus haut, %4 à la fin.")
                           .arg(best->highest)
                           .arg(won)
                           .arg(games.back().highest)
                           .arg(games.back().final);
    }
    return viewOf(chart, dateAxis(first, last, step), valueAxis(QStringLiteral("Points"), 12),
                  description);
}

QChartView* mistakesChart(const std::vector<DatePoint>& points, ChartStep step) {
    QChart* chart = newChart(QStringLiteral("Réponses en dehors, et abandons"));
    std::vector<QPointF> outside, gaveUp;
    double highest = 4;
    int outsideTotal = 0, gaveUpTotal = 0;
    // The give-ups a little to the right: equal counts stay apart.
    const double shift = wordsOf(step).days * dayMs / 6.0;
    for (const DatePoint& p : points) {
        outside.emplace_back(double(at(p.date, step)), p.outside);
        gaveUp.emplace_back(double(at(p.date, step)) + shift, p.gaveUp);
        highest = std::max<double>({highest, double(p.outside), double(p.gaveUp)});
        outsideTotal += p.outside;
        gaveUpTotal += p.gaveUp;
    }
    addSeries(chart, QStringLiteral("Réponses en dehors"),
              {QColor(204, 121, 167), QScatterSeries::MarkerShapeTriangle, Qt::SolidLine}, outside);
    addSeries(chart, QStringLiteral("Abandons"),
              {QColor(86, 86, 86), QScatterSeries::MarkerShapeRectangle, Qt::DashLine}, gaveUp);
    const qint64 first = points.empty() ? 0 : at(points.front().date, step);
    const qint64 last = points.empty() ? 0 : at(points.back().date, step);
    const QString description =
        period(points, step) + QStringLiteral(" En tout %1 réponses en dehors de l'intervalle "
                                              "et %2 abandons.")
                                   .arg(outsideTotal)
                                   .arg(gaveUpTotal);
    return viewOf(chart, dateAxis(first, last, step),
                  valueAxis(QString::fromUtf8(wordsOf(step).perPoint), headroom(highest)),
                  description);
}

} // namespace

PupilCharts::PupilCharts(const PupilRounds& pupil, QWidget* corner, QWidget* parent)
    : QWidget(parent), corner_(corner) {
    const ChartStep step = chartStepOf(pupil.rounds);
    const std::vector<DatePoint> points = byDate(pupil.rounds, step);
    // Made in the order a screen reader tells them.
    views_ = {triesChart(points, step), scoresChart(gamesOf(pupil.rounds), points, step),
              mistakesChart(points, step)};
    arrange(false);
}

void PupilCharts::arrange(bool compact) {
    delete layout();
    QTabWidget* oldTabs = tabs_;
    tabs_ = nullptr;
    if (compact) {
        auto* column = new QVBoxLayout(this);
        column->setContentsMargins(0, 0, 0, 0);
        if (corner_)
            column->addWidget(corner_, 1);
        tabs_ = new QTabWidget;
        const QStringList names = {QStringLiteral("&Essais"), QStringLiteral("S&cores"),
                                   QStringLiteral("&Erreurs")};
        for (int i : {1, 0, 2})
            tabs_->addTab(views_[i], names[i]);
        tabs_->setAccessibleName(QStringLiteral("Graphiques de l'élève"));
        column->addWidget(tabs_, 2);
    } else {
        // The scores, which a teacher reads first, beside the figures.
        auto* grid = new QGridLayout(this);
        grid->setContentsMargins(0, 0, 0, 0);
        if (corner_)
            grid->addWidget(corner_, 0, 0);
        grid->addWidget(views_[1], 0, 1);
        grid->addWidget(views_[0], 1, 0);
        grid->addWidget(views_[2], 1, 1);
        for (int i = 0; i < 2; ++i) {
            grid->setRowStretch(i, 1);
            grid->setColumnStretch(i, 1);
        }
        for (QChartView* view : views_)
            view->show();
    }
    delete oldTabs;
    // In a tab, the tab names the chart: its height goes to the points, and
    // half as many labels up the side keep them whole.
    for (QChartView* view : views_) {
        view->chart()->setTitle(compact ? QString() : view->accessibleName());
        for (QAbstractAxis* axis : view->chart()->axes(Qt::Vertical))
            if (auto* counts = qobject_cast<QValueAxis*>(axis)) {
                const double wide = counts->property("wideInterval").toDouble();
                if (wide <= 0)
                    counts->setProperty("wideInterval", counts->tickInterval());
                counts->setTickInterval(compact ? 2 * counts->property("wideInterval").toDouble()
                                                : counts->property("wideInterval").toDouble());
            }
    }
}

void PupilCharts::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // Four quarters need some 300 pixels each way to stay readable, and the
    // corner as much as its figures take.
    const int corner = corner_ ? corner_->minimumWidth() : 0;
    const bool narrow = width() < std::max(600, corner + 300) || height() < 460;
    if (narrow != compact())
        arrange(narrow);
}

} // namespace quiltaro
