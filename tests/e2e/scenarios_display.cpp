// Displays that change while the program runs, in a Wine virtual desktop of 1280 x 1024 on a
// larger X screen (the runner gives scenarios named display_* that desktop): there
// ChangeDisplaySettingsExW resizes the desktop and Wine sends WM_DISPLAYCHANGE, as Windows does
// when a laptop docks to a larger monitor or the resolution changes. The parked panel then
// waits beyond the new right edge, and the watcher decides afresh.
#include "e2e.h"

#include <algorithm>
#include <string>

using namespace e2e;

namespace {

constexpr int kHalfPanelPx = 22; // half of 675 twips, the three-button panel's height

std::string describe(const RECT& r) {
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
           std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
}

// Resizes the desktop and waits until this process sees the new size.
bool changeDisplay(int width, int height) {
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    mode.dmPelsWidth = DWORD(width);
    mode.dmPelsHeight = DWORD(height);
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    const LONG result = ChangeDisplaySettingsExW(nullptr, &mode, nullptr, 0, nullptr);
    const bool changed = result == DISP_CHANGE_SUCCESSFUL && waitFor([&] {
                             return GetSystemMetrics(SM_CXVIRTUALSCREEN) == width &&
                                    GetSystemMetrics(SM_CYVIRTUALSCREEN) == height;
                         });
    return check(changed,
                 "the desktop becomes %d x %d (ChangeDisplaySettingsExW answers %ld, "
                 "the desktop is %d x %d)",
                 width, height, result, GetSystemMetrics(SM_CXVIRTUALSCREEN),
                 GetSystemMetrics(SM_CYVIRTUALSCREEN));
}

// Waits for the panel to stand beyond the desktop's right edge, and says how long it took.
bool parksBeyondEdge(HWND panel, ULONGLONG since, const char* what) {
    const bool parked = waitFor([&] { return panelParked(panel); });
    note("%s: parked %llu ms after the change", what, GetTickCount64() - since);
    return check(parked, "%s: the panel stands beyond the new right edge, at %d (it stands at %s)",
                 what, parkedLeft(), describe(windowRect(panel)).c_str());
}

// A spot in the file manager's strip, over its tree pane, dy below the pane's middle.
POINT stripSpot(int dy = 0) {
    TestWindows& w = TestWindows::open();
    const RECT f = windowRect(w.fileManager);
    const RECT p = windowRect(w.treeView);
    return POINT{std::max(f.left, p.left) + 3, (p.top + p.bottom) / 2 + dy};
}

// Waits for the panel at the file manager's outer left edge, centred on row y.
bool dockedAt(HWND panel, int y, const char* what) {
    const RECT f = windowRect(TestWindows::open().fileManager);
    const bool docked = waitFor([&] {
        const RECT r = windowRect(panel);
        return r.left == f.left && r.top == y - kHalfPanelPx;
    });
    responsive(panel);
    return check(docked,
                 "%s: the panel docks at the left edge %ld, centred on %d (it stands at %s)", what,
                 f.left, y, describe(windowRect(panel)).c_str());
}

} // namespace

E2E_SCENARIO(display_change) {
    if (!check(screenWidth() == 1280 && screenHeight() == 1024 &&
                   GetSystemMetrics(SM_CMONITORS) == 1,
               "the rig's virtual desktop is one screen of 1280 x 1024 (%d x %d, %d screens)",
               screenWidth(), screenHeight(), GetSystemMetrics(SM_CMONITORS)))
        return;
    TestWindows::open();
    Process edgepad(installEdgepad(L"display_change"));
    moveCursor(restingSpot().x, restingSpot().y);
    if (!check(edgepad.start(), "edgepad.exe starts")) return;
    const HWND panel = edgepad.waitPanel();
    if (!check(panel != nullptr, "the panel appears")) return;
    check(waitFor([&] { return windowRect(panel).left == 1280; }), "it is parked at 1280");
    if (!check(settleIdle(panel), "the watcher is idle and parks the panel")) return;

    // A larger display while parked: the panel must not stand in plain sight at 1280.
    ULONGLONG changedAt = GetTickCount64();
    if (!changeDisplay(1920, 1200)) return;
    parksBeyondEdge(panel, changedAt, "growing to 1920 x 1200");
    saveScreenshot(L"display_change_grown");

    // Docked, with the cursor moved along the strip since: the panel stays where it docked
    // until the display changes, then the watcher decides afresh and docks it again, centred
    // on the cursor where it is now.
    const POINT first = stripSpot(-40);
    moveCursor(first.x, first.y);
    if (!dockedAt(panel, first.y, "docking on the larger desktop")) return;
    const POINT later = stripSpot(40);
    moveCursor(later.x, later.y);
    check(!waitFor([&] { return windowRect(panel).top != first.y - kHalfPanelPx; }, 700),
          "moving along the strip leaves the docked panel where it is");
    if (!changeDisplay(1024, 768)) return;
    dockedAt(panel, later.y, "shrinking to 1024 x 768 while docked");

    moveCursor(restingSpot().x, restingSpot().y);
    const bool parked = waitFor([&] { return windowRect(panel).left == 1024; });
    check(parked, "leaving the strip parks the panel at 1024 (it stands at %s)",
          describe(windowRect(panel)).c_str());

    // A smaller display while parked: the panel waits just beyond the new edge, not far out.
    changedAt = GetTickCount64();
    if (!changeDisplay(1920, 1200)) return;
    parksBeyondEdge(panel, changedAt, "growing again");
    changedAt = GetTickCount64();
    if (!changeDisplay(1280, 1024)) return;
    parksBeyondEdge(panel, changedAt, "shrinking back to 1280 x 1024");

    // And docking works as before.
    const POINT again = stripSpot();
    moveCursor(again.x, again.y);
    dockedAt(panel, again.y, "docking afterwards");
    moveCursor(restingSpot().x, restingSpot().y);
    check(waitFor([&] { return windowRect(panel).left == 1280; }),
          "leaving the strip parks the panel at 1280 again");
    check(edgepad.running(), "the program keeps running");
}
