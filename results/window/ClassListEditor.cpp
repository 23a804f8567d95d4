#include "ClassListEditor.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quiltaro {

ClassListEditor::ClassListEditor(QWidget* parent, ClassListPlace place)
    : QDialog(parent), place_(std::move(place)) {
    setWindowTitle(QStringLiteral("Quiltaro : liste de la classe"));
    auto* layout = new QVBoxLayout(this);
    QString text = QStringLiteral(
        "Un prénom par ligne. Quand la liste existe, chaque partie commence par « Qui joue ? » "
        "et les manches de chaque élève sont enregistrées à part, sous son prénom.");
    text += QLatin1Char('\n') + place_.where;
    auto* help = new QLabel(text);
    help->setWordWrap(true);
    layout->addWidget(help);
    editor_ = new QPlainTextEdit;
    editor_->setAccessibleName(QStringLiteral("Prénoms des élèves, un par ligne"));
    QString problem;
    QStringList names;
    place_.read(names, &problem);
    editor_->setPlainText(names.join(QLatin1Char('\n')));
    layout->addWidget(editor_);
    problem_ = new QLabel(problem);
    problem_->setWordWrap(true);
    problem_->setStyleSheet(QStringLiteral("color: #a00000"));
    layout->addWidget(problem_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Save)->setText(QStringLiteral("Enregistrer"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuler"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (save())
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(460, 480);
}

bool ClassListEditor::save() {
    QStringList names;
    for (const QString& line : editor_->toPlainText().split(QLatin1Char('\n'))) {
        const QString name = line.trimmed();
        if (!name.isEmpty() && !name.startsWith(QLatin1Char('#')) && !names.contains(name))
            names << name;
    }
    QString problem;
    if (place_.write(names, &problem))
        return true;
    problem_->setText(problem.left(1).toUpper() + problem.mid(1));
    return false;
}

} // namespace quiltaro
