// Screen units, the cursor in twips, and the short wait that lets pending events run first.
// Forms call mod_RGN_UserFunction only; it forwards the cursor and wait procedures unchanged.
#pragma once

#include <cstdint>

namespace ep {

namespace mod_RGN_Proc {
std::int32_t getCursorXTwips();
std::int32_t getCursorYTwips();
void yieldAndSleep(double ms);
} // namespace mod_RGN_Proc

namespace mod_RGN_UserFunction {
std::int32_t getCursorXTwips();
std::int32_t getCursorYTwips();
void yieldAndSleep(double ms);
std::int32_t pixelsToTwipsX(double pixels);
std::int32_t pixelsToTwipsY(double pixels);
std::int32_t twipsToPixelsX(double twips);
std::int32_t twipsToPixelsY(double twips);
} // namespace mod_RGN_UserFunction

} // namespace ep
