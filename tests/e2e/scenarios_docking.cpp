// Docking as a user meets it: the cursor reaches the left edge of a file manager, an explorer
// window or a browser, and the panel appears there, centred on the cursor; it stays put while
// the cursor moves along the strip and is parked once the cursor leaves. The screen's top-left
// pixel brings up the exit bar. A drag with a button held brings neither.
#include "e2e.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

using namespace e2e;

namespace {

constexpr int kStripPx = 30;
constexpr int kPanelWidthPx = 18;
constexpr int kThreeButtonsPx = 45;
// The panel is centred on the cursor: its top is the cursor's row minus half of 675 twips,
// 337 twips, which lands on 22 pixels above.
constexpr int kHalfPanelPx = 22;

std::string describe(const RECT& r) {
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
           std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
}

bool sameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string describeRegion(HWND panel) {
    const std::optional<std::vector<RECT>> region = windowRegion(panel);
    if (!region) return "none";
    std::string out;
    for (const RECT& r : *region)
        out += describe(r);
    return out;
}

// A fresh copy of the program, started with the cursor at rest away from every window, its
// panel parked and its watcher idle.
HWND startParked(Process& edgepad) {
    moveCursor(restingSpot().x, restingSpot().y);
    if (!check(edgepad.start(), "edgepad.exe starts")) return nullptr;
    const HWND panel = edgepad.waitPanel();
    if (!check(panel != nullptr, "the panel appears")) return nullptr;
    const int screen = screenWidth();
    check(waitFor([&] { return windowRect(panel).left == screen; }),
          "the panel is parked at the screen width (%d)", screen);
    if (!check(settleIdle(panel), "the watcher is idle and parks the panel")) return nullptr;
    return panel;
}

// A spot in the strip of `frame`, over `pane`, at the pane's middle height plus dy.
POINT stripSpot(HWND frame, HWND pane, int dy = 0) {
    const RECT f = windowRect(frame);
    const RECT p = windowRect(pane);
    return POINT{std::max(f.left, p.left) + 3, (p.top + p.bottom) / 2 + dy};
}

// Waits for the panel at the frame's outer edge, centred on the cursor at `spot`.
bool dockedAt(HWND panel, HWND frame, POINT spot, const char* what) {
    const RECT f = windowRect(frame);
    const RECT expected{f.left, spot.y - kHalfPanelPx, f.left + kPanelWidthPx,
                        spot.y - kHalfPanelPx + kThreeButtonsPx};
    const bool docked = waitFor([&] { return sameRect(windowRect(panel), expected); });
    return check(docked, "%s: the panel docks at %s (it stands at %s)", what,
                 describe(expected).c_str(), describe(windowRect(panel)).c_str());
}

// Enters the strip at `spot` and checks the panel docks at the frame's outer edge, centred.
bool docksAt(HWND panel, HWND frame, POINT spot, const char* what) {
    const RECT f = windowRect(frame);
    check(spot.x >= f.left && spot.x < f.left + kStripPx, "%s: (%ld, %ld) lies in the strip", what,
          spot.x, spot.y);
    moveCursor(spot.x, spot.y);
    return dockedAt(panel, frame, spot, what);
}

// Nothing changes for a while: several ticks of the 100 ms poll, the panel's thread taking
// messages (and so its timer) before and after.
bool staysAt(HWND panel, const RECT& where, DWORD forMs = 700) {
    responsive(panel);
    const bool moved = waitFor([&] { return !sameRect(windowRect(panel), where); }, forMs);
    return responsive(panel) && !moved;
}

// Presses a mouse button and waits until the system reports it held.
bool holdButton(Button button) {
    press(button);
    const int vk = button == Button::Left    ? VK_LBUTTON
                   : button == Button::Right ? VK_RBUTTON
                                             : VK_MBUTTON;
    return waitFor([&] { return GetAsyncKeyState(vk) < 0; });
}

bool leavesAndParks(HWND panel, POINT away, const char* what) {
    moveCursor(away.x, away.y);
    const bool ok = waitFor([&] { return panelParked(panel); });
    responsive(panel);
    return check(ok, "%s: the panel is parked again", what);
}

} // namespace

