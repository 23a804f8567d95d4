#pragma once

#include "SendingActivity.h"
#include "Worker.h"

#include <QDialog>

#include <memory>

class QLabel;
class QTableWidget;

namespace quiltaro {

// "Postes…": which computer of the class sent each pupil's rounds and when
// the last arrived, and every computer seen with its last round, one that
// stopped sending while its class played elsewhere marked. Read from the
// class's server off the window's thread: the dialog opens at once, says it
// is reading, and fills in when the answer comes.
class ComputersPanel final : public QDialog {
    Q_OBJECT
public:
    ComputersPanel(SendingActivityReader reader, QWidget* parent = nullptr);
    ~ComputersPanel() override;

    QTableWidget* computers() const { return computers_; }
    QTableWidget* pupils() const { return pupils_; }
    QLabel* status() const { return status_; }
    // Reads again; what is shown stays until the answer comes.
    void reload();

signals:
    void shown(); // the answer is on screen, read or not

private:
    void showActivity(const SendingActivity& activity, const QString& problem);

    SendingActivityReader reader_;
    QLabel* status_ = nullptr;
    QTableWidget* computers_ = nullptr;
    QTableWidget* pupils_ = nullptr;
    std::unique_ptr<Worker> reading_;
};

} // namespace quiltaro
