// Text helpers: the toolkit's Val and Trim, and the conversions between the program's wide
// text and the system's ANSI code page that the A calls speak.
#pragma once

#include <string>
#include <string_view>

namespace ep {

// The leading number of a text: blanks skipped, an optional sign, digits with one decimal
// point, an optional exponent; 0 when the text does not begin with a number.
double Val(std::wstring_view text);
// The text without leading and trailing spaces (spaces only, as the toolkit's Trim).
std::wstring Trim(std::wstring_view text);
// Rounds to the nearest integer, halves to the even neighbour, into signed 32 bits.
std::int32_t roundHalfEven(double value);

std::string toAnsi(std::wstring_view text);
std::wstring fromAnsi(std::string_view text);

} // namespace ep
