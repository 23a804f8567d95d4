#pragma once

#include "ClassRecord.h"

#include <QWidget>

class QChartView;

namespace quiltaro {

// One pupil's charts, by date: tries per number found at each level, the
// highest score and the final score of each game, and the answers outside
// the interval with the rounds given up. Each chart carries a name and a
// description of what it shows, for a screen reader.
class PupilCharts final : public QWidget {
    Q_OBJECT
public:
    explicit PupilCharts(const PupilRounds& pupil, QWidget* parent = nullptr);
    QList<QChartView*> charts() const;
};

} // namespace quiltaro
