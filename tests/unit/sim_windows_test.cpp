// The simulated desktop's window model: what lies under a point, z-order bands, parents and
// owners, frames, program windows and their life, native buttons and mouse activation.
#include "platform/sim/desktop.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace ep {
namespace {

constexpr std::uint32_t kBorderless = WS_VISIBLE | WS_POPUP;
constexpr std::uint32_t kChild = WS_CHILD | WS_VISIBLE;
constexpr std::uint32_t kNoChange = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;

// One key event injected on its own, as a program's SendInput call of one event.
void inject(sim::Desktop& desk, std::uint16_t vk, std::uint32_t flags) {
    const KeyboardInput input{vk, 0, flags};
    desk.SendInput(1, &input);
}

using Box = std::array<int, 4>;
Box box(const Rect& r) { return {r.left, r.top, r.right, r.bottom}; }

// What the program's window procedures received, and how they answer WM_MOUSEACTIVATE.
struct Received {
    std::vector<Msg> messages;
    std::intptr_t mouseActivate = 1; // MA_ACTIVATE
    bool has(std::uint32_t message) const {
        for (const Msg& m : messages)
            if (m.message == message) return true;
        return false;
    }
    const Msg* last(std::uint32_t message) const {
        for (auto it = messages.rbegin(); it != messages.rend(); ++it)
            if (it->message == message) return &*it;
        return nullptr;
    }
};
Received* received = nullptr;

std::intptr_t recordingProc(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                            std::intptr_t lParam) {
    if (received) received->messages.push_back(Msg{hwnd, msg, wParam, lParam, 0, {}});
    if (msg == WM_MOUSEACTIVATE && received) return received->mouseActivate;
    return os().DefWindowProcW(hwnd, msg, wParam, lParam);
}

class SimWindowsTest : public ::testing::Test {
  protected:
    SimWindowsTest() { received = &got; }
    ~SimWindowsTest() override { received = nullptr; }

    Hwnd createProgramWindow(Rect r, std::uint32_t style, std::uint32_t exStyle = 0) {
        if (!registered) {
            WindowClass wc;
            wc.style = CS_DBLCLKS;
            wc.lpfnWndProc = recordingProc;
            wc.lpszClassName = L"SimTestForm";
            EXPECT_NE(desk.RegisterClassExW(wc), 0);
            registered = true;
        }
        return desk.CreateWindowExW(exStyle, L"SimTestForm", L"Form", style, r.left, r.top,
                                    r.right - r.left, r.bottom - r.top, 0, 0);
    }

