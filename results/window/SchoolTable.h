#pragma once

#include "SchoolSummary.h"
#include "Worker.h"

#include <QDialog>

#include <functional>
#include <memory>

class QLabel;
class QTableWidget;

namespace quiltaro {

// "Toutes les classes…": the head teacher's table of the school, one class a
// line (pupils, pupils who played in the period, rounds, pupils to follow).
// The classes are read off the window's thread, a server taking its time;
// Enter or a double click on a class opens it in the window.
class SchoolTable final : public QDialog {
    Q_OBJECT
public:
    using ReadSchool = std::function<std::vector<ClassLine>(const Period& period)>;
    using OpenClass = std::function<void(const QString& className)>;
    SchoolTable(ReadSchool read, const Period& period, OpenClass open, QWidget* parent = nullptr);
    ~SchoolTable() override;

    QTableWidget* table() const { return table_; }
    QLabel* status() const { return status_; }

signals:
    void shown(); // the classes are on screen

private:
    void showLines(const std::vector<ClassLine>& lines);
    void openChosen();

    OpenClass open_;
    QLabel* status_ = nullptr;
    QTableWidget* table_ = nullptr;
    std::unique_ptr<Worker> reading_;
};

} // namespace quiltaro
