#pragma once

#include "PupilFigures.h"

#include <QTableView>

class QStandardItemModel;
class QSortFilterProxyModel;

namespace quiltaro {

// One line per pupil, sortable by any column (numbers as numbers, dates as
// dates); a pupil who is stuck stands out, and says where.
class ClassTable final : public QTableView {
    Q_OBJECT
public:
    enum Column {
        Pupil,
        State,
        LastPlayed,
        GamesThisWeek,
        RoundsThisWeek,
        Level,
        TriesIntegers,
        TriesTenths,
        TriesHundredths,
        Outside,
        GaveUp,
        Trend,
        Columns
    };
    // What each column sorts by.
    static constexpr int sortRole = Qt::UserRole + 1;

    explicit ClassTable(const std::vector<PupilFigures>& pupils, QWidget* parent = nullptr);
    // The pupil of a line as shown (after sorting).
    QString pupilAt(int row) const;
    int rowOf(const QString& pupil) const;

    static QString stuckExplanation();

signals:
    void pupilChosen(const QString& name);

private:
    QStandardItemModel* model_;
    QSortFilterProxyModel* sorted_;
};

} // namespace quiltaro
