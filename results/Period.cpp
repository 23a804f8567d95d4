#include "Period.h"

#include <QLocale>

#include <algorithm>

namespace quiltaro {

namespace {

const QLocale french(QLocale::French, QLocale::France);

QString dayText(const QDate& day) {
    return french.toString(day, QStringLiteral("dddd d MMMM yyyy"));
}

// The first day of a period without one: before any round was played.
const QDate beforeAnyRound(1970, 1, 1);

QDate termStart(const QDate& today) {
    const int month = today.month();
    if (month >= 9)
        return {today.year(), 9, 1};
    return {today.year(), month >= 4 ? 4 : 1, 1};
}

QDate termEnd(const QDate& start) {
    if (start.month() == 9)
        return {start.year(), 12, 31};
    return start.month() == 1 ? QDate(start.year(), 3, 31) : QDate(start.year(), 8, 31);
}

} // namespace

Period Period::of(Kind kind, const QDate& today) {
    Period p;
    p.kind = kind;
    switch (kind) {
    case Kind::ThisWeek:
        p.first = today.addDays(1 - today.dayOfWeek());
        p.last = p.first.addDays(6);
        break;
    case Kind::LastSevenDays:
        // Today and the six days before it: on a Tuesday morning, last
        // week's games are still there.
        p.first = today.addDays(-6);
        p.last = today;
        break;
    case Kind::ThisMonth:
        p.first = QDate(today.year(), today.month(), 1);
        p.last = p.first.addMonths(1).addDays(-1);
        break;
    case Kind::SchoolTerm:
        p.first = termStart(today);
        p.last = termEnd(p.first);
        break;
    case Kind::Between:
        p.first = p.last = today;
        break;
    case Kind::Everything:
        break;
    }
    return p;
}

Period Period::between(const QDate& a, const QDate& b) {
    Period p;
    p.kind = Kind::Between;
    p.first = std::min(a, b);
    p.last = std::max(a, b);
    return p;
}

Period Period::fromTo(const QDate& from, const QDate& to, const QDate& today) {
    if (!from.isValid() && !to.isValid())
        return {};
    return between(from.isValid() ? from : beforeAnyRound, to.isValid() ? to : today);
}

bool Period::contains(const QDateTime& moment) const {
    if (!first.isValid())
        return true;
    // Compared as local days: the midnight of a day exists even when a
    // change of summer time moves its hours.
    return containsDay(moment.toLocalTime().date());
}

bool Period::containsDay(const QDate& day) const {
    return !first.isValid() || (day >= first && day <= last);
}

QString Period::text() const {
    if (!first.isValid())
        return QStringLiteral("depuis le début");
    const QString span = first == last
                             ? QStringLiteral("le %1").arg(dayText(first))
                             : QStringLiteral("du %1 au %2").arg(dayText(first), dayText(last));
    if (kind == Kind::Between)
        return span;
    return QStringLiteral("%1 (%2)").arg(periodKindName(kind).toLower(), span);
}

QString Period::fileWords() const {
    if (!first.isValid())
        return QStringLiteral("tout");
    return first.toString(Qt::ISODate) + QLatin1Char('_') + last.toString(Qt::ISODate);
}

QString periodKindName(Period::Kind kind) {
    switch (kind) {
    case Period::Kind::ThisWeek:
        return QStringLiteral("Cette semaine");
    case Period::Kind::LastSevenDays:
        return QStringLiteral("Les 7 derniers jours");
    case Period::Kind::ThisMonth:
        return QStringLiteral("Ce mois-ci");
    case Period::Kind::SchoolTerm:
        return QStringLiteral("Ce trimestre");
    case Period::Kind::Everything:
        return QStringLiteral("Depuis le début");
    case Period::Kind::Between:
        return QStringLiteral("Entre deux dates");
    }
    return QString();
}

PupilRounds inPeriod(const PupilRounds& pupil, const Period& period) {
    if (!period.first.isValid())
        return pupil;
    // Counts are of every day: the figures take the period apart.
    PupilRounds kept{pupil.name, {}, pupil.className, pupil.counted};
    std::copy_if(pupil.rounds.begin(), pupil.rounds.end(), std::back_inserter(kept.rounds),
                 [&](const RoundRecord& r) { return period.contains(r.started); });
    return kept;
}

ClassRecord inPeriod(const ClassRecord& data, const Period& period) {
    ClassRecord kept;
    kept.files = data.files;
    kept.problems = data.problems;
    kept.damaged = data.damaged;
    kept.trial = data.trial;
    kept.readRounds = data.readRounds;
    for (const PupilRounds& p : data.pupils)
        kept.pupils.push_back(inPeriod(p, period));
    return kept;
}

QDate parseDay(const QString& text) {
    const QString day = text.trimmed().toLower();
    const QLocale french(QLocale::French, QLocale::France);
    for (const char* format : {"yyyy-MM-dd", "d/M/yyyy", "d.M.yyyy", "d-M-yyyy", "d MMMM yyyy"}) {
        const QDate date = format[0] == 'y' ? QDate::fromString(day, QLatin1String(format))
                                            : french.toDate(day, QLatin1String(format));
        if (date.isValid())
            return date;
    }
    // "1er septembre 2024", as it is written in French.
    if (day.contains(QLatin1String("1er ")))
        return parseDay(QString(day).replace(QLatin1String("1er "), QLatin1String("1 ")));
    return {};
}

} // namespace quiltaro
