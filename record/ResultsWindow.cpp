#include "ResultsWindow.h"

#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QGraphicsLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QLocale>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace quiltaro {

namespace {

const QLocale french(QLocale::French, QLocale::France);

// The time line keeps room for ten games at least: the first games of a pupil
// stand on the left, as they will once more follow, not stretched across.
constexpr int shortestTimeLine = 10;

struct BandStyle {
    const char* name;
    QColor colour;
};
// Colours told apart also by readers who confuse red and green.
const BandStyle bandStyles[3] = {
    {"Nombres entiers", QColor(0, 114, 178)},
    {"Dixièmes", QColor(230, 159, 0)},
    {"Centièmes", QColor(0, 158, 115)},
};

QString decimal(double value, int decimals) {
    return french.toString(value, 'f', decimals);
}

QChart* newChart(const QString& title) {
    auto* chart = new QChart;
    chart->setTitle(title);
    QFont font = chart->titleFont();
    font.setPointSizeF(font.pointSizeF() * 1.15);
    font.setBold(true);
    chart->setTitleFont(font);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setBackgroundRoundness(0);
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->legend()->setAlignment(Qt::AlignBottom);
    return chart;
}

QChartView* triesChart(const ResultsData& data) {
    QChart* chart = newChart(QStringLiteral("Essais pour trouver le nombre rouge, en moyenne "
                                            "par partie (moins il y en a, mieux c'est)"));
    const double firstGame = static_cast<double>(data.recent.front().number);
    const double lastGame =
        std::max(static_cast<double>(data.recent.back().number), firstGame + shortestTimeLine - 1);
    double highest = 10;
    for (int band = 0; band < 3; ++band) {
        auto* series = new QLineSeries;
        series->setName(QString::fromUtf8(bandStyles[band].name));
        QPen pen(bandStyles[band].colour, 2.5);
        series->setPen(pen);
        series->setPointsVisible(true);
        series->setMarkerSize(7);
        for (const GameSummary& g : data.recent)
            if (g.meanTries[band] >= 0) {
                series->append(static_cast<double>(g.number), g.meanTries[band]);
                highest = std::max(highest, g.meanTries[band]);
            }
        chart->addSeries(series);
    }
    // The two lines of the scoring: found within 5 tries earns two points,
    // within 10 one point.
    for (auto [tries, name] : {std::pair{5.0, "5 essais ou moins : 2 points"},
                               std::pair{10.0, "10 essais ou moins : 1 point"}}) {
        auto* line = new QLineSeries;
        line->setName(QString::fromUtf8(name));
        line->setPen(QPen(QColor(120, 120, 120), 1.2, tries == 5 ? Qt::DashLine : Qt::DotLine));
        line->append(firstGame - 0.5, tries);
        line->append(lastGame + 0.5, tries);
        chart->addSeries(line);
    }
    auto* x = new QValueAxis;
    x->setTitleText(QStringLiteral("Partie n°"));
    x->setRange(firstGame - 0.5, lastGame + 0.5);
    x->setLabelFormat(QStringLiteral("%d"));
    x->setTickType(QValueAxis::TicksDynamic);
    x->setTickAnchor(firstGame);
    x->setTickInterval(data.recent.size() > 15 ? 5 : 1);
    x->setMinorTickCount(0);
    x->setGridLineVisible(false);
    auto* y = new QValueAxis;
    y->setTitleText(QStringLiteral("Essais"));
    y->setRange(0, std::ceil(highest / 2) * 2 + 1);
    y->setLabelFormat(QStringLiteral("%d"));
    y->setTickType(QValueAxis::TicksDynamic);
    y->setTickAnchor(0);
    y->setTickInterval(2);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QAbstractSeries* series : chart->series()) {
        series->attachAxis(x);
        series->attachAxis(y);
    }
    auto* view = new QChartView(chart);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumHeight(330);
    return view;
}

