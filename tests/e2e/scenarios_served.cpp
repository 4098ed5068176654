// Windows served through the setting SERVED_WINDOWS: two browsers of made-up classes, one
// whose page view is a child window below a tab strip of its own frame, one with no child
// window at all, get the panel only while the settings file names them. The file manager is
// served either way, and the program never rewrites the key.
#include "e2e.h"

#include <string>

using namespace e2e;

namespace {

constexpr int kPitchPx = 15;
constexpr char kServedWindows[] =
    "SERVED_WINDOWS = EdgepadTestWidgetFrame : EdgepadTestWidgetView ; EdgepadTestPlainFrame:*";

std::string settings(bool served) {
    std::string text = "[DATA]\r\nUSER_COMMAND=%( n)\r\nUSER_COMMAND_ON=0\r\n";
    if (served) text += std::string(kServedWindows) + "\r\n";
    return text;
}

// The made-up browsers come up over the browser frame and the ordinary window.
void showMadeUpBrowsers(const TestWindows& w) {
    SetWindowPos(w.widgetFrame, HWND_TOP, 80, 520, 560, 400, SWP_SHOWWINDOW | SWP_NOACTIVATE);
    SetWindowPos(w.plainFrame, HWND_TOP, 680, 520, 520, 400, SWP_SHOWWINDOW | SWP_NOACTIVATE);
}

// A spot in the strip of `frame`, at the middle height of `part`.
POINT stripSpot(HWND frame, HWND part) {
    const RECT f = windowRect(frame);
    const RECT p = windowRect(part);
    return POINT{f.left + 4, (p.top + p.bottom) / 2};
}

HWND startParked(Process& edgepad) {
    moveCursor(restingSpot().x, restingSpot().y);
    if (!check(edgepad.start(), "edgepad.exe starts")) return nullptr;
    const HWND panel = edgepad.waitPanel();
    if (!check(panel != nullptr, "the panel appears")) return nullptr;
    if (!check(settleIdle(panel), "the watcher is idle and parks the panel")) return nullptr;
    return panel;
}

// From idle into the strip at `spot`: whether the panel docks at the frame's left edge.
bool docksAt(HWND panel, HWND frame, POINT spot) {
    parkAway(panel);
    Sleep(300);
    moveCursor(spot.x, spot.y);
    const LONG left = windowRect(frame).left;
    const bool docked = waitFor([&] { return windowRect(panel).left == left; });
    responsive(panel);
    return docked;
}

// From idle into the strip at `spot`: the panel stays parked for several ticks.
bool staysParkedAt(HWND panel, POINT spot) {
    parkAway(panel);
    moveCursor(spot.x, spot.y);
    return !waitFor([&] { return !panelParked(panel); }, 700) && panelParked(panel);
}

bool received(const TestWindows& w, HWND top, UINT message, WPARAM vk) {
    for (const Received& r : w.received(top))
        if (r.message == message && r.wParam == vk) return true;
    return false;
}

} // namespace

E2E_SCENARIO(served_windows_setting) {
    TestWindows& w = TestWindows::open();
    showMadeUpBrowsers(w);
    const POINT view = stripSpot(w.widgetFrame, w.widgetView);
    const POINT tabStrip{view.x, windowRect(w.widgetView).top - 20};
    const POINT plain = stripSpot(w.plainFrame, w.plainFrame);
    const POINT plainTitle{plain.x, windowRect(w.plainFrame).top + 8};
    const POINT files = stripSpot(w.fileManager, w.treeView);

    {
        Process edgepad(installEdgepad(L"served_windows_without"));
        check(writeFile(iniBeside(edgepad.exePath()), settings(false)),
              "a settings file without the key");
        const HWND panel = startParked(edgepad);
        if (!panel) return;
        check(staysParkedAt(panel, view), "the widget browser's page view is not served");
        check(staysParkedAt(panel, plain), "the plain browser is not served");
        check(docksAt(panel, w.fileManager, files), "the file manager is served as ever");
    }

    Process edgepad(installEdgepad(L"served_windows_with"));
    const std::wstring ini = iniBeside(edgepad.exePath());
    check(writeFile(ini, settings(true)), "a settings file with \"%s\"", kServedWindows);
    const HWND panel = startParked(edgepad);
    if (!panel) return;

    if (check(docksAt(panel, w.widgetFrame, view), "the widget browser's page view is served")) {
        const RECT docked = windowRect(panel);
        w.clearReceived();
        click(docked.left + 9, docked.top + kPitchPx + 7);
        check(waitFor([&] { return received(w, w.widgetFrame, WM_SYSKEYDOWN, VK_LEFT); }),
              "the back cell sends it Alt+Left");
    }
    check(staysParkedAt(panel, tabStrip), "its tab strip, the frame itself, is not served");
    check(docksAt(panel, w.plainFrame, plain), "the plain browser is served");
    check(docksAt(panel, w.plainFrame, plainTitle), "and so is its title bar");
    check(docksAt(panel, w.fileManager, files), "the file manager is served as ever");
    saveScreenshot(L"served_windows");

    const auto after = readFile(ini);
    check(after && *after == settings(true), "the settings file is as it was written");
    check(edgepad.running(), "the program keeps running");
}
