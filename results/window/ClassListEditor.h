#pragma once

#include "ClassListPlace.h"
#include "LevelSettings.h"

#include <QDialog>

#include <functional>

class QComboBox;
class QPlainTextEdit;
class QLabel;

namespace quiltaro {

// The class list, one first name a line, edited where the teacher reads the
// results: the pupils then choose their name when a game starts. The level
// the class plays at is chosen beside it, unless the school's administrator
// set it for every computer; a pupil's own is written after the name.
class ClassListEditor final : public QDialog {
    Q_OBJECT
public:
    explicit ClassListEditor(QWidget* parent = nullptr,
                             ClassListPlace place = ClassListPlace::ownConfiguration(),
                             SystemLevel system = readSystemLevel());
    QPlainTextEdit* editor() const { return editor_; }
    QComboBox* level() const { return level_; }
    // Writes the list; false, with the reason shown, when it could not.
    bool save();
    // The list as last written.
    const ClassList& saved() const { return list_; }
    // The names of one class of the school register's export at `file`, in
    // place of those edited (not yet written): the class asked with
    // `choose` among those of the file when there are several. False, with
    // the reason shown, when none was taken.
    using ChooseClass = std::function<QString(const QStringList& classes)>;
    bool importRegister(const QString& file, const ChooseClass& choose);

private:
    void addLevelChoice(QLayout* layout);
    void importFromDialog();

    ClassListPlace place_;
    SystemLevel system_;
    ClassList list_;
    QPlainTextEdit* editor_;
    QComboBox* level_ = nullptr;
    QLabel* problem_;
};

} // namespace quiltaro
