#include "ResultsWindow.h"

#include "ClassListEditor.h"
#include "ClassTable.h"
#include "FrenchCsv.h"
#include "LevelSettings.h"
#include "PupilCharts.h"
#include "Pupils.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QTextStream>
#include <QTimer>
#include <QTranslator>
#include <QVBoxLayout>

#include <algorithm>

namespace quiltaro {

namespace {

const QLocale french(QLocale::French, QLocale::France);

QLabel* heading(const QString& text, double scale) {
    auto* label = new QLabel(text);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * scale);
    font.setBold(true);
    label->setFont(font);
    return label;
}

QString summary(const ClassRecord& data) {
    const size_t pupils = std::count_if(data.pupils.begin(), data.pupils.end(),
                                        [](const PupilRounds& p) { return !p.rounds.empty(); });
    const size_t rounds = data.rounds();
    QString text =
        QStringLiteral("%1 enregistrée%2, %3 élève%4.")
            .arg(rounds == 1
                     ? QStringLiteral("1 manche")
                     : QStringLiteral("%1 manches").arg(french.toString(qulonglong(rounds))),
                 rounds == 1 ? QString() : QStringLiteral("s"))
            .arg(pupils)
            .arg(pupils == 1 ? QString() : QStringLiteral("s"));
    text += QStringLiteral(" Plus le score monte, plus le nombre rouge est précis : un nombre "
                           "entier de 0 à 2 points, un dixième de 3 à 6 points, un centième à "
                           "partir de 7 points, sauf quand un niveau est choisi pour la classe "
                           "ou l'élève ; chaque manche compte au niveau où elle a été jouée. "
                           "Choisissez un élève dans le tableau pour voir ses "
                           "graphiques.");
    return text;
}

// Where the games of the pupils are, for a teacher who finds none here.
QString whereTheGamesAre() {
    const QString data = QDir::toNativeSeparators(QFileInfo(RecordStore::defaultPath()).path());
    QString text = QStringLiteral(
        "Aucune partie enregistrée pour l'instant dans ce compte. Chaque élève qui joue avec "
        "son propre compte garde ses parties dans son dossier personnel, dans "
        ".local/share/quiltaro/record.sqlite. Pour les voir toutes ici, copiez ces dossiers "
        "(ou une clé USB qui les contient) et ouvrez-les avec :\n\n"
        "    quiltaro --results DOSSIER\n\n"
        "Chaque fichier record.sqlite trouvé dans le dossier est lu sans être modifié, et les "
        "manches sont réunies élève par élève.");
    if (!classListFile().isEmpty())
        text += QStringLiteral(" Sur ce compte, les parties des élèves de la liste de la classe "
                               "sont dans %1/eleves/.")
                    .arg(data);
    return text;
}

} // namespace

