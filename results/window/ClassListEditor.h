#pragma once

#include "ClassListPlace.h"

#include <QDialog>

class QPlainTextEdit;
class QLabel;

namespace quiltaro {

// The class list, one first name a line, edited where the teacher reads the
// results: the pupils then choose their name when a game starts.
class ClassListEditor final : public QDialog {
    Q_OBJECT
public:
    explicit ClassListEditor(QWidget* parent = nullptr,
                             ClassListPlace place = ClassListPlace::ownConfiguration());
    QPlainTextEdit* editor() const { return editor_; }
    // Writes the list; false, with the reason shown, when it could not.
    bool save();

private:
    ClassListPlace place_;
    QPlainTextEdit* editor_;
    QLabel* problem_;
};

} // namespace quiltaro
