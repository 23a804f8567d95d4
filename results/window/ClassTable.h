#pragma once

#include "ClassSummary.h"

#include <QTableView>

class QStandardItemModel;
class QSortFilterProxyModel;

namespace quiltaro {

// The pupils, one line each, with the few figures that sort and flag: who
// needs help comes first when sorted by it, and says why. Narrow enough to
// stand beside the chosen pupil's charts on a school laptop; the rest of a
// pupil's figures are beside it, not in columns to scroll to.
class ClassTable final : public QTableView {
    Q_OBJECT
public:
    enum Column { Pupil, Help, Rounds, KeptPerRound, LastPlayed, Columns };
    // What each column sorts by.
    static constexpr int sortRole = Qt::UserRole + 1;

    explicit ClassTable(const ClassSummary& summary, QWidget* parent = nullptr);
    // The pupil of a line as shown (after sorting).
    QString pupilAt(int row) const;
    int rowOf(const QString& pupil) const;

    static QString helpExplanation();
    QSize sizeHint() const override;
    // The narrowest the list can be with every figure whole: the reasons
    // then go on over more lines.
    int narrowest() const;

signals:
    void pupilChosen(const QString& name);

private:
    QStandardItemModel* model_;
    QSortFilterProxyModel* sorted_;
};

} // namespace quiltaro