bool installQtFrench(QTranslator& translator) {
    // French whatever the desktop's language: every word of the window is.
    return translator.load(french, QStringLiteral("qtbase"), QStringLiteral("_"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
           QCoreApplication::installTranslator(&translator);
}

ResultsWindow::ResultsWindow(ClassRecord data, const QDateTime& now, bool ownLogin, QWidget* parent)
    : QWidget(parent), data_(std::move(data)), ownLogin_(ownLogin) {
    setWindowTitle(QStringLiteral("Quiltaro : résultats"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    scroll_ = new QScrollArea;
    scroll_->setWidgetResizable(true);
    scroll_->setFrameShape(QFrame::NoFrame);
    outer->addWidget(scroll_);
    fill(now, QString(), -1, Qt::AscendingOrder);
    retry_ = new QTimer(this);
    retry_->setInterval(500);
    connect(retry_, &QTimer::timeout, this, &ResultsWindow::refreshWaiting);

    auto* fullScreen = new QShortcut(QKeySequence(Qt::Key_F11), this);
    connect(fullScreen, &QShortcut::activated, this,
            [this] { setWindowState(windowState() ^ Qt::WindowFullScreen); });
    for (const QKeySequence& key :
         {QKeySequence(Qt::Key_Escape), QKeySequence(QStringLiteral("Ctrl+W"))})
        connect(new QShortcut(key, this), &QShortcut::activated, this, &QWidget::close);

    // As large as useful, never larger than the screen: the rest scrolls.
    const QRect available = screen() ? screen()->availableGeometry() : QRect(0, 0, 1024, 768);
    const QSize wanted = data_.rounds() > 0 ? QSize(1800, 1000) : QSize(720, 360);
    resize(std::min(wanted.width(), available.width() * 19 / 20),
           std::min(wanted.height(), available.height() * 9 / 10));
}

void ResultsWindow::fill(const QDateTime& now, const QString& chosen, int sortSection,
                         Qt::SortOrder sortOrder) {
    table_ = nullptr;
    pupilLayout_ = nullptr;
    pupilTitle_ = nullptr;
    pupilExport_ = nullptr;
    charts_ = nullptr;
    shownPupil_.clear();
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    addHeading(layout);
    std::vector<PupilFigures> figures;
    for (const PupilRounds& p : data_.pupils)
        figures.push_back(figuresOf(p, now));
    if (!figures.empty()) {
        addClass(layout, figures);
        addPupilPlace(layout);
    }
    layout->addStretch();
    // Replaces the content shown before, if any, and deletes it.
    scroll_->setWidget(content);
    if (table_)
        choosePupil(chosen, sortSection, sortOrder);
}

void ResultsWindow::addHeading(QVBoxLayout* layout) {
    auto* top = new QHBoxLayout;
    top->addWidget(heading(QStringLiteral("Résultats"), 1.6), 1);
    auto* classList = new QPushButton(QStringLiteral("Liste de la classe…"));
    classList->setToolTip(QStringLiteral("Écrire les prénoms des élèves qui partagent ce compte"));
    connect(classList, &QPushButton::clicked, this, &ResultsWindow::editClassList);
    level_ = new QLabel;
    level_->setWordWrap(true);
    showLevel(classListPlace_.localFile.isEmpty() ? ClassList()
                                                  : readClassListFile(classListPlace_.localFile));
    top->addWidget(level_);
    top->addWidget(classList);
    layout->addLayout(top);

    for (const QString& problem : data_.problems) {
        auto* warning = new QLabel(QStringLiteral("Attention : %1.").arg(problem));
        warning->setWordWrap(true);
        warning->setStyleSheet(QStringLiteral("color: #a00000"));
        layout->addWidget(warning);
    }
    auto* text = new QLabel;
    text->setWordWrap(true);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(text);
    if (data_.rounds() > 0)
        text->setText(summary(data_));
    else
        text->setText(ownLogin_ ? whereTheGamesAre()
                                : QStringLiteral("Aucune partie enregistrée dans ces fichiers."));
}

void ResultsWindow::addClass(QVBoxLayout* layout, const std::vector<PupilFigures>& figures) {
    auto* row = new QHBoxLayout;
    row->addWidget(heading(QStringLiteral("La classe"), 1.2), 1);
    auto* exportButton = new QPushButton(QStringLiteral("Exporter la classe en CSV…"));
    exportButton->setToolTip(QStringLiteral(
        "Toutes les manches de tous les élèves, une ligne par manche, pour un tableur"));
    connect(exportButton, &QPushButton::clicked, this,
            [this] { exportRounds(data_.pupils, QStringLiteral("resultats-classe.csv")); });
    exportButton->setEnabled(data_.rounds() > 0);
    row->addWidget(exportButton);
    layout->addLayout(row);
    auto* legend = new QLabel(ClassTable::stuckExplanation());
    legend->setWordWrap(true);
    layout->addWidget(legend);
    table_ = new ClassTable(figures);
    // Every line shown without a scroll bar of its own, up to a class
    // of about thirty; the window scrolls instead.
    const int rows = std::min<int>(int(figures.size()), 32);
    table_->setFixedHeight(table_->horizontalHeader()->sizeHint().height() +
                           rows * table_->verticalHeader()->defaultSectionSize() +
                           table_->horizontalScrollBar()->sizeHint().height() +
                           2 * table_->frameWidth());
    layout->addWidget(table_);
    connect(table_, &ClassTable::pupilChosen, this, &ResultsWindow::showPupil);
    // The table has no scroll bar of its own: the window follows the
    // line chosen with the keyboard.
    connect(table_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                const QRect cell = table_->visualRect(current);
                const QPoint centre = table_->viewport()->mapTo(scroll_->widget(), cell.center());
                scroll_->ensureVisible(centre.x(), centre.y(), cell.width() / 2 + 8, cell.height());
            });
}

void ResultsWindow::addPupilPlace(QVBoxLayout* layout) {
    auto* pupilRow = new QHBoxLayout;
    pupilTitle_ = heading(QString(), 1.2);
    pupilRow->addWidget(pupilTitle_, 1);
    pupilExport_ = new QPushButton(QStringLiteral("Exporter cet élève en CSV…"));
    pupilExport_->setToolTip(QStringLiteral("Les manches de cet élève seul, pour un tableur"));
    pupilExport_->hide();
    connect(pupilExport_, &QPushButton::clicked, this, [this] {
        if (const PupilRounds* pupil = data_.pupil(shownPupil_))
            exportRounds({*pupil}, QStringLiteral("resultats-%1.csv").arg(shownPupil_));
    });
    pupilRow->addWidget(pupilExport_);
    layout->addLayout(pupilRow);
    pupilLayout_ = new QVBoxLayout;
    layout->addLayout(pupilLayout_);
}

void ResultsWindow::choosePupil(const QString& chosen, int sortSection, Qt::SortOrder sortOrder) {
    if (sortSection >= 0)
        table_->sortByColumn(sortSection, sortOrder);
    if (const int row = table_->rowOf(chosen); row >= 0) {
        table_->selectRow(row);
        return;
    }
    // The first who played, so that the window never opens on nothing.
    for (const PupilRounds& p : data_.pupils)
        if (!p.rounds.empty()) {
            table_->selectRow(table_->rowOf(p.name));
            break;
        }
}

void ResultsWindow::showPupil(const QString& name) {
    const PupilRounds* pupil = data_.pupil(name);
    if (!pupil || !pupilLayout_ || name == shownPupil_)
        return;
    shownPupil_ = name;
    delete charts_;
    charts_ = nullptr;
    pupilExport_->setVisible(!pupil->rounds.empty());
    if (pupil->rounds.empty()) {
        pupilTitle_->setText(QStringLiteral("%1 : aucune manche jouée").arg(name));
        return;
    }
    pupilTitle_->setText(name);
    charts_ = new PupilCharts(*pupil);
    pupilLayout_->addWidget(charts_);
}

void ResultsWindow::exportRounds(const std::vector<PupilRounds>& rounds, const QString& name) {
    const QString suggested =
        QDir::home().filePath(QString(name).replace(QLatin1Char('/'), QLatin1Char('-')));
    const QString file =
        QFileDialog::getSaveFileName(this, QStringLiteral("Exporter les résultats"), suggested,
                                     QStringLiteral("Tableur CSV (*.csv)"));
    if (file.isEmpty())
        return;
    QSaveFile out(file);
    if (out.open(QIODevice::WriteOnly)) {
        QTextStream text(&out);
        writeFrenchCsv(withGuesses(rounds, data_.files), text);
        if (text.status() == QTextStream::Ok && out.commit())
            return;
    }
    QMessageBox::warning(this, QStringLiteral("Exporter les résultats"),
                         QStringLiteral("Le fichier %1 n'a pas pu être écrit (%2).")
                             .arg(QDir::toNativeSeparators(file), out.errorString()));
}

void ResultsWindow::editClassList() {
    ClassListEditor editor(this, classListPlace_);
    if (editor.exec() == QDialog::Accepted)
        showLevel(editor.saved());
}

void ResultsWindow::showLevel(const ClassList& list) {
    const SystemLevel system = readSystemLevel();
    QString text = QStringLiteral("Niveau de la classe : %1").arg(describeClassLevel(system, list));
    // What the game told on its terminal, where no teacher reads it.
    for (const QString& problem : list.levelProblems + QStringList{system.problem})
        if (!problem.isEmpty())
            text += QStringLiteral("\nAttention : ") + problem;
    level_->setText(text);
}

} // namespace quiltaro