QChartView* pointsChart(const ResultsData& data) {
    QChart* chart =
        newChart(QStringLiteral("Points à la fin de chaque partie (10 : partie gagnée)"));
    auto* points = new QBarSet(QStringLiteral("Points"));
    points->setColor(QColor(86, 180, 233));
    points->setBorderColor(QColor(0, 90, 140));
    for (const GameSummary& g : data.recent)
        *points << g.finalScore;
    auto* series = new QBarSeries;
    series->append(points);
    series->setBarWidth(0.7);
    chart->addSeries(series);
    chart->legend()->hide();
    // Labelled like the chart above: every game, or every fifth when they are many.
    auto* x = new QCategoryAxis;
    x->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    x->setRange(-0.5,
                static_cast<double>(std::max<size_t>(data.recent.size(), shortestTimeLine)) - 0.5);
    const qint64 firstGame = data.recent.front().number;
    const int every = data.recent.size() > 15 ? 5 : 1;
    for (size_t i = 0; i < data.recent.size(); ++i)
        if ((data.recent[i].number - firstGame) % every == 0)
            x->append(QString::number(data.recent[i].number), static_cast<double>(i));
    x->setTitleText(QStringLiteral("Partie n°"));
    x->setGridLineVisible(false);
    auto* y = new QValueAxis;
    y->setRange(0, 10);
    y->setTickType(QValueAxis::TicksDynamic);
    y->setTickAnchor(0);
    y->setTickInterval(2);
    y->setLabelFormat(QStringLiteral("%d"));
    y->setTitleText(QStringLiteral("Points"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
    auto* view = new QChartView(chart);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumHeight(210);
    return view;
}

QTableWidget* gamesTable(const ResultsData& data) {
    const QStringList headers = {
        QStringLiteral("Partie n°"),      QStringLiteral("Date"),
        QStringLiteral("Manches"),        QStringLiteral("Nombres trouvés"),
        QStringLiteral("Abandons"),       QStringLiteral("Essais par nombre trouvé"),
        QStringLiteral("Points à la fin")};
    auto* table = new QTableWidget(static_cast<int>(data.recent.size()), headers.size());
    table->setHorizontalHeaderLabels(headers);
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setAlternatingRowColors(true);
    int row = 0;
    // The newest game first: the one the teacher most likely looks for.
    for (auto g = data.recent.rbegin(); g != data.recent.rend(); ++g, ++row) {
        const QString mean = g->found > 0 ? decimal(g->meanTriesFound(), 1) : QStringLiteral("–");
        const QStringList cells = {
            QString::number(g->number),
            french.toString(g->started, QStringLiteral("ddd d MMM yyyy, HH:mm")),
            QString::number(g->rounds),
            QString::number(g->found),
            QString::number(g->gaveUp),
            mean,
            g->finalScore == 10 ? QStringLiteral("10 (gagnée)") : QString::number(g->finalScore)};
        for (int column = 0; column < cells.size(); ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            item->setTextAlignment(column == 1 ? Qt::AlignLeft | Qt::AlignVCenter
                                               : Qt::AlignCenter);
            table->setItem(row, column, item);
        }
    }
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    return table;
}

QString summary(const ResultsData& data) {
    const QString games = data.games == 1
                              ? QStringLiteral("1 partie")
                              : QStringLiteral("%1 parties").arg(french.toString(data.games));
    const QString rounds = data.rounds == 1
                               ? QStringLiteral("1 manche")
                               : QStringLiteral("%1 manches").arg(french.toString(data.rounds));
    const QString format = QStringLiteral("d MMMM yyyy");
    const QString from = french.toString(data.first.date(), format);
    const QString to = french.toString(data.last.date(), format);
    QString text = QStringLiteral("%1 enregistrées (%2)").arg(games, rounds);
    if (data.games == 1)
        text = QStringLiteral("%1 enregistrée (%2)").arg(games, rounds);
    text += from == to ? QStringLiteral(", le %1.").arg(from)
                       : QStringLiteral(", du %1 au %2.").arg(from, to);
    if (data.games > static_cast<qint64>(data.recent.size()))
        text += QStringLiteral(" Ci-dessous, les %1 dernières.").arg(data.recent.size());
    text += QStringLiteral(" Plus le score monte, plus le nombre rouge est précis : un nombre "
                           "entier de 0 à 2 points, un dixième de 3 à 6 points, un centième à "
                           "partir de 7 points.");
    return text;
}

} // namespace

ResultsWindow::ResultsWindow(const ResultsData& data, QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Quiltaro : résultats"));
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(QStringLiteral("Résultats"));
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    title->setFont(big);
    layout->addWidget(title);

    auto* text = new QLabel;
    text->setWordWrap(true);
    layout->addWidget(text);
    switch (data.state) {
    case ResultsData::State::Empty:
        text->setText(QStringLiteral("Aucune partie enregistrée pour l'instant. Chaque manche "
                                     "jouée s'inscrit ici, dès qu'elle est finie."));
        break;
    case ResultsData::State::Unreadable:
        text->setText(
            QStringLiteral("Les résultats ne peuvent pas être lus (%1).").arg(data.problem));
        break;
    case ResultsData::State::Newer:
        text->setText(QStringLiteral("Ces résultats ont été enregistrés par une version plus "
                                     "récente de Quiltaro, que celle-ci ne sait pas lire."));
        break;
    case ResultsData::State::Ready:
        text->setText(summary(data));
        break;
    }
    if (data.damaged) {
        auto* warning = new QLabel(QStringLiteral("Attention : ") + data.warning);
        warning->setWordWrap(true);
        warning->setStyleSheet(QStringLiteral("color: #a00000"));
        layout->insertWidget(1, warning);
    }
    if (data.state == ResultsData::State::Ready && !data.recent.empty()) {
        layout->addWidget(triesChart(data), 5);
        layout->addWidget(pointsChart(data), 3);
        auto* last = new QLabel(QStringLiteral("Dernières parties"));
        QFont bold = last->font();
        bold.setBold(true);
        last->setFont(bold);
        layout->addWidget(last);
        layout->addWidget(gamesTable(data), 4);
        resize(980, 900);
    } else {
        layout->addStretch();
        resize(600, 200);
    }
}

} // namespace quiltaro
