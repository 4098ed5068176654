// The focus return after the About window: over a desktop of other programs' windows, the
// uppermost ordinary application window (or minimised pop-up) is activated, the window itself
// and not another of the same title, and the program's own windows are never chosen.
#include "frame/toolkit.h"
#include "menu/frm_menu.h"
#include "menu/module1.h"
#include "panel/form1.h"
#include "platform/sim/desktop.h"

#include <gtest/gtest.h>

#include <string>

namespace ep {
namespace {

constexpr std::uint32_t kOrdinary = WS_VISIBLE | WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS;

class FocusReturnTest : public ::testing::Test {
  protected:
    ~FocusReturnTest() override { resetToolkit(); }

    // Windows are added on top of the ones before, so the last one added is the uppermost.
    Hwnd add(const std::string& title, std::uint32_t style = kOrdinary) {
        const Hwnd hwnd = desk.addWindow("TestApp", title, Rect{100, 100, 500, 400}, 0, style);
        return hwnd;
    }

    // What the About window's closing does: the focus return from the menu form.
    void returnFocusFromMenu() { Module1::returnFocus(form<frmMenu>().hWnd()); }

    sim::Desktop desk;
};

TEST_F(FocusReturnTest, PassesOverWindowsThatAreNotOrdinaryApplicationWindows) {
    struct Case {
        const char* what;
        std::string title;
        std::uint32_t style;
    };
    const Case cases[] = {
        {"no title", "", kOrdinary},
        {"hidden", "Hidden", kOrdinary & ~WS_VISIBLE},
        {"no title bar", "Bare",
         WS_POPUP | WS_VISIBLE | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPSIBLINGS},
        {"no system menu", "No menu", kOrdinary & ~WS_SYSMENU},
        {"no minimise box (a plain dialog)", "Dialog",
         WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS},
        {"no clip-siblings", "Unclipped", kOrdinary & ~WS_CLIPSIBLINGS},
        {"a child-style window", "Child", WS_CHILD | WS_VISIBLE | WS_MINIMIZE},
        {"restored pop-up without caption", "Pop-up", WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        resetToolkit();
        const Hwnd good = add("Editor");
        const Hwnd passedOver = add(c.title, c.style);
        desk.activate(passedOver);
        returnFocusFromMenu();
        EXPECT_EQ(desk.foreground(), good);
        desk.closeWindow(passedOver);
        desk.closeWindow(good);
    }
}

TEST_F(FocusReturnTest, PassesOverOwnedPopups) {
    const Hwnd owner = add("Owner");
    // GetParent reports the owner of a pop-up window only; its style passes the test.
    const Hwnd owned = add("Find", kOrdinary | WS_POPUP);
    desk.setOwner(owned, owner);
    returnFocusFromMenu();
    EXPECT_EQ(desk.foreground(), owner);
}

// A suspended Store app's frame or a window of another virtual desktop is visible by its
// style, but nobody sees it. Where DWM cannot tell, no window counts as cloaked.
TEST_F(FocusReturnTest, PassesOverCloakedWindows) {
    const Hwnd seen = add("Editor");
    const Hwnd cloaked = add("Settings");
    desk.setCloaked(cloaked, 2); // DWM_CLOAKED_SHELL
    returnFocusFromMenu();
    EXPECT_EQ(desk.foreground(), seen);

    desk.activate(cloaked); // uppermost again, below a window the focus return passes over
    desk.activate(add("Palette", WS_POPUP | WS_VISIBLE));
    desk.setDwmUnavailable(true);
    returnFocusFromMenu();
    EXPECT_EQ(desk.foreground(), cloaked);
}

TEST_F(FocusReturnTest, ActivatesAMinimisedPopupAndLeavesItMinimised) {
    add("Editor");
    const Hwnd minimised = add("Player", WS_POPUP | WS_MINIMIZE | WS_VISIBLE);
    returnFocusFromMenu();
    EXPECT_EQ(desk.foreground(), minimised);
    EXPECT_TRUE(desk.windowIconic(minimised));
}

TEST_F(FocusReturnTest, ActivatesAMaximisedWindowWithoutRestoringIt) {
    const Hwnd maximised = add("Editor", kOrdinary | WS_MAXIMIZE);
    returnFocusFromMenu();
    EXPECT_EQ(desk.foreground(), maximised);
    EXPECT_TRUE(desk.windowStyle(maximised) & WS_MAXIMIZE);
}

TEST_F(FocusReturnTest, ActivatesADisabledWindowAllTheSame) {
    add("Editor");
    const Hwnd disabled = add("Busy", kOrdinary | WS_DISABLED);
    returnFocusFromMenu();
    EXPECT_EQ(desk.foreground(), disabled);
}

TEST_F(FocusReturnTest, ActivatesTheUppermostOfTwoWindowsWithTheSameTitle) {
    const Hwnd lower = add("Notes");
    const Hwnd upper = add("Notes");
    desk.activate(lower);
    desk.activate(upper);
    add("Tool", WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS);
    returnFocusFromMenu();
    EXPECT_EQ(desk.foreground(), upper);

    desk.activate(lower); // now the lower one is on top
    returnFocusFromMenu();
    EXPECT_EQ(desk.foreground(), lower);
}

TEST_F(FocusReturnTest, NeverChoosesThePanelOrTheProgramsHiddenForms) {
    const Hwnd editor = add("Editor");
    Form1& panel = form<Form1>();
    frmMenu& menu = form<frmMenu>();
    ASSERT_NE(panel.hWnd(), 0);
    // The panel, topmost, lies above every other window.
    ASSERT_EQ(desk.topLevelWindows().front(), panel.hWnd());
    desk.activate(panel.hWnd());
    Module1::returnFocus(menu.hWnd());
    EXPECT_EQ(desk.foreground(), editor);
    // The menu form's owner, the application's hidden window, is the one passed over by name.
    EXPECT_EQ(Module1::focusSkipWindow, desk.GetParent(menu.hWnd()));
    EXPECT_NE(Module1::focusSkipWindow, 0);
}

TEST_F(FocusReturnTest, SkipsTheGivenWindowWhenItHasNoOwner) {
    const Hwnd lower = add("Editor");
    const Hwnd upper = add("Viewer");
    Module1::returnFocus(upper);
    EXPECT_EQ(Module1::focusSkipWindow, upper);
    EXPECT_EQ(desk.foreground(), lower);
}

TEST_F(FocusReturnTest, LeavesTheForegroundAloneWhenNoWindowQualifies) {
    const Hwnd dialog = add("Dialog", WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU);
    add("");
    desk.activate(dialog);
    returnFocusFromMenu();
    EXPECT_EQ(desk.foreground(), dialog);
}

TEST_F(FocusReturnTest, StopsAtTheFirstQualifyingWindowAndLetsPendingMessagesRun) {
    add("Editor");
    const Hwnd upper = add("Viewer");
    const Hwnd menu = form<frmMenu>().hWnd();
    desk.PostMessageW(menu, WM_NULL, 0, 0);
    Module1::returnFocus(menu);
    EXPECT_EQ(desk.foreground(), upper);
    EXPECT_EQ(desk.queuedMessages(), 0u);
}

} // namespace
} // namespace ep
