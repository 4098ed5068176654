// The simulated desktop's time, foreground and keyboard: timers that move only when the test
// lets time pass, the foreground's refusal and lag, keys reaching the foreground window (and
// what other programs do with Alt+F4 and the window menu), modal loops, menus and messages.
#include "platform/sim/desktop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ep {
namespace {

std::vector<Msg>* log = nullptr;

std::intptr_t loggingProc(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                          std::intptr_t lParam) {
    if (log && msg != WM_PAINT && msg != WM_ERASEBKGND)
        log->push_back(Msg{hwnd, msg, wParam, lParam, 0, {}});
    if (msg == WM_COMMAND && ((wParam & 0xFFFF) == 7 || (wParam & 0xFFFF) == IDCANCEL)) {
        os().DestroyWindow(hwnd); // the dialog's OK and Cancel end it
        return 0;
    }
    return os().DefWindowProcW(hwnd, msg, wParam, lParam);
}

class SimInputTest : public ::testing::Test {
  protected:
    SimInputTest() {
        log = &messages;
        WindowClass wc;
        wc.lpfnWndProc = loggingProc;
        wc.lpszClassName = L"SimInputForm";
        desk.RegisterClassExW(wc);
    }
    ~SimInputTest() override { log = nullptr; }

    Hwnd programWindow(std::uint32_t style = WS_VISIBLE | WS_POPUP, Hwnd parent = 0) {
        return desk.CreateWindowExW(0, L"SimInputForm", L"Form", style, 0, 0, 100, 100, parent, 0);
    }
    std::vector<std::uint32_t> received(std::uint32_t first, std::uint32_t last) const {
        std::vector<std::uint32_t> ids;
        for (const Msg& m : messages)
            if (m.message >= first && m.message <= last) ids.push_back(m.message);
        return ids;
    }
    int count(std::uint32_t message) const {
        int n = 0;
        for (const Msg& m : messages)
            n += m.message == message;
        return n;
    }

