#include "RecordChecks.h"

#include "RecordReading.h"

#include <QFileInfo>

namespace quiltaro {

RecordChecks::RecordChecks(const QStringList& records, QObject* parent) : QObject(parent) {
    if (records.isEmpty())
        return;
    running_ = std::async(std::launch::async, [this, records] {
        bool found = false;
        for (const QString& record : records) {
            if (stop_)
                break;
            // A file gone meanwhile was read or said missing already; one
            // that can no longer be opened is read again, which tells why.
            if (QFileInfo::exists(record) && !checkedFile(record).value_or(false))
                found = true;
        }
        if (found && !stop_)
            QMetaObject::invokeMethod(this, &RecordChecks::damaged, Qt::QueuedConnection);
        return found;
    });
}

RecordChecks::~RecordChecks() {
    stop_ = true;
    if (running_.valid())
        running_.wait();
}

bool RecordChecks::damageFound() {
    if (!found_)
        found_ = running_.valid() && running_.get();
    return *found_;
}

} // namespace quiltaro
