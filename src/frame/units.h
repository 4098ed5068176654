// Screen units, the cursor in twips, and the short wait that lets pending events run first.
// Forms call mod_RGN_UserFunction only; it forwards the cursor and wait procedures unchanged.
#pragma once

#include <cstdint>

namespace ep {

// The cursor in twips, both coordinates from one reading. A read that failed (the lock screen
// or a secure-desktop prompt is up) gives (0, 0) and says so.
struct CursorTwips {
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool read = true;
};

namespace mod_RGN_Proc {
std::int32_t getCursorXTwips();
std::int32_t getCursorYTwips();
CursorTwips getCursorTwips();
void yieldAndSleep(double ms);
} // namespace mod_RGN_Proc

namespace mod_RGN_UserFunction {
std::int32_t getCursorXTwips();
std::int32_t getCursorYTwips();
// As getCursorXTwips and getCursorYTwips, for the cost of one cursor read instead of two.
CursorTwips getCursorTwips();
void yieldAndSleep(double ms);
std::int32_t pixelsToTwipsX(double pixels);
std::int32_t pixelsToTwipsY(double pixels);
std::int32_t twipsToPixelsX(double twips);
std::int32_t twipsToPixelsY(double twips);
} // namespace mod_RGN_UserFunction

} // namespace ep
