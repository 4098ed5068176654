// The README's tour: the real edgepad.exe under Wine, brought into each state a person meets
// (docked at a file manager, the four-button panel, the exit bar, the menu, the About
// window), one screenshot each. For every screenshot it prints the part of the screen worth
// showing, as "crop <name> <x> <y> <width> <height> <scale percent>", for tools/demo.sh.
//
// Built into the demo's driver with the Wine rig's driver (tests/e2e/e2e_driver.cpp and
// test_windows.cpp), whose helpers it uses:  demo_driver tour <edgepad.exe> <work folder>
#include "e2e.h"

#include <algorithm>
#include <cstdio>
#include <string>

using namespace e2e;

namespace {

constexpr COLORREF kFace = RGB(212, 208, 200);
const wchar_t* const kVersionInformation = L"\u30D0\u30FC\u30B8\u30E7\u30F3\u60C5\u5831";
const wchar_t* const kAboutEnglish = L"About Edgepad";

// The panel's first cell painted at its place on screen.
bool painted(HWND panel) {
    return waitFor([&] {
        const RECT r = windowRect(panel);
        return screenPixel(r.left + 3, r.top + 3) == kFace;
    });
}

// Enters the file manager's strip over its tree pane, a little above the middle, and waits
// for the panel to stand at the window's outer left edge, painted.
bool dockAtFileManager(HWND panel) {
    TestWindows& w = TestWindows::open();
    const RECT frame = windowRect(w.fileManager);
    const RECT tree = windowRect(w.treeView);
    moveCursor(std::max(frame.left, tree.left) + 3, tree.top + 90);
    return waitFor(
               [&] { return windowRect(panel).left == frame.left && IsWindowVisible(panel); }) &&
           responsive(panel) && painted(panel);
}

// A right press on the panel's last cell, so that the menu opening at the cursor leaves the
// cells above it in view. A press the panel's thread missed is made once more.
HWND openMenu(HWND panel) {
    HWND menu = nullptr;
    for (int attempt = 0; attempt < 2 && !menu; ++attempt) {
        responsive(panel);
        const RECT rect = windowRect(panel);
        click(rect.left + (rect.right - rect.left) / 2, rect.bottom - 8, Button::Right);
        waitFor([&] { return (menu = visibleMenu()) != nullptr; });
    }
    return menu;
}

RECT grow(RECT r, int by) { return RECT{r.left - by, r.top - by, r.right + by, r.bottom + by}; }

RECT unite(const RECT& a, const RECT& b) {
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

// Saves the screen as `name` and prints the part of it to keep, clipped to the screen.
void shoot(const wchar_t* name, RECT keep, int scalePercent = 100) {
    // The X server composes what Wine has drawn a moment later.
    Sleep(400);
    keep.left = std::max(keep.left, 0L);
    keep.top = std::max(keep.top, 0L);
    keep.right = std::min(keep.right, long(screenWidth()));
    keep.bottom = std::min(keep.bottom, long(screenHeight()));
    if (!check(saveScreenshot(name), "screenshot %s", narrow(name).c_str())) return;
    std::printf("crop %s %ld %ld %ld %ld %d\n", narrow(name).c_str(), keep.left, keep.top,
                keep.right - keep.left, keep.bottom - keep.top, scalePercent);
    std::fflush(stdout);
}

// A fresh copy of the program, its panel parked and its watcher idle; null if it did not start.
HWND startEdgepad(Process& edgepad) {
    moveCursor(restingSpot().x, restingSpot().y);
    if (!check(edgepad.start(), "edgepad.exe starts")) return nullptr;
    const HWND panel = edgepad.waitPanel();
    if (!check(panel != nullptr, "the panel appears")) return nullptr;
    return check(settleIdle(panel), "the watcher is idle") ? panel : nullptr;
}

// The menu beside the panel, enlarged twice.
void shootMenu(const wchar_t* name, HWND panel, HWND menu) {
    const RECT shown = unite(windowRect(panel), windowRect(menu));
    shoot(name, RECT{shown.left - 16, shown.top - 24, shown.right + 12, shown.bottom + 12}, 200);
}

} // namespace

E2E_SCENARIO(tour) {
    // The windows first: without a window manager X draws later windows over earlier ones,
    // and the panel must show above the file manager.
    TestWindows& w = TestWindows::open();
    const std::wstring exe = installEdgepad(L"tour");
    writeFile(iniBeside(exe), "[DATA]\r\nUSER_COMMAND=%( n)\r\nUSER_COMMAND_ON=0\r\n");
    Process edgepad(exe);
    const HWND panel = startEdgepad(edgepad);
    if (!panel) return;

    // (a) Docked at the file manager's left edge, centred on the cursor.
    if (!check(dockAtFileManager(panel), "the panel docks at the file manager")) return;
    const RECT frame = windowRect(w.fileManager);
    shoot(L"docked-panel", RECT{frame.left - 8, frame.top - 8, frame.left + 300, frame.bottom + 8});

    // (c) The exit bar at the screen's top-left corner, reached from idle.
    if (!check(parkAway(panel), "the panel parks")) return;
    moveCursor(0, 0);
    if (check(waitFor([&] { return isExitBar(panel); }) && responsive(panel) && painted(panel),
              "the exit bar shows at the top-left corner"))
        shoot(L"exit-bar", RECT{0, 0, 72, 20}, 400);

    // (d) The menu, opened by a right press on the docked panel.
    if (!check(parkAway(panel) && dockAtFileManager(panel), "the panel docks again")) return;
    const HWND menu = openMenu(panel);
    if (!check(menu != nullptr, "a right press opens the menu")) return;
    shootMenu(L"menu", panel, menu);

    // (b) Its first item switches the user button on; the next docking shows four buttons.
    chooseCommand(0);
    waitFor([] { return visibleMenu() == nullptr; });
    if (!check(parkAway(panel) && dockAtFileManager(panel), "the panel docks again")) return;
    const bool tall = waitFor([&] {
        const RECT r = windowRect(panel);
        return r.bottom - r.top == 60;
    });
    if (check(tall, "the panel shows four buttons")) shoot(L"four-buttons", windowRect(panel), 800);

    // (e) The About window, from the menu's second item.
    if (!check(openMenu(panel) != nullptr, "the menu opens again")) return;
    chooseCommand(1);
    const HWND about = waitVisibleTitled(kVersionInformation, edgepad.id());
    if (!check(about != nullptr, "the About window opens")) return;
    shoot(L"about", grow(windowRect(about), 2));
    tap(VK_RETURN);
    waitFor([&] { return !IsWindow(about); });

    // The menu's last item ends the program.
    if (parkAway(panel) && dockAtFileManager(panel) && openMenu(panel)) chooseCommand(2);
    check(edgepad.waitExit(10000), "the exit item ends the program");
}

// The menu and the About window under an English UI language: tools/demo.sh runs this pass
// under LANG=en_US.UTF-8, which Wine turns into one.
E2E_SCENARIO(tour_english) {
    TestWindows::open();
    Process edgepad(installEdgepad(L"tour_english"));
    const HWND panel = startEdgepad(edgepad);
    if (!panel) return;
    if (!check(dockAtFileManager(panel), "the panel docks at the file manager")) return;
    const HWND menu = openMenu(panel);
    if (!check(menu != nullptr, "a right press opens the menu")) return;
    shootMenu(L"menu-english", panel, menu);

    chooseCommand(1);
    const HWND about = waitVisibleTitled(kAboutEnglish, edgepad.id());
    if (!check(about != nullptr, "the About window opens")) return;
    shoot(L"about-english", grow(windowRect(about), 2));
    tap(VK_RETURN);
    check(waitFor([&] { return !IsWindow(about); }), "Enter closes the About window");
}
