#pragma once

#include <string>

namespace quiltaro {

// Shortest decimal form with at most 7 significant digits, '.' as decimal
// point, no trailing zeros, no exponent; "-" before a negative number.
// A double that holds a single-precision guess (30.3f is 30.2999992...) comes
// out as the pupil typed it: 30.3.
std::string shortestDecimal(double value);

// The program's own number-to-text form: a leading space when not negative.
// Used for solutionText and to measure the lower bound label.
std::string numberToText(double value);

// The form in which a number is printed on a window: leading space when not
// negative, decimal comma, trailing space.
std::string printedNumber(double value);

// The value of a text of digits with at most one '.' as decimal point, on
// any locale; 0 when it does not start with a digit.
double decimalValue(const std::string& text);

// Replaces the first '.' by a ','.
std::string withDecimalComma(std::string text);

} // namespace quiltaro
