#pragma once

#include "ClassSummary.h"
#include "FigureLines.h"

#include <QWidget>

class QLabel;
class QPushButton;
class QTableWidget;

namespace quiltaro {

class PupilCharts;

// The chosen pupil, beside the class list: why the pupil needs help, if so,
// the figures of the period beside the class mean, and the charts, all in
// view at once on a school laptop.
class PupilPanel final : public QWidget {
    Q_OBJECT
public:
    explicit PupilPanel(QWidget* parent = nullptr);
    // `rounds`: the pupil's rounds in the period, which the charts draw.
    // `reading`: they are being read still; the charts say so meanwhile.
    void show(const PupilSummary& pupil, const ClassMean& mean, const PupilRounds& rounds,
              bool reading = false);
    // The words shown over the charts while the pupil's rounds are read.
    QLabel* readingLabel() const { return reading_; }
    PupilCharts* charts() const { return charts_; }
    QTableWidget* figures() const { return figures_; }
    QPushButton* exportButton() const { return export_; }
    QPushButton* reportButton() const { return report_; }

private:
    QLabel* title_;
    QLabel* help_;
    QLabel* reading_;
    QPushButton* export_;
    QPushButton* report_;
    QTableWidget* figures_;
    QWidget* chartsPlace_;
    PupilCharts* charts_ = nullptr;
};

} // namespace quiltaro
