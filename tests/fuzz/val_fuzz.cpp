// Arbitrary text into Val, the leading number of a text, and into roundHalfEven, which turns
// it into a signed 32-bit count: no crash, no undefined arithmetic, and always a finite number.
// Settings values and window edges reach the program through these two.
//
// The first input byte picks how the rest is read:
//   bit 0 clear: each byte is one character (digits, signs, blanks and exponents come fast)
//   bit 0 set:   byte pairs are UTF-16 units, little-endian
#include "frame/text.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

bool isValBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n'; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t mode = data[0];
    ++data;
    --size;

    std::wstring text;
    if (mode & 1) {
        for (std::size_t i = 0; i + 1 < size; i += 2)
            text.push_back(wchar_t(data[i] | (data[i + 1] << 8)));
    } else {
        for (std::size_t i = 0; i < size; ++i) text.push_back(wchar_t(data[i]));
    }

    const double value = ep::Val(text);
    check(std::isfinite(value));

    // The rounding stays within half a unit of any value that fits, and clamps the rest.
    const std::int32_t rounded = ep::roundHalfEven(value);
    if (value > -2147483648.5 && value < 2147483647.5) check(std::fabs(rounded - value) <= 0.5);
    else check(rounded == (value < 0 ? INT32_MIN : INT32_MAX));

    // A minus sign in front negates a number that has no sign of its own.
    std::size_t first = 0;
    while (first < text.size() && isValBlank(text[first])) ++first;
    if (first == text.size() || (text[first] != L'-' && text[first] != L'+'))
        check(ep::Val(L"-" + text) == -value);

    // A letter that belongs to no number ends the text as far as Val is concerned.
    check(ep::Val(text + L"x") == value);
    return 0;
}
