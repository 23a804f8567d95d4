#pragma once

#include <QDateTime>

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
            const int first = QDateTime::fromMSecsSinceEpoch(day * dayMs).offsetFromUtc();
            const int last = QDateTime::fromMSecsSinceEpoch((day + 1) * dayMs).offsetFromUtc();
            offset_ = first == last ? std::optional<int>(first) : std::nullopt;
        }
        return offset_ ? QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, *offset_)
                       : QDateTime::fromMSecsSinceEpoch(ms);
    }

private:
    static constexpr qint64 dayMs = 24 * 3600 * 1000;
    qint64 day_ = std::numeric_limits<qint64>::min();
    std::optional<int> offset_;
};

} // namespace quiltaro
