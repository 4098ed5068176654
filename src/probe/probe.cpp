// What lies under the cursor. A look resolves the window under one point once and answers every
// question about it from that; the probe methods without a look sample the cursor and resolve
// the window afresh on every call, so two of them made a moment apart may describe different
// windows. The tick makes one look per tick, so all its answers describe one point.
#include "probe/point_look.h"

#include "frame/app.h"
#include "frame/text.h"
#include "frame/units.h"
#include "panel/form1.h"

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

std::wstring classNameOf(Hwnd h) {
    char className[kTextBufferChars] = {};
    os().GetClassNameA(h, className, kTextBufferChars);
    return bufferText(className);
}

// The cursor is read in twips like every other position, then turned back into the pixel
// WindowFromPoint takes; with whole twips per pixel this round trip is exact.
Point cursorPixel() {
    const CursorTwips twips = mod_RGN_UserFunction::getCursorTwips();
    return Point{mod_RGN_UserFunction::twipsToPixelsX(twips.x),
                 mod_RGN_UserFunction::twipsToPixelsY(twips.y)};
}

} // namespace

// ---- PointLook ---------------------------------------------------------------------------

Hwnd PointLook::handle(int PhWnd) {
    if (!hit_) hit_ = os().WindowFromPoint(pixel_);
    if (PhWnd != vbTrue) return *hit_;
    if (!top_) {
        Hwnd h = *hit_;
        for (int step = 0; step < kMaxParentSteps; ++step) {
            const Hwnd parent = os().GetParent(h);
            if (parent == 0) break;
            h = parent;
        }
        top_ = h;
    }
    return *top_;
}

std::wstring PointLook::className(int PhWnd) {
    // Both forms of a window that is its own top-level window share one read.
    std::optional<std::wstring>& known = PhWnd == vbTrue ? topClass_ : hitClass_;
    if (!known) {
        const Hwnd h = handle(PhWnd);
        if (PhWnd == vbTrue && hitClass_ && h == *hit_)
            known = *hitClass_;
        else if (PhWnd != vbTrue && topClass_ && top_ && h == *top_)
            known = *topClass_;
        else
            known = classNameOf(h);
    }
    return *known;
}

const std::wstring& PointLook::title() {
    if (!title_) {
        char title[kTextBufferChars] = {};
        os().GetWindowTextA(handle(vbTrue), title, kTextBufferChars);
        title_ = bufferText(title);
    }
    return *title_;
}

const Rect& PointLook::rect() {
    if (!rect_) {
        Rect rect{};
        os().GetWindowRect(handle(vbTrue), &rect);
        rect_ = rect;
    }
    return *rect_;
}

const Rect& PointLook::visibleFrame() {
    if (!visibleFrame_) {
        Rect frame{};
        if (os().DwmGetWindowAttribute(handle(vbTrue), DWMWA_EXTENDED_FRAME_BOUNDS, &frame,
                                       sizeof frame) == S_OK)
            visibleFrame_ = frame;
        else
            visibleFrame_ = rect();
    }
    return *visibleFrame_;
}

std::wstring PointLook::info(int nFunc) {
    switch (nFunc) {
    case 0:
        return title();
    case 1:
        return decimalText(double(rect().left) * double(Screen::TwipsPerPixelX()));
    case 2:
        return decimalText(double(rect().top) * double(Screen::TwipsPerPixelY()));
    case 3:
        return decimalText(double(rect().right) * double(Screen::TwipsPerPixelX()));
    case 4:
        return decimalText(double(rect().bottom) * double(Screen::TwipsPerPixelY()));
    default:
        return std::wstring();
    }
}

// The edges travel as text; the leading number of it, to the nearest whole twip.
std::int32_t PointLook::edge(int nFunc) { return roundHalfEven(Val(info(nFunc))); }

// ---- The probe methods of the panel --------------------------------------------------------

Hwnd Form1::getPointWindowHandle(int PhWnd) { return PointLook(cursorPixel()).handle(PhWnd); }

std::wstring Form1::getPointWindowClassName(int PhWnd) {
    return PointLook(cursorPixel()).className(PhWnd);
}

std::wstring Form1::getPointWindowTitle() { return m_getPointWindowInfo(0); }

std::int32_t Form1::getPointWindowLeft() { return PointLook(cursorPixel()).left(); }

std::int32_t Form1::getPointWindowTop() { return PointLook(cursorPixel()).top(); }

std::int32_t Form1::getPointWindowRight() { return PointLook(cursorPixel()).right(); }

std::int32_t Form1::getPointWindowBottom() { return PointLook(cursorPixel()).bottom(); }

std::wstring Form1::m_getPointWindowInfo(int nFunc) {
    PointLook look(cursorPixel());
    // Title and rectangle are both read whatever is asked.
    look.title();
    look.rect();
    return look.info(nFunc);
}

} // namespace ep
