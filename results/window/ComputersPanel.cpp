#include "ComputersPanel.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace quiltaro {

namespace {

QString when(const QDateTime& t) {
    return t.isValid()
               ? QLocale(QLocale::French).toString(t.toLocalTime(), "dddd d MMMM yyyy, HH:mm")
               : QStringLiteral("jamais");
}

QTableWidget* table(const QStringList& headers) {
    auto* t = new QTableWidget(0, int(headers.size()));
    t->setHorizontalHeaderLabels(headers);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->verticalHeader()->hide();
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}

QString state(const ComputerSeen& c) {
    if (c.silentFor.isEmpty())
        return QStringLiteral("envoie");
    if (!c.last.isValid())
        return QStringLiteral("⚠ n'a encore rien envoyé, et la classe %1 a joué ailleurs")
            .arg(c.silentFor);
    return QStringLiteral("⚠ silencieux : la classe %1 a joué ailleurs un jour suivant")
        .arg(c.silentFor);
}

void setRow(QTableWidget* t, int row, const QStringList& cells) {
    for (int c = 0; c < cells.size(); ++c)
        t->setItem(row, c, new QTableWidgetItem(cells[c]));
}

} // namespace

ComputersPanel::ComputersPanel(SendingActivityReader reader, QWidget* parent)
    : QDialog(parent), reader_(std::move(reader)) {
    setWindowTitle(QStringLiteral("Postes de la classe"));
    auto* layout = new QVBoxLayout(this);
    status_ = new QLabel;
    status_->setWordWrap(true);
    layout->addWidget(status_);
    layout->addWidget(new QLabel(QStringLiteral("Les postes (rôles) qui envoient au serveur :")));
    computers_ = table({QStringLiteral("Poste"), QStringLiteral("Classes"),
                        QStringLiteral("Dernière manche reçue"), QStringLiteral("Manches"),
                        QStringLiteral("État")});
    layout->addWidget(computers_, 1);
    layout->addWidget(new QLabel(QStringLiteral("Les élèves, et d'où viennent leurs manches :")));
    pupils_ = table({QStringLiteral("Classe"), QStringLiteral("Élève"),
                     QStringLiteral("Postes (le dernier d'abord)"),
                     QStringLiteral("Dernière manche reçue")});
    layout->addWidget(pupils_, 2);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    auto* again = buttons->addButton(QStringLiteral("&Actualiser"), QDialogButtonBox::ActionRole);
    connect(again, &QPushButton::clicked, this, &ComputersPanel::reload);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(820, 560);
    reload();
}

// A reading under way is cut at once: the worker's end stops it and joins.
ComputersPanel::~ComputersPanel() = default;

void ComputersPanel::reload() {
    status_->setText(QStringLiteral("Lecture du serveur…"));
    reading_ = std::make_unique<Worker>(); // the one before ends here
    reading_->start([this, reader = reader_](std::stop_token stop) {
        SendingActivity activity;
        QString problem;
        if (!reader(activity, &problem, stop) && problem.isEmpty())
            problem = QStringLiteral("le serveur n'a pas répondu");
        if (stop.stop_requested())
            return;
        QMetaObject::invokeMethod(
            this, [this, activity, problem] { showActivity(activity, problem); },
            Qt::QueuedConnection);
    });
}

void ComputersPanel::showActivity(const SendingActivity& activity, const QString& problem) {
    if (!problem.isEmpty()) {
        status_->setText(
            QStringLiteral("Les postes n'ont pas pu être lus sur le serveur : %1.").arg(problem));
        emit shown();
        return;
    }
    int silent = 0;
    computers_->setRowCount(int(activity.computers.size()));
    for (int i = 0; i < computers_->rowCount(); ++i) {
        const ComputerSeen& c = activity.computers[size_t(i)];
        silent += !c.silentFor.isEmpty();
        setRow(computers_, i,
               {c.role, c.classes.join(QStringLiteral(", ")), when(c.last),
                QString::number(c.rounds), state(c)});
    }
    pupils_->setRowCount(int(activity.pupils.size()));
    for (int i = 0; i < pupils_->rowCount(); ++i) {
        const PupilSeen& p = activity.pupils[size_t(i)];
        setRow(pupils_, i,
               {p.className, p.pupil, p.computers.join(QStringLiteral(", ")), when(p.last)});
    }
    computers_->resizeColumnsToContents();
    pupils_->resizeColumnsToContents();
    status_->setText(silent == 0 ? QStringLiteral("Tous les postes envoient leurs manches.")
                     : silent == 1
                         ? QStringLiteral("1 poste n'envoie rien alors que sa classe a joué "
                                          "ailleurs : vérifiez-le (quiltaro --check-server sur "
                                          "le poste).")
                         : QStringLiteral("%1 postes n'envoient rien alors que leur classe a joué "
                                          "ailleurs : vérifiez-les (quiltaro --check-server sur "
                                          "chacun).")
                               .arg(silent));
    emit shown();
}

} // namespace quiltaro
