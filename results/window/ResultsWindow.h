#pragma once

#include "ClassListEditor.h"
#include "ClassRecord.h"

#include <QDateTime>
#include <QWidget>

#include <optional>
#include <vector>

class QLabel;
class QPushButton;
class QScrollArea;
class QTimer;
class QVBoxLayout;

class QTranslator;

namespace quiltaro {

// The dialogs the teacher meets (where to export, a file that could not be
// written, the class list) are partly Qt's own: their buttons and labels in
// French too, as the rest of the window is. False when Qt's French
// translation is not installed; those words then stay in English.
bool installQtFrench(QTranslator& translator);

class ClassTable;
class PupilCharts;
struct PupilFigures;

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
    // Shows the class again with new rounds, in the same window: the teacher
    // keeps the order of the class, the pupil chosen and how far down it was
    // scrolled, and whatever window has the focus keeps it.
    void refresh(ClassRecord data, const QDateTime& now);
    // The same, unless the teacher is in a dialog (the export's file chooser,
    // the class list), which works on what the window shows, or in a popup
    // of the content: then once it is closed, with the last rounds offered
    // meanwhile.
    void refreshWhenFree(ClassRecord data, const QDateTime& now);
    // Where "Liste de la classe…" reads and writes the list.
    void setClassListPlace(ClassListPlace place) { classListPlace_ = std::move(place); }

private:
    // Builds what the window shows from data_, in place of what it showed.
    // `chosen`: the pupil to show, if still in the class; `sortSection`: the
    // column the class is ordered by, or -1 for the table's own order.
    void fill(const QDateTime& now, const QString& chosen, int sortSection,
              Qt::SortOrder sortOrder);
    // The title, the problems met and a summary of the whole record.
    void addHeading(QVBoxLayout* layout);
    // The class: its export and its table, a line a pupil.
    void addClass(QVBoxLayout* layout, const std::vector<PupilFigures>& figures);
    // Where the pupil chosen in the table is shown.
    void addPupilPlace(QVBoxLayout* layout);
    // The pupil chosen before, if still there, or the first who played.
    void choosePupil(const QString& chosen, int sortSection, Qt::SortOrder sortOrder);
    // Asks where, then writes the rounds as a French CSV.
    void exportRounds(const std::vector<PupilRounds>& rounds, const QString& name);
    void editClassList();
    // Says the level the class plays at, as `list` and the computer set it.
    void showLevel(const ClassList& list);
    void refreshWaiting();

    ClassRecord data_;
    bool ownLogin_;
    ClassListPlace classListPlace_ = ClassListPlace::ownConfiguration();
    QScrollArea* scroll_ = nullptr;
    QLabel* level_ = nullptr;
    ClassTable* table_ = nullptr;
    QVBoxLayout* pupilLayout_ = nullptr;
    QLabel* pupilTitle_ = nullptr;
    QPushButton* pupilExport_ = nullptr;
    PupilCharts* charts_ = nullptr;
    QString shownPupil_;
    std::optional<ClassRecord> waiting_;
    QDateTime waitingNow_;
    QTimer* retry_ = nullptr;
};

} // namespace quiltaro
