#include "frame/text.h"

#include "platform/platform.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace ep {

namespace {
bool isValBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n'; }
bool isDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
} // namespace

double Val(std::wstring_view text) {
    // Blanks count for nothing anywhere in the number, as the toolkit's Val has it. Parsed by
    // hand: the runtime's strtod would add more to the executable than the whole program.
    std::size_t i = 0;
    auto skipBlanks = [&] {
        while (i < text.size() && isValBlank(text[i])) ++i;
    };
    auto peek = [&]() -> wchar_t { return i < text.size() ? text[i] : L'\0'; };
    skipBlanks();
    bool negative = false;
    if (peek() == L'-' || peek() == L'+') {
        negative = peek() == L'-';
        ++i;
    }
    double mantissa = 0.0;
    int scale = 0;
    bool digits = false, point = false;
    for (skipBlanks(); i < text.size(); ++i, skipBlanks()) {
        wchar_t c = text[i];
        if (isDigit(c)) {
            digits = true;
            mantissa = mantissa * 10.0 + (c - L'0');
            if (point) --scale;
        } else if (c == L'.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!digits) return 0.0;
    wchar_t marker = peek();
    if (marker == L'E' || marker == L'e' || marker == L'D' || marker == L'd') {
        std::size_t mark = i++;
        skipBlanks();
        bool negativeExponent = false;
        if (peek() == L'-' || peek() == L'+') {
            negativeExponent = peek() == L'-';
            ++i;
            skipBlanks();
        }
        int exponent = 0;
        bool exponentDigits = false;
        for (; i < text.size() && isDigit(text[i]); ++i, skipBlanks()) {
            exponentDigits = true;
            if (exponent < 100000) exponent = exponent * 10 + (text[i] - L'0');
        }
        // A marker without digits does not belong to the number.
        if (exponentDigits) scale += negativeExponent ? -exponent : exponent;
        else i = mark;
    }
    double value = mantissa;
    for (; scale > 0 && std::isfinite(value); --scale) value *= 10.0;
    for (; scale < 0 && value != 0.0; ++scale) value /= 10.0;
    if (!std::isfinite(value)) return 0.0;
    return negative ? -value : value;
}

std::wstring Trim(std::wstring_view text) {
    std::size_t first = text.find_first_not_of(L' ');
    if (first == std::wstring_view::npos) return {};
    std::size_t last = text.find_last_not_of(L' ');
    return std::wstring(text.substr(first, last - first + 1));
}

std::int32_t roundHalfEven(double value) {
    if (std::isnan(value)) return 0;
    double rounded = std::nearbyint(value); // the default rounding mode: halves to even
    if (rounded >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    if (rounded <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(rounded);
}

std::string toAnsi(std::wstring_view text) {
    if (text.empty()) return {};
    int size = os().WideCharToMultiByte(CP_ACP, text.data(), static_cast<int>(text.size()),
                                        nullptr, 0);
    if (size <= 0) return {};
    std::string out(static_cast<std::size_t>(size), '\0');
    os().WideCharToMultiByte(CP_ACP, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

std::wstring fromAnsi(std::string_view text) {
    if (text.empty()) return {};
    // Every ANSI code page keeps the ASCII bytes as they are; class names almost always are
    // ASCII, and the tick reads two of them every 100 ms.
    if (std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; }))
        return std::wstring(text.begin(), text.end());
    int size = os().MultiByteToWideChar(CP_ACP, text.data(), static_cast<int>(text.size()),
                                        nullptr, 0);
    if (size <= 0) return {};
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    os().MultiByteToWideChar(CP_ACP, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

} // namespace ep
