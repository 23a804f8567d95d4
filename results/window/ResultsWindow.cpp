#include "ResultsWindow.h"

#include "ClassChoice.h"
#include "ClassTable.h"
#include "LevelSettings.h"
#include "PupilPanel.h"
#include "Pupils.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QTimer>
#include <QTranslator>
#include <QVBoxLayout>

#include <algorithm>

namespace quiltaro {

namespace {

const QLocale french(QLocale::French, QLocale::France);

QString summaryText(const ClassSummary& s) {
    const int played =
        int(std::count_if(s.pupils.begin(), s.pupils.end(),
                          [](const PupilSummary& p) { return p.counts.rounds > 0; }));
    const int rounds = s.total.rounds;
    const QString period = s.period.text();
    QString text = QStringLiteral("%1 : %2 manche%3 jouée%3 par %4 élève%5, %6 de jeu.")
                       .arg(period.left(1).toUpper() + period.mid(1))
                       .arg(french.toString(rounds))
                       .arg(rounds > 1 ? QStringLiteral("s") : QString())
                       .arg(played)
                       .arg(played > 1 ? QStringLiteral("s") : QString())
                       .arg(durationText(s.total.seconds));
    const int help = s.needHelp();
    text += help == 0 ? QStringLiteral(" Aucun élève à aider.")
                      : QStringLiteral(" %1 élève%2 à aider, en rouge.")
                            .arg(help)
                            .arg(help > 1 ? QStringLiteral("s") : QString());
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

ResultsWindow::ResultsWindow(ClassRecord data, const QDateTime& now, bool ownLogin,
                             const Period& period, QWidget* parent)
    : QWidget(parent), data_(std::move(data)), now_(now), period_(period), ownLogin_(ownLogin) {
    setWindowTitle(resultsTitle(QString()));
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(periodBar());
    contentPlace_ = new QVBoxLayout;
    contentPlace_->setContentsMargins(0, 0, 0, 0);
    outer->addLayout(contentPlace_, 1);
    resize(760, 420);
    sizeForWhatItShows();
    fill(QString(), -1, Qt::AscendingOrder);
    retry_ = new QTimer(this);
    retry_->setInterval(500);
    connect(retry_, &QTimer::timeout, this, &ResultsWindow::refreshWaiting);

    auto* fullScreen = new QShortcut(QKeySequence(Qt::Key_F11), this);
    connect(fullScreen, &QShortcut::activated, this,
            [this] { setWindowState(windowState() ^ Qt::WindowFullScreen); });
    for (const QKeySequence& key :
         {QKeySequence(Qt::Key_Escape), QKeySequence(QStringLiteral("Ctrl+W"))})
        connect(new QShortcut(key, this), &QShortcut::activated, this, &QWidget::close);
}

void ResultsWindow::sizeForWhatItShows() {
    // Once: a window the teacher has sized since keeps the teacher's size.
    if (sizedForRounds_ || data_.rounds() == 0 ||
        (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        return;
    sizedForRounds_ = true;
    const QRect available = screen() ? screen()->availableGeometry() : QRect(0, 0, 1024, 768);
    const QSize wanted(std::min(1500, available.width() * 19 / 20),
                       std::min(900, available.height() * 9 / 10));
    if (!isVisible()) {
        resize(wanted);
        return;
    }
    // A window that opened while its class was read grows about its centre,
    // its frame within the screen.
    const QRect frame = frameGeometry(), inside = geometry();
    const QMargins margins(inside.left() - frame.left(), inside.top() - frame.top(),
                           frame.right() - inside.right(), frame.bottom() - inside.bottom());
    QRect grown(QPoint(), (wanted.expandedTo(size()) + QSize(margins.left() + margins.right(),
                                                             margins.top() + margins.bottom()))
                              .boundedTo(available.size()));
    grown.moveCenter(frame.center());
    grown.moveLeft(
        std::max(available.left(), std::min(grown.left(), available.right() + 1 - grown.width())));
    grown.moveTop(
        std::max(available.top(), std::min(grown.top(), available.bottom() + 1 - grown.height())));
    setGeometry(grown.marginsRemoved(margins));
}

void ResultsWindow::fill(const QString& chosen, int sortSection, Qt::SortOrder sortOrder) {
    table_ = nullptr;
    panel_ = nullptr;
    shownPupil_.clear();
    summary_ = summarize(data_, period_, now_);
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
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
    const bool any = data_.rounds() > 0;
    exportClass_->setEnabled(summary_.total.rounds > 0);
    reportClass_->setEnabled(!summary_.pupils.empty());
    if (!any)
        text->setText(ownLogin_ ? whereTheGamesAre()
                                : QStringLiteral("Aucune partie enregistrée dans ces fichiers."));
    else
        text->setText(summaryText(summary_));
    if (const PeriodCounts trial = countsOf(data_.trial, period_); trial.rounds > 0)
        text->setText(text->text() +
                      QStringLiteral(" Vos manches d'essai sous le nom du compte (%1) sont à "
                                     "part : %2, comptées nulle part.")
                          .arg(data_.trial.name)
                          .arg(trial.rounds));
    if (!summary_.pupils.empty()) {
        split_ = new QSplitter(Qt::Horizontal);
        split_->setChildrenCollapsible(false);
        table_ = new ClassTable(summary_);
        split_->addWidget(table_);
        panel_ = new PupilPanel;
        split_->addWidget(panel_);
        split_->setStretchFactor(0, 0);
        split_->setStretchFactor(1, 1);
        layout->addWidget(split_, 1);
        connect(table_, &ClassTable::pupilChosen, this, &ResultsWindow::showPupil);
        connect(panel_->exportButton(), &QPushButton::clicked, this,
                [this] { exportRounds(shownPupil_); });
        connect(panel_->reportButton(), &QPushButton::clicked, this,
                [this] { writeReport(shownPupil_); });
    } else {
        split_ = nullptr;
        layout->addStretch(1);
    }
    // Replaces the content shown before, if any, and deletes it.
    if (content_)
        content_->deleteLater();
    content_ = content;
    contentPlace_->addWidget(content_);
    if (!table_)
        return;
    // The list as wide as its figures and a few words of reasons, no more
    // than two fifths of the window unless its figures need it: the pupil's
    // charts take the rest.
    const int share = width() < 1600 ? width() / 3 : width() * 2 / 5;
    const int listWidth =
        std::max(table_->narrowest(), std::min(table_->sizeHint().width(), share));
    split_->setSizes({listWidth, std::max(1, width() - listWidth)});
    if (sortSection >= 0)
        table_->sortByColumn(sortSection, sortOrder);
    // The pupil chosen before, or the first in the list, so that the window
    // never opens on nothing.
    const int row = table_->rowOf(chosen);
    table_->selectRow(row >= 0 ? row : 0);
}

PupilCharts* ResultsWindow::charts() const {
    return panel_ ? panel_->charts() : nullptr;
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
