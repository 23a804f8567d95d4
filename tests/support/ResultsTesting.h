#pragma once

// What the results window's suites share: a class that played.
#include "ClassRecord.h"
#include "ClassTesting.h"

namespace quiltaro::test {

// A Wednesday; the week started on Monday 30 November.
inline QDateTime wednesday() {
    return {QDate(2026, 12, 2), QTime(16, 0), Qt::UTC};
}

// A class of thirty, each pupil with one game won the day before `now`.
inline ClassRecord thirtyWhoPlayedTheDayBefore(const QDateTime& now) {
    ClassRecord data;
    for (int i = 1; i <= 30; ++i) {
        const QString name = QStringLiteral("Élève %1").arg(i, 2, 10, QLatin1Char('0'));
        data.pupils.push_back({name, {played("g-" + name, now.addDays(-1), 0, 2, 3, Ending::Won)}});
    }
    return data;
}

} // namespace quiltaro::test
