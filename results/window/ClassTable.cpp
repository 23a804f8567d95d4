#include "ClassTable.h"

#include <QCollator>
#include <QHeaderView>
#include <QLocale>
#include <QScrollBar>
#include <QSortFilterProxyModel>

#include <QStandardItemModel>
#include <algorithm>

namespace quiltaro {

namespace {

const QLocale french(QLocale::French, QLocale::France);
const QColor helpColour(255, 214, 204);
const QColor awayColour(232, 232, 232);

QStandardItem* cell(const QString& text, const QVariant& sortKey,
                    Qt::Alignment align = Qt::AlignCenter) {
    auto* item = new QStandardItem(text);
    item->setData(sortKey, ClassTable::sortRole);
    item->setTextAlignment(align | Qt::AlignVCenter);
    item->setEditable(false);
    return item;
}

// Names in the order a French teacher expects, Émilie beside Emma, whatever
// the desktop's language (the C library's collation on a desktop set to
// English, or to none, puts Éloïse after Zoé); figures as numbers.
class FrenchOrder final : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override {
        const QVariant a = left.data(sortRole()), b = right.data(sortRole());
        if (a.typeId() != QMetaType::QString || b.typeId() != QMetaType::QString)
            return QSortFilterProxyModel::lessThan(left, right);
        static const QCollator french(QLocale(QLocale::French, QLocale::France));
        const int order = french.compare(a.toString(), b.toString());
        return order != 0 ? order < 0 : a.toString() < b.toString();
    }
};

// Who needs help first, then who stopped playing, then who never played.
int helpOrder(const HelpNeed& help) {
    if (help.needsHelp())
        return 0;
    if (help.has(HelpReason::Kind::Absent))
        return 1;
    return help.has(HelpReason::Kind::NeverPlayed) ? 2 : 3;
}

QString reasonsText(const PupilSummary& p) {
    QStringList lines;
    for (const HelpReason& r : p.help.reasons)
        lines << QStringLiteral("• ") + r.text;
    return lines.join(QLatin1Char('\n'));
}

QList<QStandardItem*> lineOf(const PupilSummary& p) {
    QList<QStandardItem*> row;
    auto* name = cell(p.name, p.name, Qt::AlignLeft);
    auto* help = cell(p.help.shortText(), helpOrder(p.help), Qt::AlignLeft);
    help->setToolTip(reasonsText(p));
    help->setData(reasonsText(p), Qt::AccessibleDescriptionRole);
    row << name << help;
    const PeriodCounts& c = p.counts;
    row << cell(QString::number(c.rounds), c.rounds);
    row << (c.rounds == 0 ? cell(QString(), -1000.0)
                          : cell(french.toString(c.keptPerRound(), 'f', 2), c.keptPerRound()));
    const QDateTime last = p.figures.lastPlayed;
    row << (last.isValid()
                ? cell(french.toString(last, QStringLiteral("d MMM")), last.toMSecsSinceEpoch())
                : cell(QString(), qint64(0)));
    if (last.isValid())
        row.back()->setToolTip(french.toString(last, QStringLiteral("dddd d MMMM yyyy, HH:mm")));
    if (p.help.needsHelp()) {
        QFont bold = name->font();
        bold.setBold(true);
        name->setFont(bold);
        help->setFont(bold);
    }
    const QColor background = p.help.needsHelp()      ? helpColour
                              : helpOrder(p.help) < 3 ? awayColour
                                                      : QColor();
    if (background.isValid())
        for (QStandardItem* item : row)
            item->setBackground(background);
    return row;
}

} // namespace

QString ClassTable::helpExplanation() {
    const HelpRule rule;
    return QStringLiteral(
               "À aider : sur ses %1 dernières manches, l'élève garde moins de %2 point par "
               "manche (points gagnés moins points perdus par les réponses en dehors de "
               "l'intervalle et les abandons), ou n'a gagné aucune de ses %3 premières parties "
               "ou plus, ou n'a pas dépassé son score le plus haut depuis %4 semaines. Le niveau "
               "nommé est celui où il perd le plus de points. Absent : pas de manche depuis %5 "
               "jours ou plus.")
        .arg(rule.recentRounds)
        .arg(french.toString(rule.keptPerRound, 'f', 2))
        .arg(rule.gamesBeforeWin)
        .arg(rule.stillWeeks)
        .arg(rule.absentDays);
}

ClassTable::ClassTable(const ClassSummary& summary, QWidget* parent)
    : QTableView(parent), model_(new QStandardItemModel(this)), sorted_(new FrenchOrder(this)) {
    const QStringList headers = {QStringLiteral("Élève"), QStringLiteral("À suivre"),
                                 QStringLiteral("Manches"), QStringLiteral("Points\npar manche"),
                                 QStringLiteral("Dernière\npartie")};
    const QStringList tips = {
        QString(), helpExplanation(), QStringLiteral("Manches jouées pendant la période"),
        QStringLiteral("Points gagnés moins points perdus, par manche jouée pendant la période"),
        QStringLiteral("Le jour de la dernière manche jouée pendant la période")};
    model_->setColumnCount(Columns);
    for (int c = 0; c < Columns; ++c) {
        auto* header = new QStandardItem(headers[c]);
        header->setToolTip(tips[c]);
        model_->setHorizontalHeaderItem(c, header);
    }
    for (const PupilSummary& p : summary.pupils)
        model_->appendRow(lineOf(p));
    sorted_->setSourceModel(model_);
    sorted_->setSortRole(sortRole);
    setModel(sorted_);
    setSortingEnabled(true);
    sortByColumn(Pupil, Qt::AscendingOrder);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Tab leaves the list for the next area; the arrows move within it.
    setTabKeyNavigation(false);
    // Never wider than its place: the reasons column takes what is left,
    // and its words go on to a line of their own rather than being cut, at
    // 1366 x 768 as at 200 %; the whole sentences are in the tooltip, the
    // accessible description and the pupil's details.
    setWordWrap(true);
    setAlternatingRowColors(true);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    // Lines of one and of three lines: scrolled by the pixel, not by the line.
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QHeaderView* header = horizontalHeader();
    header->setDefaultAlignment(Qt::AlignCenter);
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(Help, QHeaderView::Stretch);
    setAccessibleName(QStringLiteral("La classe, un élève par ligne"));
    setAccessibleDescription(QStringLiteral("Choisir un élève montre ses chiffres et ses "
                                            "graphiques. ") +
                             helpExplanation());
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid())
                    emit pupilChosen(pupilAt(current.row()));
            });
}

QSize ClassTable::sizeHint() const {
    // Wide enough for the names, the figures and a few words of reasons.
    int width = 2 * frameWidth() + verticalScrollBar()->sizeHint().width();
    QFont bold = font();
    bold.setBold(true);
    for (int c = 0; c < Columns; ++c)
        width += c == Help ? QFontMetrics(bold).horizontalAdvance(
                                 QStringLiteral("perd aux centièmes ; jamais gagné"))
                           : std::max(sizeHintForColumn(c), horizontalHeader()->sectionSizeHint(c));
    return {width, QTableView::sizeHint().height()};
}

int ClassTable::narrowest() const {
    int width = 2 * frameWidth() + verticalScrollBar()->sizeHint().width() +
                fontMetrics().horizontalAdvance(QStringLiteral("perd aux centièmes"));
    for (int c = 0; c < Columns; ++c)
        if (c != Help)
            width += std::max(sizeHintForColumn(c), horizontalHeader()->sectionSizeHint(c));
    return width;
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
