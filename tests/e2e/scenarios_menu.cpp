// The panel's popup menu as a user meets it: a right press on the docked panel opens it; its
// first item switches the user button and saves the choice, its second opens the About
// window, whose closing hands the focus to the uppermost ordinary window, and its last ends
// the program without touching the settings file. The menu and the About window speak
// Japanese under a Japanese UI language and English under any other.
#include "e2e.h"

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

using namespace e2e;

namespace {

const wchar_t* const kUseUserButton =
    L"\uFF95\uFF70\uFF7B\uFF9E\uFF8E\uFF9E\uFF80\uFF9D\u3092\u4F7F\u3046";
const wchar_t* const kVersionInformation = L"\u30D0\u30FC\u30B8\u30E7\u30F3\u60C5\u5831";
const wchar_t* const kExit = L"\u7D42\u4E86";

const wchar_t* const kUseUserButtonEnglish = L"Use the user button";
const wchar_t* const kAboutEnglish = L"About Edgepad";
const wchar_t* const kExitEnglish = L"Exit";

constexpr UINT kGetMenuHandle = 0x01E1; // MN_GETHMENU

// Enters the file manager's strip over its tree pane and waits for the panel to dock at the
// window's outer left edge.
bool dockAtFileManager(HWND panel) {
    TestWindows& w = TestWindows::open();
    const RECT frame = windowRect(w.fileManager);
    const RECT tree = windowRect(w.treeView);
    moveCursor(std::max(frame.left, tree.left) + 3, (tree.top + tree.bottom) / 2);
    const bool docked =
        waitFor([&] { return windowRect(panel).left == frame.left && IsWindowVisible(panel); });
    // The tick sets the top after the left edge; once the panel takes a message it is done.
    return responsive(panel) && docked;
}

int panelHeight(HWND panel) {
    const RECT r = windowRect(panel);
    return r.bottom - r.top;
}

// A right press on the docked panel's first cell; returns the menu window that opens.
HWND openMenu(HWND panel) {
    const RECT rect = windowRect(panel);
    click(rect.left + (rect.right - rect.left) / 2, rect.top + 7, Button::Right);
    HWND menu = nullptr;
    waitFor([&] { return (menu = visibleMenu()) != nullptr; });
    return menu;
}

// Starts a fresh copy with its settings seeded and its panel shown; false if it did not.
bool startEdgepad(Process& edgepad, const std::wstring& ini, HWND& panel) {
    moveCursor(restingSpot().x, restingSpot().y);
    if (!check(edgepad.start(), "edgepad.exe starts")) return false;
    panel = edgepad.waitPanel();
    if (!check(panel != nullptr, "the panel appears")) return false;
    if (!check(waitFor([&] { return panelParked(panel); }), "start-up parks the panel"))
        return false;
    if (!check(waitFor([&] { return readFile(ini).has_value(); }),
               "the settings file has been seeded"))
        return false;
    return check(settleIdle(panel), "the watcher is idle and parks the panel");
}

std::wstring menuItemText(HMENU menu, UINT position) {
    wchar_t text[128] = {};
    GetMenuStringW(menu, position, text, 128, MF_BYPOSITION);
    return text;
}

// The open menu's items, where this process can read them (on Windows; Wine keeps a menu in
// the process that made it), or null.
HMENU readableItems(HWND menu) {
    const HMENU items = reinterpret_cast<HMENU>(SendMessageW(menu, kGetMenuHandle, 0, 0));
    return items && GetMenuItemCount(items) == 5 ? items : nullptr;
}

// Whether the open menu holds the three captions in order, separated: read from its items
// where they can be read, else seen on the screen, each below the one before.
bool menuShowsCaptions(HWND menu, const wchar_t* first, const wchar_t* second,
                       const wchar_t* third) {
    if (const HMENU items = readableItems(menu))
        return menuItemText(items, 0) == first && menuItemText(items, 2) == second &&
               menuItemText(items, 4) == third;
    std::optional<POINT> a, b, c;
    // The menu is drawn a moment after its window shows.
    waitFor([&] {
        return (a = findMenuText(menu, first)) && (b = findMenuText(menu, second)) &&
               (c = findMenuText(menu, third));
    });
    return a && b && c && a->y < b->y && b->y < c->y;
}

// Whether the open menu shows none of the captions.
bool menuShowsNone(HWND menu, std::initializer_list<const wchar_t*> captions) {
    if (const HMENU items = readableItems(menu)) {
        for (UINT position = 0; position < 5; ++position)
            for (const wchar_t* caption : captions)
                if (menuItemText(items, position) == caption) return false;
        return true;
    }
    for (const wchar_t* caption : captions)
        if (findMenuText(menu, caption)) return false;
    return true;
}

// The first window, uppermost first, that the focus return accepts: a titled top-level window
// without owner, either an ordinary application window or a minimised pop-up.
HWND uppermostOrdinaryWindow(HWND skip) {
    struct Search {
        HWND skip;
        HWND found;
    } search{skip, nullptr};
    EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(param);
            if (hwnd == s.skip || GetParent(hwnd) || GetWindowTextLengthW(hwnd) == 0) return TRUE;
            const auto style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
            if ((style & 0x14CA0000) != 0x14CA0000 && (style & 0xF0000000) != 0xB0000000)
                return TRUE;
            s.found = hwnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

} // namespace

E2E_SCENARIO(menu_user_button) {
    TestWindows::open();
    const std::wstring exe = installEdgepad(L"menu_user_button");
    const std::wstring ini = iniBeside(exe);
    Process edgepad(exe);
    HWND panel = nullptr;
    if (!startEdgepad(edgepad, ini, panel)) return;

    if (!check(dockAtFileManager(panel), "the panel docks at the file manager")) return;
    check(panelHeight(panel) == 45, "the docked panel is three buttons high");
    const HWND menu = openMenu(panel);
    if (!check(menu != nullptr, "a right press on the panel opens a \"#32768\" menu window"))
        return;
    saveScreenshot(L"menu");

    // Under a Japanese UI language the menu speaks Japanese.
    check(menuShowsCaptions(menu, kUseUserButton, kVersionInformation, kExit),
          "the menu holds its three captions in order");
    check(menuShowsNone(menu, {kUseUserButtonEnglish, kAboutEnglish, kExitEnglish}),
          "the menu shows no English caption");
    // Menus are readable from another process on Windows; where they are not, the
    // screenshot shows the separators and the missing check mark.
    if (const HMENU items = readableItems(menu)) {
        check(GetMenuState(items, 1, MF_BYPOSITION) & MF_SEPARATOR,
              "a separator follows the first item");
        check(!(GetMenuState(items, 0, MF_BYPOSITION) & MF_CHECKED),
              "the user-button item carries no check mark");
    } else {
        note("the menu's items cannot be read from here; its captions were read off the screen");
    }

    chooseCommand(0);
    std::optional<std::string> settings;
    const bool written = waitFor([&] {
        settings = readFile(ini);
        return settings && settings->find("USER_COMMAND_ON=1\r\n") != std::string::npos;
    });
    check(written, "choosing the first item writes USER_COMMAND_ON=1");
    check(waitFor([] { return visibleMenu() == nullptr; }), "the menu closes");
    check(panelHeight(panel) == 45, "the docked panel keeps its height until it docks again");

    if (!check(parkAway(panel), "the panel parks when the cursor leaves")) return;
    if (!check(dockAtFileManager(panel), "the panel docks again")) return;
    const bool tall = waitFor([&] { return panelHeight(panel) == 60; });
    check(tall, "the next docking is four buttons, 60 pixels, high (%d)", panelHeight(panel));
    check(edgepad.running(), "the program keeps running");
}

// The menu needs the panel in the foreground while it is open; once it has closed, by Escape or
// by a choice, the window that had the keyboard has it again, and a key typed then reaches it.
E2E_SCENARIO(menu_gives_the_keyboard_back) {
    TestWindows& w = TestWindows::open();
    const std::wstring exe = installEdgepad(L"menu_keyboard");
    const std::wstring ini = iniBeside(exe);
    Process edgepad(exe);
    HWND panel = nullptr;
    if (!startEdgepad(edgepad, ini, panel)) return;

    const struct {
        const char* how;
        int command; // -1: Escape
    } closings[] = {{"Escape", -1}, {"the user-button item", 0}, {"the user-button item again", 0}};
    for (const auto& closing : closings) {
        SetForegroundWindow(w.fileManager);
        if (!check(waitFor([&] { return GetForegroundWindow() == w.fileManager; }),
                   "the file manager has the keyboard"))
            return;
        if (!check(dockAtFileManager(panel), "the panel docks at the file manager")) return;
        if (!check(openMenu(panel) != nullptr, "a right press opens the menu")) return;
        check(waitFor([&] { return GetForegroundWindow() == panel; }),
              "while the menu is open the panel is the foreground window");
        if (closing.command < 0)
            tap(VK_ESCAPE);
        else
            chooseCommand(closing.command);
        check(waitFor([] { return visibleMenu() == nullptr; }), "%s closes the menu", closing.how);
        const bool back = waitFor([&] { return GetForegroundWindow() == w.fileManager; });
        check(back, "after %s the file manager is the foreground window again (it is \"%s\")",
              closing.how, narrow(windowText(GetForegroundWindow())).c_str());

        w.clearReceived();
        tap('K');
        std::vector<Received> keys;
        const bool typed = waitFor([&] {
            keys = keysIn(w.received(w.fileManager));
            return std::any_of(keys.begin(), keys.end(), [](const Received& k) {
                return k.message == WM_KEYUP && k.wParam == 'K';
            });
        });
        check(typed, "a key typed after %s reaches the file manager (%s)", closing.how,
              describeKeys(keys).c_str());
        if (!check(parkAway(panel), "the panel parks when the cursor leaves")) return;
    }
    check(edgepad.running(), "the program keeps running");
}

// Docks the panel, opens the menu and chooses the version item; returns the About window
// once it is visible, or null.
HWND openAbout(const Process& edgepad, HWND panel) {
    if (!check(dockAtFileManager(panel), "the panel docks at the file manager")) return nullptr;
    if (!check(openMenu(panel) != nullptr, "a right press opens the menu")) return nullptr;
    chooseCommand(1);
    const HWND about = waitVisibleTitled(kVersionInformation, edgepad.id());
    check(about != nullptr, "the version item opens a window titled \"%s\"",
          narrow(kVersionInformation).c_str());
    return about;
}

HWND focusOfThreadOf(HWND hwnd) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &info);
    return info.hwndFocus;
}

