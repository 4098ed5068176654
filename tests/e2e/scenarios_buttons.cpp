// The panel's buttons as a user meets them: docked at a file manager, a click on a cell makes
// the file manager the foreground window and sends it the cell's keys; the exit bar's
// double-click ends the program. The target windows record every key and close request.
#include "e2e.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

using namespace e2e;

namespace {

constexpr int pitchPx = 15;

bool receivedClose(const std::vector<Received>& received) {
    for (const Received& r : received)
        if (r.message == WM_CLOSE) return true;
    return false;
}

std::string settingsWith(const char* userCommand, bool userButtonOn) {
    return std::string("[DATA]\r\nUSER_COMMAND=") + userCommand +
           "\r\nUSER_COMMAND_ON=" + (userButtonOn ? "1" : "0") + "\r\n";
}

// A copy of the program with its own settings file, started with its panel parked.
std::wstring installWith(const wchar_t* folder, const std::string& settings) {
    const std::wstring exe = installEdgepad(folder);
    check(writeFile(iniBeside(exe), settings), "the settings file is written beside the copy");
    return exe;
}

POINT centreOf(HWND hwnd) {
    const RECT r = windowRect(hwnd);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// Lets the watcher see the cursor somewhere unserved for a few ticks, so that the next entry
// into a strip docks the panel instead of finding it already docked.
void restCursorAway(HWND panel, const TestWindows& windows) {
    const POINT away = centreOf(windows.ordinaryList);
    moveCursor(away.x, away.y);
    const int screen = screenWidth();
    waitFor([&] { return windowRect(panel).left == screen; });
    responsive(panel);
    Sleep(300);
}

// Starts the program with the cursor at rest, so that its first tick finds nothing.
HWND startAndPark(Process& edgepad, const TestWindows& windows) {
    const POINT away = centreOf(windows.ordinaryList);
    moveCursor(away.x, away.y);
    if (!check(edgepad.start(), "edgepad.exe starts")) return nullptr;
    const HWND panel = edgepad.waitPanel();
    if (!check(panel != nullptr, "the panel appears")) return nullptr;
    const int screen = screenWidth();
    check(waitFor([&] { return windowRect(panel).left == screen; }), "the panel is parked");
    restCursorAway(panel, windows);
    return panel;
}

// Moves the cursor into the strip along the left edge of `top`, over `served`, and waits for
// the panel to dock there. Returns the panel's rectangle.
std::optional<RECT> dockAt(HWND panel, HWND top, HWND served, const TestWindows& windows) {
    restCursorAway(panel, windows);
    const RECT topRect = windowRect(top);
    const RECT servedRect = windowRect(served);
    const int x = std::max(topRect.left, servedRect.left) + 4;
    const int y = (servedRect.top + servedRect.bottom) / 2;
    moveCursor(x, y);
    // The tick moves the panel's left edge first and its top after; the panel takes the
    // message below only once the tick has finished, so the rectangle read then is final.
    const bool docked = waitFor([&] { return windowRect(panel).left == topRect.left; });
    responsive(panel);
    const RECT rect = windowRect(panel);
    if (!docked) {
        const HWND under = WindowFromPoint(POINT{x, y});
        note("the cursor at %d,%d lies over a \"%s\" in a \"%s\" at %ld..%ld", x, y,
             narrow(className(under)).c_str(),
             narrow(className(GetAncestor(under, GA_ROOT))).c_str(), topRect.left, topRect.right);
    }
    if (!check(docked, "the panel docks at the window's left edge %ld (it stands at %ld,%ld)",
               topRect.left, rect.left, rect.top))
        return std::nullopt;
    return rect;
}

POINT cellCentre(const RECT& panelRect, int cell) {
    return POINT{panelRect.left + 9, panelRect.top + cell * pitchPx + 7};
}

void clickCell(const RECT& panelRect, int cell) {
    const POINT at = cellCentre(panelRect, cell);
    click(at.x, at.y);
}

// Waits until the keys the window received read `expected`, and checks them.
void expectKeys(const TestWindows& windows, HWND top, const std::string& expected,
                const char* what) {
    std::string got;
    waitFor([&] { return (got = describeKeys(keysIn(windows.received(top)))) == expected; });
    check(got == expected, "%s: the target receives \"%s\" (got \"%s\")", what, expected.c_str(),
          got.c_str());
}

void chordScenario(const wchar_t* folder, int cell, const char* expected, const char* what) {
    TestWindows& windows = TestWindows::open();
    Process edgepad(installWith(folder, settingsWith("%( n)", false)));
    const HWND panel = startAndPark(edgepad, windows);
    if (!panel) return;
    const auto docked = dockAt(panel, windows.fileManager, windows.treeView, windows);
    if (!docked) return;

    windows.clearReceived();
    clickCell(*docked, cell);
    expectKeys(windows, windows.fileManager, expected, what);
    check(GetForegroundWindow() == windows.fileManager, "the file manager is in the foreground");

    // A second press works the same: the panel stays so that the chord can be repeated.
    const RECT after = windowRect(panel);
    check(after.left == docked->left && after.top == docked->top,
          "the panel stays where it docked (%ld,%ld)", after.left, after.top);
    // Pressed again after a pause: a press of its own.
    Sleep(GetDoubleClickTime() + 100);
    windows.clearReceived();
    clickCell(*docked, cell);
    expectKeys(windows, windows.fileManager, expected, "pressed again");
    // A quick pair on one spot: the second press arrives as a double-click, while the first
    // one's keys are still going out. It is a press all the same, and its chord follows the
    // first one's whole.
    Sleep(GetDoubleClickTime() + 100);
    windows.clearReceived();
    const POINT at = cellCentre(*docked, cell);
    doubleClick(at.x, at.y);
    const std::string twice = std::string(expected) + " " + expected;
    expectKeys(windows, windows.fileManager, twice, "a quick pair of presses");
    check(!waitFor([&] { return keysIn(windows.received()).size() > 8; }, 1000),
          "a quick pair sends the chord twice, no more (got \"%s\")",
          describeKeys(keysIn(windows.received())).c_str());
    check(keysIn(windows.received()).size() == keysIn(windows.received(windows.fileManager)).size(),
          "no other window receives keys");
    check(edgepad.running(), "the program keeps running");
}

// A served window on a thread of this scenario's own, so that the scenario can destroy it
// (the shared test windows refuse to close).
class DoomedBrowser {
  public:
    DoomedBrowser() {
        ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = CreateThread(nullptr, 0, run, this, 0, &threadId_);
        WaitForSingleObject(ready_, 10000);
    }
    ~DoomedBrowser() {
        destroy();
        CloseHandle(thread_);
        CloseHandle(ready_);
    }
    void destroy() {
        if (!thread_) return;
        PostThreadMessageW(threadId_, WM_APP, 0, 0);
        WaitForSingleObject(thread_, 10000);
    }
    HWND frame = nullptr;
    HWND view = nullptr;

  private:
    static DWORD WINAPI run(void* parameter) {
        auto* self = static_cast<DoomedBrowser*>(parameter);
        // The classes were registered, with their recording procedure, by TestWindows.
        self->frame =
            CreateWindowExW(0, L"IEFrame", L"Doomed browser", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300,
                            260, 420, 300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        RECT client{};
        GetClientRect(self->frame, &client);
        self->view = CreateWindowExW(0, L"Internet Explorer_Server", L"", WS_CHILD | WS_VISIBLE, 0,
                                     0, client.right, client.bottom, self->frame, nullptr,
                                     GetModuleHandleW(nullptr), nullptr);
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE); // the thread's queue exists from here
        SetEvent(self->ready_);
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (!msg.hwnd && msg.message == WM_APP) {
                DestroyWindow(self->frame);
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        return 0;
    }
    HANDLE ready_ = nullptr;
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
};

} // namespace

E2E_SCENARIO(buttons_back_chord) {
    chordScenario(L"buttons_back", 1, "vAlt vLeft ^Left ^Alt", "cell 1 (back)");
}

E2E_SCENARIO(buttons_forward_chord) {
    chordScenario(L"buttons_forward", 2, "vAlt vRight ^Right ^Alt", "cell 2 (forward)");
}

E2E_SCENARIO(buttons_close_chord) {
    TestWindows& windows = TestWindows::open();
    Process edgepad(installWith(L"buttons_close", settingsWith("%( n)", false)));
    const HWND panel = startAndPark(edgepad, windows);
    if (!panel) return;
    const auto docked = dockAt(panel, windows.fileManager, windows.treeView, windows);
    if (!docked) return;

    windows.clearReceived();
    clickCell(*docked, 0);
    check(waitFor([&] { return receivedClose(windows.received(windows.fileManager)); }),
          "cell 0: the file manager receives WM_CLOSE");
    expectKeys(windows, windows.fileManager, "vAlt vF4 ^F4 ^Alt", "cell 0 (close)");
    const int screen = screenWidth();
    check(waitFor([&] { return windowRect(panel).left == screen; }),
          "the panel parks after the close chord");
    check(edgepad.running(), "the program keeps running");
}

E2E_SCENARIO(buttons_user_default_minimises) {
    TestWindows& windows = TestWindows::open();
    Process edgepad(installWith(L"buttons_user_default", settingsWith("%( n)", true)));
    const HWND panel = startAndPark(edgepad, windows);
    if (!panel) return;
    const auto docked = dockAt(panel, windows.fileManager, windows.treeView, windows);
    if (!docked) return;
    check(docked->bottom - docked->top == 4 * pitchPx, "the panel is four cells high (%ld)",
          docked->bottom - docked->top);

    windows.clearReceived();
    clickCell(*docked, 3);
    check(waitFor([&] { return IsIconic(windows.fileManager) != FALSE; }),
          "the user button minimises the file manager through its window menu");
    const int screen = screenWidth();
    check(windowRect(panel).left == screen, "the panel parked before the typing");
    note("the file manager received \"%s\"",
         describeKeys(keysIn(windows.received(windows.fileManager))).c_str());
    ShowWindow(windows.fileManager, SW_RESTORE);
}

E2E_SCENARIO(buttons_user_custom_keys) {
    TestWindows& windows = TestWindows::open();
    Process edgepad(installWith(L"buttons_user_custom", settingsWith("ab{ENTER}", true)));
    const HWND panel = startAndPark(edgepad, windows);
    if (!panel) return;
    const auto docked = dockAt(panel, windows.fileManager, windows.treeView, windows);
    if (!docked) return;

    windows.clearReceived();
    clickCell(*docked, 3);
    expectKeys(windows, windows.fileManager, "vA ^A vB ^B vEnter ^Enter",
               "the user button with \"ab{ENTER}\"");
    check(windowRect(panel).left == screenWidth(), "the panel parked");
}

E2E_SCENARIO(buttons_destroyed_target_gets_nothing) {
    TestWindows& windows = TestWindows::open();
    listenToDebugOutput();
    DoomedBrowser doomed;
    if (!check(doomed.frame && doomed.view, "a browser window to be destroyed opens")) return;
    Process edgepad(installWith(L"buttons_destroyed", settingsWith("%( n)", false)));
    const HWND panel = startAndPark(edgepad, windows);
    if (!panel) return;
    const auto docked = dockAt(panel, doomed.frame, doomed.view, windows);
    if (!docked) return;

    // Rest on the close cell first: over the panel the watcher leaves it where it is.
    const POINT close = cellCentre(*docked, 0);
    moveCursor(close.x, close.y);
    Sleep(300);
    const HWND frame = doomed.frame;
    doomed.destroy();
    check(!IsWindow(frame), "the served browser window is gone");
    windows.clearReceived();

    click(close.x, close.y);
    const int screen = screenWidth();
    check(waitFor([&] { return windowRect(panel).left == screen; }),
          "the close cell still parks the panel");
    const bool anyKey = waitFor([&] { return !keysIn(windows.received()).empty(); }, 1500);
    check(!anyKey, "no window receives a key (got \"%s\")",
          describeKeys(keysIn(windows.received())).c_str());
    check(!receivedClose(windows.received()), "no window receives WM_CLOSE");
    std::string said;
    waitFor([&] {
        for (const std::string& line : takeDebugOutput())
            said += line;
        return said.find("the served window is gone") != std::string::npos;
    });
    check(said.find("Edgepad: no keys sent: the served window is gone") != std::string::npos,
          "the program tells a debugger why it sent nothing (\"%s\")", said.c_str());
    check(edgepad.running(), "the program keeps running");
}

E2E_SCENARIO(buttons_exit_bar_double_click_ends) {
    TestWindows& windows = TestWindows::open();
    Process edgepad(installWith(L"buttons_exit_bar", settingsWith("%( n)", false)));
    const HWND panel = startAndPark(edgepad, windows);
    if (!panel) return;
    moveCursor(0, 0);
    const bool bar = waitFor([&] {
        const RECT r = windowRect(panel);
        return r.left == -1 && r.top == -1;
    });
    if (!check(bar, "the exit bar shows at (-1, -1)")) return;
    saveScreenshot(L"buttons_exit_bar");
    windows.clearReceived();
    doubleClick(0, 0);
    check(edgepad.waitExit(5000), "a double-click on the exit bar ends the program");
    check(keysIn(windows.received()).empty(), "no window receives a key");
}

// Presses as they come on a working desk: before each, the user clicked in another window or
// in the served window, or nobody is in front; then the hand goes to the strip and presses
// back or forward. Every press must bring the served window forward and deliver its chord
// there, and nothing anywhere else.
E2E_SCENARIO(buttons_every_press_lands) {
    TestWindows& windows = TestWindows::open();
    Process edgepad(installWith(L"buttons_every_press", settingsWith("%( n)", false)));
    const HWND panel = startAndPark(edgepad, windows);
    if (!panel) return;

    constexpr int kPresses = 66;
    const char* const fronts[] = {"another window", "the served window", "nobody"};
    const int screen = screenWidth();
    int landed = 0;
    // Milliseconds from the button going down to the whole chord seen, by who was in front.
    std::vector<ULONGLONG> arrivals[3];
    for (int i = 0; i < kPresses && edgepad.running(); ++i) {
        const int front = i % 3;
        if (front == 2) {
            const POINT away = centreOf(windows.ordinaryList);
            moveCursor(away.x, away.y);
            SetForegroundWindow(GetDesktopWindow());
        } else {
            const POINT at = centreOf(front == 0 ? windows.ordinaryList : windows.listView);
            click(at.x, at.y);
        }
        const HWND wanted = front == 0 ? windows.ordinary : windows.fileManager;
        waitFor([&] {
            const HWND fg = GetAncestor(GetForegroundWindow(), GA_ROOT);
            return front == 2 ? fg != windows.ordinary && fg != windows.fileManager : fg == wanted;
        });
        const HWND before = GetForegroundWindow();
        waitFor([&] { return windowRect(panel).left == screen; });
        const auto docked = dockAt(panel, windows.fileManager, windows.treeView, windows);
        if (!docked) return;

        windows.clearReceived();
        // Back and forward in turn: no press lands on the spot of the one before, where it
        // would make a double-click (the quick pairs are the chord scenarios' part).
        const int cell = 1 + i % 2;
        const std::string expected =
            cell == 1 ? "vAlt vLeft ^Left ^Alt" : "vAlt vRight ^Right ^Alt";
        const ULONGLONG pressed = GetTickCount64();
        clickCell(*docked, cell);
        std::string got;
        const bool arrived = waitFor(
            [&] {
                return (got = describeKeys(keysIn(windows.received(windows.fileManager)))) ==
                       expected;
            },
            3000);
        const std::string everywhere = describeKeys(keysIn(windows.received()));
        if (arrived && everywhere == expected) {
            ++landed;
            arrivals[front].push_back(GetTickCount64() - pressed);
            continue;
        }
        const HWND now = GetForegroundWindow();
        GUITHREADINFO gui{};
        gui.cbSize = sizeof gui;
        GetGUIThreadInfo(0, &gui);
        note("press %d on cell %d with %s in front (a \"%s\"): the file manager got \"%s\", all "
             "windows \"%s\"; the foreground is now a \"%s\"%s (focus a \"%s\", capture a "
             "\"%s\")",
             i, cell, fronts[front], narrow(className(before)).c_str(), got.c_str(),
             everywhere.c_str(), narrow(className(now)).c_str(),
             now == panel ? " (the panel itself)" : "", narrow(className(gui.hwndFocus)).c_str(),
             narrow(className(gui.hwndCapture)).c_str());
    }
    for (int front = 0; front < 3; ++front) {
        std::vector<ULONGLONG>& times = arrivals[front];
        if (times.empty()) continue;
        std::sort(times.begin(), times.end());
        note("with %s in front the chord was seen %llu ms after the press at the median, %llu "
             "at most",
             fronts[front], times[times.size() / 2], times.back());
    }
    check(landed == kPresses, "%d of %d presses delivered their chord to the served window only",
          landed, kPresses);
    check(edgepad.running(), "the program keeps running");
}

// A hand moves from the strip onto the docked panel in small steps, the way a person reaches
// for a button. However the steps fall between the program's ticks, the panel must hold still.
E2E_SCENARIO(docking_hand_approaches_hold_still) {
    TestWindows& windows = TestWindows::open();
    Process edgepad(installWith(L"docking_hand", settingsWith("%( n)", true)));
    const HWND panel = startAndPark(edgepad, windows);
    if (!panel) return;
    const auto docked = dockAt(panel, windows.fileManager, windows.treeView, windows);
    if (!docked) return;
    const RECT top = windowRect(windows.fileManager);

    constexpr int kApproaches = 240;
    RECT home = *docked;
    int jumps = 0;
    for (int i = 0; i < kApproaches && edgepad.running(); ++i) {
        const int y = home.top + 2 + (i * 7) % (int(home.bottom - home.top) - 4);
        const int strip = top.left + 27; // beside the panel, inside the 30-pixel strip
        const int onPanel = home.left + 4 + i % 10;
        for (int x = strip; x >= onPanel; --x) {
            handAt(x, y);
            Sleep(1 + i % 3);
        }
        moveCursor(onPanel, y);
        Sleep(40 + (i * 13) % 90); // rest on the button for part of a tick or more
        const RECT now = windowRect(panel);
        if (now.left != home.left || now.top != home.top) {
            ++jumps;
            note("approach %d at row %d: the panel moved from %ld,%ld to %ld,%ld", i, y, home.left,
                 home.top, now.left, now.top);
            waitFor([&] { return windowRect(panel).left == top.left; });
            responsive(panel);
            home = windowRect(panel);
        }
        for (int x = onPanel; x <= strip; ++x) {
            handAt(x, y);
            Sleep(1);
        }
        moveCursor(strip, y);
    }
    check(jumps == 0, "in %d approaches from the strip onto the panel it never moved (%d moves)",
          kApproaches, jumps);
    check(edgepad.running(), "the program keeps running");
}

namespace {

// "vAlt:38 vLeft:4B* ^Left:4B* ^Alt:38": each key with the scan code the window read in its
// lParam (bits 16 to 23), "*" where the extended bit (24) is set.
std::string describeScanCodes(const std::vector<Received>& keys) {
    std::string out;
    for (const Received& key : keys) {
        char scan[8];
        std::snprintf(scan, sizeof scan, ":%02X", unsigned((key.lParam >> 16) & 0xFF));
        if (!out.empty()) out += ' ';
        out += describeKeys({key}) + scan + (((key.lParam >> 24) & 1) ? "*" : "");
    }
    return out;
}

} // namespace

// Each key arrives as a keyboard makes it: programs that read scan codes (browsers, terminals,
// remote-desktop clients) must see Alt, the arrows and F4, and the letters of a key string.
E2E_SCENARIO(buttons_keys_carry_scan_codes) {
    TestWindows& windows = TestWindows::open();
    Process edgepad(installWith(L"buttons_scan_codes", settingsWith("ab{LEFT}", true)));
    const HWND panel = startAndPark(edgepad, windows);
    if (!panel) return;
    struct Press {
        int cell;
        const char* expected;
        const char* what;
    };
    const Press presses[] = {
        {1, "vAlt:38 vLeft:4B* ^Left:4B* ^Alt:38", "the back chord"},
        {2, "vAlt:38 vRight:4D* ^Right:4D* ^Alt:38", "the forward chord"},
        {0, "vAlt:38 vF4:3E ^F4:3E ^Alt:38", "the close chord"},
        {3, "vA:1E ^A:1E vB:30 ^B:30 vLeft:4B* ^Left:4B*", "the key string \"ab{LEFT}\""},
    };
    for (const Press& press : presses) {
        const auto docked = dockAt(panel, windows.fileManager, windows.treeView, windows);
        if (!docked) return;
        windows.clearReceived();
        clickCell(*docked, press.cell);
        std::string got;
        waitFor([&] {
            got = describeScanCodes(keysIn(windows.received(windows.fileManager)));
            return got == press.expected;
        });
        check(got == press.expected, "%s: the file manager reads \"%s\" (got \"%s\")", press.what,
              press.expected, got.c_str());
    }
    check(edgepad.running(), "the program keeps running");
}
