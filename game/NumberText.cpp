#include "NumberText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

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
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    std::string text = buffer;
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

} // namespace quiltaro
