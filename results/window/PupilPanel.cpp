#include "PupilPanel.h"

#include "PupilCharts.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace quiltaro {

namespace {

QLabel* boldLabel(double scale) {
    auto* label = new QLabel;
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * scale);
    font.setBold(true);
    label->setFont(font);
    return label;
}

QString helpText(const PupilSummary& p) {
    if (p.help.reasons.empty())
        return QStringLiteral("Rien à signaler.");
    QStringList lines;
    for (const HelpReason& r : p.help.reasons)
        lines << r.text.left(1).toUpper() + r.text.mid(1) + QLatin1Char('.');
    return lines.join(QLatin1Char('\n'));
}

} // namespace

PupilPanel::PupilPanel(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* top = new QHBoxLayout;
    title_ = boldLabel(1.3);
    top->addWidget(title_, 1);
    export_ = new QPushButton(QStringLiteral("Exporter l'élève (CS&V)…"));
    export_->setToolTip(QStringLiteral("Les manches de cet élève pendant la période, pour un "
                                       "tableur"));
    report_ = new QPushButton(QStringLiteral("Rapport &PDF de l'élève…"));
    report_->setToolTip(QStringLiteral("Une page A4 sur cet élève pendant la période, à imprimer"));
    top->addWidget(export_);
    top->addWidget(report_);
    layout->addLayout(top);
    help_ = new QLabel;
    help_->setWordWrap(true);
    help_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(help_);
    reading_ = new QLabel(QStringLiteral("Lecture des manches de l'élève…"));
    reading_->setAccessibleName(reading_->text());
    reading_->hide();
    layout->addWidget(reading_);

    figures_ = new QTableWidget(0, 3);
    figures_->setHorizontalHeaderLabels(
        {QString(), QStringLiteral("Élève"), QStringLiteral("Moyenne\nde la classe")});
    figures_->verticalHeader()->hide();
    figures_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    figures_->setSelectionMode(QAbstractItemView::NoSelection);
    figures_->setTabKeyNavigation(false);
    figures_->setFocusPolicy(Qt::TabFocus);
    figures_->setWordWrap(false);
    figures_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    figures_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    figures_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    figures_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    figures_->setAccessibleName(QStringLiteral("Les chiffres de l'élève, et la moyenne de la "
                                               "classe"));
    figures_->setMinimumSize(120, 80);
    figures_->setParent(this);
    figures_->hide();
    // Where the charts go, the figures in their first corner.
    chartsPlace_ = new QWidget;
    auto* place = new QVBoxLayout(chartsPlace_);
    place->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(chartsPlace_, 1);
}

void PupilPanel::show(const PupilSummary& pupil, const ClassMean& mean, const PupilRounds& rounds,
                      bool reading) {
    title_->setText(pupil.name);
    reading_->setVisible(reading);
    help_->setText(helpText(pupil));
    help_->setStyleSheet(
        pupil.help.needsHelp() ? QStringLiteral("color: #a00000; font-weight: bold") : QString());
    export_->setEnabled(pupil.counts.rounds > 0);
    report_->setEnabled(true);
    const std::vector<FigureLine> lines = figureLines(pupil, mean);
    figures_->setRowCount(int(lines.size()));
    for (int row = 0; row < int(lines.size()); ++row) {
        const FigureLine& line = lines[size_t(row)];
        int column = 0;
        for (const QString& text : {line.name, line.pupil, line.mean}) {
            auto* item = new QTableWidgetItem(text);
            item->setTextAlignment(Qt::AlignVCenter |
                                   (column == 0 ? Qt::AlignLeft : Qt::AlignRight));
            item->setToolTip(line.tip);
            figures_->setItem(row, column++, item);
        }
    }
    // As wide as its words and figures: none is cut, the charts beside it
    // take what is left.
    const QHeaderView* header = figures_->horizontalHeader();
    const QAbstractItemView* view = figures_; // where the column's hint is public
    // The scroll bar's room too: a short corner shows one.
    int wide = 2 * figures_->frameWidth() + figures_->verticalScrollBar()->sizeHint().width();
    for (int column = 0; column < figures_->columnCount(); ++column)
        wide += std::max(header->sectionSizeHint(column), view->sizeHintForColumn(column));
    figures_->setMinimumWidth(wide);
    // The figures move to the new charts before the old ones go.
    figures_->setParent(this);
    delete charts_;
    charts_ = new PupilCharts(rounds, figures_);
    figures_->show();
    chartsPlace_->layout()->addWidget(charts_);
}

} // namespace quiltaro
