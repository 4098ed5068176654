// Several screens, on a rig display of three side by side with the primary in the middle (the
// runner gives scenarios named screens_* that display): the parked panel waits beyond the
// right screen, the panel docks on the left screen, where coordinates are negative, and on the
// right one, and the exit corner stays the primary screen's top-left pixel.
#include "e2e.h"

#include <string>

using namespace e2e;

namespace {

constexpr int kPitchPx = 15;
constexpr int kHalfPanelPx = 22; // half of 675 twips, the three-button panel's height

std::string describe(const RECT& r) {
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
           std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
}

// From idle into the strip of `frame` over `pane`; checks the panel stands at the frame's
// outer left edge, centred on the cursor.
bool docksAt(HWND panel, HWND frame, HWND pane, const char* where) {
    parkAway(panel);
    Sleep(300);
    const RECT f = windowRect(frame);
    const RECT p = windowRect(pane);
    const POINT spot{f.left + 4, (p.top + p.bottom) / 2};
    moveCursor(spot.x, spot.y);
    const bool docked = waitFor([&] {
        const RECT r = windowRect(panel);
        return r.left == f.left && r.top == spot.y - kHalfPanelPx;
    });
    responsive(panel);
    return check(docked,
                 "%s: the panel docks at the left edge %ld, centred on %ld (it stands at %s)",
                 where, f.left, spot.y, describe(windowRect(panel)).c_str());
}

bool received(const TestWindows& w, HWND top, UINT message, WPARAM vk) {
    for (const Received& r : w.received(top))
        if (r.message == message && r.wParam == vk) return true;
    return false;
}

} // namespace

E2E_SCENARIO(screens_three_side_by_side) {
    const int screens = GetSystemMetrics(SM_CMONITORS);
    const int desktopLeft = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int desktopWidth = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    if (!check(screens == 3 && desktopLeft == -1280 && desktopWidth == 3840 &&
                   screenWidth() == 1280,
               "the rig shows three screens, the primary in the middle (%d screens, the desktop "
               "from %d, %d wide, the primary %d wide)",
               screens, desktopLeft, desktopWidth, screenWidth()))
        return;

    // The file manager on the left screen, the explorer window on the right one.
    TestWindows& w = TestWindows::open();
    SetWindowPos(w.fileManager, nullptr, -1000, 100, 560, 400, SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(w.explorer, nullptr, 1500, 100, 520, 400, SWP_NOZORDER | SWP_NOACTIVATE);

    Process edgepad(installEdgepad(L"screens_three_side_by_side"));
    moveCursor(restingSpot().x, restingSpot().y);
    if (!check(edgepad.start(), "edgepad.exe starts")) return;
    const HWND panel = edgepad.waitPanel();
    if (!check(panel != nullptr, "the panel appears")) return;
    const bool parked = waitFor([&] { return windowRect(panel).left == 2560; });
    check(parked,
          "it is parked beyond the right screen, at 2560, not at the primary's width (it stands "
          "at %s)",
          describe(windowRect(panel)).c_str());
    if (!check(settleIdle(panel), "the watcher is idle and parks the panel")) return;

    if (docksAt(panel, w.fileManager, w.treeView, "left screen")) {
        const RECT docked = windowRect(panel);
        w.clearReceived();
        click(docked.left + 9, docked.top + kPitchPx + 7);
        check(waitFor([&] { return received(w, w.fileManager, WM_SYSKEYDOWN, VK_LEFT); }),
              "the back cell sends the file manager on the left screen Alt+Left");
    }
    check(parkAway(panel) && windowRect(panel).left == 2560,
          "leaving the strip parks the panel beyond the right screen again");

    docksAt(panel, w.explorer, w.explorerTree, "right screen");
    saveScreenshot(L"three_screens_docked_right");
    check(parkAway(panel) && windowRect(panel).left == 2560,
          "leaving the strip parks the panel beyond the right screen again");

    moveCursor(-1, 0);
    check(!waitFor([&] { return !panelParked(panel); }, 700),
          "the pixel left of the primary screen's corner shows no exit bar");
    moveCursor(0, 0);
    const bool bar = waitFor([&] { return isExitBar(panel); });
    check(bar, "the exit bar shows at the primary screen's top-left pixel (the panel is at %s)",
          describe(windowRect(panel)).c_str());
    check(edgepad.running(), "the program keeps running");
}
