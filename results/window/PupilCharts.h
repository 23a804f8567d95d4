#pragma once

#include "ClassRecord.h"

#include <QWidget>

class QChartView;
class QTabWidget;

namespace quiltaro {

// One pupil's charts, by date: tries per number found at each level, the
// highest score and the final score of each game, and the answers outside
// the interval with the rounds given up. Each chart carries a name and a
// description of what it shows, for a screen reader. Two by two, with
// `corner` (the pupil's figures) in the first place: all four stay readable
// beside the class list at 200 % on a full HD screen.
class PupilCharts final : public QWidget {
    Q_OBJECT
public:
    explicit PupilCharts(const PupilRounds& pupil, QWidget* corner = nullptr,
                         QWidget* parent = nullptr);
    // The tries, the scores, the mistakes.
    QList<QChartView*> charts() const { return views_; }
    // Narrower than four readable quarters (a full HD screen at 200 %): the
    // figures above, and the charts one at a time in tabs below them.
    bool compact() const { return tabs_ != nullptr; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void arrange(bool compact);
    QList<QChartView*> views_;
    QWidget* corner_;
    QTabWidget* tabs_ = nullptr;
};

} // namespace quiltaro
