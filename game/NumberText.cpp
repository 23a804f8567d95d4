#include "NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace quiltaro {

std::string shortestDecimal(double value) {
    if (!std::isfinite(value))
        return "0";
    if (value == 0)
        value = 0; // no "-0"
    // Seven significant digits, then drop the zeros that %.7g pads with.
    // Fixed notation keeps numbers like 1e-05 readable for a pupil.
    int exponent = value == 0 ? 0 : static_cast<int>(std::floor(std::log10(std::fabs(value))));
    int decimals = std::max(0, 6 - exponent);
    // to_chars, unlike printf, ignores the C library's locale: the program
    // runs on French desktops, where printf would write "1,000000" and leave
    // its zeros untrimmed.
    char buffer[400]; // room for any double in fixed notation
    const auto written =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    std::string text(buffer, written.ec == std::errc() ? written.ptr : buffer);
    if (text.empty())
        return "0";
    // Rounding may have carried into a new digit (9.9999996 -> 10.000000);
    // the surplus decimals are zeros and go below.
    if (text.find('.') != std::string::npos) {
        while (text.back() == '0')
            text.pop_back();
        if (text.back() == '.')
            text.pop_back();
    }
    // A fresh string rather than an assignment over the old one: GCC 12
    // sees a possible overlap in that copy (a false -Wrestrict under -O2
    // with sanitizers).
    if (text == "-0")
        return "0";
    return text;
}

std::string numberToText(double value) {
    std::string digits = shortestDecimal(value);
    return digits[0] == '-' ? digits : " " + digits;
}

std::string printedNumber(double value) {
    return withDecimalComma(numberToText(value)) + " ";
}

std::string withDecimalComma(std::string text) {
    if (auto point = text.find('.'); point != std::string::npos)
        text[point] = ',';
    return text;
}

double decimalValue(const std::string& text) {
    // from_chars reads '.' whatever the locale; strtod would follow the
    // desktop's locale (set by Qt from the environment) and stop at the point
    // on a French desktop, reading 37.1 as 37.
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

} // namespace quiltaro
