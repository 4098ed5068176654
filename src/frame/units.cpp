#include "frame/units.h"

#include "frame/text.h"
#include "frame/toolkit.h"

namespace ep {

namespace mod_RGN_Proc {

std::int32_t getCursorXTwips() {
    // A failed read leaves (0, 0), which callers take for the top-left corner.
    Point point;
    os().GetCursorPos(&point);
    return roundHalfEven(static_cast<double>(point.x) * Screen::TwipsPerPixelX());
}

std::int32_t getCursorYTwips() {
    Point point;
    os().GetCursorPos(&point);
    return roundHalfEven(static_cast<double>(point.y) * Screen::TwipsPerPixelY());
}

CursorTwips getCursorTwips() {
    Point point;
    os().GetCursorPos(&point);
    return CursorTwips{roundHalfEven(static_cast<double>(point.x) * Screen::TwipsPerPixelX()),
                       roundHalfEven(static_cast<double>(point.y) * Screen::TwipsPerPixelY())};
}

void yieldAndSleep(double ms) {
    DoEvents();
    std::int32_t wait = roundHalfEven(ms);
    os().Sleep(wait > 0 ? static_cast<std::uint32_t>(wait) : 0);
}

} // namespace mod_RGN_Proc

namespace mod_RGN_UserFunction {

std::int32_t getCursorXTwips() { return mod_RGN_Proc::getCursorXTwips(); }
std::int32_t getCursorYTwips() { return mod_RGN_Proc::getCursorYTwips(); }
CursorTwips getCursorTwips() { return mod_RGN_Proc::getCursorTwips(); }
void yieldAndSleep(double ms) { mod_RGN_Proc::yieldAndSleep(ms); }

std::int32_t pixelsToTwipsX(double pixels) {
    return roundHalfEven(pixels * Screen::TwipsPerPixelX());
}

std::int32_t pixelsToTwipsY(double pixels) {
    return roundHalfEven(pixels * Screen::TwipsPerPixelY());
}

namespace {
// Both operands rounded first, the quotient truncated toward zero.
std::int32_t divideTruncating(double twips, float twipsPerPixel) {
    std::int32_t divisor = roundHalfEven(twipsPerPixel);
    if (divisor == 0) return 0;
    return roundHalfEven(twips) / divisor;
}
} // namespace

std::int32_t twipsToPixelsX(double twips) { return divideTruncating(twips, Screen::TwipsPerPixelX()); }
std::int32_t twipsToPixelsY(double twips) { return divideTruncating(twips, Screen::TwipsPerPixelY()); }

} // namespace mod_RGN_UserFunction

} // namespace ep
