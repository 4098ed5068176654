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
    const bool read = os().GetCursorPos(&point) != 0;
    if (!read) point = Point{};
    return CursorTwips{roundHalfEven(static_cast<double>(point.x) * Screen::TwipsPerPixelX()),
                       roundHalfEven(static_cast<double>(point.y) * Screen::TwipsPerPixelY()),
                       read};
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
// The twips rounded to a whole number; then, for a positive value, the most pixels whose twips
// do not exceed it, and for a negative one the same toward zero. With whole twips per pixel
// that is the quotient truncated toward zero; at a fractional factor (7.5 at 192 DPI) it is
// still the exact inverse of pixelsToTwips, so a pixel turned into twips and back is itself.
std::int32_t pixelsIn(double twips, float twipsPerPixel) {
    const double factor = twipsPerPixel;
    if (!(factor > 0)) return 0;
    const std::int32_t whole = roundHalfEven(twips);
    const std::int64_t magnitude = whole < 0 ? -std::int64_t(whole) : whole;
    const auto twipsOf = [&](std::int64_t pixels) {
        return std::int64_t(roundHalfEven(double(pixels) * factor));
    };
    auto pixels = std::int64_t(double(magnitude) / factor);
    while (pixels > 0 && twipsOf(pixels) > magnitude) --pixels;
    while (twipsOf(pixels + 1) <= magnitude) ++pixels;
    return std::int32_t(whole < 0 ? -pixels : pixels);
}
} // namespace

std::int32_t twipsToPixelsX(double twips) { return pixelsIn(twips, Screen::TwipsPerPixelX()); }
std::int32_t twipsToPixelsY(double twips) { return pixelsIn(twips, Screen::TwipsPerPixelY()); }

} // namespace mod_RGN_UserFunction

} // namespace ep