E2E_SCENARIO(docking_file_manager) {
    TestWindows& w = TestWindows::open();
    Process edgepad(installEdgepad(L"docking_file_manager"));
    const HWND panel = startParked(edgepad);
    if (!panel) return;

    const POINT spot = stripSpot(w.fileManager, w.treeView);
    if (!docksAt(panel, w.fileManager, spot, "file manager")) return;
    const RECT docked = windowRect(panel);
    check(describeRegion(panel) == "(1,1,17,15)(1,16,17,30)(1,31,17,45)(1,46,17,60)",
          "the docked panel is cut to its button cells: %s", describeRegion(panel).c_str());
    saveScreenshot(L"docked_panel");

    // Along the strip, above and below the panel: it neither follows nor re-centres.
    moveCursor(spot.x, spot.y + 60);
    check(staysAt(panel, docked), "moving down the strip leaves the panel where it is");
    moveCursor(spot.x + 20, spot.y - 60);
    check(staysAt(panel, docked), "moving up the strip leaves the panel where it is");

    const RECT list = windowRect(w.listView);
    leavesAndParks(panel, POINT{(list.left + list.right) / 2, spot.y}, "into the file list");
    const RECT parkedRect = windowRect(panel);
    check(parkedRect.top == docked.top && parkedRect.bottom == docked.bottom,
          "parking changes only the left edge: %s", describe(parkedRect).c_str());

    // Back into the strip at another height: docked anew, centred on the new height.
    docksAt(panel, w.fileManager, stripSpot(w.fileManager, w.treeView, 80), "re-entry");
}

E2E_SCENARIO(docking_explorer_and_browser) {
    TestWindows& w = TestWindows::open();
    Process edgepad(installEdgepad(L"docking_explorer_and_browser"));
    const HWND panel = startParked(edgepad);
    if (!panel) return;
    const POINT middle = restingSpot();

    if (docksAt(panel, w.explorer, stripSpot(w.explorer, w.explorerTree), "explorer"))
        leavesAndParks(panel, middle, "explorer");
    if (docksAt(panel, w.browser, stripSpot(w.browser, w.browserView), "browser"))
        leavesAndParks(panel, middle, "browser");

    // A list view in a window of another class is not served.
    const POINT ordinary = stripSpot(w.ordinary, w.ordinaryList);
    moveCursor(ordinary.x, ordinary.y);
    check(staysAt(panel, windowRect(panel)) && panelParked(panel),
          "the strip of an ordinary window leaves the panel parked");

    // The title bar of a served window is the frame itself, not a pane: nothing happens.
    const RECT frame = windowRect(w.fileManager);
    moveCursor(frame.left + 5, frame.top + 8);
    check(staysAt(panel, windowRect(panel)) && panelParked(panel),
          "the file manager's title bar leaves the panel parked");
}

E2E_SCENARIO(docking_exit_bar) {
    TestWindows::open();
    Process edgepad(installEdgepad(L"docking_exit_bar"));
    const HWND panel = startParked(edgepad);
    if (!panel) return;

    // The pixel next to the corner is not the corner.
    moveCursor(1, 0);
    check(staysAt(panel, windowRect(panel)) && panelParked(panel), "pixel (1, 0) shows no exit bar");

    moveCursor(0, 0);
    const RECT bar{-1, -1, 63, 15};
    const bool shown = waitFor([&] { return isExitBar(panel); });
    check(shown, "the exit bar stands at (-1, -1), 64 x 16 (the panel is at %s)",
          describe(windowRect(panel)).c_str());
    check(describeRegion(panel) == "(1,1,63,15)", "the exit bar is cut to one bar: %s",
          describeRegion(panel).c_str());
    saveScreenshot(L"exit_bar");

    // Resting on the bar changes nothing; leaving it parks it.
    check(staysAt(panel, bar), "the bar stays while the cursor rests on it");
    leavesAndParks(panel, restingSpot(), "exit bar");
    const RECT parkedRect = windowRect(panel);
    check(parkedRect.right - parkedRect.left == 64 && parkedRect.top == -1,
          "the parked exit bar keeps its shape and top: %s", describe(parkedRect).c_str());
}

