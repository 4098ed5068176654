// The simulated desktop's time, foreground and keyboard: timers that move only when the test
// lets time pass, the foreground's refusal and lag, keys reaching the foreground window (and
// what other programs do with Alt+F4 and the window menu), modal loops, menus and messages.
#include "platform/sim/desktop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ep {
namespace {

// One key event injected on its own, as a program's SendInput call of one event.
void inject(sim::Desktop& desk, std::uint16_t vk, std::uint32_t flags) {
    const KeyboardInput input{vk, 0, flags};
    desk.SendInput(1, &input);
}

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

    inject(desk, VK_MENU, 0);
    EXPECT_LT(desk.GetKeyState(VK_MENU), 0);
    inject(desk, VK_LEFT, KEYEVENTF_EXTENDEDKEY);
    inject(desk, VK_LEFT, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP);
    inject(desk, VK_MENU, KEYEVENTF_KEYUP);
    EXPECT_GE(desk.GetKeyState(VK_MENU), 0);
    const auto keys = desk.keysReceivedBy(files);
    ASSERT_EQ(keys.size(), 4u);
    EXPECT_EQ(keys[1].vk, VK_LEFT);
    EXPECT_FALSE(keys[1].up);
    EXPECT_TRUE(keys[3].up);
    EXPECT_TRUE(desk.windowExists(files)) << "Alt+Left is only a key to the simulation";

    // Alt+F4 closes another program's window; the next window takes the foreground.
    inject(desk, VK_MENU, 0);
    inject(desk, VK_F4, 0);
    inject(desk, VK_F4, KEYEVENTF_KEYUP);
    inject(desk, VK_MENU, KEYEVENTF_KEYUP);
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

TEST_F(SimInputTest, VkKeyScanExWOfTheUsLayout) {
    EXPECT_EQ(desk.VkKeyScanExW(L'n', sim::usLayout), 'N');
    EXPECT_EQ(desk.VkKeyScanExW(L'N', sim::usLayout), 0x100 | 'N');
    EXPECT_EQ(desk.VkKeyScanExW(L'5', sim::usLayout), '5');
    EXPECT_EQ(desk.VkKeyScanExW(L'%', sim::usLayout), 0x100 | '5');
    EXPECT_EQ(desk.VkKeyScanExW(L' ', sim::usLayout), VK_SPACE);
    EXPECT_EQ(desk.VkKeyScanExW(L'\r', sim::usLayout), VK_RETURN);
    EXPECT_EQ(desk.VkKeyScanExW(L'\t', sim::usLayout), VK_TAB);
    EXPECT_EQ(desk.VkKeyScanExW(L'\b', sim::usLayout), VK_BACK);
    EXPECT_EQ(desk.VkKeyScanExW(L'-', sim::usLayout), 0xBD);
    EXPECT_EQ(desk.VkKeyScanExW(L'?', sim::usLayout), 0x100 | 0xBF);
    EXPECT_EQ(desk.VkKeyScanExW(L'é', sim::usLayout), -1);
    EXPECT_EQ(desk.VkKeyScanExW(L'終', sim::usLayout), -1);
}

// Each thread types with a layout of its own; a key's scan code is where the layout puts it,
// and the window that reads the key sees it, with the extended bit, in lParam.
TEST_F(SimInputTest, EachThreadHasItsLayoutAndKeysArriveWithTheirScanCodes) {
    const Hwnd files = desk.addWindow("CabinetWClass", "Files", Rect{0, 0, 300, 300});
    const Hwnd dateien = desk.addWindow("CabinetWClass", "Dateien", Rect{0, 0, 300, 300});
    desk.setKeyboardLayout(dateien, sim::germanLayout);
    const std::uint32_t germanThread = desk.GetWindowThreadProcessId(dateien, nullptr);
    EXPECT_EQ(desk.GetKeyboardLayout(0), sim::usLayout);
    EXPECT_EQ(desk.GetKeyboardLayout(desk.GetWindowThreadProcessId(files, nullptr)), sim::usLayout);
    EXPECT_EQ(desk.GetKeyboardLayout(germanThread), sim::germanLayout);
    EXPECT_EQ(desk.GetKeyboardLayout(424242), 0) << "no such thread";

    // German: the key labelled Z sits where US Y is; umlauts and AltGr signs have keys.
    EXPECT_EQ(desk.VkKeyScanExW(L'z', sim::germanLayout), 'Z');
    EXPECT_EQ(desk.MapVirtualKeyExW('Z', MAPVK_VK_TO_VSC, sim::germanLayout), 0x15u);
    EXPECT_EQ(desk.MapVirtualKeyExW('Z', MAPVK_VK_TO_VSC, sim::usLayout), 0x2Cu);
    EXPECT_EQ(desk.MapVirtualKeyExW('Y', MAPVK_VK_TO_VSC, sim::germanLayout), 0x2Cu);
    EXPECT_EQ(desk.VkKeyScanExW(L'\u00fc', sim::germanLayout), 0xBA);
    EXPECT_EQ(desk.MapVirtualKeyExW(0xBA, MAPVK_VK_TO_VSC, sim::germanLayout), 0x1Au);
    EXPECT_EQ(desk.VkKeyScanExW(L'\u00fc', sim::usLayout), -1);
    EXPECT_EQ(desk.VkKeyScanExW(L'@', sim::germanLayout), 0x600 | 'Q') << "AltGr+Q";
    EXPECT_EQ(desk.VkKeyScanExW(L'\u00e9', sim::germanLayout), -1) << "only by a dead key";
    for (Hkl layout : {sim::usLayout, sim::germanLayout}) {
        EXPECT_EQ(desk.MapVirtualKeyExW(VK_MENU, MAPVK_VK_TO_VSC, layout), 0x38u);
        EXPECT_EQ(desk.MapVirtualKeyExW(VK_LEFT, MAPVK_VK_TO_VSC, layout), 0x4Bu);
        EXPECT_EQ(desk.MapVirtualKeyExW(VK_F4, MAPVK_VK_TO_VSC, layout), 0x3Eu);
    }

    desk.activate(dateien);
    const KeyboardInput left[] = {{VK_LEFT, 0x4B, KEYEVENTF_EXTENDEDKEY},
                                  {VK_LEFT, 0x4B, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP},
                                  {'A', 0, 0}};
    desk.SendInput(3, left);
    desk.pressKey('Z');
    desk.pressKey(VK_DELETE);
    const auto keys = desk.keysReceivedBy(dateien);
    ASSERT_EQ(keys.size(), 7u);
    EXPECT_EQ(keys[0].scanCode(), 0x4B);
    EXPECT_TRUE(keys[0].extended());
    EXPECT_TRUE(keys[1].extended());
    EXPECT_EQ(keys[2].scanCode(), 0) << "a key sent without its scan code arrives without one";
    EXPECT_EQ(keys[4].scanCode(), 0x15) << "the user's own Z, on a German keyboard";
    EXPECT_FALSE(keys[4].extended());
    EXPECT_EQ(keys[5].scanCode(), 0x53);
    EXPECT_TRUE(keys[5].extended());

    // A program window reads them in its key messages.
    programWindow();
    desk.pump();
    messages.clear();
    const KeyboardInput alt[] = {{VK_MENU, 0x38, 0}, {VK_MENU, 0x38, KEYEVENTF_KEYUP}};
    desk.SendInput(2, alt);
    desk.pump();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages[0].message, WM_SYSKEYDOWN);
    EXPECT_EQ((messages[0].lParam >> 16) & 0xFF, 0x38);
    EXPECT_EQ((messages[0].lParam >> 24) & 1, 0);

