#pragma once

#include "ClassListEditor.h"
#include "ClassRecord.h"
#include "ClassSummary.h"
#include "Pupils.h"
#include "SchoolSummary.h"
#include "Worker.h"

#include <QDateTime>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QComboBox;
class QDateEdit;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QSplitter;
class QTimer;
class QTranslator;
class QVBoxLayout;

namespace quiltaro {

// The dialogs the teacher meets (where to export, a file that could not be
// written, the class list) are partly Qt's own: their buttons and labels in
// French too, as the rest of the window is. False when Qt's French
// translation is not installed; those words then stay in English.
bool installQtFrench(QTranslator& translator);

class ClassTable;
class PupilCharts;
class PupilPanel;

// The teacher's view of a class over a period: the pupils as a list on the
// left, who needs help flagged with the reason, and the chosen pupil's
// figures beside the class mean and charts on the right, all in view at
// once from a school laptop's 1366 x 768 to a full HD screen at 200 %. Tab
// goes from the period to the buttons, the list and the pupil; the arrows
// move within the list. It only reads the records, runs in a program of its
// own (quiltaro-results, which `quiltaro --results` hands over to), and
// never goes through the game's reactions.
class ResultsWindow final : public QWidget {
    Q_OBJECT
public:
    // `ownLogin`: opened without naming any record, on the teacher's own
    // login, where an empty view says where the pupils' games are.
    ResultsWindow(ClassRecord data, const QDateTime& now, bool ownLogin, const Period& period = {},
                  QWidget* parent = nullptr);
    ~ResultsWindow() override;

    ClassTable* table() const { return table_; }
    PupilPanel* panel() const { return panel_; }
    PupilCharts* charts() const;
    QComboBox* periodChooser() const { return periodKind_; }
    const ClassSummary& summary() const { return summary_; }
    QString shownPupil() const { return shownPupil_; }
    void showPupil(const QString& name);
    void setPeriod(const Period& period);
    // Shows the class again with new rounds, in the same window: the teacher
    // keeps the period, the order of the class, the pupil chosen and how far
    // down the list it was scrolled, and whatever window has the focus keeps it.
    void refresh(ClassRecord data, const QDateTime& now);
    // The same, unless the teacher is in a dialog (the export's file chooser,
    // the class list), which works on what the window shows, or in a popup
    // of the content: then once it is closed, with the last rounds offered
    // meanwhile.
    void refreshWhenFree(ClassRecord data, const QDateTime& now);
    // Where "Liste de la classe…" reads and writes the list.
    void setClassListPlace(ClassListPlace place) { classListPlace_ = std::move(place); }
    // A button of the class's own, after the others (the server's computers).
    void addClassButton(QPushButton* button);
    // The classes the teacher chooses among, and the one shown (in the
    // title); `choose` is told the class chosen, and shows it with refresh.
    // With fewer than two classes, nothing to choose: no chooser.
    using ClassChosen = std::function<void(const QString& className)>;
    void setClasses(const QStringList& classes, const QString& shown, ClassChosen choose);
    QComboBox* classChooser() const { return classChooser_; }
    // "Toutes les classes…", beside the chooser: `reading`, called on the
    // window's thread as the table opens, gives what reads the school's
    // lines off it. The table opens a class as the chooser does.
    using SchoolReading = std::function<std::function<std::vector<ClassLine>(const Period&)>()>;
    void setSchoolReader(SchoolReading reading);
    QPushButton* schoolButton() const { return school_; }
    // Shows `className` as if the teacher had chosen it.
    void chooseClass(const QString& className);
    QString shownClass() const { return shownClass_; }

private:
    QWidget* periodBar();
    // As large as useful, never larger than the screen: a class's figures
    // and charts want room, an empty window's few lines do not.
    void sizeForWhatItShows();
    // Builds what the window shows from data_, in place of what it showed.
    // `chosen`: the pupil to show, if still in the class; `sortSection`: the
    // column the class is ordered by, or -1 for the table's own order.
    void fill(const QString& chosen, int sortSection, Qt::SortOrder sortOrder);
    void periodChosen();
    // Asks where, in the teacher's documents, then writes the rounds of the
    // period as a French CSV, or the report as a PDF.
    void exportRounds(const QString& pupil);
    void writeReport(const QString& pupil);
    QString askWhere(const QString& title, const QString& name, const QString& filter);
    void editClassList();
    // Says the level the class plays at, as `list` and the computer set it.
    void showLevel(const ClassList& list);
    void refreshWaiting();
    // Whether some of `pupils` were counted, their rounds left where they are.
    bool toRead(const std::vector<PupilRounds>& pupils) const;
    // Reads the rounds of those of `pupils` that were counted, off the
    // window's thread, then gives them all to `then` on it, unless the
    // window is gone by then. At once when there is nothing to read.
    void readThen(std::vector<PupilRounds> pupils, Detail detail,
                  std::function<void(std::vector<PupilRounds>)> then);
    // Says on `button` that what it asked for is being read, or no more.
    static void whileReading(QPushButton* button, bool reading);

    ClassRecord data_;
    QDateTime now_;
    Period period_;
    ClassSummary summary_;
    bool ownLogin_;
    bool sizedForRounds_ = false;
    ClassListPlace classListPlace_ = ClassListPlace::ownConfiguration();
    QComboBox* periodKind_ = nullptr;
    QComboBox* classChooser_ = nullptr;
    QWidget* classLine_ = nullptr;
    QLabel* classLabel_ = nullptr;
    QPushButton* school_ = nullptr;
    SchoolReading readSchool_;
    QString shownClass_;
    ClassChosen choose_;
    QDateEdit* from_ = nullptr;
    QDateEdit* to_ = nullptr;
    QLabel* level_ = nullptr;
    QPushButton* exportClass_ = nullptr;
    QPushButton* reportClass_ = nullptr;
    QHBoxLayout* classRow_ = nullptr;
    QVBoxLayout* contentPlace_ = nullptr;
    QWidget* content_ = nullptr;
    QSplitter* split_ = nullptr;
    ClassTable* table_ = nullptr;
    PupilPanel* panel_ = nullptr;
    QString shownPupil_;
    std::optional<ClassRecord> waiting_;
    QDateTime waitingNow_;
    QTimer* retry_ = nullptr;
    // The pupil's charts asked for last: an earlier reading's come too late.
    int chartsAsked_ = 0;
    std::vector<std::unique_ptr<Worker>> readings_;
};

} // namespace quiltaro
