// What lies under the cursor. Every call samples the cursor and resolves the window afresh;
// nothing is kept between calls, so the watcher's several questions in one tick may each see
// a different window if the cursor moves meanwhile.
#include "panel/form1.h"

#include "frame/text.h"
#include "frame/units.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace ep {

namespace {

// Class names and titles are read through the ANSI calls into a buffer of this many
// characters, so at most one less than this many bytes come back.
constexpr int kTextBufferChars = 128;

// Windows nested deeper than this under their top-level window yield an ancestor this many
// steps up, not the top-level window itself.
constexpr int kMaxParentSteps = 10;

// The text up to the first NUL of a NUL-filled buffer, from the system code page.
std::wstring bufferText(const char (&buffer)[kTextBufferChars]) {
    return fromAnsi(std::string_view(buffer, strnlen(buffer, kTextBufferChars)));
}

// A twip edge as decimal text: "-" when negative, no leading blank, no grouping; whole
// numbers as plain digits.
std::wstring decimalText(double value) {
    if (value == 0.0) return L"0"; // also for -0.0
    char digits[32];
    std::snprintf(digits, sizeof digits, "%.15g", value);
    return std::wstring(digits, digits + std::strlen(digits));
}

// The edges travel as text; the leading number of it, to the nearest whole twip.
std::int32_t edgeFromText(const std::wstring& text) { return roundHalfEven(Val(text)); }

} // namespace

Hwnd Form1::getPointWindowHandle(int PhWnd) {
    // The cursor is read in twips like every other position, then turned back into the pixel
    // WindowFromPoint takes; with whole twips per pixel this round trip is exact.
    const CursorTwips twips = mod_RGN_UserFunction::getCursorTwips();
    const Point cursor{mod_RGN_UserFunction::twipsToPixelsX(twips.x),
                       mod_RGN_UserFunction::twipsToPixelsY(twips.y)};
    Hwnd h = os().WindowFromPoint(cursor);
    if (PhWnd == vbTrue) {
        for (int step = 0; step < kMaxParentSteps; ++step) {
            const Hwnd parent = os().GetParent(h);
            if (parent == 0) break;
            h = parent;
        }
    }
    return h;
}

std::wstring Form1::getPointWindowClassName(int PhWnd) {
    const Hwnd h = getPointWindowHandle(PhWnd);
    char className[kTextBufferChars] = {};
    os().GetClassNameA(h, className, kTextBufferChars);
    return bufferText(className);
}

std::wstring Form1::getPointWindowTitle() { return m_getPointWindowInfo(0); }

std::int32_t Form1::getPointWindowLeft() { return edgeFromText(m_getPointWindowInfo(1)); }

std::int32_t Form1::getPointWindowTop() { return edgeFromText(m_getPointWindowInfo(2)); }

std::int32_t Form1::getPointWindowRight() { return edgeFromText(m_getPointWindowInfo(3)); }

std::int32_t Form1::getPointWindowBottom() { return edgeFromText(m_getPointWindowInfo(4)); }

std::wstring Form1::m_getPointWindowInfo(int nFunc) {
    const Hwnd h = getPointWindowHandle(vbTrue);
    // Title and rectangle are both read whatever is asked; a failed read leaves the NULs
    // and zeros, which callers take as "nothing there".
    char title[kTextBufferChars] = {};
    os().GetWindowTextA(h, title, kTextBufferChars);
    Rect rect{};
    os().GetWindowRect(h, &rect);

    switch (nFunc) {
    case 0:
        return bufferText(title);
    case 1:
        return decimalText(double(rect.left) * double(Screen::TwipsPerPixelX()));
    case 2:
        return decimalText(double(rect.top) * double(Screen::TwipsPerPixelY()));
    case 3:
        return decimalText(double(rect.right) * double(Screen::TwipsPerPixelX()));
    case 4:
        return decimalText(double(rect.bottom) * double(Screen::TwipsPerPixelY()));
    default:
        return std::wstring();
    }
}

} // namespace ep