    // Wine 8 answers every thread's layout with the caller's own.
    desk.runUnderWine();
    EXPECT_EQ(desk.GetKeyboardLayout(germanThread), sim::usLayout);
}

// Keys a program injects into a window of a process at a higher integrity level are dropped,
// and SendInput reports them sent all the same.
TEST_F(SimInputTest, KeysInjectedIntoAnElevatedWindowAreDroppedSilently) {
    const Hwnd admin = desk.addWindow("CabinetWClass", "Admin files", Rect{0, 0, 300, 300});
    desk.setIntegrityLevel(admin, sim::SECURITY_MANDATORY_HIGH_RID);
    desk.activate(admin);
    const KeyboardInput chord[] = {{VK_MENU, 0x38, 0},
                                   {VK_F4, 0x3E, 0},
                                   {VK_F4, 0x3E, KEYEVENTF_KEYUP},
                                   {VK_MENU, 0x38, KEYEVENTF_KEYUP}};
    EXPECT_EQ(desk.SendInput(4, chord), 4u);
    EXPECT_EQ(desk.keyEvents().size(), 4u) << "sent";
    EXPECT_TRUE(desk.keysReceivedBy(admin).empty()) << "never received";
    EXPECT_TRUE(desk.windowExists(admin));
    desk.pressKey('A');
    EXPECT_EQ(desk.keysReceivedBy(admin).size(), 2u) << "the user's own keys arrive";

    desk.setIntegrityLevel(0, sim::SECURITY_MANDATORY_HIGH_RID); // the program elevated too
    desk.SendInput(4, chord);
    EXPECT_FALSE(desk.windowExists(admin));
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
