#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <clocale>
#include <cstring>

namespace quiltaro::test {

// The program runs with the C library's locale taken from the desktop (Qt
// sets it from the environment); suites without an application take it the
// same way here. A run that asks for a French desktop
// (QUILTARO_TEST_DECIMAL_POINT=,) fails at once when the locale is missing
// on the machine: it would silently run in the C locale and prove nothing.
inline bool adoptDesktopLocale(QByteArray* problem) {
    std::setlocale(LC_ALL, "");
    const QByteArray expected = qgetenv("QUILTARO_TEST_DECIMAL_POINT");
    const char* actual = std::localeconv()->decimal_point;
    if (expected.isEmpty() || expected == actual)
        return true;
    *problem = "the desktop locale (" + qgetenv("LC_ALL") + qgetenv("LANG") +
               ") is not installed: the decimal point is '" + actual + "', not '" + expected + "'";
    return false;
}

} // namespace quiltaro::test

#define QUILTARO_ADOPT_DESKTOP_LOCALE()                                                            \
    do {                                                                                           \
        QByteArray problem;                                                                        \
        QVERIFY2(quiltaro::test::adoptDesktopLocale(&problem), problem.constData());               \
    } while (false)
