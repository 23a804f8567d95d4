#include "RecordChecks.h"

#include "RecordReading.h"

#include <QFileInfo>

#include <algorithm>

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

// Rounds that hold an ending or a verdict a newer version wrote are read,
// and counted as none of this version's: the teacher hears how many.
QString newerValuesProblem(const QString& where, const std::vector<RoundRecord>& rounds) {
    const auto n = std::count_if(rounds.begin(), rounds.end(),
                                 [](const RoundRecord& r) { return r.holdsUnknown(); });
    if (n == 0)
        return QString();
    return QStringLiteral("%1 : %2 manche%3 %4 des valeurs écrites par une version plus récente "
                          "de Quiltaro, que celle-ci ne connaît pas (elles ne sont comptées ni "
                          "comme trouvées, ni comme abandonnées, ni comme réponses en dehors) ; "
                          "installez ici la même version que sur les postes des élèves")
        .arg(where)
        .arg(n)
        .arg(n > 1 ? QStringLiteral("s") : QString(),
             n > 1 ? QStringLiteral("contiennent") : QStringLiteral("contient"));
}

} // namespace quiltaro
