#pragma once

#include <QDateTime>

#include <ctime>
#include <limits>
#include <optional>

namespace quiltaro {

// Instants turned into local times, many at a time, as a record is read.
// Qt asks the C library for each local time, some microseconds apiece:
// seconds for a million rounds. The offset from UTC is asked at both ends of
// a day instead; where they agree the clocks did not change that day, and
// the times carry that offset. A day they changed is asked time by time.
class LocalTimes {
public:
    QDateTime at(qint64 ms) {
        setDay(ms);
        return offset_ ? QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, *offset_)
                       : QDateTime::fromMSecsSinceEpoch(ms);
    }
    // The local day of `ms`, as at(ms).date(), without a time made for it.
    QDate dayAt(qint64 ms) {
        setDay(ms);
        if (!offset_)
            return QDateTime::fromMSecsSinceEpoch(ms).date();
        const qint64 local = ms + qint64(*offset_) * 1000;
        return QDate::fromJulianDay((local >= 0 ? local / dayMs : (local - dayMs + 1) / dayMs) +
                                    epochJulianDay);
    }

private:
    // The offset from UTC at a whole second, in seconds. Asked through Qt,
    // each offset made the C library look at /etc/localtime again when TZ is
    // not set (a path lookup, a third of the reading of a record spread over
    // years); localtime_r reads the same rules without it.
    static long offsetAt(qint64 ms) {
        const auto seconds = static_cast<std::time_t>(ms / 1000);
        std::tm local{};
        if (!localtime_r(&seconds, &local))
            return QDateTime::fromMSecsSinceEpoch(ms).offsetFromUtc();
        return local.tm_gmtoff;
    }

    void setDay(qint64 ms) {
        const qint64 day = ms >= 0 ? ms / dayMs : (ms - dayMs + 1) / dayMs;
        if (day == day_)
            return;
        day_ = day;
        const long first = offsetAt(day * dayMs), last = offsetAt((day + 1) * dayMs);
        offset_ = first == last ? std::optional<int>(int(first)) : std::nullopt;
    }

    static constexpr qint64 dayMs = 24 * 3600 * 1000;
    static constexpr qint64 epochJulianDay = 2440588; // 1970-01-01
    qint64 day_ = std::numeric_limits<qint64>::min();
    std::optional<int> offset_;
};

} // namespace quiltaro
