// The focus return after the About window: activate the uppermost ordinary application
// window on the desktop, passing over the program's own hidden owner window.
#pragma once

#include "platform/platform.h"

#include <cstdint>

namespace ep::Module1 {

// The window the enumeration passes over; kept between calls, 0 until the first.
extern Hwnd focusSkipWindow;

// hwnd: a window of the program; its owner (or, without one, the window itself) is skipped.
void returnFocus(Hwnd hwnd);
// EnumWindows callback, top-level windows uppermost first; nonzero to go on.
int returnFocusEnumProc(Hwnd hwnd, std::intptr_t lParam);

} // namespace ep::Module1
