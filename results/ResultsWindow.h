#pragma once

#include "ClassListEditor.h"
#include "ClassRecord.h"

#include <QDateTime>
#include <QWidget>

class QLabel;
class QPushButton;
class QScrollArea;
class QVBoxLayout;

namespace quiltaro {

class ClassTable;
class PupilCharts;

// The teacher's view of a class: a table of the pupils, one line each, and
// the charts of the pupil chosen in it. It only reads the records, runs in a
// program of its own (quiltaro-results, which `quiltaro --results` hands
// over to), and never goes through the game's reactions. It fits any screen:
// what does not fit scrolls.
class ResultsWindow final : public QWidget {
    Q_OBJECT
public:
    // `ownLogin`: opened without naming any record, on the teacher's own
    // login, where an empty view says where the pupils' games are.
    ResultsWindow(ClassRecord data, const QDateTime& now, bool ownLogin, QWidget* parent = nullptr);

    ClassTable* table() const { return table_; }
    QScrollArea* scrollArea() const { return scroll_; }
    PupilCharts* charts() const { return charts_; }
    QString shownPupil() const { return shownPupil_; }
    void showPupil(const QString& name);
    // Takes the place of a window that showed the same class before new
    // rounds arrived: where it stood, full screen or not, the order of the
    // class, the pupil chosen and how far down it was scrolled. Before the
    // window is shown.
    void takePlaceOf(const ResultsWindow& before);
    // Where "Liste de la classe…" reads and writes the list.
    void setClassListPlace(ClassListPlace place) { classListPlace_ = std::move(place); }

private:
    // Asks where, then writes the rounds as a French CSV.
    void exportRounds(const std::vector<PupilRounds>& rounds, const QString& name);
    void editClassList();

    ClassRecord data_;
    ClassListPlace classListPlace_ = ClassListPlace::ownConfiguration();
    QScrollArea* scroll_ = nullptr;
    ClassTable* table_ = nullptr;
    QVBoxLayout* pupilLayout_ = nullptr;
    QLabel* pupilTitle_ = nullptr;
    QPushButton* pupilExport_ = nullptr;
    PupilCharts* charts_ = nullptr;
    QString shownPupil_;
};

} // namespace quiltaro
