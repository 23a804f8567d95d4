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
        const qint64 day = ms >= 0 ? ms / dayMs : (ms - dayMs + 1) / dayMs;
        if (day != day_) {
            day_ = day;
            const long first = offsetAt(day * dayMs), last = offsetAt((day + 1) * dayMs);
            offset_ = first == last ? std::optional<int>(int(first)) : std::nullopt;
        }
        return offset_ ? QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, *offset_)
                       : QDateTime::fromMSecsSinceEpoch(ms);
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

    static constexpr qint64 dayMs = 24 * 3600 * 1000;
    qint64 day_ = std::numeric_limits<qint64>::min();
    std::optional<int> offset_;
};

} // namespace quiltaro
