#include "menu/module1.h"

#include "frame/toolkit.h"

#include <cstdint>

namespace ep::Module1 {

Hwnd focusSkipWindow = 0;

namespace {

// Visible, clip-siblings, caption, system menu and minimise box: an ordinary application
// window.
constexpr std::uint32_t ordinaryWindowMask = 0x14CA0000;
// Pop-up, minimised, visible, not a child: a minimised pop-up window, with or without caption.
constexpr std::uint32_t minimizedPopupMask = 0xF0000000;
constexpr std::uint32_t minimizedPopupValue = 0xB0000000;

// Windows 10 and 11 list windows that nobody sees and that are visible by their style: a
// suspended Store app's frame, a window on another virtual desktop. Activating one would show
// nothing, or switch desktops. Where the system cannot tell (before Windows 8, without DWM),
// no window is cloaked.
bool cloaked(Hwnd hwnd) {
    std::uint32_t reason = 0;
    return os().DwmGetWindowAttribute(hwnd, DWMWA_CLOAKED, &reason, sizeof reason) == S_OK &&
           reason != 0;
}

} // namespace

void returnFocus(Hwnd hwnd) {
    focusSkipWindow = os().GetParent(hwnd);
    if (focusSkipWindow == 0) focusSkipWindow = hwnd;
    os().EnumWindows(returnFocusEnumProc, 0);
}

int returnFocusEnumProc(Hwnd hwnd, std::intptr_t lParam) {
    (void)lParam;
    if (hwnd == 0) return 0;
    if (hwnd == focusSkipWindow) return 1;
    if (os().GetParent(hwnd) != 0) return 1; // owned pop-ups belong to another window

    char title[512] = {};
    if (os().GetWindowTextA(hwnd, title, 511) == 0) return 1;

    // WS_DISABLED is deliberately not looked at: a disabled window is activated all the same.
    const auto style = static_cast<std::uint32_t>(os().GetWindowLongA(hwnd, GWL_STYLE));
    const bool ordinary = (style & ordinaryWindowMask) == ordinaryWindowMask;
    const bool minimizedPopup = (style & minimizedPopupMask) == minimizedPopupValue;
    if (!ordinary && !minimizedPopup) return 1;
    if (cloaked(hwnd)) return 1;

    // The window itself, not a window found by its title: another window may carry the same
    // title. SetForegroundWindow leaves a minimised or maximised window as it is.
    os().SetForegroundWindow(hwnd);
    DoEvents();
    return 0;
}

} // namespace ep::Module1
