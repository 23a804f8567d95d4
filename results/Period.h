#pragma once

#include "ClassRecord.h"

#include <QDate>
#include <QDateTime>
#include <QString>

namespace quiltaro {

// The span of days a teacher looks at: the table, the charts, the report and
// the CSV follow it. Days are local and whole: a period runs from the first
// day's midnight to the midnight after its last day, whatever a change of
// summer time makes of the hours between.
struct Period {
    enum class Kind { ThisWeek, LastSevenDays, ThisMonth, SchoolTerm, Everything, Between };
    Kind kind = Kind::Everything;
    QDate first; // invalid for everything
    QDate last;  // the last day included; invalid for everything

    // The period of that kind that holds `today`. A school term is the
    // French one: September to December, January to March, April to August.
    static Period of(Kind kind, const QDate& today);
    // Two days, in either order.
    static Period between(const QDate& a, const QDate& b);
    // --from and --to: either may be missing, for no limit on that side
    // (the end then today); neither, everything.
    static Period fromTo(const QDate& from, const QDate& to, const QDate& today);

    bool contains(const QDateTime& moment) const;
    bool containsDay(const QDate& day) const;
    // Said to the teacher: "cette semaine (du lundi 30 novembre au dimanche
    // 6 décembre 2026)", "depuis le début".
    QString text() const;
    // A few words for a file name: "2026-11-30_2026-12-06", or "tout".
    QString fileWords() const;
};

// The names of the kinds, as the window offers them.
QString periodKindName(Period::Kind kind);

// The rounds of each pupil that started within the period; pupils without
// any keep their line. Counted rounds stay counted whole.
ClassRecord inPeriod(const ClassRecord& data, const Period& period);
PupilRounds inPeriod(const PupilRounds& pupil, const Period& period);

// A day as a French teacher writes it (1/9/2024, 01.09.2024, 1 septembre
// 2024) or in ISO 8601 (2024-09-01); invalid when it is none of those.
QDate parseDay(const QString& text);

} // namespace quiltaro
