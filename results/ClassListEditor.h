#pragma once

#include <QDialog>
#include <QStringList>

#include <functional>

class QPlainTextEdit;
class QLabel;

namespace quiltaro {

// Where the class list is kept: by default the teacher's own configuration;
// with a class's server, on the server, for every computer of the class.
struct ClassListPlace {
    QString where; // said to the teacher, in French
    // The names; false, with the reason, when they could not be read or written.
    std::function<bool(QStringList& names, QString* problem)> read;
    std::function<bool(const QStringList& names, QString* problem)> write;
    static ClassListPlace ownConfiguration();
};

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
