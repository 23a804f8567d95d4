#include "SchoolTable.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>
#include <QVBoxLayout>

namespace quiltaro {

namespace {

QTableWidgetItem* cell(const QString& text, Qt::Alignment alignment = Qt::AlignRight) {
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(alignment | Qt::AlignVCenter);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

} // namespace

SchoolTable::SchoolTable(ReadSchool read, const Period& period, OpenClass open, QWidget* parent)
    : QDialog(parent), open_(std::move(open)) {
    setWindowTitle(QStringLiteral("Toutes les classes"));
    auto* layout = new QVBoxLayout(this);
    status_ = new QLabel(QStringLiteral("Lecture des classes…"));
    status_->setWordWrap(true);
    layout->addWidget(status_);
    table_ = new QTableWidget(0, 5);
    table_->setHorizontalHeaderLabels({QStringLiteral("Classe"), QStringLiteral("Élèves"),
                                       QStringLiteral("Élèves qui ont joué"),
                                       QStringLiteral("Manches"), QStringLiteral("À suivre")});
    table_->setAccessibleName(QStringLiteral("Classes de l'école"));
    table_->setAccessibleDescription(
        QStringLiteral("Entrée ouvre la classe choisie dans la fenêtre des résultats"));
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setTabKeyNavigation(false);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(table_, 1);
    auto* buttons = new QDialogButtonBox;
    QPushButton* openButton =
        buttons->addButton(QStringLiteral("&Ouvrir la classe"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QDialogButtonBox::Close);
    layout->addWidget(buttons);
    connect(openButton, &QPushButton::clicked, this, &SchoolTable::openChosen);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(table_, &QTableWidget::cellActivated, this, &SchoolTable::openChosen);
    resize(720, 420);
    reading_ = std::make_unique<Worker>();
    reading_->start([this, read = std::move(read), period](std::stop_token stop) {
        const std::vector<ClassLine> lines = read(period);
        if (stop.stop_requested())
            return;
        QMetaObject::invokeMethod(
            this, [this, lines] { showLines(lines); }, Qt::QueuedConnection);
    });
}

// A reading under way is waited for by the worker's end.
SchoolTable::~SchoolTable() = default;

void SchoolTable::showLines(const std::vector<ClassLine>& lines) {
    table_->setRowCount(int(lines.size()));
    QStringList problems;
    for (int row = 0; row < int(lines.size()); ++row) {
        const ClassLine& line = lines[size_t(row)];
        table_->setItem(row, 0, cell(line.className, Qt::AlignLeft));
        table_->setItem(row, 1, cell(QString::number(line.pupils)));
        table_->setItem(row, 2, cell(QString::number(line.played)));
        table_->setItem(row, 3, cell(QString::number(line.rounds)));
        table_->setItem(row, 4, cell(QString::number(line.toFollow)));
        if (!line.problem.isEmpty())
            problems << QStringLiteral("%1 : %2").arg(line.className, line.problem);
    }
    status_->setText(problems.isEmpty()
                         ? QStringLiteral("%1 classe%2. Entrée ouvre la classe choisie.")
                               .arg(lines.size())
                               .arg(lines.size() > 1 ? QStringLiteral("s") : QString())
                         : problems.join(QLatin1Char('\n')));
    if (!lines.empty())
        table_->selectRow(0);
    table_->setFocus();
    emit shown();
}

void SchoolTable::openChosen() {
    const int row = table_->currentRow();
    if (row < 0 || !table_->item(row, 0))
        return;
    const QString className = table_->item(row, 0)->text();
    accept();
    open_(className);
}

} // namespace quiltaro
