// The polling tick on the simulated desktop, driven as a person does it: put the cursor
// somewhere, let 100 ms pass, look at where the panel stands and what shape it has.
#include "frame/toolkit.h"
#include "menu/frm_menu.h"
#include "panel/form1.h"
#include "platform/sim/desktop.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace ep {

namespace {

// Rectangles as left, top, right, bottom, comparable and printable.
using Box = std::array<int, 4>;
Box box(const Rect& r) { return {r.left, r.top, r.right, r.bottom}; }
std::vector<Box> boxes(const std::vector<Rect>& rects) {
    std::vector<Box> out;
    for (const Rect& r : rects)
        out.push_back(box(r));
    return out;
}

constexpr std::uint32_t kChild = WS_CHILD | WS_VISIBLE;
constexpr std::uint32_t kBorderless = WS_POPUP | WS_VISIBLE;

// The default screen is 1280 pixels wide: the parked panel's left edge.
constexpr int kParkedLeftPx = 1280;
constexpr double kParkedLeftTwips = 1280 * 15;

// The button column's four cells, and the exit bar, in window pixels.
const std::vector<Box> kButtonCells = {
    {1, 1, 17, 15}, {1, 16, 17, 30}, {1, 31, 17, 45}, {1, 46, 17, 60}};
const std::vector<Box> kExitBar = {{1, 1, 63, 15}};
constexpr Box kExitBarRect = {-1, -1, 63, 15};

class WatcherTest : public ::testing::Test {
  protected:
    WatcherTest() { freshDesktop(); }
    ~WatcherTest() override { resetToolkit(); }

    // A new desktop for a new run of the program (the old run's single-instance mutex lives
    // as long as its desktop). It holds a file manager with its tree pane along the whole left
    // edge, under a 30-pixel title area that only the frame covers.
    void freshDesktop() {
        if (desk) resetToolkit();
        desk.reset();
        desk = std::make_unique<sim::Desktop>();
        files = desk->addWindow("CabinetWClass", "Files", Rect{200, 100, 800, 600}, 0,
                                WS_VISIBLE | WS_POPUP);
        filesTree = desk->addWindow("SysTreeView32", "", Rect{200, 130, 400, 600}, files, kChild);
        desk->addWindow("SysListView32", "", Rect{400, 130, 800, 600}, files, kChild);
    }

    // The program starts the way its entry point starts it; the poll runs from here on.
    Form1& start() { return form<Form1>(); }
    Form1& panel() { return form<Form1>(); }

    void at(int x, int y) {
        desk->setCursor(x, y);
        desk->advance(100);
    }
    Box panelRect() { return box(desk->windowRect(panel().hWnd())); }
    std::vector<Box> panelRegion() { return boxes(desk->windowRegionRects(panel().hWnd())); }
    bool timerRunning() { return panel().watcherRuns(); }

    // States of the tick's state machine, reached as a person reaches them.
    void toIdle() {
        start();
        at(600, 800); // the bare desktop
        ASSERT_EQ(panel().prevMark, kMarkNothing);
    }
    void toDocked() {
        toIdle();
        at(210, 300);
        ASSERT_EQ(panelRect()[0], 200);
    }
    void toExitBar() {
        toIdle();
        at(0, 0);
        ASSERT_EQ(panelRect(), kExitBarRect);
    }

