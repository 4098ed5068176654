// The README's picture of display scaling, one half of it: the real edgepad.exe under Wine,
// its four-button panel docked at a file manager, one screenshot. It prints the part of the
// screen worth showing, the panel and what stands around it (the same 96-DPI margins at every
// DPI), as "crop <name> <x> <y> <width> <height>", for tools/demo.sh.
//
// Built into the demo's driver with the Wine rig's driver (tests/e2e/e2e_driver.cpp and
// test_windows.cpp), whose helpers it uses:  demo_driver scale_tour <edgepad.exe> <work folder>
#include "e2e.h"

#include <cstdio>
#include <string>

using namespace e2e;

namespace {

constexpr COLORREF kFace = RGB(212, 208, 200);

} // namespace

E2E_SCENARIO(scale_tour) {
    // The windows first: without a window manager X draws later windows over earlier ones,
    // and the panel must show above the file manager.
    TestWindows& w = TestWindows::open();
    const std::wstring exe = installEdgepad(L"scale_tour");
    writeFile(iniBeside(exe), "[DATA]\r\nUSER_COMMAND=%( n)\r\nUSER_COMMAND_ON=1\r\n");
    Process edgepad(exe);
    moveCursor(restingSpot().x, restingSpot().y);
    if (!check(edgepad.start(), "edgepad.exe starts")) return;
    const HWND panel = edgepad.waitPanel();
    if (!check(panel != nullptr, "the panel appears")) return;
    if (!check(settleIdle(panel), "the watcher is idle")) return;

    // Into the strip over the empty lower part of the tree pane, right of where the panel
    // will stand.
    const RECT frame = windowRect(w.fileManager);
    const RECT tree = windowRect(w.treeView);
    moveCursor(frame.left + scaled(24), tree.bottom - 120);
    const bool docked = waitFor([&] {
        const RECT r = windowRect(panel);
        return r.left == frame.left && r.bottom - r.top == scaled(60) &&
               screenPixel(r.left + scaled(3), r.top + scaled(3)) == kFace;
    });
    if (!check(docked && responsive(panel), "the panel docks at the file manager at %d DPI",
               rigDpi()))
        return;
    // The X server composes what Wine has drawn a moment later.
    Sleep(400);
    const std::wstring name = L"docked-" + std::to_wstring(rigDpi());
    if (!check(saveScreenshot(name), "screenshot %s", narrow(name).c_str())) return;
    const RECT r = windowRect(panel);
    const RECT keep{r.left, r.top - scaled(8), r.right + scaled(24), r.bottom + scaled(8)};
    std::printf("crop %s %ld %ld %ld %ld\n", narrow(name).c_str(), keep.left, keep.top,
                keep.right - keep.left, keep.bottom - keep.top);
    std::fflush(stdout);
}
