#include "ResultsWindow.h"

#include "ClassChoice.h"
#include "LevelSettings.h"
#include "SchoolTable.h"

#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

// The bar above the class: the period looked at, the class list and the
// class's exports.
namespace quiltaro {

namespace {

QPushButton* button(const QString& text, const QString& tip) {
    auto* b = new QPushButton(text);
    b->setToolTip(tip);
    b->setAutoDefault(true); // Enter presses it too, as Space does
    return b;
}

} // namespace

QWidget* ResultsWindow::periodBar() {
    auto* bar = new QWidget;
    auto* rows = new QVBoxLayout(bar);
    rows->setContentsMargins(0, 0, 0, 0);
    // The class first, on a line of its own that takes nothing from the
    // period's and the class's buttons: what follows is the chosen class's.
    classLine_ = new QWidget;
    auto* classRow = new QHBoxLayout(classLine_);
    classRow->setContentsMargins(0, 0, 0, 0);
    auto* row = new QHBoxLayout;
    rows->addWidget(classLine_);
    rows->addLayout(row);
    classLabel_ = new QLabel(QStringLiteral("Cla&sse :"));
    classChooser_ = new QComboBox;
    classChooser_->setAccessibleName(QStringLiteral("Classe"));
    classChooser_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    classLabel_->setBuddy(classChooser_);
    school_ = button(QStringLiteral("&Toutes les classes…"),
                     QStringLiteral("Chaque classe sur une ligne : ses élèves, ceux qui ont joué "
                                    "pendant la période, ses manches et les élèves à suivre"));
    school_->hide();
    classRow->addWidget(classLabel_);
    classRow->addWidget(classChooser_);
    classRow->addWidget(school_);
    classRow->addStretch(1);
    classLine_->hide();
    connect(classChooser_, &QComboBox::activated, this,
            [this](int index) { chooseClass(classChooser_->itemText(index)); });
    connect(school_, &QPushButton::clicked, this, [this] {
        auto* table = new SchoolTable(
            readSchool_(), period_, [this](const QString& className) { chooseClass(className); },
            this);
        table->setAttribute(Qt::WA_DeleteOnClose);
        table->show();
    });
    auto* label = new QLabel(QStringLiteral("P&ériode :"));
    periodKind_ = new QComboBox;
    label->setBuddy(periodKind_);
    for (auto kind : {Period::Kind::ThisWeek, Period::Kind::LastSevenDays, Period::Kind::ThisMonth,
                      Period::Kind::SchoolTerm, Period::Kind::Everything, Period::Kind::Between})
        periodKind_->addItem(periodKindName(kind), int(kind));
    periodKind_->setCurrentIndex(periodKind_->findData(int(period_.kind)));
    periodKind_->setAccessibleName(QStringLiteral("Période"));
    from_ = new QDateEdit;
    to_ = new QDateEdit;
    for (QDateEdit* edit : {from_, to_}) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
        edit->setDate(period_.first.isValid() ? (edit == from_ ? period_.first : period_.last)
                                              : now_.date());
    }
    from_->setAccessibleName(QStringLiteral("Premier jour"));
    to_->setAccessibleName(QStringLiteral("Dernier jour"));
    auto* dash = new QLabel(QStringLiteral("au"));
    row->addWidget(label);
    row->addWidget(periodKind_);
    row->addWidget(from_);
    row->addWidget(dash);
    row->addWidget(to_);
    const auto showDates = [this, dash] {
        const bool between = periodKind_->currentData().toInt() == int(Period::Kind::Between);
        for (QWidget* w : {static_cast<QWidget*>(from_), static_cast<QWidget*>(dash),
                           static_cast<QWidget*>(to_)})
            w->setVisible(between);
    };
    showDates();
    connect(periodKind_, &QComboBox::currentIndexChanged, this, [this, showDates] {
        showDates();
        periodChosen();
    });
    connect(from_, &QDateEdit::dateChanged, this, &ResultsWindow::periodChosen);
    connect(to_, &QDateEdit::dateChanged, this, &ResultsWindow::periodChosen);
    row->addStretch(1);
    // The class's buttons; a control of the same height fits beside them.
    auto* classList =
        button(QStringLiteral("&Liste de la classe…"),
               QStringLiteral("Écrire les prénoms des élèves qui partagent ce compte"));
    connect(classList, &QPushButton::clicked, this, &ResultsWindow::editClassList);
    level_ = new QLabel;
    level_->setWordWrap(true); // narrower than its words on a small screen
    showLevel(classListPlace_.localFile.isEmpty() ? ClassList()
                                                  : readClassListFile(classListPlace_.localFile));
    row->addWidget(level_);
    row->addWidget(classList);
    exportClass_ = button(QStringLiteral("Exporter la classe (&CSV)…"),
                          QStringLiteral("Les manches de tous les élèves pendant la période, une "
                                         "ligne par manche, pour un tableur"));
    connect(exportClass_, &QPushButton::clicked, this, [this] { exportRounds(QString()); });
    row->addWidget(exportClass_);
    reportClass_ = button(QStringLiteral("&Rapport PDF de la classe…"),
                          QStringLiteral("La classe et chaque élève pendant la période, en pages "
                                         "A4 à imprimer"));
    connect(reportClass_, &QPushButton::clicked, this, [this] { writeReport(QString()); });
    row->addWidget(reportClass_);
    classRow_ = row;
    return bar;
}

void ResultsWindow::addClassButton(QPushButton* button) {
    classRow_->addWidget(button);
}

void ResultsWindow::chooseClass(const QString& className) {
    if (className == shownClass_ || !choose_)
        return;
    shownClass_ = className;
    setWindowTitle(resultsTitle(className));
    const QSignalBlocker quiet(classChooser_);
    classChooser_->setCurrentIndex(classChooser_->findText(className));
    choose_(className);
}

void ResultsWindow::setSchoolReader(SchoolReading reading) {
    readSchool_ = std::move(reading);
    school_->setVisible(readSchool_ && classChooser_->count() > 1);
}

void ResultsWindow::setClasses(const QStringList& classes, const QString& shown,
                               ClassChosen choose) {
    choose_ = std::move(choose);
    shownClass_ = shown;
    setWindowTitle(resultsTitle(shown));
    const QSignalBlocker quiet(classChooser_);
    classChooser_->clear();
    classChooser_->addItems(classes);
    classChooser_->setCurrentIndex(classes.indexOf(shown));
    const bool several = classes.size() > 1;
    classLine_->setVisible(several);
    // The class's level goes beside its name, where it has room: the row
    // below is full of buttons on a small screen.
    if (several)
        classLine_->layout()->addWidget(level_);
    school_->setVisible(several && readSchool_);
}

void ResultsWindow::periodChosen() {
    const auto kind = Period::Kind(periodKind_->currentData().toInt());
    const Period period = kind == Period::Kind::Between
                              ? Period::between(from_->date(), to_->date())
                              : Period::of(kind, now_.toLocalTime().date());
    if (period.kind == period_.kind && period.first == period_.first && period.last == period_.last)
        return;
    period_ = period;
    refresh(data_, now_);
}

void ResultsWindow::setPeriod(const Period& period) {
    const QSignalBlocker a(periodKind_), b(from_), c(to_);
    periodKind_->setCurrentIndex(periodKind_->findData(int(period.kind)));
    if (period.first.isValid()) {
        from_->setDate(period.first);
        to_->setDate(period.last);
    }
    from_->setVisible(period.kind == Period::Kind::Between);
    to_->setVisible(period.kind == Period::Kind::Between);
    period_ = period;
    refresh(data_, now_);
}

} // namespace quiltaro