    sim::Desktop desk;
    Received got;
    bool registered = false;
};

TEST_F(SimWindowsTest, WindowFromPointFollowsZOrderBandsVisibilityAndRegions) {
    const Hwnd back = desk.addWindow("Back", "", Rect{0, 0, 400, 400});
    const Hwnd front = desk.addWindow("Front", "", Rect{100, 100, 300, 300});
    EXPECT_EQ(desk.WindowFromPoint({150, 150}), front);
    EXPECT_EQ(desk.WindowFromPoint({50, 50}), back);
    EXPECT_EQ(desk.WindowFromPoint({399, 399}), back) << "right and bottom are exclusive";
    EXPECT_EQ(desk.WindowFromPoint({400, 50}), 0);

    // A topmost window stays above windows created after it.
    const Hwnd topmost =
        desk.addWindow("Top", "", Rect{0, 0, 120, 120}, 0, kBorderless, WS_EX_TOPMOST);
    const Hwnd later = desk.addWindow("Later", "", Rect{0, 0, 200, 200});
    EXPECT_EQ(desk.topLevelWindows(), (std::vector<Hwnd>{topmost, later, front, back}));
    EXPECT_EQ(desk.WindowFromPoint({10, 10}), topmost);
    EXPECT_EQ(desk.WindowFromPoint({150, 150}), later);

    // Hidden windows are never found, however high they lie.
    desk.addWindow("Hidden", "", Rect{0, 0, 400, 400}, 0, WS_POPUP, WS_EX_TOPMOST);
    EXPECT_EQ(desk.WindowFromPoint({10, 10}), topmost);

    // A window region, relative to the window, lets the points outside it fall through.
    const Hrgn strip = desk.CreateRectRgn(0, 100, 50, 200);
    ASSERT_EQ(desk.SetWindowRgn(later, strip, true), 1);
    EXPECT_EQ(desk.WindowFromPoint({30, 130}), later);
    EXPECT_EQ(desk.WindowFromPoint({150, 150}), front);
    EXPECT_EQ(desk.WindowFromPoint({60, 130}), back);
    EXPECT_TRUE(desk.windowRegionContains(later, 49, 199));
    EXPECT_FALSE(desk.windowRegionContains(later, 50, 150));
    EXPECT_TRUE(desk.windowRegionContains(front, 0, 0)) << "no region: the whole window";
}

TEST_F(SimWindowsTest, WindowFromPointDescendsIntoVisibleEnabledChildren) {
    // A framed window: its client area starts 3 pixels in and below a 20-pixel caption.
    const Hwnd shell = desk.addWindow("CabinetWClass", "Files", Rect{500, 100, 900, 500});
    const Hwnd pane =
        desk.addWindow("ShellTabWindowClass", "", Rect{503, 123, 897, 497}, shell, kChild);
    const Hwnd list = desk.addWindow("SysListView32", "", Rect{600, 200, 897, 497}, pane, kChild);
    const Hwnd header = desk.addWindow("SysHeader32", "", Rect{600, 200, 897, 220}, list, kChild);

    EXPECT_EQ(desk.WindowFromPoint({700, 210}), header);
    EXPECT_EQ(desk.WindowFromPoint({700, 300}), list);
    EXPECT_EQ(desk.WindowFromPoint({550, 300}), pane);
    EXPECT_EQ(desk.WindowFromPoint({510, 110}), shell) << "the caption";

    Rect r;
    ASSERT_TRUE(desk.GetWindowRect(list, &r));
    EXPECT_EQ(box(r), (Box{600, 200, 897, 497})) << "children report screen coordinates";
    ASSERT_TRUE(desk.GetClientRect(shell, &r));
    EXPECT_EQ(box(r), (Box{0, 0, 394, 374}));

    // Moving the top-level window carries its children along.
    desk.moveWindow(shell, Rect{400, 100, 800, 500});
    EXPECT_EQ(box(desk.windowRect(list)), (Box{500, 200, 797, 497}));
    EXPECT_EQ(desk.WindowFromPoint({600, 210}), header);

    desk.setWindowStyle(header, WS_CHILD); // hidden
    EXPECT_EQ(desk.WindowFromPoint({600, 210}), list);
    desk.setWindowStyle(list, kChild | WS_DISABLED);
    EXPECT_EQ(desk.WindowFromPoint({600, 210}), pane);
}

TEST_F(SimWindowsTest, ParentsOwnersNamesAndTitles) {
    const Hwnd shell = desk.addWindow("CabinetWClass", "Files", Rect{0, 0, 400, 400});
    const Hwnd list = desk.addWindow("SysListView32", "", Rect{10, 40, 390, 390}, shell, kChild);
    const Hwnd dialog = desk.addWindow("#32770", "Find", Rect{50, 50, 250, 150}, 0,
                                       WS_VISIBLE | WS_POPUP | WS_CAPTION | WS_SYSMENU);
    const Hwnd ownedOverlapped = desk.addWindow("Tool", "Palette", Rect{50, 50, 250, 150});
    desk.setOwner(dialog, shell);
    desk.setOwner(ownedOverlapped, shell);

    EXPECT_EQ(desk.GetParent(list), shell);
    EXPECT_EQ(desk.GetParent(shell), 0);
    EXPECT_EQ(desk.GetParent(dialog), shell) << "an owned pop-up reports its owner";
    EXPECT_EQ(desk.GetParent(ownedOverlapped), 0) << "as on Windows: only pop-ups report owners";
    EXPECT_EQ(desk.GetParent(123456), 0);

    char buffer[128];
    EXPECT_EQ(desk.GetClassNameA(list, buffer, 128), 13);
    EXPECT_STREQ(buffer, "SysListView32");
    EXPECT_EQ(desk.GetClassNameA(list, buffer, 4), 3);
    EXPECT_STREQ(buffer, "Sys");

    desk.setWindowTitle(shell, std::string(200, 'x'));
    EXPECT_EQ(desk.GetWindowTextA(shell, buffer, 128), 127);
    EXPECT_EQ(std::string(buffer), std::string(127, 'x'));
    desk.setWindowTitle(shell,
                        "\xe3\x83\x95\xe3\x82\xa1\xe3\x82\xa4\xe3\x83\xab"); // ANSI bytes as given
    EXPECT_EQ(desk.GetWindowTextA(shell, buffer, 128), 12);

    buffer[0] = 'z';
    EXPECT_EQ(desk.GetWindowTextA(999999, buffer, 128), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(desk.GetClassNameA(999999, buffer, 128), 0);
    EXPECT_STREQ(buffer, "");

    EXPECT_EQ(std::uint32_t(desk.GetWindowLongA(list, GWL_STYLE)), kChild);
    EXPECT_EQ(desk.GetWindowLongA(999999, GWL_STYLE), 0);
}

TEST_F(SimWindowsTest, SetWindowPosMovesWindowsBetweenAndWithinTheBands) {
    const Hwnd a = desk.addWindow("A", "", Rect{0, 0, 10, 10});
    const Hwnd b = desk.addWindow("B", "", Rect{0, 0, 10, 10});
    const Hwnd c = desk.addWindow("C", "", Rect{0, 0, 10, 10});
    using List = std::vector<Hwnd>;
    EXPECT_EQ(desk.topLevelWindows(), (List{c, b, a}));

    ASSERT_TRUE(desk.SetWindowPos(a, HWND_TOPMOST, 0, 0, 0, 0, kNoChange));
    EXPECT_TRUE(desk.GetWindowLongA(a, GWL_EXSTYLE) & WS_EX_TOPMOST);
    const Hwnd d = desk.addWindow("D", "", Rect{0, 0, 10, 10});
    EXPECT_EQ(desk.topLevelWindows(), (List{a, d, c, b}));

    desk.SetWindowPos(a, HWND_NOTOPMOST, 0, 0, 0, 0, kNoChange);
    EXPECT_FALSE(desk.GetWindowLongA(a, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(desk.topLevelWindows(), (List{a, d, c, b}));
    desk.SetWindowPos(b, HWND_TOP, 0, 0, 0, 0, kNoChange);
    EXPECT_EQ(desk.topLevelWindows(), (List{b, a, d, c}));
    desk.SetWindowPos(b, HWND_BOTTOM, 0, 0, 0, 0, kNoChange);
    EXPECT_EQ(desk.topLevelWindows(), (List{a, d, c, b}));

    desk.SetWindowPos(c, HWND_TOPMOST, 0, 0, 0, 0, kNoChange);
    desk.SetWindowPos(d, HWND_TOP, 0, 0, 0, 0, kNoChange);
    EXPECT_EQ(desk.topLevelWindows(), (List{c, d, a, b}))
        << "HWND_TOP stays below the topmost band";

    desk.SetWindowPos(b, 0, 5, 6, 20, 30, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(box(desk.windowRect(b)), (Box{5, 6, 25, 36}));
    desk.SetWindowPos(b, 0, 50, 60, 0, 0, SWP_NOZORDER | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_EQ(box(desk.windowRect(b)), (Box{50, 60, 70, 90}));
    EXPECT_EQ(desk.foreground(), 0) << "SWP_NOACTIVATE leaves the foreground alone";
    desk.SetWindowPos(b, 0, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(desk.foreground(), b) << "without SWP_NOACTIVATE the window is activated";
    EXPECT_FALSE(desk.SetWindowPos(777777, HWND_TOP, 0, 0, 0, 0, kNoChange));
}

TEST_F(SimWindowsTest, EnumWindowsListsTopLevelWindowsUppermostFirstAndStops) {
    const Hwnd a = desk.addWindow("A", "", Rect{0, 0, 10, 10});
    const Hwnd hidden = desk.addWindow("H", "", Rect{0, 0, 10, 10}, 0, WS_POPUP);
    desk.addWindow("Child", "", Rect{0, 0, 5, 5}, a, kChild);
    const Hwnd b = desk.addWindow("B", "", Rect{0, 0, 10, 10});
    static std::vector<Hwnd> seen;
    seen.clear();
    EXPECT_TRUE(desk.EnumWindows([](Hwnd h, std::intptr_t) { return (seen.push_back(h), 1); }, 0));
    EXPECT_EQ(seen, (std::vector<Hwnd>{b, hidden, a}));
    seen.clear();
    desk.EnumWindows([](Hwnd h, std::intptr_t) { return (seen.push_back(h), 0); }, 0);
    EXPECT_EQ(seen, (std::vector<Hwnd>{b}));
}

TEST_F(SimWindowsTest, ProgramWindowsLiveAndDieAsOnWindows) {
    const Hwnd form = createProgramWindow(Rect{100, 100, 300, 200}, WS_VISIBLE | WS_POPUP,
                                          WS_EX_TOPMOST | WS_EX_TOOLWINDOW);
    ASSERT_NE(form, 0);
    ASSERT_TRUE(got.has(WM_CREATE)) << "WM_CREATE arrives during CreateWindowExW";
    EXPECT_EQ(got.messages.front().message, WM_CREATE);
    Rect r;
    desk.GetClientRect(form, &r);
    EXPECT_EQ(box(r), (Box{0, 0, 200, 100})) << "a borderless pop-up: client = window";

    const Hwnd button = desk.CreateWindowExW(
        0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 20, 50, 20, form, 42);
    ASSERT_NE(button, 0);
    EXPECT_EQ(box(desk.windowRect(button)), (Box{110, 120, 160, 140}));
    char name[16];
    desk.GetClassNameA(button, name, 16);
    EXPECT_STREQ(name, "Button");
    EXPECT_EQ(desk.CreateWindowExW(0, L"NoSuchClass", L"", 0, 0, 0, 1, 1, 0, 0), 0);

    // A click on the button reaches its parent as BN_CLICKED.
    desk.click(1, 120, 125);
    const Msg* command = got.last(WM_COMMAND);
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(command->wParam, std::uintptr_t(42) | (std::uintptr_t(BN_CLICKED) << 16));
    EXPECT_EQ(command->lParam, button);

    ASSERT_NE(desk.SetTimer(form, 1, 100), 0u);
    desk.SetWindowRgn(form, desk.CreateRectRgn(0, 0, 50, 50), false);
    EXPECT_EQ(desk.liveRegions(), 1);
    got.messages.clear();
    EXPECT_TRUE(desk.DestroyWindow(form));
    EXPECT_TRUE(got.has(WM_DESTROY));
    EXPECT_FALSE(desk.windowExists(form));
    EXPECT_FALSE(desk.windowExists(button)) << "children go with their parent";
    EXPECT_FALSE(desk.timerArmed(form, 1));
    EXPECT_EQ(desk.liveRegions(), 0) << "the system deletes the window's region";
    EXPECT_FALSE(desk.DestroyWindow(form));

    const Hwnd other = desk.addWindow("Other", "", Rect{0, 0, 10, 10});
    EXPECT_FALSE(desk.DestroyWindow(other)) << "another program's window";
    EXPECT_TRUE(desk.windowExists(other));
}

TEST_F(SimWindowsTest, APressActivatesUnlessTheWindowDeclines) {
    const Hwnd files = desk.addWindow("CabinetWClass", "Files", Rect{0, 0, 600, 600});
    const Hwnd form = createProgramWindow(Rect{100, 100, 118, 161}, WS_POPUP, WS_EX_TOPMOST);
    desk.ShowWindow(form, SW_SHOWNA);
    desk.click(1, 300, 300);
    EXPECT_EQ(desk.foreground(), files) << "a click on another program's window activates it";
    EXPECT_EQ(desk.messagesReceived(files),
              (std::vector<std::uint32_t>{WM_LBUTTONDOWN, WM_LBUTTONUP}));

    got.mouseActivate = MA_NOACTIVATE;
    desk.press(1, 105, 110);
    EXPECT_EQ(desk.foreground(), files);
    ASSERT_TRUE(got.has(WM_MOUSEACTIVATE));
    const Msg* down = got.last(WM_LBUTTONDOWN);
    ASSERT_NE(down, nullptr) << "the press itself is still delivered";
    EXPECT_EQ(down->lParam, (10 << 16) | 5) << "client coordinates";
    EXPECT_EQ(down->wParam, MK_LBUTTON);
    desk.release(1, 105, 110);

    got.mouseActivate = 1; // MA_ACTIVATE
    desk.press(2, 105, 110);
    EXPECT_EQ(desk.foreground(), form);
    desk.release(2, 105, 110);

    got.messages.clear();
    desk.EnableWindow(form, false);
    desk.click(1, 105, 110);
    EXPECT_FALSE(got.has(WM_LBUTTONDOWN)) << "a disabled window gets no presses";
}

TEST_F(SimWindowsTest, DoubleClicksNeedTheClassStyle) {
    const Hwnd form = createProgramWindow(Rect{0, 0, 64, 16}, WS_VISIBLE | WS_POPUP);
    desk.doubleClick(5, 5);
    std::vector<std::uint32_t> mouse;
    for (const Msg& m : got.messages)
        if (m.message >= WM_LBUTTONDOWN && m.message <= WM_LBUTTONDBLCLK)
            mouse.push_back(m.message);
    EXPECT_EQ(mouse, (std::vector<std::uint32_t>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK,
                                                 WM_LBUTTONUP}));
    const Hwnd plain = desk.addWindow("Plain", "", Rect{100, 0, 200, 100});
    desk.doubleClick(150, 50);
    EXPECT_EQ(
        desk.messagesReceived(plain),
        (std::vector<std::uint32_t>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONUP}));
    (void)form;
}

TEST_F(SimWindowsTest, FramesAreConsistentBetweenClientRectAndAdjustWindowRectEx) {
    Rect r{0, 0, 200, 100};
    desk.AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, false, 0);
    const Hwnd framed = createProgramWindow(r, WS_OVERLAPPEDWINDOW);
    Rect client;
    desk.GetClientRect(framed, &client);
    EXPECT_EQ(box(client), (Box{0, 0, 200, 100}));
    Rect bare{0, 0, 18, 61};
    desk.AdjustWindowRectEx(&bare, WS_POPUP, false, WS_EX_TOOLWINDOW | WS_EX_TOPMOST);
    EXPECT_EQ(box(bare), (Box{0, 0, 18, 61}));
}

TEST_F(SimWindowsTest, PaintingRunsThroughWmPaintIntoTheClientSurface) {
    WindowClass wc;
    wc.lpfnWndProc = recordingProc;
    wc.hbrBackground = COLOR_BTNFACE + 1;
    wc.lpszClassName = L"SimTestFace";
    ASSERT_NE(desk.RegisterClassExW(wc), 0);
    const Hwnd face = desk.CreateWindowExW(0, L"SimTestFace", L"", WS_POPUP, 10, 10, 20, 20, 0, 0);
    desk.pump();
    EXPECT_FALSE(got.has(WM_PAINT)) << "a hidden window is not painted";
    desk.ShowWindow(face, SW_SHOWNA);
    desk.SetWindowRgn(face, desk.CreateRectRgn(0, 0, 10, 20), false);
    desk.InvalidateRect(face, nullptr, true);
    EXPECT_TRUE(desk.UpdateWindow(face));
    ASSERT_TRUE(got.has(WM_PAINT));
    EXPECT_TRUE(got.has(WM_ERASEBKGND));
    EXPECT_EQ(desk.windowPixel(face, 0, 0), 0xD4D0C8u) << "erased with the class brush";
    EXPECT_EQ(desk.windowPixel(face, 15, 0), 0u) << "outside the window region";
    got.messages.clear();
    desk.pump();
    EXPECT_FALSE(got.has(WM_PAINT)) << "validated by BeginPaint";
    EXPECT_EQ(desk.liveGdiObjects(), 1) << "the paint DC is gone, the region stays";
}

TEST_F(SimWindowsTest, DialogKeysMoveTheFocusAndPressTheFocusedButton) {
    const Hwnd dialog = createProgramWindow(Rect{0, 0, 200, 100}, WS_VISIBLE | WS_POPUP);
    const Hwnd ok = desk.CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP,
                                         10, 10, 50, 20, dialog, 1);
    const Hwnd other = desk.CreateWindowExW(
        0, L"BUTTON", L"Other", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 70, 10, 50, 20, dialog, 9);
    desk.SetFocus(ok);
    auto feed = [&] {
        Msg msg;
        while (desk.PeekMessageW(&msg, 0, 0, 0, PM_REMOVE))
            if (!desk.IsDialogMessageW(dialog, &msg)) desk.DispatchMessageW(&msg);
    };
    // Injected keys wait in the queue for the dialog's loop.
    inject(desk, VK_TAB, 0);
    inject(desk, VK_TAB, KEYEVENTF_KEYUP);
    feed();
    EXPECT_EQ(desk.focus(), other) << "Tab moves to the next tab stop";
    got.messages.clear();
    inject(desk, VK_SPACE, 0);
    inject(desk, VK_SPACE, KEYEVENTF_KEYUP);
    feed();
    const Msg* command = got.last(WM_COMMAND);
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(command->wParam & 0xFFFF, 9u) << "Space presses the focused button";
    Msg foreign{desk.addWindow("Other", "", Rect{0, 0, 5, 5}), WM_KEYDOWN, VK_RETURN, 0, 0, {}};
    EXPECT_FALSE(desk.IsDialogMessageW(dialog, &foreign)) << "not the dialog's message";
}

} // namespace
} // namespace ep
