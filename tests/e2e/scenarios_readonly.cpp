// A program folder the user may not write, as Program Files is for a standard user: the
// runner mounts a small tmpfs, fills it with padcopy.exe alone and with edgepad.exe beside an
// edgepad.ini of its own, remounts it read-only and maps it as drive R:, which the program
// is started from. The settings then live in the user's %APPDATA%\Edgepad\<name>.ini.
#include "e2e.h"

#include <algorithm>
#include <optional>
#include <string>

using namespace e2e;

namespace {

constexpr char kSeeded[] = "[DATA]\r\nUSER_COMMAND=%( n)\r\nUSER_COMMAND_ON=0\r\n";

std::wstring folderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

std::wstring roamingAppData() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"APPDATA", path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? path : L"";
}

int panelHeight(HWND panel) {
    const RECT r = windowRect(panel);
    return r.bottom - r.top;
}

// Starts the program at rest and waits for its panel to park and its watcher to idle.
HWND startAtRest(Process& edgepad) {
    moveCursor(restingSpot().x, restingSpot().y);
    if (!check(edgepad.start(), "the program starts")) return nullptr;
    const HWND panel = edgepad.waitPanel();
    if (!check(panel != nullptr, "the panel appears")) return nullptr;
    if (!check(settleIdle(panel), "the watcher is idle and parks the panel")) return nullptr;
    return panel;
}

// Enters the file manager's strip over its tree pane; the panel's height once docked, or 0.
int dockedHeight(HWND panel) {
    TestWindows& w = TestWindows::open();
    if (!parkAway(panel)) return 0;
    const RECT frame = windowRect(w.fileManager);
    const RECT tree = windowRect(w.treeView);
    moveCursor(std::max(frame.left, tree.left) + 3, (tree.top + tree.bottom) / 2);
    const bool docked =
        waitFor([&] { return windowRect(panel).left == frame.left && IsWindowVisible(panel); });
    return docked && responsive(panel) ? panelHeight(panel) : 0;
}

// The menu's first item, chosen on the docked panel with the keyboard.
bool chooseSwitch(HWND panel) {
    if (!dockedHeight(panel)) return false;
    const RECT rect = windowRect(panel);
    click(rect.left + (rect.right - rect.left) / 2, rect.top + scaled(7), Button::Right);
    if (!waitFor([] { return visibleMenu() != nullptr; })) return false;
    chooseCommand(0);
    return waitFor([] { return visibleMenu() == nullptr; });
}

bool fileHolds(const std::wstring& path, const std::string& bytes) {
    return waitFor([&] { return readFile(path) == bytes; });
}

} // namespace

E2E_SCENARIO(readonly_folder) {
    TestWindows::open();
    const std::wstring exe = edgepadExe();
    const std::wstring folder = folderOf(exe);
    const std::wstring appData = roamingAppData();
    if (!check(!appData.empty(), "APPDATA names the user's folder (%s)", narrow(appData).c_str()))
        return;
    if (!check(!writeFile(folder + L"\\probe.txt", "x"),
               "the program's folder %s takes no new file", narrow(folder).c_str()))
        return;

    note("-- padcopy.exe alone: the first start seeds the user's file");
    const std::wstring usersIni = appData + L"\\Edgepad\\padcopy.ini";
    DeleteFileW(usersIni.c_str()); // an earlier run's
    {
        Process edgepad(exe);
        const HWND panel = startAtRest(edgepad);
        if (!panel) return;
        check(fileHolds(usersIni, kSeeded), "%s holds the seeded defaults",
              narrow(usersIni).c_str());
        check(!fileExists(iniBeside(exe)), "no settings file beside the exe");
        check(dockedHeight(panel) == scaled(45), "the docked panel is three buttons high");
        check(chooseSwitch(panel), "the menu's first item is chosen");
        check(fileHolds(usersIni, "[DATA]\r\nUSER_COMMAND=%( n)\r\nUSER_COMMAND_ON=1\r\n"),
              "the switch is written to the user's file");
        edgepad.kill();
    }
    {
        Process edgepad(exe);
        const HWND panel = startAtRest(edgepad);
        if (!panel) return;
        check(dockedHeight(panel) == scaled(60), "after a restart the switch is on again: "
                                                 "four buttons high");
        check(readFile(usersIni) == "[DATA]\r\nUSER_COMMAND=%( n)\r\nUSER_COMMAND_ON=1\r\n",
              "the restart leaves the user's file as it was");
        edgepad.kill();
    }

    note("-- edgepad.exe with a settings file of its own: copied byte for byte");
    const std::wstring withIni = folder + L"\\edgepad.exe";
    const std::optional<std::string> beside = readFile(iniBeside(withIni));
    if (!check(beside && beside->find("USER_COMMAND_ON=1") != std::string::npos,
               "R:\\edgepad.ini switches the user button on"))
        return;
    const std::wstring copyIni = appData + L"\\Edgepad\\edgepad.ini";
    DeleteFileW(copyIni.c_str());
    Process edgepad(withIni);
    const HWND panel = startAtRest(edgepad);
    if (!panel) return;
    check(fileHolds(copyIni, *beside), "the user's file is a byte-for-byte copy");
    check(dockedHeight(panel) == scaled(60), "the panel is four buttons high");
    edgepad.kill();
    DeleteFileW(copyIni.c_str()); // tidy: other scenarios' copies are named edgepad too
}