E2E_SCENARIO(menu_about_window) {
    TestWindows& w = TestWindows::open();
    const std::wstring exe = installEdgepad(L"menu_about_window");
    const std::wstring ini = iniBeside(exe);
    Process edgepad(exe);
    HWND panel = nullptr;
    if (!startEdgepad(edgepad, ini, panel)) return;

    // The explorer window on top, the file manager served: the focus must go to the former.
    SetForegroundWindow(w.explorer);
    SetWindowPos(w.explorer, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    HWND about = openAbout(edgepad, panel);
    if (!about) return;
    const RECT rect = windowRect(about);
    const LONG exStyle = GetWindowLongW(about, GWL_EXSTYLE);
    check(exStyle & WS_EX_TOPMOST, "the About window is topmost (exstyle %08lx)", exStyle);
    const long dx = (rect.left + rect.right) - screenWidth();
    const long dy = (rect.top + rect.bottom) - screenHeight();
    check(dx >= -2 && dx <= 2 && dy >= -2 && dy <= 2,
          "the About window is centred on the screen (%ld,%ld)-(%ld,%ld)", rect.left, rect.top,
          rect.right, rect.bottom);
    const RECT client = clientRect(about);
    check(client.right == 263 && client.bottom == 75, "its client area is 263 x 75 (%ld x %ld)",
          client.right, client.bottom);
    const HWND ok = FindWindowExW(about, nullptr, L"Button", L"OK");
    if (!check(ok != nullptr, "the About window has an \"OK\" button")) return;
    check(waitFor([&] { return focusOfThreadOf(about) == ok; }), "the OK button has the focus");
    saveScreenshot(L"about");

    const HWND expected = uppermostOrdinaryWindow(nullptr);
    check(expected == w.explorer, "the explorer window is the uppermost ordinary window");
    const RECT button = windowRect(ok);
    click((button.left + button.right) / 2, (button.top + button.bottom) / 2);
    check(waitFor([&] { return !IsWindow(about); }), "the OK button closes the About window");
    const bool returned = waitFor([&] { return GetForegroundWindow() == expected; });
    check(returned, "the uppermost ordinary window becomes the foreground window (%s)",
          narrow(windowText(GetForegroundWindow())).c_str());

    // The keyboard closes it too: Space on the focused button, and Escape.
    const struct {
        WORD vk;
        const char* name;
    } keys[] = {{VK_SPACE, "Space"}, {VK_ESCAPE, "Escape"}};
    for (const auto& key : keys) {
        if (!check(parkAway(panel), "the panel parks when the cursor leaves")) return;
        about = openAbout(edgepad, panel);
        if (!about) return;
        waitFor([&] { return GetForegroundWindow() == about; });
        tap(key.vk);
        check(waitFor([&] { return !IsWindow(about); }), "%s closes the About window", key.name);
    }
    check(edgepad.running(), "the program keeps running");
}

E2E_SCENARIO(menu_exit) {
    TestWindows::open();
    const std::wstring exe = installEdgepad(L"menu_exit");
    const std::wstring ini = iniBeside(exe);
    Process edgepad(exe);
    HWND panel = nullptr;
    if (!startEdgepad(edgepad, ini, panel)) return;
    std::optional<std::string> before;
    waitFor([&] {
        return (before = readFile(ini)) && before->find("USER_COMMAND_ON") != std::string::npos;
    });
    const auto writtenBefore = lastWriteTime(ini);

    // A click elsewhere closes the menu without choosing, and the watcher runs on.
    if (!check(dockAtFileManager(panel), "the panel docks at the file manager")) return;
    if (!check(openMenu(panel) != nullptr, "a right press opens the menu")) return;
    // While the menu holds the pointer the X server may drop a warp; Wine's own record of the
    // cursor shows that only after 100 ms.
    const POINT away = restingSpot();
    for (int attempt = 0; attempt < 5; ++attempt) {
        moveCursor(away.x, away.y);
        Sleep(200);
        POINT at{};
        GetCursorPos(&at);
        if (at.x == away.x && at.y == away.y) break;
    }
    // The click carries its own position: a late echo of the warp could otherwise put it back
    // on the menu's corner, where it closes nothing.
    click(away.x, away.y);
    check(waitFor([] { return visibleMenu() == nullptr; }), "a click elsewhere closes the menu");
    // Wine may put the cursor back where the menu was opened once the menu lets the pointer
    // go, so the cursor is moved away again: the watcher runs again and parks the panel.
    check(parkAway(panel), "the watcher runs again and parks the panel");
    check(edgepad.running(), "the program keeps running");

    if (!check(dockAtFileManager(panel), "the panel docks at the file manager")) return;
    if (!check(openMenu(panel) != nullptr, "a right press opens the menu")) return;
    chooseCommand(2);
    check(edgepad.waitExit(10000), "the exit item ends the program");
    check(readFile(ini) == before, "the settings file is byte-identical");
    const auto writtenAfter = lastWriteTime(ini);
    check(writtenBefore && writtenAfter && CompareFileTime(&*writtenBefore, &*writtenAfter) == 0,
          "the settings file was not written again");
}

// Under an English UI language the menu and the About window speak English. The runner starts
// the driver of a scenario named english_* under LANG=en_US.UTF-8: Wine takes a process's UI
// language from its Unix locale, and a program started from it inherits that locale.
E2E_SCENARIO(english_menu_and_about) {
    const LANGID language = GetUserDefaultUILanguage();
    if (!check(PRIMARYLANGID(language) == LANG_ENGLISH,
               "the rig runs under an English UI language (%04x)", language))
        return;
    TestWindows::open();
    const std::wstring exe = installEdgepad(L"english_menu_and_about");
    Process edgepad(exe);
    HWND panel = nullptr;
    if (!startEdgepad(edgepad, iniBeside(exe), panel)) return;

    if (!check(dockAtFileManager(panel), "the panel docks at the file manager")) return;
    const HWND menu = openMenu(panel);
    if (!check(menu != nullptr, "a right press on the panel opens the menu")) return;
    check(menuShowsCaptions(menu, kUseUserButtonEnglish, kAboutEnglish, kExitEnglish),
          "the menu reads \"%s\", \"%s\" and \"%s\", in order",
          narrow(kUseUserButtonEnglish).c_str(), narrow(kAboutEnglish).c_str(),
          narrow(kExitEnglish).c_str());
    check(menuShowsNone(menu, {kUseUserButton, kVersionInformation, kExit}),
          "the menu shows no Japanese caption");
    saveScreenshot(L"menu_english");

    chooseCommand(1);
    const HWND about = waitVisibleTitled(kAboutEnglish, edgepad.id());
    if (!check(about != nullptr, "the About item opens a window titled \"%s\"",
               narrow(kAboutEnglish).c_str()))
        return;
    check(windowsTitled(kVersionInformation, edgepad.id()).empty(),
          "no window of the program has the Japanese caption");
    check(FindWindowExW(about, nullptr, L"Button", L"OK") != nullptr,
          "the About window has an \"OK\" button");
    saveScreenshot(L"about_english");
    waitFor([&] { return GetForegroundWindow() == about; });
    tap(VK_ESCAPE);
    check(waitFor([&] { return !IsWindow(about); }), "Escape closes the About window");
    check(edgepad.running(), "the program keeps running");
}
