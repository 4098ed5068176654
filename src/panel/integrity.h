// Whether a window's process runs at a higher integrity level than this program: an elevated
// program ("run as administrator") while this one is not. Windows drops the keys sent to such a
// window without telling the sender (User Interface Privilege Isolation).
#pragma once

#include "platform/platform.h"

namespace ep {

// False where any step of finding out fails: the caller then goes on as if the levels matched.
bool runsAtHigherIntegrity(Hwnd window);

} // namespace ep