    std::unique_ptr<sim::Desktop> desk;
    Hwnd files = 0;
    Hwnd filesTree = 0;
};

// ---- The state machine, row by row -----------------------------------------------------

TEST_F(WatcherTest, StartupLeavesEveryFieldEmptyAndThePanelParked) {
    start();
    EXPECT_EQ(panel().curMark, L"");
    EXPECT_EQ(panel().prevMark, L"");
    EXPECT_EQ(panel().panelMode, L"");
    EXPECT_EQ(panel().targetHwnd, 0);
    EXPECT_EQ(panelRect()[0], kParkedLeftPx);
    EXPECT_TRUE(timerRunning());
}

TEST_F(WatcherTest, FromStart) {
    {
        SCOPED_TRACE("N: idle, nothing moves");
        start();
        const Box before = panelRect();
        at(600, 800);
        EXPECT_EQ(panel().prevMark, kMarkNothing);
        EXPECT_EQ(panel().panelMode, L"");
        EXPECT_EQ(panelRect(), before);
        freshDesktop();
    }
    {
        SCOPED_TRACE("Z: docked on record only; the panel keeps its start-up look, parked");
        start();
        const Box before = panelRect();
        const std::vector<Box> regionBefore = panelRegion();
        at(210, 300);
        EXPECT_EQ(panel().prevMark, kMarkShown);
        EXPECT_EQ(panel().panelMode, kModeDocked);
        EXPECT_EQ(panel().targetHwnd, files);
        EXPECT_EQ(panelRect(), before);
        EXPECT_EQ(panelRegion(), regionBefore);
        EXPECT_TRUE(panel().Picture2.Visible());
        EXPECT_FALSE(isLoaded<frmMenu>()) << "no docking, so the user button is not read";

        SCOPED_TRACE("it shows only after one tick outside the zone and a new entry");
        at(210, 350);
        EXPECT_EQ(panelRect(), before);
        at(500, 300);
        at(210, 350);
        EXPECT_EQ(panelRect()[0], 200);
        freshDesktop();
    }
    {
        SCOPED_TRACE("C: exit bar on record only; no bar is drawn");
        start();
        const Box before = panelRect();
        at(0, 0);
        EXPECT_EQ(panel().prevMark, kMarkShown);
        EXPECT_EQ(panel().panelMode, kModeExitBar);
        EXPECT_EQ(panelRect(), before);
        EXPECT_TRUE(panel().Picture2.Visible());
    }
}

TEST_F(WatcherTest, FromStartOverTheParkedPanelChangesNothing) {
    // A screen to the right of the primary one shows the parked panel at its left edge.
    desk->addMonitorRight(1280, 1024);
    start();
    const Box parked = panelRect();
    at(parked[0] + 8, parked[1] + 7);
    EXPECT_EQ(panel().curMark, kMarkNothing);
    EXPECT_EQ(panel().prevMark, L"");
    EXPECT_EQ(panel().panelMode, L"");
    EXPECT_EQ(panel().cursorX, (parked[0] + 8) * 15);
    EXPECT_EQ(panel().cursorY, (parked[1] + 7) * 15);
    EXPECT_EQ(panelRect(), parked);
    EXPECT_TRUE(timerRunning());
}

TEST_F(WatcherTest, FromIdle) {
    {
        SCOPED_TRACE("N: stays idle");
        toIdle();
        const Box before = panelRect();
        at(500, 300);
        EXPECT_EQ(panel().prevMark, kMarkNothing);
        EXPECT_EQ(panelRect(), before);
        freshDesktop();
    }
    {
        SCOPED_TRACE("Z: docks at the window's left edge, centred on the cursor");
        toIdle();
        ASSERT_FALSE(isLoaded<frmMenu>()); // the user button is off: nothing has read it yet
        at(210, 300);
        // Reading the user button's mark loaded the menu form, hidden.
        ASSERT_TRUE(isLoaded<frmMenu>());
        EXPECT_FALSE(desk->windowVisible(form<frmMenu>().hWnd()));
        EXPECT_EQ(panel().panelMode, kModeDocked);
        // The decision 16 ms after the move finds the cursor on the panel: only this
        // decision's mark changes.
        EXPECT_EQ(panel().curMark, kMarkNothing);
        EXPECT_EQ(panel().prevMark, kMarkShown);
        EXPECT_EQ(panel().targetHwnd, files);
        // 675 twips high, centred on 4500: top 4500 - 337.
        EXPECT_EQ(panel().Left(), 3000);
        EXPECT_EQ(panel().Top(), 4163);
        EXPECT_EQ(panel().Height(), 675);
        EXPECT_EQ(panelRect(), (Box{200, 278, 218, 323}));
        EXPECT_EQ(panelRegion(), kButtonCells);
        EXPECT_FALSE(panel().Picture2.Visible());
        freshDesktop();
    }
    {
        SCOPED_TRACE("C: the exit bar at (-1, -1)");
        toIdle();
        at(0, 0);
        EXPECT_EQ(panel().panelMode, kModeExitBar);
        EXPECT_EQ(panel().prevMark, kMarkShown);
        EXPECT_EQ(panel().Left(), -15);
        EXPECT_EQ(panel().Top(), -15);
        EXPECT_EQ(panelRect(), kExitBarRect);
        EXPECT_EQ(panelRegion(), kExitBar);
        EXPECT_FALSE(panel().Picture2.Visible());
    }
}

TEST_F(WatcherTest, FromIdleOverTheParkedPanelStaysIdle) {
    desk->addMonitorRight(1280, 1024);
    toIdle();
    const Box parked = panelRect();
    at(parked[0] + 8, parked[1] + 7);
    EXPECT_EQ(panel().prevMark, kMarkNothing);
    EXPECT_EQ(panelRect(), parked);
    at(600, 800);
    EXPECT_EQ(panelRect(), parked);
}

TEST_F(WatcherTest, FromDocked) {
    {
        SCOPED_TRACE("P: the cursor on the panel refreshes only the cursor and this tick's mark");
        toDocked();
        const Box docked = panelRect();
        at(208, 285); // cell 0 of the panel
        EXPECT_EQ(panel().cursorX, 208 * 15);
        EXPECT_EQ(panel().cursorY, 285 * 15);
        EXPECT_EQ(panel().curMark, kMarkNothing);
        EXPECT_EQ(panel().prevMark, kMarkShown);
        EXPECT_EQ(panel().panelMode, kModeDocked);
        EXPECT_EQ(panelRect(), docked);
        EXPECT_TRUE(timerRunning());
        freshDesktop();
    }
    {
        SCOPED_TRACE("Z: moving along the strip neither re-centres nor reshapes");
        toDocked();
        const Box docked = panelRect();
        at(215, 450);
        at(229, 140);
        EXPECT_EQ(panel().panelMode, kModeDocked);
        EXPECT_EQ(panel().prevMark, kMarkShown);
        EXPECT_EQ(panelRect(), docked);
        EXPECT_EQ(panelRegion(), kButtonCells);
        freshDesktop();
    }
    {
        SCOPED_TRACE("C: exit mode, but the button column stays at the window's edge");
        toDocked();
        const Box docked = panelRect();
        at(0, 0);
        EXPECT_EQ(panel().panelMode, kModeExitBar);
        EXPECT_EQ(panel().prevMark, kMarkShown);
        EXPECT_EQ(panel().targetHwnd, files);
        EXPECT_EQ(panelRect(), docked);
        EXPECT_EQ(panelRegion(), kButtonCells);
        freshDesktop();
    }
    {
        SCOPED_TRACE("N: parked; only the left edge changes");
        toDocked();
        const Box docked = panelRect();
        at(500, 300);
        EXPECT_EQ(panel().Left(), kParkedLeftTwips);
        EXPECT_EQ(panelRect(), (Box{kParkedLeftPx, docked[1], kParkedLeftPx + 18, docked[3]}));
        EXPECT_EQ(panelRegion(), kButtonCells);
        EXPECT_EQ(panel().prevMark, kMarkNothing);
        EXPECT_EQ(panel().panelMode, kModeDocked);
        EXPECT_EQ(panel().targetHwnd, files);
    }
}

TEST_F(WatcherTest, FromExit) {
    {
        SCOPED_TRACE("P: the bar covers the corner, so resting there changes nothing");
        toExitBar();
        at(0, 0);
        at(0, 0);
        EXPECT_EQ(panel().curMark, kMarkNothing);
        EXPECT_EQ(panel().prevMark, kMarkShown);
        EXPECT_EQ(panel().panelMode, kModeExitBar);
        EXPECT_EQ(panelRect(), kExitBarRect);
        EXPECT_TRUE(timerRunning());
        freshDesktop();
    }
    {
        SCOPED_TRACE("Z: docked mode on the exit-bar shape, still in the corner");
        toExitBar();
        at(210, 300);
        EXPECT_EQ(panel().panelMode, kModeDocked);
        EXPECT_EQ(panel().targetHwnd, files);
        EXPECT_EQ(panelRect(), kExitBarRect);
        EXPECT_EQ(panelRegion(), kExitBar);
        freshDesktop();
    }
    {
        SCOPED_TRACE("C: the corner again while the column stands elsewhere");
        toDocked();
        const Box docked = panelRect();
        at(0, 0);
        at(0, 0);
        EXPECT_EQ(panel().panelMode, kModeExitBar);
        EXPECT_EQ(panel().prevMark, kMarkShown);
        EXPECT_EQ(panelRect(), docked);
        freshDesktop();
    }
    {
        SCOPED_TRACE("N: the bar is parked with its shape and top");
        toExitBar();
        at(500, 300);
        EXPECT_EQ(panelRect(), (Box{kParkedLeftPx, -1, kParkedLeftPx + 64, 15}));
        EXPECT_EQ(panelRegion(), kExitBar);
        EXPECT_EQ(panel().prevMark, kMarkNothing);
        EXPECT_EQ(panel().panelMode, kModeExitBar);

        SCOPED_TRACE("the next entry from idle restores the button column");
        at(210, 300);
        EXPECT_EQ(panelRect(), (Box{200, 278, 218, 323}));
        EXPECT_EQ(panelRegion(), kButtonCells);
    }
}

// ---- Where the zone begins and ends ----------------------------------------------------

TEST_F(WatcherTest, StripIsHalfOpenFromTheWindowsOuterLeftEdge) {
    struct Case {
        int x;
        bool docks;
    };
    for (const Case& c : {Case{199, false}, Case{200, true}, Case{229, true}, Case{230, false}}) {
        SCOPED_TRACE(c.x);
        toIdle();
        at(c.x, 300);
        EXPECT_EQ(panelRect()[0] == 200, c.docks);
        EXPECT_EQ(panel().panelMode == kModeDocked, c.docks);
        freshDesktop();
    }
}

TEST_F(WatcherTest, StripIsMeasuredFromTheFrameNotFromTheChild) {
    // A framed window: its tree pane starts 8 pixels inside the outer edge.
    const Hwnd framed = desk->addWindow("ExploreWClass", "Explorer", Rect{300, 650, 700, 950});
    desk->addWindow("SysTreeView32", "", Rect{308, 680, 500, 942}, framed, kChild);
    toIdle();
    at(330, 800); // 30 pixels from the frame, 22 from the pane
    EXPECT_EQ(panel().prevMark, kMarkNothing);
    at(329, 800);
    EXPECT_EQ(panel().targetHwnd, framed);
    EXPECT_EQ(panelRect()[0], 300);
}

TEST_F(WatcherTest, TopAndBottomRowsOfTheWindowAreInside) {
    // Two panes stacked edge to edge: the row where they meet belongs to the lower one, and
    // its top edge counts as inside.
    struct Case {
        int y;
        bool upper;
    };
    for (const Case& c : {Case{100, true}, Case{399, true}, Case{400, false}, Case{699, false}}) {
        SCOPED_TRACE(c.y);
        freshDesktop();
        const Hwnd upper =
            desk->addWindow("ExploreWClass", "Upper", Rect{900, 100, 1200, 400}, 0, kBorderless);
        desk->addWindow("SysTreeView32", "", Rect{900, 100, 1200, 400}, upper, kChild);
        const Hwnd lower =
            desk->addWindow("IEFrame", "Lower", Rect{900, 400, 1200, 700}, 0, kBorderless);
        desk->addWindow("Internet Explorer_Server", "", Rect{900, 400, 1200, 700}, lower, kChild);
        toIdle();
        at(905, c.y);
        EXPECT_EQ(panel().targetHwnd, c.upper ? upper : lower);
        EXPECT_EQ(panelRect()[0], 900);
    }
}

TEST_F(WatcherTest, RowJustBelowTheWindowCountsWhenAnOwnedPopupLiesThere) {
    // An autocomplete drop-down hangs below the file manager; its ancestor is the file
    // manager (its owner), whose bottom edge, one row above, still counts as inside.
    const Hwnd dropDown =
        desk->addWindow("Auto-Suggest Dropdown", "", Rect{200, 600, 400, 700}, 0, kBorderless);
    desk->setOwner(dropDown, files);
    desk->addWindow("SysListView32", "", Rect{200, 600, 400, 700}, dropDown, kChild);
    toIdle();
    at(210, 601);
    EXPECT_EQ(panel().prevMark, kMarkNothing);
    at(210, 600);
    EXPECT_EQ(panel().targetHwnd, files);
    EXPECT_EQ(panelRect()[0], 200);
}

TEST_F(WatcherTest, ServedAndUnservedClasses) {
    struct Case {
        const char* what;
        const char* topClass;
        const char* hitClass; // nullptr: no child at all
        int x, y;
        bool served;
    };
    const Case cases[] = {
        {"file manager with a list", "CabinetWClass", "SysListView32", 910, 800, true},
        {"explorer with a tree pane", "ExploreWClass", "SysTreeView32", 910, 800, true},
        {"browser view", "IEFrame", "Internet Explorer_Server", 910, 800, true},
        {"lower-case sys class", "CabinetWClass", "sysListView32", 910, 800, false},
        {"a class merely containing Sys", "CabinetWClass", "DirectUISys", 910, 800, false},
        {"unserved top-level class", "Notepad", "SysListView32", 910, 800, false},
        {"top-level class in other case", "cabinetwclass", "SysListView32", 910, 800, false},
        {"browser frame with nothing inside", "IEFrame", nullptr, 910, 800, false},
        {"title bar of the file manager", "CabinetWClass", nullptr, 210, 110, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        freshDesktop();
        const Hwnd top =
            desk->addWindow(c.topClass, "Window", Rect{900, 650, 1200, 950}, 0, kBorderless);
        if (c.hitClass) desk->addWindow(c.hitClass, "", Rect{900, 650, 1200, 950}, top, kChild);
        toIdle();
        at(c.x, c.y);
        if (c.served) {
            EXPECT_EQ(panel().targetHwnd, top);
            EXPECT_EQ(panelRect()[0], 900);
        } else {
            EXPECT_EQ(panel().prevMark, kMarkNothing);
            EXPECT_EQ(panel().targetHwnd, 0);
            EXPECT_EQ(panelRect()[0], kParkedLeftPx);
        }
    }
}

TEST_F(WatcherTest, ViewNestedDeeperThanTenLevelsIsNotServed) {
    // Every level covers the same rectangle, so only the ancestor's class decides.
    for (int levels : {10, 11}) {
        SCOPED_TRACE(levels);
        freshDesktop();
        const Rect rect{900, 650, 1200, 950};
        const Hwnd frame = desk->addWindow("IEFrame", "Deep", rect, 0, kBorderless);
        Hwnd parent = frame;
        for (int level = 1; level < levels; ++level)
            parent = desk->addWindow("Shell Embedding", "", rect, parent, kChild);
        desk->addWindow("Internet Explorer_Server", "", rect, parent, kChild);
        toIdle();
        at(910, 800);
        if (levels == 10) {
            EXPECT_EQ(panel().targetHwnd, frame);
        } else {
            EXPECT_EQ(panel().prevMark, kMarkNothing);
            EXPECT_EQ(panelRect()[0], kParkedLeftPx);
        }
    }
}

TEST_F(WatcherTest, WindowPartlyOffTheLeftOfTheScreen) {
    const Hwnd offLeft =
        desk->addWindow("CabinetWClass", "Off", Rect{-7, 650, 400, 950}, 0, kBorderless);
    desk->addWindow("SysTreeView32", "", Rect{-7, 650, 400, 950}, offLeft, kChild);
    toIdle();
    at(5, 800);
    EXPECT_EQ(panel().targetHwnd, offLeft);
    EXPECT_EQ(panel().Left(), -105);
    EXPECT_EQ(panelRect()[0], -7);
}

// ---- The exit corner -------------------------------------------------------------------

TEST_F(WatcherTest, OnlyThePixelAtTheOriginIsTheExitCorner) {
    for (const Point p : {Point{0, 1}, Point{1, 0}}) {
        SCOPED_TRACE(testing::Message() << p.x << "," << p.y);
        toIdle();
        at(p.x, p.y);
        EXPECT_EQ(panel().prevMark, kMarkNothing);
        EXPECT_EQ(panel().panelMode, L"");
        EXPECT_EQ(panelRect()[0], kParkedLeftPx);
        freshDesktop();
    }
}

// A cursor that cannot be read (the lock screen, the secure desktop) is no position at all.
TEST_F(WatcherTest, AnUnreadableCursorDecidesNothing) {
    toDocked();
    const Box docked = panelRect();
    desk->failCursorReads(true);
    desk->setCursor(500, 300);
    desk->advance(100);
    EXPECT_EQ(panel().panelMode, kModeDocked);
    EXPECT_EQ(panel().prevMark, kMarkShown);
    EXPECT_EQ(panel().targetHwnd, files);
    EXPECT_EQ(panelRect(), docked);
}

// Behind the lock screen or a secure-desktop prompt the cursor cannot be read: such a tick
// knows nothing and changes nothing, in every state, however long it lasts.
TEST_F(WatcherTest, AnUnreadableCursorChangesNothing) {
    const auto unreadable = [&](const char* state) {
        SCOPED_TRACE(state);
        const Box before = panelRect();
        const std::wstring mark = panel().prevMark, mode = panel().panelMode;
        const Hwnd served = panel().targetHwnd;
        desk->failCursorReads(true);
        at(0, 0);
        at(500, 300);
        EXPECT_EQ(panelRect(), before);
        EXPECT_EQ(panel().prevMark, mark);
        EXPECT_EQ(panel().panelMode, mode);
        EXPECT_EQ(panel().targetHwnd, served);
        EXPECT_TRUE(timerRunning());
        desk->failCursorReads(false);
    };
    toIdle();
    unreadable("idle");
    toDocked();
    unreadable("docked");
    at(500, 300);
    EXPECT_EQ(panelRect()[0], kParkedLeftPx) << "the first readable tick decides again";
    freshDesktop();
    toExitBar();
    unreadable("exit bar");
    freshDesktop();
    toDocked();
    const Box docked = panelRect();
    desk->broadcastDisplayChange();
    unreadable("display changed");
    at(210, 400);
    EXPECT_EQ(panelRect()[0], 200);
    EXPECT_NE(panelRect()[1], docked[1]) << "the display change is followed once the cursor is "
                                            "back: parked, then docked afresh at the cursor";
}

// A taskbar along the top or the left edge has Start in the corner: no exit bar over it, from
// any state; elsewhere the corner works as before.
TEST_F(WatcherTest, NoExitBarOverTheTaskbar) {
    const Hwnd taskbar =
        desk->addWindow("Shell_TrayWnd", "", Rect{0, 0, 48, 1024}, 0, WS_POPUP | WS_VISIBLE);
    desk->addWindow("Start", "Start", Rect{0, 0, 48, 48}, taskbar, kChild);
    toIdle();
    at(0, 0);
    EXPECT_EQ(panel().prevMark, kMarkNothing);
    EXPECT_EQ(panelRect()[0], kParkedLeftPx);
    toDocked();
    at(0, 0);
    EXPECT_EQ(panelRect()[0], kParkedLeftPx) << "a docked panel parks as anywhere else";
    EXPECT_EQ(panel().panelMode, kModeDocked);
    desk->closeWindow(taskbar);
    at(0, 0);
    EXPECT_EQ(panelRect(), kExitBarRect) << "without the taskbar there the corner works again";
}

// ---- Movements a person makes ----------------------------------------------------------

TEST_F(WatcherTest, StraightFromOneWindowIntoTheNextKeepsThePanelAtTheFirst) {
    const Hwnd next =
        desk->addWindow("CabinetWClass", "Next", Rect{800, 100, 1100, 600}, 0, kBorderless);
    desk->addWindow("SysTreeView32", "", Rect{800, 100, 1100, 600}, next, kChild);
    toDocked();
    const Box docked = panelRect();
    at(810, 400);
    EXPECT_EQ(panel().targetHwnd, next);
    EXPECT_EQ(panelRect(), docked);
    at(500, 400);
    at(810, 400);
    EXPECT_EQ(panelRect()[0], 800);
}

TEST_F(WatcherTest, PanelParkedByItsUserButtonStaysParkedUntilTheNextEntry) {
    // Four buttons, the fourth typing a plain key, so that the file manager stays open.
    const std::filesystem::path ini = desk->hostPath(L"C:\\Tools\\edgepad.ini");
    std::filesystem::create_directories(ini.parent_path());
    std::ofstream(ini, std::ios::binary) << "[DATA]\r\nUSER_COMMAND=x\r\nUSER_COMMAND_ON=1\r\n";
    toDocked();
    const Box docked = panelRect();
    ASSERT_EQ(docked[3] - docked[1], 60);
    desk->click(1, docked[0] + 8, docked[1] + 52); // the user cell
    ASSERT_EQ(panelRect()[0], kParkedLeftPx);
    ASSERT_TRUE(desk->windowExists(files));

    // The cursor has not moved and is in the strip again: the panel stays away.
    desk->advance(100);
    at(215, 320);
    EXPECT_EQ(panelRect()[0], kParkedLeftPx);
    EXPECT_EQ(panel().panelMode, kModeDocked);
    EXPECT_EQ(panel().prevMark, kMarkShown);

    at(500, 300);
    at(210, 300);
    EXPECT_EQ(panelRect(), (Box{200, 270, 218, 330}));
}

TEST_F(WatcherTest, UserButtonSwitchChangesTheHeightAtTheNextEntry) {
    toDocked();
    EXPECT_EQ(panelRect()[3] - panelRect()[1], 45);
    // The menu's user-button item, chosen from a right press on the panel.
    desk->onPopupMenu = [](const sim::MenuRecord& menu) { return menu.items.at(0).id; };
    const Box docked = panelRect();
    desk->click(2, docked[0] + 8, docked[1] + 20);
    ASSERT_TRUE(form<frmMenu>().uc.Checked());
    at(210, 450);
    EXPECT_EQ(panelRect(), docked);

    at(500, 300);
    at(210, 300);
    EXPECT_EQ(panel().Height(), 900);
    EXPECT_EQ(panel().Top(), 4500 - 450);
    EXPECT_EQ(panelRect(), (Box{200, 270, 218, 330}));
    EXPECT_EQ(panelRegion(), kButtonCells);
}

TEST_F(WatcherTest, TwelveTwipsPerPixel) {
    // 120 DPI on the system and the monitor: twelve twips a pixel, and the panel at 125 %.
    desk->setTwipsPerPixel(12);
    toIdle();
    at(238, 300); // the strip is S(30) = 38 pixels wide here
    EXPECT_EQ(panel().prevMark, kMarkNothing);
    at(237, 300);
    EXPECT_EQ(panel().cursorX, 237 * 12);
    EXPECT_EQ(panel().Left(), 200 * 12);
    EXPECT_EQ(panel().Height(), 56 * 12); // S(45), not 3 x S(15)
    EXPECT_EQ(panel().Top(), 300 * 12 - 336);
    EXPECT_EQ(panelRect(), (Box{200, 272, 223, 328}));
    at(500, 300);
    EXPECT_EQ(panel().Left(), 1280 * 12);
    at(0, 0);
    EXPECT_EQ(panel().Left(), -12);
    EXPECT_EQ(panel().Top(), -12);
    EXPECT_EQ(panelRect(), (Box{-1, -1, 79, 19}));
}

// ---- A hand that moves while a tick runs --------------------------------------------------

// What a tick leaves behind, as a person and the button handlers see it.
struct Settled {
    Box rect;
    std::wstring prevMark, panelMode;
    std::string target; // the served window's title: handles differ from run to run
    bool operator==(const Settled&) const = default;
};

class MovingHandTest : public WatcherTest {
  protected:
    Settled settled() {
        return {panelRect(), panel().prevMark, panel().panelMode,
                desk->windowTitle(panel().targetHwnd)};
    }
    // From a docked panel with the cursor at `from`, one tick during which the cursor goes to
    // `to` after `calls` platform calls; the program runs afresh each time.
    Settled tickWithMove(Point from, Point to, std::uint64_t calls) {
        freshDesktop();
        addSecondWindow();
        toDocked();
        desk->setCursor(from.x, from.y);
        desk->advance(100);
        // The hand stirs at `from` and goes on: the decision it wakes sees the move.
        desk->setCursor(from.x, from.y);
        desk->moveCursorAfterCalls(calls, to.x, to.y);
        desk->pump();
        return settled();
    }
    void addSecondWindow() {
        const Hwnd next =
            desk->addWindow("CabinetWClass", "Next", Rect{800, 100, 1100, 600}, 0, kBorderless);
        desk->addWindow("SysTreeView32", "", Rect{800, 100, 1100, 600}, next, kChild);
    }
    // Every split of one tick between the two spots settles as one of them alone would.
    void expectOneSpotOrTheOther(Point from, Point to) {
        const Settled stayed = tickWithMove(from, to, 1000);
        const Settled moved = tickWithMove(from, to, 1);
        for (std::uint64_t calls = 2; calls <= 40; ++calls) {
            const Settled got = tickWithMove(from, to, calls);
            EXPECT_TRUE(got == stayed || got == moved)
                << "a move after " << calls
                << " calls of the tick settled as neither spot: panel at " << got.rect[0] << ","
                << got.rect[1] << ", mode "
                << std::string(got.panelMode.begin(), got.panelMode.end());
        }
    }
};

TEST_F(MovingHandTest, StripOntoThePanelNeverParksIt) {
    // The docked panel covers x 200 to 217; the strip beside it runs on to x 229.
    const Settled stayed = tickWithMove({225, 300}, {210, 300}, 1000);
    EXPECT_EQ(stayed.rect[0], 200);
    const Settled moved = tickWithMove({225, 300}, {210, 300}, 1);
    EXPECT_EQ(moved.rect[0], 200) << "the cursor on the panel keeps it where it stands";
    expectOneSpotOrTheOther({225, 300}, {210, 300});
}

TEST_F(MovingHandTest, PanelOffToTheDesktop) { expectOneSpotOrTheOther({205, 300}, {100, 800}); }

TEST_F(MovingHandTest, OneStripIntoAnother) {
    const Settled moved = tickWithMove({225, 300}, {810, 300}, 1);
    EXPECT_EQ(moved.rect[0], 200) << "the panel stays at the first window";
    EXPECT_NE(moved.target, tickWithMove({225, 300}, {810, 300}, 1000).target);
    expectOneSpotOrTheOther({225, 300}, {810, 300});
}

TEST_F(MovingHandTest, StripIntoTheExitCorner) { expectOneSpotOrTheOther({225, 300}, {0, 0}); }

TEST_F(MovingHandTest, DesktopIntoTheStripOfAParkedPanel) {
    expectOneSpotOrTheOther({500, 800}, {225, 300});
}

} // namespace
} // namespace ep