// A taskbar along the left edge puts Start in the top-left corner, where the hand throws the
// cursor to hit it: the exit bar does not come up over it. Without the taskbar there the corner
// brings the exit bar again.
E2E_SCENARIO(docking_no_exit_bar_over_the_taskbar) {
    TestWindows& w = TestWindows::open();
    Process edgepad(installEdgepad(L"docking_taskbar"));
    const HWND panel = startParked(edgepad);
    if (!panel) return;

    ShowWindow(w.taskbar, SW_SHOWNA);
    const bool covers = waitFor([&] {
        return GetAncestor(WindowFromPoint(POINT{0, 0}), GA_ROOT) == w.taskbar;
    });
    if (!check(covers, "a \"Shell_TrayWnd\" window covers the corner")) return;
    moveCursor(0, 0);
    check(staysAt(panel, windowRect(panel)) && panelParked(panel),
          "the cursor on Start in the corner brings no exit bar");
    saveScreenshot(L"taskbar_corner");

    ShowWindow(w.taskbar, SW_HIDE);
    moveCursor(restingSpot().x, restingSpot().y);
    moveCursor(0, 0);
    check(waitFor([&] { return isExitBar(panel); }),
          "without the taskbar the corner brings the exit bar");
    leavesAndParks(panel, restingSpot(), "exit bar");
}

// With POLL_CURSOR=1 the program polls the cursor every 100 ms, as before there was an input
// thread: a cursor moved by SetCursorPos alone, which is no input, still docks and parks it.
E2E_SCENARIO(docking_poll_cursor) {
    TestWindows& w = TestWindows::open();
    const std::wstring exe = installEdgepad(L"docking_poll_cursor");
    check(writeFile(iniBeside(exe), "[DATA]\r\nUSER_COMMAND=%( n)\r\nUSER_COMMAND_ON=0\r\n"
                                    "POLL_CURSOR=1\r\n"),
          "the settings file holds POLL_CURSOR=1");
    Process edgepad(exe);
    const HWND panel = startParked(edgepad);
    if (!panel) return;
    // Like a remote-control tool: the cursor moves with no input at all.
    auto warp = [](POINT spot) {
        return waitFor([&] {
            SetCursorPos(spot.x, spot.y);
            POINT at{};
            return GetCursorPos(&at) && at.x == spot.x && at.y == spot.y;
        });
    };
    const POINT spot = stripSpot(w.fileManager, w.treeView);
    check(warp(spot), "the cursor stands in the strip");
    if (!dockedAt(panel, w.fileManager, spot, "polled")) return;
    const RECT list = windowRect(w.listView);
    check(warp(POINT{(list.left + list.right) / 2, spot.y}), "the cursor stands over the list");
    check(waitFor([&] { return panelParked(panel); }), "the poll parks the panel again");
}

// With DOCK_DELAY=300 the panel comes 300 ms after the first decision that saw the cursor in
// the strip: never while the cursor has been there for less than 250 ms (the cursor's news can
// reach the program a little after the move), and within a bounded wait after.
E2E_SCENARIO(docking_pause_before_the_panel_comes) {
    TestWindows& w = TestWindows::open();
    const std::wstring exe = installEdgepad(L"docking_pause");
    check(writeFile(iniBeside(exe), "[DATA]\r\nUSER_COMMAND=%( n)\r\nUSER_COMMAND_ON=0\r\n"
                                    "DOCK_DELAY=300\r\n"),
          "the settings file holds DOCK_DELAY=300");
    Process edgepad(exe);
    const HWND panel = startParked(edgepad);
    if (!panel) return;

    const LONG left = windowRect(w.fileManager).left;
    constexpr int kEntries = 6;
    std::vector<ULONGLONG> after;
    for (int entry = 0; entry < kEntries; ++entry) {
        // Each entry at another height. The panel comes up under the cursor, and its late news
        // of the cursor there can set Wine's record of the cursor back to that spot once the
        // cursor has gone; a move to that very spot would then read as done at once and warp
        // nothing.
        const POINT spot = stripSpot(w.fileManager, w.treeView, entry * 7 - 20);
        if (!check(parkAway(panel), "entry %d: the panel is parked first", entry)) return;
        Sleep(250); // a few ticks away, so that the next one in the strip is the first
        // Counted from before the move: the cursor cannot have been in the strip earlier.
        const ULONGLONG entered = GetTickCount64();
        moveCursor(spot.x, spot.y);
        ULONGLONG dockedAt = 0;
        const bool docked = waitFor(
            [&] {
                if (windowRect(panel).left != left) return false;
                dockedAt = GetTickCount64();
                return true;
            },
            5000);
        if (!docked) {
            POINT at{};
            GetCursorPos(&at);
            const RECT r = windowRect(panel);
            note("entry %d: the cursor at %ld,%ld over a \"%s\", the panel at %s", entry, at.x,
                 at.y, narrow(className(WindowFromPoint(at))).c_str(), describe(r).c_str());
        }
        if (!check(docked, "entry %d: the panel docks after the pause", entry)) return;
        after.push_back(dockedAt - entered);
        check(dockedAt - entered >= 250,
              "entry %d: no docking while the cursor has been in the strip for less than 250 ms "
              "(docked %llu ms after it entered)",
              entry, dockedAt - entered);
    }
    std::sort(after.begin(), after.end());
    note("docked %llu to %llu ms after the cursor entered the strip (median %llu)", after.front(),
         after.back(), after[after.size() / 2]);
}

