#pragma once

#include "RecordStore.h"

#include <QObject>
#include <QStringList>

#include <atomic>
#include <future>
#include <optional>
#include <vector>

namespace quiltaro {

// SQLite's quick check of each record, on a thread of its own, while the
// teacher's window opens on what was read (Check::Apart): the check reads
// every page of every file, about as long as the reading itself, and damage
// that ended a scan early without an error is rare. When the check finds
// some, `damaged` tells, and the records are read again around it.
class RecordChecks final : public QObject {
    Q_OBJECT
public:
    explicit RecordChecks(const QStringList& records, QObject* parent = nullptr);
    // A window closed before the checks end: the file being checked is
    // finished, the others are left.
    ~RecordChecks() override;

    // Waits for the checks to end; whether one found damage.
    bool damageFound();

signals:
    // In the thread that made this object, once the checks have ended,
    // when one of them found damage (or could no longer open its file).
    void damaged();

private:
    std::atomic<bool> stop_{false};
    std::future<bool> running_;
    std::optional<bool> found_;
};

// What the teacher is told of the rounds of the record at `where` that hold
// an ending or a verdict a newer version wrote; empty when none does.
QString newerValuesProblem(const QString& where, const std::vector<RoundRecord>& rounds);

} // namespace quiltaro