// ---- Today's desk: the visible frame, and displays that change ----------------------------

namespace ep {
namespace {

class DeskTest : public WatcherTest {};

// Windows 10 and 11 draw no side borders: the visible frame lies 7 pixels inside the window's
// rectangle on the left, right and bottom, and the strip begins at the visible edge.
TEST_F(DeskTest, TheStripAndTheDockingFollowTheVisibleFrame) {
    desk->setVisibleFrameInsets(files, Rect{7, 0, 7, 7});
    toIdle();
    at(206, 300); // in the invisible border
    EXPECT_EQ(panel().prevMark, kMarkNothing);
    at(207, 300);
    EXPECT_EQ(panelRect()[0], 207);
    at(236, 300);
    EXPECT_EQ(panel().prevMark, kMarkShown);
    at(600, 800);
    at(237, 300); // the strip's right edge moved in with it
    EXPECT_EQ(panel().prevMark, kMarkNothing);
    at(600, 800);
    at(210, 593); // the visible bottom row still belongs to it
    EXPECT_EQ(panel().prevMark, kMarkShown);
    at(600, 800);
    at(210, 594);
    EXPECT_EQ(panel().prevMark, kMarkNothing);
}

TEST_F(DeskTest, WithoutTheVisibleFrameTheRectangleServes) {
    desk->setVisibleFrameInsets(files, Rect{7, 0, 7, 7});
    desk->setDwmUnavailable(true); // Wine 8, or Windows 7 without composition
    toIdle();
    at(200, 300);
    EXPECT_EQ(panelRect()[0], 200);
}

TEST_F(DeskTest, ADesktopThatGrowsOrShrinksMovesTheParkedPanelToItsNewEdge) {
    toIdle();
    desk->setScreenSize(1024, 768);
    desk->broadcastDisplayChange();
    EXPECT_EQ(panelRect()[0], 1024) << "the change wakes a decision";
    at(600, 700);
    EXPECT_EQ(panelRect()[0], 1024);
    desk->addMonitorRight(1920, 1080);
    desk->broadcastDisplayChange();
    at(600, 700);
    EXPECT_EQ(panelRect()[0], 1024 + 1920);
}

// A resolution change moves the file manager away from under the resting hand, which now lies
// on the panel alone: the tick after the change parks it and decides afresh, where without the
// change it would have left the panel standing.
TEST_F(DeskTest, ADisplayChangeParksADockedPanelAndTheNextTickDecidesAfresh) {
    toDocked();
    const Box docked = panelRect();
    desk->moveWindow(files, Rect{500, 100, 1100, 600});
    desk->addMonitorRight(1920, 1080);
    desk->broadcastDisplayChange();
    at(docked[0] + 8, docked[1] + 20);
    EXPECT_EQ(panelRect()[0], 3200);
    EXPECT_EQ(panel().prevMark, kMarkNothing);
    at(510, 300); // into the strip again: it docks at once, as after any parking
    EXPECT_EQ(panelRect()[0], 500);
}

TEST_F(DeskTest, ADisplayChangeWhileTheMenuIsOpenParksOnceTheWatcherResumes) {
    toDocked();
    const Box docked = panelRect();
    desk->onPopupMenu = [&](const sim::MenuRecord&) {
        desk->moveWindow(files, Rect{500, 100, 1100, 600});
        desk->addMonitorRight(1920, 1080);
        desk->broadcastDisplayChange();
        desk->advance(300);
        EXPECT_EQ(panelRect(), docked) << "the watcher rests while the menu is open";
        return std::uintptr_t(0);
    };
    desk->click(vbRightButton, docked[0] + 8, docked[1] + 20);
    EXPECT_EQ(panelRect()[0], 3200) << "the menu's end wakes a decision";
}

// A drag with any button passes through the strip and into the corner without the panel
// coming; the first tick after the release docks it, the cursor still in place.
TEST_F(DeskTest, ADragThroughTheStripOrIntoTheCornerBringsNoPanel) {
    for (const int button : {vbLeftButton, vbRightButton, vbMiddleButton}) {
        SCOPED_TRACE(button);
        freshDesktop();
        toIdle();
        desk->press(button, 600, 800);
        at(210, 300);
        at(215, 310);
        EXPECT_EQ(panelRect()[0], kParkedLeftPx);
        EXPECT_EQ(panel().prevMark, kMarkNothing);
        at(0, 0);
        EXPECT_EQ(panelRect()[0], kParkedLeftPx) << "no exit bar while held";
        at(215, 310);
        desk->release(button, 215, 310);
        desk->advance(100);
        EXPECT_EQ(panelRect()[0], 200);
    }
}

TEST_F(DeskTest, ADockedPanelHoldsStillDuringADragAndStillParks) {
    toDocked();
    const Box docked = panelRect();
    desk->press(vbLeftButton, 250, 400); // on the tree, beside the panel
    at(220, 350);
    EXPECT_EQ(panelRect(), docked);
    at(0, 0); // out of the strip into the corner, still held
    EXPECT_EQ(panelRect()[0], kParkedLeftPx);
    desk->release(vbLeftButton, 0, 0);
    desk->advance(100);
    EXPECT_EQ(panelRect(), kExitBarRect);
}

// ---- The pause before docking (DOCK_DELAY) ---------------------------------------------

// The settings file holds a pause; the program starts with the cursor on the bare desktop.
class DockPauseTest : public WatcherTest {
  protected:
    void startWithDelay(const std::string& value) {
        writeSettings("[DATA]\r\nUSER_COMMAND=x\r\nUSER_COMMAND_ON=0\r\nDOCK_DELAY=" + value +
                      "\r\n");
        toIdle();
    }
    void writeSettings(const std::string& text) {
        std::filesystem::create_directories(ini().parent_path());
        std::ofstream(ini(), std::ios::binary) << text;
    }
    std::filesystem::path ini() const { return desk->hostPath(L"C:\\Tools\\edgepad.ini"); }
    std::string settingsText() const {
        std::ifstream in(ini(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Into the file manager's strip once, then the hand rests: the milliseconds until the
    // panel docks there (at most `most`).
    int msUntilDocked(int most = 2100) {
        const Hwnd servedBefore = panel().targetHwnd;
        desk->setCursor(210, 300);
        for (int ms = 0; ms <= most; ++ms) {
            desk->advance(ms == 0 ? 0 : 1);
            if (panelRect()[0] == 200) return ms;
            EXPECT_EQ(panelRect()[0], kParkedLeftPx) << "the pause shows nothing";
            EXPECT_EQ(panel().prevMark, kMarkNothing);
            EXPECT_EQ(panel().targetHwnd, servedBefore) << "the pause serves no window";
            if (::testing::Test::HasFailure()) return -1;
        }
        return -1;
    }
};

TEST_F(DockPauseTest, ThePauseLastsItsMilliseconds) {
    // A pause shorter than the system's shortest timer, 10 ms, lasts those 10 ms.
    const std::pair<const char*, int> cases[] = {{"300", 300},   {"250", 250}, {"201", 201},
                                                 {"50", 50},     {"1", 10},    {"100", 100},
                                                 {"2000", 2000}, {"0", 0},     {"0300", 300}};
    for (const auto& [value, ms] : cases) {
        SCOPED_TRACE(value);
        freshDesktop();
        startWithDelay(value);
        EXPECT_EQ(msUntilDocked(), ms);
        EXPECT_EQ(panel().targetHwnd, files);
        EXPECT_EQ(panel().panelMode, kModeDocked);
    }
}

TEST_F(DockPauseTest, AnythingButAWholeNumberUpTo2000IsNoPause) {
    for (const char* value :
         {"", "-100", "+300", "3 00", "300ms", "2001", "99999999999999999999", "0x12C", "300.0",
          "1e3", "abc", "\xEF\xBC\x93\xEF\xBC\x90\xEF\xBC\x90"}) {
        SCOPED_TRACE(value);
        freshDesktop();
        startWithDelay(value);
        EXPECT_EQ(msUntilDocked(), 0);
    }
    SCOPED_TRACE("no key at all");
    freshDesktop();
    writeSettings("[DATA]\r\nUSER_COMMAND=x\r\nUSER_COMMAND_ON=0\r\n");
    toIdle();
    EXPECT_EQ(msUntilDocked(), 0);
}

TEST_F(DockPauseTest, LeavingTheStripStartsThePauseAgain) {
    startWithDelay("300");
    at(210, 300);
    at(212, 320);
    at(500, 300); // out of the strip, over the file list
    desk->setCursor(210, 300);
    desk->advance(299);
    EXPECT_EQ(panelRect()[0], kParkedLeftPx) << "the time before leaving does not count";
    desk->advance(1);
    EXPECT_EQ(panelRect()[0], 200);
    EXPECT_EQ(panel().targetHwnd, files);
}

TEST_F(DockPauseTest, AHeldButtonStartsThePauseAgain) {
    startWithDelay("200");
    at(210, 300);
    desk->press(vbLeftButton, 210, 300);
    desk->advance(150); // the pause would have ended meanwhile
    EXPECT_EQ(panelRect()[0], kParkedLeftPx);
    desk->release(vbLeftButton, 210, 300);
    desk->advance(199);
    EXPECT_EQ(panelRect()[0], kParkedLeftPx);
    desk->advance(1);
    EXPECT_EQ(panelRect()[0], 200);
}

TEST_F(DockPauseTest, FromOneWindowsStripIntoAnothersThePauseStartsAgainUnlessDocked) {
    const Hwnd next =
        desk->addWindow("CabinetWClass", "Next", Rect{800, 100, 1100, 600}, 0, kBorderless);
    desk->addWindow("SysTreeView32", "", Rect{800, 100, 1100, 600}, next, kChild);
    startWithDelay("200");
    desk->setCursor(210, 300);
    desk->advance(150);
    desk->setCursor(810, 300); // the pause for Files is not over; Next's begins
    desk->advance(150);
    EXPECT_EQ(panelRect()[0], kParkedLeftPx);
    desk->advance(50);
    EXPECT_EQ(panelRect()[0], 800);
    EXPECT_EQ(panel().targetHwnd, next);

    SCOPED_TRACE("docked at Next, straight into Files' strip: served at once, no pause");
    const Box docked = panelRect();
    at(210, 300);
    EXPECT_EQ(panel().targetHwnd, files);
    EXPECT_EQ(panelRect(), docked);
}

TEST_F(DockPauseTest, TheExitCornerAndParkingAreNotDelayed) {
    startWithDelay("500");
    at(0, 0);
    EXPECT_EQ(panelRect(), kExitBarRect);
    at(600, 800);
    EXPECT_EQ(panelRect()[0], kParkedLeftPx);
    for (int tick = 0; tick < 6; ++tick)
        at(210, 300);
    ASSERT_EQ(panelRect()[0], 200);
    at(600, 800);
    EXPECT_EQ(panelRect()[0], kParkedLeftPx) << "parked on the first tick away";

    SCOPED_TRACE("from the exit bar into a strip: the pause's first decision parks the bar");
    at(0, 0);
    ASSERT_EQ(panelRect(), kExitBarRect);
    at(210, 300);
    EXPECT_EQ(panelRect()[0], kParkedLeftPx);
    EXPECT_EQ(panel().panelMode, kModeExitBar);
    EXPECT_EQ(msUntilDocked(), 400) << "the pause runs from the first decision in the strip";
}

TEST_F(DockPauseTest, TheSettingIsReadAtStartOnlyAndNeverWritten) {
    startWithDelay("300");
    const std::string written = settingsText();
    EXPECT_NE(written.find("DOCK_DELAY=300\r\n"), std::string::npos);
    writeSettings("[DATA]\r\nUSER_COMMAND=x\r\nUSER_COMMAND_ON=0\r\nDOCK_DELAY=0\r\n");
    EXPECT_EQ(msUntilDocked(), 300) << "a change while running counts from the next start";

    SCOPED_TRACE("a first start seeds no pause");
    freshDesktop();
    toIdle();
    EXPECT_EQ(settingsText().find("DOCK_DELAY"), std::string::npos);
}

} // namespace
} // namespace ep
