// The entry point: install the Windows backend, load the start-up form, run the message loop.
#include "frame/scale.h"
#include "frame/toolkit.h"
#include "panel/form1.h"
#include "platform/win32/win32_platform.h"

extern "C" int __stdcall wWinMain(void*, void*, wchar_t*, int) {
    ep::installWin32Platform();
    ep::ensureDpiAwareness();
    ep::form<ep::Form1>().Show();
    return ep::runMessageLoop();
}
