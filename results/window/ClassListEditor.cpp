#include "ClassListEditor.h"

#include "SchoolRegister.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quiltaro {

namespace {

// What the teacher chooses from, the score's own progression first.
const char* const levelChoices[] = {"entiers-centiemes", "entiers",           "entiers-dixiemes",
                                    "dixiemes",          "dixiemes-dixiemes", "centiemes"};

} // namespace

ClassListEditor::ClassListEditor(QWidget* parent, ClassListPlace place, SystemLevel system)
    : QDialog(parent), place_(std::move(place)), system_(std::move(system)) {
    setWindowTitle(QStringLiteral("Quiltaro : liste de la classe"));
    auto* layout = new QVBoxLayout(this);
    QString text = QStringLiteral(
        "Un prénom par ligne. Quand la liste existe, chaque partie commence par « Qui joue ? » "
        "et les manches de chaque élève sont enregistrées à part, sous son prénom. Pour qu'un "
        "élève joue à un autre niveau que la classe, écrivez-le après son prénom : "
        "« Lucas : entiers » (entiers, dixiemes, centiemes, ou entiers-dixiemes...).");
    text += QLatin1Char('\n') + place_.where;
    auto* help = new QLabel(text);
    help->setWordWrap(true);
    layout->addWidget(help);
    QString problem;
    place_.read(list_, &problem);
    addLevelChoice(layout);
    editor_ = new QPlainTextEdit;
    editor_->setAccessibleName(QStringLiteral("Prénoms des élèves, un par ligne"));
    // As the teacher wrote it, comments included.
    editor_->setPlainText(classListLines(list_).join(QLatin1Char('\n')));
    layout->addWidget(editor_);
    QStringList problems = list_.levelProblems;
    if (!problem.isEmpty())
        problems.prepend(problem);
    problem_ = new QLabel(problems.join(QLatin1Char('\n')));
    problem_->setWordWrap(true);
    problem_->setStyleSheet(QStringLiteral("color: #a00000"));
    layout->addWidget(problem_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel);
    QPushButton* fromRegister = buttons->addButton(QStringLiteral("&Importer de la base élèves…"),
                                                   QDialogButtonBox::ActionRole);
    fromRegister->setToolTip(QStringLiteral("Remplit la liste avec les prénoms d'une classe de "
                                            "l'export CSV de la base élèves ; rien n'est "
                                            "enregistré avant « Enregistrer »."));
    connect(fromRegister, &QPushButton::clicked, this, &ClassListEditor::importFromDialog);
    buttons->button(QDialogButtonBox::Save)->setText(QStringLiteral("Enregistrer"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuler"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (save())
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(460, 520);
}

void ClassListEditor::addLevelChoice(QLayout* layout) {
    auto* label = new QLabel(QStringLiteral("Niveau de la classe :"));
    level_ = new QComboBox;
    label->setBuddy(level_);
    for (const char* name : levelChoices) {
        const LevelRange range = *parseLevel(name);
        level_->addItem(describeLevel(range), QString::fromLatin1(name));
    }
    const bool locked = system_.locked && system_.level;
    const std::optional<LevelRange> shown = locked ? system_.level : list_.level;
    level_->setCurrentIndex(std::max(
        0, level_->findData(QString::fromStdString(levelName(shown.value_or(LevelRange{}))))));
    layout->addWidget(label);
    layout->addWidget(level_);
    if (!locked)
        return;
    // Shown as it is played, never changed here: the school chose it.
    level_->setEnabled(false);
    auto* why = new QLabel(QStringLiteral("Le niveau est fixé pour tous les postes par "
                                          "l'administrateur de l'école (%1) : ni cette liste ni "
                                          "les niveaux écrits après les prénoms ne le changent.")
                               .arg(system_.file));
    why->setWordWrap(true);
    layout->addWidget(why);
}

bool ClassListEditor::save() {
    // Two children under one name would share one record, and the game
    // could not tell them apart in "Qui joue ?".
    if (const auto same = sameNames(editor_->toPlainText()); !same.empty()) {
        const auto& [first, second] = same.front();
        problem_->setText(
            first == second
                ? QStringLiteral("« %1 » est écrit deux fois. Si ce sont deux élèves, ajoutez "
                                 "l'initiale de leur nom : « %1 M. », « %1 R. ».")
                      .arg(first)
                : QStringLiteral("« %1 » et « %2 » ne diffèrent que par les majuscules ou les "
                                 "accents : le jeu les prendrait pour le même élève. Écrivez "
                                 "le prénom une seule fois, ou ajoutez une initiale.")
                      .arg(first, second));
        return false;
    }
    ClassList list = parseClassList(editor_->toPlainText());
    if (!list.levelProblems.isEmpty()) {
        problem_->setText(list.levelProblems.join(QLatin1Char('\n')));
        return false;
    }
    // A locked level leaves the class's own as it was, for when the lock goes.
    list.level = level_->isEnabled() ? parseLevel(level_->currentData().toString().toStdString())
                                     : list_.level;
    // The default is no line at all, unless it stands against the computer's own.
    if (list.level == LevelRange{} && !system_.level)
        list.level.reset();
    QString problem;
    if (place_.write(list, &problem)) {
        list_ = std::move(list);
        return true;
    }
    problem_->setText(problem.left(1).toUpper() + problem.mid(1));
    return false;
}

void ClassListEditor::importFromDialog() {
    const QString file = QFileDialog::getOpenFileName(
        this, QStringLiteral("L'export de la base élèves"), QString(),
        QStringLiteral("Fichiers CSV (*.csv *.CSV *.txt);;Tous les fichiers (*)"));
    if (file.isEmpty())
        return;
    importRegister(file, [this](const QStringList& classes) {
        bool ok = false;
        const QString chosen = QInputDialog::getItem(
            this, QStringLiteral("Quelle classe ?"),
            QStringLiteral("Le fichier contient plusieurs classes. Laquelle est celle de cette "
                           "liste ?"),
            classes, 0, false, &ok);
        return ok ? chosen : QString();
    });
}

bool ClassListEditor::importRegister(const QString& file, const ChooseClass& choose) {
    const SchoolRegister reg = readRegister(file);
    if (!reg.problem.isEmpty()) {
        problem_->setText(reg.problem.left(1).toUpper() + reg.problem.mid(1));
        return false;
    }
    // Classes first; a register that names none may name levels.
    QStringList choices = reg.classes();
    if (choices.isEmpty())
        choices = reg.levels();
    QString choice;
    if (choices.size() > 1) {
        choice = choose(choices);
        if (choice.isEmpty())
            return false;
    } else if (!choices.isEmpty()) {
        choice = choices.front();
    } else {
        choice = QStringLiteral("classe");
    }
    const RegisterClass chosen = chooseClass(reg, choice);
    if (!chosen.problem.isEmpty()) {
        problem_->setText(chosen.problem.left(1).toUpper() + chosen.problem.mid(1) +
                          QLatin1Char('.'));
        return false;
    }
    editor_->setPlainText(
        classListLines(withNames(parseClassList(editor_->toPlainText()), chosen.pupils))
            .join(QLatin1Char('\n')));
    problem_->setText(QStringLiteral("%1 élève(s) de la classe %2 : vérifiez la liste, puis "
                                     "« Enregistrer ».")
                          .arg(chosen.pupils.size())
                          .arg(chosen.name));
    return true;
}

} // namespace quiltaro
