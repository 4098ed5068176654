#include "frame/text.h"

#include "platform/platform.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace ep {

namespace {
bool isValBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n'; }
bool isDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
} // namespace

double Val(std::wstring_view text) {
    // Blanks count for nothing anywhere in the number, as the toolkit's Val has it.
    std::string number;
    bool sign = false, point = false, exponent = false, exponentSign = false;
    bool digits = false, exponentDigits = false;
    for (wchar_t c : text) {
        if (isValBlank(c)) continue;
        if (!sign && !digits && !point && !exponent && (c == L'-' || c == L'+')) {
            sign = true;
        } else if (isDigit(c)) {
            (exponent ? exponentDigits : digits) = true;
        } else if (c == L'.' && !point && !exponent) {
            point = true;
        } else if ((c == L'E' || c == L'e' || c == L'D' || c == L'd') && digits && !exponent) {
            exponent = true;
            c = L'e';
        } else if (exponent && !exponentDigits && !exponentSign && (c == L'-' || c == L'+')) {
            exponentSign = true;
        } else {
            break;
        }
        number.push_back(static_cast<char>(c));
    }
    if (!digits) return 0.0;
    // An exponent marker without digits does not belong to the number.
    while (!number.empty() && (number.back() == 'e' || number.back() == '-' || number.back() == '+') &&
           exponent && !exponentDigits)
        number.pop_back();
    double value = std::strtod(number.c_str(), nullptr);
    return std::isfinite(value) ? value : 0.0;
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
    int size = os().MultiByteToWideChar(CP_ACP, text.data(), static_cast<int>(text.size()),
                                        nullptr, 0);
    if (size <= 0) return {};
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    os().MultiByteToWideChar(CP_ACP, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

} // namespace ep