// Drags pass through: a file dragged from the list onto the folder tree, or anything into the
// top-left corner, with the left button held. The panel does not come up under the drag to
// catch the drop; the first tick after the release brings it, the cursor still in place. A
// panel already docked holds still while the button is held beside it, and still parks when
// the cursor leaves.
E2E_SCENARIO(docking_during_drags) {
    TestWindows& w = TestWindows::open();
    Process edgepad(installEdgepad(L"docking_during_drags"));
    const HWND panel = startParked(edgepad);
    if (!panel) return;

    const RECT list = windowRect(w.listView);
    const POINT inList{(list.left + list.right) / 2, (list.top + list.bottom) / 2};
    const POINT spot = stripSpot(w.fileManager, w.treeView);
    moveCursor(inList.x, inList.y);
    if (!check(holdButton(Button::Left), "the left button is held on the file list")) return;
    moveCursor(spot.x, spot.y);
    const RECT parkedRect = windowRect(panel);
    const bool stayed = staysAt(panel, parkedRect, 1000) && panelParked(panel);
    check(stayed,
          "dragged into the strip, the panel stays parked while the button is held (it stands "
          "at %s)",
          describe(windowRect(panel)).c_str());
    release(Button::Left);
    if (!dockedAt(panel, w.fileManager, spot, "released in the strip")) return;
    responsive(panel);
    const RECT docked = windowRect(panel);

    // A press in the strip below the docked panel, held along the strip and out of it.
    const POINT below = stripSpot(w.fileManager, w.treeView, 60);
    moveCursor(below.x, below.y);
    if (!check(holdButton(Button::Left), "the left button is held in the strip")) return;
    moveCursor(below.x + 10, below.y + 40);
    check(staysAt(panel, docked), "held along the strip, the docked panel stays where it is");
    moveCursor(inList.x, inList.y);
    const bool parked = waitFor([&] { return panelParked(panel); });
    release(Button::Left);
    responsive(panel);
    check(parked, "held out of the strip, the panel parks (it stands at %s)",
          describe(windowRect(panel)).c_str());

    // Into the exit corner from the desktop: no exit bar until the release.
    const POINT rest = restingSpot();
    moveCursor(rest.x, rest.y);
    if (!check(holdButton(Button::Left), "the left button is held on the desktop")) return;
    moveCursor(0, 0);
    check(staysAt(panel, windowRect(panel), 1000) && panelParked(panel),
          "dragged into the top-left corner, the panel shows no exit bar while the button is held");
    release(Button::Left);
    const bool bar = waitFor([&] { return isExitBar(panel); });
    check(bar, "released in the corner, the exit bar shows (the panel is at %s)",
          describe(windowRect(panel)).c_str());
    leavesAndParks(panel, rest, "exit bar");
    check(edgepad.running(), "the program keeps running");
}
