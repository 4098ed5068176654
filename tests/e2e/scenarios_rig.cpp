// The rig itself, before any program is judged by it: the windows a user has are where the
// scenarios expect them, real input reaches them, and the screen reads back what they show.
// When this fails, the fault lies in the test machine, not in Edgepad.
#include "e2e.h"

using namespace e2e;

namespace {

bool receivedKey(HWND top, UINT message, WPARAM vk) {
    for (const Received& r : TestWindows::open().received(top))
        if (r.message == message && r.wParam == vk) return true;
    return false;
}

HWND topLevelAt(int x, int y) { return GetAncestor(WindowFromPoint(POINT{x, y}), GA_ROOT); }

} // namespace

E2E_SCENARIO(rig_desktop) {
    TestWindows& w = TestWindows::open();
    const RECT tree = windowRect(w.treeView);
    const RECT frame = windowRect(w.fileManager);
    check(tree.left - frame.left < 30, "the file manager's tree pane starts within its 30-pixel "
                                       "strip (%ld pixels in)", tree.left - frame.left);
    const int y = (tree.top + tree.bottom) / 2;
    check(className(WindowFromPoint(POINT{tree.left + 2, y})) == L"SysTreeView32" &&
              topLevelAt(tree.left + 2, y) == w.fileManager,
          "WindowFromPoint finds the tree pane inside the file manager");
    const RECT view = windowRect(w.browserView);
    check(className(WindowFromPoint(POINT{view.left + 2, view.top + 40})) ==
              L"Internet Explorer_Server",
          "WindowFromPoint finds the browser's view");

    check(moveCursor(tree.left + 2, y), "the cursor moves to the strip and stays there");

    SetForegroundWindow(w.fileManager);
    check(waitFor([&] { return GetForegroundWindow() == w.fileManager; }),
          "the file manager becomes the foreground window");
    w.clearReceived();
    keyDown(VK_MENU);
    keyDown(VK_LEFT);
    keyUp(VK_LEFT);
    keyUp(VK_MENU);
    // Alt's own release comes as WM_KEYUP or WM_SYSKEYUP, depending on what went between.
    check(waitFor([&] {
              return receivedKey(w.fileManager, WM_KEYUP, VK_MENU) ||
                     receivedKey(w.fileManager, WM_SYSKEYUP, VK_MENU);
          }) && receivedKey(w.fileManager, WM_SYSKEYDOWN, VK_LEFT),
          "Alt+Left sent with SendInput reaches the foreground file manager");
    check(w.received(w.ordinary).empty(), "the ordinary window receives nothing");

    const RECT list = windowRect(w.listView);
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    check(waitFor([&] { return screenPixel(list.right - 20, list.bottom - 20) == window; }),
          "the screen reads back the list view's background (%06lx, expected %06lx)",
          screenPixel(list.right - 20, list.bottom - 20), window);
    saveScreenshot(L"rig_desktop");
}