    sim::Desktop desk;
    std::vector<Msg> messages;
};

TEST_F(SimInputTest, TimersMoveOnlyWithTheTestsClock) {
    const Hwnd form = programWindow();
    ASSERT_EQ(desk.SetTimer(form, 5, 100), 5u);
    desk.pump();
    desk.advance(99);
    EXPECT_EQ(count(WM_TIMER), 0);
    desk.advance(1);
    EXPECT_EQ(count(WM_TIMER), 1);
    desk.advance(250);
    EXPECT_EQ(count(WM_TIMER), 3) << "at 200 and 300";
    EXPECT_EQ(desk.now(), 350u);

    // Sleep moves the clock and queues one WM_TIMER, however long it sleeps, but runs nothing.
    desk.Sleep(1000);
    EXPECT_EQ(count(WM_TIMER), 3);
    EXPECT_EQ(desk.queuedMessages(), 1u);
    desk.pump();
    EXPECT_EQ(count(WM_TIMER), 4);

    // KillTimer also takes back a WM_TIMER already queued.
    desk.Sleep(100);
    EXPECT_EQ(desk.queuedMessages(), 1u);
    EXPECT_TRUE(desk.KillTimer(form, 5));
    EXPECT_EQ(desk.queuedMessages(), 0u);
    EXPECT_FALSE(desk.KillTimer(form, 5));
    desk.advance(1000);
    EXPECT_EQ(count(WM_TIMER), 4);

    // Re-arming restarts the interval.
    desk.SetTimer(form, 6, 100);
    desk.advance(60);
    desk.SetTimer(form, 6, 100);
    desk.advance(60);
    EXPECT_EQ(count(WM_TIMER), 4);
    desk.advance(40);
    EXPECT_EQ(count(WM_TIMER), 5);
    EXPECT_EQ(desk.GetTickCount(), desk.now());
}

TEST_F(SimInputTest, ForegroundChangesCanBeRefusedOrLag) {
    const Hwnd files = desk.addWindow("CabinetWClass", "Files", Rect{0, 0, 500, 500});
    const Hwnd browser = desk.addWindow("IEFrame", "Web", Rect{100, 0, 600, 500});
    desk.activate(files);
    EXPECT_EQ(desk.foreground(), files);
    EXPECT_EQ(desk.topLevelWindows().front(), files);

    desk.refuseForegroundChanges(true);
    EXPECT_FALSE(desk.SetForegroundWindow(browser));
    EXPECT_EQ(desk.GetForegroundWindow(), files);
    EXPECT_EQ(desk.topLevelWindows().front(), files);
    desk.refuseForegroundChanges(false);

    desk.setForegroundLag(50);
    EXPECT_TRUE(desk.SetForegroundWindow(browser));
    EXPECT_EQ(desk.GetForegroundWindow(), files);
    desk.Sleep(49);
    EXPECT_EQ(desk.GetForegroundWindow(), files);
    desk.advance(1);
    EXPECT_EQ(desk.GetForegroundWindow(), browser);
    EXPECT_FALSE(desk.SetForegroundWindow(424242));

    // Activation of a window by the user is immediate.
    desk.activate(files);
    EXPECT_EQ(desk.foreground(), files);
}

TEST_F(SimInputTest, InjectedKeysReachTheForegroundWindowAndItsDefaultHandling) {
    const Hwnd lower = desk.addWindow("Notepad", "Notes", Rect{0, 0, 300, 300});
    const Hwnd files = desk.addWindow("CabinetWClass", "Files", Rect{0, 0, 500, 500});
    desk.activate(files);

    desk.keybd_event(VK_MENU, 0, 0, 0);
    EXPECT_LT(desk.GetKeyState(VK_MENU), 0);
    desk.keybd_event(VK_LEFT, 0, KEYEVENTF_EXTENDEDKEY, 0);
    desk.keybd_event(VK_LEFT, 0, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP, 0);
    desk.keybd_event(VK_MENU, 0, KEYEVENTF_KEYUP, 0);
    EXPECT_GE(desk.GetKeyState(VK_MENU), 0);
    const auto keys = desk.keysReceivedBy(files);
    ASSERT_EQ(keys.size(), 4u);
    EXPECT_EQ(keys[1].vk, VK_LEFT);
    EXPECT_FALSE(keys[1].up);
    EXPECT_TRUE(keys[3].up);
    EXPECT_TRUE(desk.windowExists(files)) << "Alt+Left is only a key to the simulation";

    // Alt+F4 closes another program's window; the next window takes the foreground.
    desk.keybd_event(VK_MENU, 0, 0, 0);
    desk.keybd_event(VK_F4, 0, 0, 0);
    desk.keybd_event(VK_F4, 0, KEYEVENTF_KEYUP, 0);
    desk.keybd_event(VK_MENU, 0, KEYEVENTF_KEYUP, 0);
    EXPECT_FALSE(desk.windowExists(files));
    EXPECT_EQ(desk.messagesReceived(files), (std::vector<std::uint32_t>{WM_CLOSE}));
    EXPECT_EQ(desk.foreground(), lower);
    EXPECT_EQ(desk.keyEvents().back().target, lower) << "Alt up went to the new foreground";

    // A program that asks before closing records the close and stays.
    const Hwnd editor = desk.addWindow("Editor", "Unsaved", Rect{0, 0, 300, 300});
    desk.setIgnoresClose(editor, true);
    desk.activate(editor);
    desk.pressKey(VK_MENU);
    desk.holdKey(VK_MENU);
    desk.pressKey(VK_F4);
    desk.releaseKey(VK_MENU);
    EXPECT_TRUE(desk.windowExists(editor));
    EXPECT_EQ(desk.messagesReceived(editor), (std::vector<std::uint32_t>{WM_CLOSE}));
    desk.closeWindow(editor);
    EXPECT_EQ(desk.foreground(), lower);

    // Alt+Space then N: the window menu's Minimize.
    KeyboardInput chord[] = {
        {VK_MENU, 0, 0}, {VK_SPACE, 0, 0},          {VK_SPACE, 0, KEYEVENTF_KEYUP},
        {'N', 0, 0},     {'N', 0, KEYEVENTF_KEYUP}, {VK_MENU, 0, KEYEVENTF_KEYUP}};
    EXPECT_EQ(desk.SendInput(6, chord), 6u);
    EXPECT_TRUE(desk.IsIconic(lower));
    EXPECT_TRUE(desk.keyEvents().back().viaSendInput);
    EXPECT_EQ(desk.foreground(), lower) << "nothing else to activate";
    EXPECT_EQ(desk.WindowFromPoint({10, 10}), 0) << "a minimised window is off the screen";

    KeyboardInput unicode{0, L'é', KEYEVENTF_UNICODE};
    desk.SendInput(1, &unicode);
    EXPECT_EQ(desk.keyEvents().back().unicode, L'é');
    EXPECT_EQ(desk.keyEvents().back().vk, 0);
}

TEST_F(SimInputTest, ProgramWindowsGetKeyMessagesThroughTheQueue) {
    const Hwnd form = programWindow();
    ASSERT_EQ(desk.foreground(), form) << "a new visible window is activated";
    desk.pump();
    messages.clear();
    desk.pressKey('A');
    EXPECT_EQ(received(WM_KEYDOWN, WM_SYSKEYUP),
              (std::vector<std::uint32_t>{WM_KEYDOWN, WM_CHAR, WM_KEYUP}));
    EXPECT_EQ(messages[1].wParam, std::uintptr_t('a'));
    messages.clear();
    desk.holdKey(VK_MENU);
    desk.pressKey('X');
    desk.releaseKey(VK_MENU);
    EXPECT_EQ(received(WM_KEYDOWN, 0x0106), // to WM_SYSCHAR
              (std::vector<std::uint32_t>{WM_SYSKEYDOWN, WM_SYSKEYDOWN, 0x0106, WM_SYSKEYUP,
                                          WM_SYSKEYUP}));
    EXPECT_TRUE(desk.keyEvents().empty()) << "a person's keys are not injected ones";
    EXPECT_EQ(desk.keysReceivedBy(form).size(), 6u);
}

TEST_F(SimInputTest, VkKeyScanWUsesAUsLayout) {
    EXPECT_EQ(desk.VkKeyScanW(L'n'), 'N');
    EXPECT_EQ(desk.VkKeyScanW(L'N'), 0x100 | 'N');
    EXPECT_EQ(desk.VkKeyScanW(L'5'), '5');
    EXPECT_EQ(desk.VkKeyScanW(L'%'), 0x100 | '5');
    EXPECT_EQ(desk.VkKeyScanW(L' '), VK_SPACE);
    EXPECT_EQ(desk.VkKeyScanW(L'\r'), VK_RETURN);
    EXPECT_EQ(desk.VkKeyScanW(L'\t'), VK_TAB);
    EXPECT_EQ(desk.VkKeyScanW(L'\b'), VK_BACK);
    EXPECT_EQ(desk.VkKeyScanW(L'-'), 0xBD);
    EXPECT_EQ(desk.VkKeyScanW(L'?'), 0x100 | 0xBF);
    EXPECT_EQ(desk.VkKeyScanW(L'é'), -1);
    EXPECT_EQ(desk.VkKeyScanW(L'終'), -1);
}

TEST_F(SimInputTest, ModalLoopsRunOnWhatOnIdleGivesThemAndStallOtherwise) {
    const Hwnd dialog = programWindow();
    desk.CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON | WS_TABSTOP,
                         10, 10, 40, 20, dialog, 7);
    auto runModal = [&] {
        Msg msg;
        while (desk.IsWindow(dialog) && desk.GetMessageW(&msg, 0, 0, 0) > 0)
            if (!desk.IsDialogMessageW(dialog, &msg)) {
                desk.TranslateMessage(&msg);
                desk.DispatchMessageW(&msg);
            }
    };
    desk.pump();
    EXPECT_THROW(runModal(), sim::SimStalled);
    desk.onIdle = [] {};
    EXPECT_THROW(runModal(), sim::SimStalled) << "onIdle that does nothing";

