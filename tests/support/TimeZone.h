#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <ctime>

namespace quiltaro {

// The C library's time zone set to `zone` for a test, and put back as it was
// when the test ends, also when it fails half-way: the suite's other tests
// read their times in the zone its main() chose.
class TimeZone {
public:
    explicit TimeZone(const char* zone) : before_(qgetenv("TZ")) { set(zone); }
    ~TimeZone() {
        if (before_.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", before_);
        tzset();
    }
    TimeZone(const TimeZone&) = delete;
    TimeZone& operator=(const TimeZone&) = delete;

    void set(const char* zone) {
        qputenv("TZ", zone);
        tzset();
    }

private:
    QByteArray before_;
};

} // namespace quiltaro
