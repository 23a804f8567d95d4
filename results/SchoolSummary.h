#pragma once

#include "ClassRecord.h"
#include "Period.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <vector>

namespace quiltaro {

// The head teacher's view of the school: each class on one line, counted as
// the class's own view counts it.
struct ClassLine {
    QString className;
    int pupils = 0;    // listed, or with rounds
    int played = 0;    // pupils who played in the period
    qint64 rounds = 0; // played in the period
    int toFollow = 0;  // pupils the help rule flags ("À suivre")
    QString problem;   // in French, when the class could not be read
};

// The line of one class's record, as the class's view shows it.
ClassLine classLine(const QString& className, const ClassRecord& data, const Period& period,
                    const QDateTime& now);

// Every class of `classes`, each read by `read` (the class's pupils, listed
// ones included), in the order given.
using ReadOneClass = std::function<ClassRecord(const QString& className)>;
std::vector<ClassLine> schoolLines(const QStringList& classes, const ReadOneClass& read,
                                   const Period& period, const QDateTime& now);

} // namespace quiltaro