    int idles = 0;
    desk.onIdle = [&] {
        ++idles;
        desk.advance(100); // time passes; the loop sees nothing yet
        if (idles == 3) desk.pressKey(VK_RETURN);
    };
    runModal();
    EXPECT_FALSE(desk.windowExists(dialog));
    EXPECT_EQ(idles, 3);
    const Msg* command = nullptr;
    for (const Msg& m : messages)
        if (m.message == WM_COMMAND) command = &m;
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(command->wParam & 0xFFFF, 7u) << "Enter chooses the default button";

    // Escape gives IDCANCEL; PostQuitMessage ends GetMessageW with 0.
    const Hwnd second = programWindow();
    desk.onIdle = [&] { desk.pressKey(VK_ESCAPE); };
    Msg msg;
    while (desk.IsWindow(second) && desk.GetMessageW(&msg, 0, 0, 0) > 0)
        desk.IsDialogMessageW(second, &msg);
    EXPECT_FALSE(desk.windowExists(second));
    desk.PostQuitMessage(4);
    EXPECT_EQ(desk.GetMessageW(&msg, 0, 0, 0), 0);
    EXPECT_EQ(msg.wParam, 4u);
}

TEST_F(SimInputTest, PopupMenusAndMessageBoxesAreRecordedAndAnswered) {
    const Hwnd owner = programWindow();
    const Hmenu menu = desk.CreatePopupMenu();
    desk.AppendMenuW(menu, MF_STRING, 10, L"Use the user button");
    desk.AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    desk.AppendMenuW(menu, MF_STRING, 12, L"Exit");
    EXPECT_EQ(desk.CheckMenuItem(menu, 10, MF_BYCOMMAND | MF_CHECKED), MF_UNCHECKED);
    EXPECT_EQ(desk.CheckMenuItem(menu, 99, MF_CHECKED), 0xFFFFFFFFu);

    EXPECT_EQ(desk.TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, 5, 6, owner), 0)
        << "dismissed";
    ASSERT_EQ(desk.menusShown.size(), 1u);
    EXPECT_EQ(desk.menusShown[0].items.size(), 3u);
    EXPECT_TRUE(desk.menusShown[0].items[0].flags & MF_CHECKED);
    EXPECT_TRUE(desk.menusShown[0].items[1].flags & MF_SEPARATOR);
    EXPECT_EQ(desk.menusShown[0].at.x, 5);

    desk.onPopupMenu = [](const sim::MenuRecord& shown) { return shown.items[2].id; };
    EXPECT_EQ(desk.TrackPopupMenu(menu, TPM_RETURNCMD, 0, 0, owner), 12);
    desk.pump();
    messages.clear();
    EXPECT_NE(desk.TrackPopupMenu(menu, TPM_LEFTALIGN, 0, 0, owner), 0);
    desk.pump();
    ASSERT_EQ(count(WM_COMMAND), 1) << "without TPM_RETURNCMD the owner is told";
    desk.onPopupMenu = [](const sim::MenuRecord&) { return std::uintptr_t(55); };
    EXPECT_THROW(desk.TrackPopupMenu(menu, TPM_RETURNCMD, 0, 0, owner), std::invalid_argument);

    EXPECT_TRUE(desk.DestroyMenu(menu));
    EXPECT_EQ(desk.liveMenus(), 0);

    EXPECT_EQ(desk.MessageBoxW(owner, L"It failed in reading of region data.", L"Edgepad", MB_OK),
              IDOK);
    ASSERT_EQ(desk.messageBoxes.size(), 1u);
    EXPECT_EQ(desk.messageBoxes[0].caption, L"Edgepad");
    desk.MessageBeep(MB_ICONWARNING);
    EXPECT_EQ(desk.beeps, (std::vector<std::uint32_t>{MB_ICONWARNING}));
}

} // namespace
} // namespace ep
