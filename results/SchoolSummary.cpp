#include "SchoolSummary.h"

#include "ClassSummary.h"

namespace quiltaro {

ClassLine classLine(const QString& className, const ClassRecord& data, const Period& period,
                    const QDateTime& now) {
    ClassLine line;
    line.className = className;
    // The help rule and the rounds of the period, as the class's table has them.
    const ClassSummary summary = summarize(data, period, now);
    for (const PupilSummary& p : summary.pupils) {
        ++line.pupils;
        if (p.counts.rounds > 0)
            ++line.played;
        line.rounds += p.counts.rounds;
        if (p.help.needsHelp())
            ++line.toFollow;
    }
    if (!data.problems.isEmpty())
        line.problem = data.problems.join(QStringLiteral(" ; "));
    return line;
}

std::vector<ClassLine> schoolLines(const QStringList& classes, const ReadOneClass& read,
                                   const Period& period, const QDateTime& now) {
    std::vector<ClassLine> lines;
    for (const QString& className : classes)
        lines.push_back(classLine(className, read(className), period, now));
    return lines;
}

} // namespace quiltaro
