#include "ResultsWindow.h"

#include "LevelSettings.h"

#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

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
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
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
