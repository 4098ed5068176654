// Start-up as a user sees it: the first start seeds the settings file and parks the panel
// beyond the right edge of the screen; a second start ends by itself and touches nothing.
#include "e2e.h"

#include <string>

using namespace e2e;

namespace {

const char* const seededSettings = "[DATA]\r\nUSER_COMMAND=%( n)\r\nUSER_COMMAND_ON=0\r\n";

// Shows a file's bytes with the line ends spelled out, for a failing check.
std::string visible(const std::optional<std::string>& bytes) {
    if (!bytes) return "(no file)";
    std::string out;
    for (char c : *bytes) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else out += c;
    }
    return out;
}

} // namespace

E2E_SCENARIO(first_start) {
    const std::wstring exe = installEdgepad(L"first_start");
    const std::wstring ini = iniBeside(exe);
    check(!fileExists(ini), "a fresh folder holds no settings file");

    Process edgepad(exe);
    if (!check(edgepad.start(), "edgepad.exe starts")) return;
    const HWND panel = edgepad.waitPanel();
    if (!check(panel != nullptr, "a window titled \"Form1\" appears")) return;

    const int screen = screenWidth();
    waitFor([&] { return windowRect(panel).left == screen && IsWindowVisible(panel); });
    const RECT rect = windowRect(panel);
    check(rect.left == screen, "the panel is parked with its left edge at the screen width %d "
                               "(at %ld,%ld)", screen, rect.left, rect.top);
    check(IsWindowVisible(panel), "the panel is visible");

    const LONG style = GetWindowLongW(panel, GWL_STYLE);
    const LONG exStyle = GetWindowLongW(panel, GWL_EXSTYLE);
    const RECT client = clientRect(panel);
    check(!(style & (WS_CAPTION | WS_THICKFRAME | WS_BORDER | WS_DLGFRAME)) &&
              client.right == rect.right - rect.left && client.bottom == rect.bottom - rect.top,
          "the panel is borderless (style %08lx, window %ldx%ld, client %ldx%ld)", style,
          rect.right - rect.left, rect.bottom - rect.top, client.right, client.bottom);
    check(exStyle & WS_EX_TOPMOST, "the panel is topmost (exstyle %08lx)", exStyle);
    check((exStyle & WS_EX_TOOLWINDOW) || GetWindow(panel, GW_OWNER),
          "the panel has no taskbar button (a tool window or an owned one)");
    check(rect.right - rect.left == 18 && rect.bottom - rect.top == 45,
          "the panel is 18 pixels wide and three 15-pixel buttons high (%ldx%ld)",
          rect.right - rect.left, rect.bottom - rect.top);

    std::optional<std::string> settings;
    waitFor([&] { return (settings = readFile(ini)) && *settings == seededSettings; });
    check(settings && *settings == seededSettings,
          "edgepad.ini beside the program holds the seeded defaults: %s",
          visible(settings).c_str());
    check(windowsTitled(L"Form1").size() == 1, "exactly one \"Form1\" window exists");
    check(edgepad.running(), "the program keeps running");
    saveScreenshot(L"first_start");
}

E2E_SCENARIO(second_instance) {
    const std::wstring exe = installEdgepad(L"second_instance");
    const std::wstring ini = iniBeside(exe);

    Process first(exe);
    if (!check(first.start(), "the first instance starts")) return;
    if (!check(first.waitPanel() != nullptr, "the first instance shows its panel")) return;
    std::optional<std::string> before;
    const bool seeded =
        waitFor([&] { return (before = readFile(ini)) && *before == seededSettings; });
    check(seeded, "the first instance seeds the settings file");
    const auto writtenBefore = lastWriteTime(ini);

    Process second(exe);
    if (!check(second.start(), "a second copy starts from the same folder")) return;
    bool secondShowedPanel = false;
    const bool ended = waitFor(
        [&] {
            // The form may exist hidden for a moment before the check ends the program; a
            // person sees a window only once it is visible.
            const HWND panel = second.panel();
            secondShowedPanel = secondShowedPanel || (panel && IsWindowVisible(panel));
            return !second.running();
        },
        10000);
    check(ended, "the second instance ends by itself");
    check(!secondShowedPanel, "the second instance shows no \"Form1\" window");
    check(windowsTitled(L"Form1").size() == 1, "one \"Form1\" window exists, the first one's");

    const auto after = readFile(ini);
    check(after == before, "the settings file is byte-identical: %s", visible(after).c_str());
    const auto writtenAfter = lastWriteTime(ini);
    check(writtenBefore && writtenAfter &&
              CompareFileTime(&*writtenBefore, &*writtenAfter) == 0,
          "the settings file was not written again");
    check(first.running(), "the first instance keeps running");
    saveScreenshot(L"second_instance");
}
