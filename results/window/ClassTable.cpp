#include "ClassTable.h"

#include <QHeaderView>
#include <QLocale>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>

#include <cmath>
#include <limits>

namespace quiltaro {

namespace {

const QLocale french(QLocale::French, QLocale::France);
const QColor stuckColour(255, 214, 204);

QStandardItem* cell(const QString& text, const QVariant& sortKey,
                    Qt::Alignment align = Qt::AlignCenter) {
    auto* item = new QStandardItem(text);
    item->setData(sortKey, ClassTable::sortRole);
    item->setTextAlignment(align | Qt::AlignVCenter);
    item->setEditable(false);
    return item;
}

QStandardItem* triesCell(const LevelFigures& level) {
    if (level.played == 0)
        return cell(QString(), -1.0);
    if (level.found == 0) // tried, never found: worse than any number
        return cell(QStringLiteral("aucun trouvé"), std::numeric_limits<double>::max());
    const double perFound = level.triesPerFound();
    auto* item = cell(french.toString(perFound, 'f', 1), perFound);
    item->setToolTip(QStringLiteral("%1 essais pour %2 nombres trouvés en %3 manches jouées")
                         .arg(level.tries)
                         .arg(level.found)
                         .arg(level.played));
    return item;
}

QString trendText(const PupilFigures& f) {
    QStringList weeks;
    for (int w : f.weeks)
        weeks << (w < 0 ? QStringLiteral("–") : QString::number(w));
    const int trend = f.trend();
    const QString arrow = trend > 0   ? QStringLiteral("↗")
                          : trend < 0 ? QStringLiteral("↘")
                                      : QStringLiteral("→");
    return arrow + QStringLiteral("  ") + weeks.join(QStringLiteral(" · "));
}

} // namespace

QString ClassTable::stuckExplanation() {
    return QStringLiteral(
               "Bloqué : sur ses %1 dernières manches jouées, moins de la moitié lui ont "
               "rapporté un point (nombre trouvé en 10 essais ou moins, abandons comptés), et "
               "aucune partie n'a été gagnée entre-temps. Le niveau indiqué est celui de la "
               "plupart de ces manches.")
        .arg(stuckWindow);
}

ClassTable::ClassTable(const std::vector<PupilFigures>& pupils, QWidget* parent)
    : QTableView(parent), model_(new QStandardItemModel(this)),
      sorted_(new QSortFilterProxyModel(this)) {
    const QStringList headers = {
        QStringLiteral("Élève"),
        QStringLiteral("État"),
        QStringLiteral("Dernière partie"),
        QStringLiteral("Parties\ncette semaine"),
        QStringLiteral("Manches\ncette semaine"),
        QStringLiteral("Niveau atteint"),
        QStringLiteral("Essais par nombre\ntrouvé : entiers"),
        QStringLiteral("… : dixièmes"),
        QStringLiteral("… : centièmes"),
        QStringLiteral("Réponses en dehors\nde l'intervalle"),
        QStringLiteral("Abandons"),
        QStringLiteral("Score le plus haut,\n%1 dernières semaines").arg(trendWeeks)};
    const QStringList tips = {
        QString(),
        stuckExplanation(),
        QStringLiteral("La fin de la dernière manche jouée"),
        QStringLiteral("Depuis lundi"),
        QStringLiteral("Manches jouées depuis lundi"),
        QStringLiteral("Le niveau le plus fin atteint : nombres entiers de 0 à 2 points, "
                       "dixièmes de 3 à 6 points, centièmes à partir de 7 ; entre parenthèses, "
                       "le score le plus haut"),
        QStringLiteral("Tous les essais des manches jouées à ce niveau, abandons compris, "
                       "divisés par le nombre de nombres trouvés : 5 ou moins rapporte deux "
                       "points, 10 ou moins un point"),
        QStringLiteral("Comme pour les nombres entiers, aux dixièmes"),
        QStringLiteral("Comme pour les nombres entiers, aux centièmes"),
        QStringLiteral("Réponses en dehors des crochets : l'erreur qui montre que l'ordre des "
                       "nombres n'est pas acquis"),
        QStringLiteral("Manches abandonnées (Échap)"),
        QStringLiteral("Le score le plus haut atteint chaque semaine, de la plus ancienne à "
                       "celle-ci (– : pas joué) ; la flèche compare la dernière semaine jouée "
                       "à la première")};
    model_->setColumnCount(Columns);
    for (int c = 0; c < Columns; ++c) {
        auto* header = new QStandardItem(headers[c]);
        header->setToolTip(tips[c]);
        model_->setHorizontalHeaderItem(c, header);
    }
    for (const PupilFigures& f : pupils) {
        QList<QStandardItem*> row;
        auto* name = cell(f.name, f.name, Qt::AlignLeft);
        row << name;
        if (f.stuck) {
            auto* state =
                cell(QStringLiteral("bloqué : %1").arg(levelName(f.stuckLevel).toLower()), 0);
            state->setToolTip(stuckExplanation());
            QFont bold = state->font();
            bold.setBold(true);
            state->setFont(bold);
            name->setFont(bold);
            row << state;
        } else if (f.roundsPlayed == 0) {
            row << cell(QStringLiteral("n'a pas joué"), 1);
        } else {
            row << cell(QString(), 2);
        }
        row << (f.lastPlayed.isValid()
                    ? cell(french.toString(f.lastPlayed, QStringLiteral("ddd d MMM yyyy HH:mm")),
                           f.lastPlayed.toMSecsSinceEpoch(), Qt::AlignLeft)
                    : cell(QString(), qint64(0)));
        row << cell(QString::number(f.gamesThisWeek), f.gamesThisWeek);
        row << cell(QString::number(f.roundsThisWeek), f.roundsThisWeek);
        row << (f.highestScore < 0 ? cell(QString(), -1)
                                   : cell(QStringLiteral("%1 (%2 pts)")
                                              .arg(levelName(f.highestLevel))
                                              .arg(f.highestScore),
                                          f.highestScore));
        for (const LevelFigures& level : f.levels)
            row << triesCell(level);
        row << cell(QString::number(f.outside), f.outside);
        row << cell(QString::number(f.gaveUp), f.gaveUp);
        row << (f.roundsPlayed == 0 ? cell(QString(), -100) : cell(trendText(f), f.trend()));
        if (f.stuck)
            for (QStandardItem* item : row)
                item->setBackground(stuckColour);
        model_->appendRow(row);
    }
    sorted_->setSourceModel(model_);
    sorted_->setSortRole(sortRole);
    sorted_->setSortLocaleAware(true); // Émilie beside Emma
    setModel(sorted_);
    setSortingEnabled(true);
    sortByColumn(Pupil, Qt::AscendingOrder);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAlternatingRowColors(true);
    verticalHeader()->hide();
    horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    setAccessibleName(QStringLiteral("La classe, un élève par ligne"));
    setAccessibleDescription(QStringLiteral("Choisir un élève montre ses graphiques. ") +
                             stuckExplanation());
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid())
                    emit pupilChosen(pupilAt(current.row()));
            });
}

QString ClassTable::pupilAt(int row) const {
    return sorted_->index(row, Pupil).data().toString();
}

int ClassTable::rowOf(const QString& pupil) const {
    for (int row = 0; row < sorted_->rowCount(); ++row)
        if (pupilAt(row) == pupil)
            return row;
    return -1;
}

} // namespace quiltaro
