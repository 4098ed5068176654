// The panel's buttons on the simulated desktop, used as a person uses them: dock the panel at
// a file manager by resting the cursor in its strip, then press on the panel's cells and look
// at what the file manager (and every other window) received and where the panel stands.
#include "frame/units.h"
#include "menu/frm_menu.h"
#include "panel/form1.h"
#include "program_fixture.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ep {
namespace {

using testing::ProgramTest;

constexpr std::uint32_t kChild = WS_CHILD | WS_VISIBLE;
constexpr int kParkedLeftPx = 1280;
constexpr int kPitchPx = 15;

std::string keyName(std::uint16_t vk) {
    switch (vk) {
    case VK_MENU:
        return "Alt";
    case VK_F4:
        return "F4";
    case VK_LEFT:
        return "Left";
    case VK_RIGHT:
        return "Right";
    case VK_SPACE:
        return "Space";
    case VK_RETURN:
        return "Enter";
    case VK_SHIFT:
        return "Shift";
    default:
        break;
    }
    if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return std::string(1, char(vk));
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", unsigned(vk));
    return hex;
}

// "vAlt vLeft ^Left ^Alt": v a key going down, ^ going up.
std::string describe(const std::vector<sim::KeyEvent>& keys) {
    std::string out;
    for (const sim::KeyEvent& key : keys) {
        if (!out.empty()) out += ' ';
        out += (key.up ? "^" : "v") + keyName(key.vk);
    }
    return out;
}

bool contains(const std::vector<std::uint32_t>& messages, std::uint32_t message) {
    for (std::uint32_t m : messages)
        if (m == message) return true;
    return false;
}

class ButtonsTest : public ProgramTest {
  protected:
    ButtonsTest() {
        files = desktop.addWindow("CabinetWClass", "Files", Rect{200, 100, 800, 600}, 0,
                                  WS_VISIBLE | WS_POPUP);
        filesTree = desktop.addWindow("SysTreeView32", "", Rect{200, 130, 400, 600}, files, kChild);
        // It asks before it closes, so that it can be pressed on again.
        desktop.setIgnoresClose(files, true);
        // The window the user was working in: whatever a stray key would reach.
        notes = desktop.addWindow("Notepad", "Notes", Rect{900, 100, 1200, 600});
    }

    // Settings written before the start, as a user edits the file.
    void settings(const std::string& userCommand, bool userButtonOn) {
        writeHostFile(settingsFile(), "[DATA]\r\nUSER_COMMAND=" + userCommand +
                                          "\r\nUSER_COMMAND_ON=" + (userButtonOn ? "1" : "0") +
                                          "\r\n");
    }

    // Starts the program, goes back to work in Notes, and counts the ticks of the poll.
    Form1& start() {
        Form1& p = form<Form1>();
        desktop.activate(notes);
        auto tick = p.Timer1.Tick;
        p.Timer1.Tick = [this, tick] {
            ++ticks;
            tick();
        };
        return p;
    }
    Form1& panel() { return form<Form1>(); }

    void at(int x, int y) {
        desktop.setCursor(x, y);
        desktop.advance(100);
    }
    // Away from every window for a tick, then into the file manager's strip.
    void dock() {
        at(600, 800);
        at(210, 300);
        ASSERT_EQ(panelRect().left, 200);
    }
    Form1& startDocked() {
        Form1& p = start();
        dock();
        return p;
    }

    Rect panelRect() { return desktop.windowRect(panel().hWnd()); }
    Point cellPoint(int cell, int column = 8) {
        const Rect r = panelRect();
        return Point{r.left + column, r.top + cell * kPitchPx + 7};
    }

    // A press as a person makes it; no tick of the poll may fall inside the handler, and the
    // poll runs again once the handler has returned.
    void pressAt(int button, Point at) {
        const int ticksBefore = ticks;
        desktop.click(button, at.x, at.y);
        EXPECT_EQ(ticks, ticksBefore) << "a tick ran inside the press handler";
        EXPECT_TRUE(timerRunning());
    }
    void pressCell(int cell, int button = vbLeftButton) { pressAt(button, cellPoint(cell)); }

    bool timerRunning() { return panel().watcherRuns(); }
    std::string keysTo(Hwnd hwnd) { return describe(desktop.keysReceivedBy(hwnd)); }
    std::string allKeys() { return describe(desktop.keyEvents()); }
    // The keys injected since the first `count` of them.
    std::vector<sim::KeyEvent> keysSince(std::size_t count) {
        const std::vector<sim::KeyEvent>& all = desktop.keyEvents();
        return {all.begin() + std::ptrdiff_t(count), all.end()};
    }

    Hwnd files = 0;
    Hwnd filesTree = 0;
    Hwnd notes = 0;
    int ticks = 0;
};

// ---- What each cell does ----------------------------------------------------------------

TEST_F(ButtonsTest, FormCellsByPixelRow) {
    struct Row {
        int firstRow;
        const char* keys;
        bool parks;
    };
    const Row rows[] = {{0, "vAlt vF4 ^F4 ^Alt", true},
                        {15, "vAlt vLeft ^Left ^Alt", false},
                        {30, "vAlt vRight ^Right ^Alt", false}};
    startDocked();
    for (const Row& row : rows) {
        for (int pixelRow : {row.firstRow + 1, row.firstRow + 14}) {
            SCOPED_TRACE("pixel row " + std::to_string(pixelRow));
            if (panelRect().left == kParkedLeftPx) dock();
            desktop.activate(notes);
            const std::size_t keysBefore = desktop.keyEvents().size();
            const Rect r = panelRect();
            pressAt(vbLeftButton, Point{r.left + 8, r.top + pixelRow});

            const std::vector<sim::KeyEvent> sent = keysSince(keysBefore);
            EXPECT_EQ(describe(sent), row.keys);
            for (const sim::KeyEvent& key : sent)
                EXPECT_EQ(key.target, files);
            EXPECT_EQ(desktop.foreground(), files);
            EXPECT_EQ(panelRect().left == kParkedLeftPx, row.parks);
        }
    }
    EXPECT_TRUE(contains(desktop.messagesReceived(files), WM_CLOSE));
    EXPECT_EQ(keysTo(notes), "");
}

TEST_F(ButtonsTest, CloseCellClosesTheTargetAndParks) {
    desktop.setIgnoresClose(files, false);
    startDocked();
    pressCell(0);
    EXPECT_FALSE(desktop.windowExists(files));
    EXPECT_EQ(panelRect().left, kParkedLeftPx);
    // The releases follow whatever happens to the window, so that no key stays held.
    EXPECT_EQ(allKeys(), "vAlt vF4 ^F4 ^Alt");
    EXPECT_FALSE(desktop.keyIsDown(VK_MENU));
}

// Each chord is one SendInput call of four events, each with its key's scan code and, for
// the arrows, the extended bit, as the served window reads them.
TEST_F(ButtonsTest, ChordsAreOneSendInputInPressPressReleaseReleaseOrderWithScanCodes) {
    struct Chord {
        int cell;
        std::uint16_t key;
        std::uint8_t scan;
        bool extended;
    };
    const Chord chords[] = {
        {1, VK_LEFT, 0x4B, true}, {2, VK_RIGHT, 0x4D, true}, {0, VK_F4, 0x3E, false}};
    startDocked();
    for (const Chord& chord : chords) {
        SCOPED_TRACE("cell " + std::to_string(chord.cell));
        desktop.resetCallCounts();
        const std::size_t before = desktop.keyEvents().size();
        pressCell(chord.cell);
        const std::vector<sim::KeyEvent> keys = keysSince(before);
        ASSERT_EQ(keys.size(), 4u);
        EXPECT_EQ(desktop.callCounts()["SendInput"], 1u);
        const std::uint16_t vks[] = {VK_MENU, chord.key, chord.key, VK_MENU};
        const bool ups[] = {false, false, true, true};
        for (std::size_t i = 0; i < 4; ++i) {
            const bool isKey = vks[i] == chord.key;
            EXPECT_EQ(keys[i].vk, vks[i]);
            EXPECT_EQ(keys[i].up, ups[i]);
            EXPECT_TRUE(keys[i].viaSendInput);
            EXPECT_EQ(keys[i].target, files);
            EXPECT_EQ(keys[i].scanCode(), isKey ? chord.scan : 0x38) << i;
            EXPECT_EQ(keys[i].extended(), isKey && chord.extended) << i;
        }
        EXPECT_FALSE(desktop.keyIsDown(VK_MENU));
        EXPECT_FALSE(desktop.keyIsDown(chord.key));
    }
}

TEST_F(ButtonsTest, UserButtonTypesTheUserKeysWhereverItIsPressedAndParksFirst) {
    settings("ab{ENTER}", true);
    startDocked();
    ASSERT_EQ(panelRect().bottom - panelRect().top, 4 * kPitchPx);
    // Picture1 covers the fourth cell: pixel rows 45 to 59 of the panel.
    for (Point corner : {Point{1, 46}, Point{16, 59}, Point{8, 52}}) {
        SCOPED_TRACE("panel pixel " + std::to_string(corner.x) + "," + std::to_string(corner.y));
        dock();
        const Rect r = panelRect();
        desktop.activate(notes);
        const std::size_t keysBefore = desktop.keyEvents().size();
        const std::uint32_t before = desktop.now();
        pressAt(vbLeftButton, Point{r.left + corner.x, r.top + corner.y});

        const std::vector<sim::KeyEvent> typed = keysSince(keysBefore);
        EXPECT_EQ(describe(typed), "vA ^A vB ^B vEnter ^Enter");
        for (const sim::KeyEvent& key : typed) {
            EXPECT_TRUE(key.viaSendInput);
            EXPECT_EQ(key.target, files);
        }
        EXPECT_GE(desktop.now() - before, 200u); // the settling wait before typing
        EXPECT_EQ(panelRect().left, kParkedLeftPx);
    }
    EXPECT_EQ(keysTo(notes), "");
}

TEST_F(ButtonsTest, DefaultUserButtonMinimisesTheTargetThroughItsWindowMenu) {
    settings("%( n)", true);
    startDocked();
    pressCell(3);
    EXPECT_TRUE(desktop.windowIconic(files));
    EXPECT_EQ(panelRect().left, kParkedLeftPx);
}

TEST_F(ButtonsTest, FormCellIndexRoundsHalfToEvenThenTruncates) {
    // Cell 3 and beyond of the form itself, and the rows between cells, lie under Picture1 or
    // outside the window's region, so the handler is called as the toolkit would for such a
    // position.
    settings("x", true);
    Form1& p = startDocked();
    const auto pressY = [&](float y) {
        desktop.activate(notes);
        const std::size_t before = desktop.keyEvents().size();
        p.Form_MouseDown(vbLeftButton, 0, 100.0f, y);
        return describe(keysSince(before));
    };
    EXPECT_EQ(pressY(224.5f), "vAlt vF4 ^F4 ^Alt"); // 224.5 rounds to 224, row 14: cell 0
    dock();
    EXPECT_EQ(pressY(224.6f), ""); // 225 is row 15, between cells: only the switch
    EXPECT_EQ(pressY(240.0f), "vAlt vLeft ^Left ^Alt"); // row 16: cell 1
    EXPECT_EQ(pressY(674.4f), "vAlt vRight ^Right ^Alt");
    EXPECT_EQ(pressY(690.0f), "vX ^X"); // cell 3 types the user keys, parking first
    EXPECT_EQ(panelRect().left, kParkedLeftPx);
    dock();
    const Rect docked = panelRect();
    EXPECT_EQ(pressY(915.0f), ""); // cell 4: only the switch
    EXPECT_EQ(desktop.foreground(), files);
    EXPECT_EQ(panelRect().left, docked.left);
    EXPECT_TRUE(timerRunning());
}

// At every scale a cell is its face mapped through the scale: a press in the middle of a face
// sends its keys, a press on a row between faces sends nothing.
class ScaledButtonsTest : public ButtonsTest, public ::testing::WithParamInterface<int> {};

TEST_P(ScaledButtonsTest, CellsAreTheirScaledFaces) {
    desktop.setDpi(GetParam());
    const Scale s(GetParam());
    Form1& p = startDocked();
    const Rect r = panelRect();
    EXPECT_EQ(r.right - r.left, s.px(18));
    EXPECT_EQ(r.bottom - r.top, s.px(45));
    const char* const chords[] = {"vAlt vF4 ^F4 ^Alt", "vAlt vLeft ^Left ^Alt",
                                  "vAlt vRight ^Right ^Alt"};
    for (int cell = 2; cell >= 0; --cell) {
        SCOPED_TRACE(cell);
        const int middle = (s.px(15 * cell + 1) + s.px(15 * cell + 15)) / 2;
        desktop.activate(notes);
        std::size_t before = desktop.keyEvents().size();
        pressAt(vbLeftButton, Point{r.left + s.px(9), r.top + middle});
        EXPECT_EQ(describe(keysSince(before)), chords[cell]);
        // The row above the face belongs to no cell.
        desktop.activate(notes);
        before = desktop.keyEvents().size();
        p.Form_MouseDown(vbLeftButton, 0, 0.0f,
                         float(mod_RGN_UserFunction::pixelsToTwipsY(s.px(15 * cell + 1) - 1)));
        EXPECT_EQ(describe(keysSince(before)), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Dpi, ScaledButtonsTest, ::testing::Values(96, 120, 144, 192));

// Before the first docking the start-up strip covers the top of the parked panel. No screen
// shows it there, but its cells answer a press all the same; the tests press where it lies. A
// first tick already in the strip records the file manager as the target without moving the
// panel.
class StartupStripTest : public ButtonsTest {
  protected:
    Form1& startServingUndocked() {
        Form1& p = start();
        at(210, 300);
        EXPECT_EQ(p.targetHwnd, files);
        EXPECT_TRUE(p.Picture2.Visible());
        EXPECT_EQ(panelRect().left, kParkedLeftPx);
        desktop.activate(notes);
        return p;
    }
};

TEST_F(StartupStripTest, CloseCellSendsTheCloseChord) {
    startServingUndocked();
    pressCell(0);
    EXPECT_EQ(keysTo(files), "vAlt vF4 ^F4 ^Alt");
    EXPECT_TRUE(contains(desktop.messagesReceived(files), WM_CLOSE));
    EXPECT_EQ(panelRect().left, kParkedLeftPx);
}

TEST_F(StartupStripTest, MinimiseCellTypesTheWindowMenuKeys) {
    settings("ab", false); // the minimise cell ignores the user's keys
    startServingUndocked();
    pressCell(1);
    EXPECT_EQ(allKeys(), "vAlt vSpace ^Space vN ^N ^Alt");
    EXPECT_EQ(keysTo(files), "vAlt vSpace ^Space vN"); // N minimises it
    EXPECT_TRUE(desktop.windowIconic(files));
    EXPECT_EQ(panelRect().left, kParkedLeftPx);
}

TEST_F(StartupStripTest, ThirdRowOnlySwitchesTheForeground) {
    startServingUndocked();
    const Rect r = panelRect();
    pressAt(vbLeftButton, Point{r.left + 8, r.top + 31});
    EXPECT_EQ(allKeys(), "");
    EXPECT_EQ(desktop.foreground(), files);
}

// ---- When the panel parks ---------------------------------------------------------------

// A desktop that notes, in order, each key event injected and each move of the panel to the
// parked left edge, so that parking before the typing or after the keys shows even where the
// panel stands parked already (the start-up strip is on screen only while parked).
class ParkingLogDesktop : public sim::Desktop {
  public:
    Hwnd panel = 0;
    std::string log;

    bool SetWindowPos(Hwnd hwnd, Hwnd insertAfter, int x, int y, int cx, int cy,
                      std::uint32_t flags) override {
        if (hwnd != 0 && hwnd == panel && !(flags & SWP_NOMOVE) && x == kParkedLeftPx) note("park");
        return sim::Desktop::SetWindowPos(hwnd, insertAfter, x, y, cx, cy, flags);
    }
    std::uint32_t SendInput(std::uint32_t count, const KeyboardInput* inputs) override {
        note("keys");
        return sim::Desktop::SendInput(count, inputs);
    }
    // What happened since the last call.
    std::string take() { return std::exchange(log, std::string()); }

  private:
    void note(const char* what) { log += log.empty() ? what : std::string(" ") + what; }
};

class ParkingTest : public ::testing::Test {
  protected:
    ParkingTest() {
        files = desk.addWindow("CabinetWClass", "Files", Rect{200, 100, 800, 600}, 0,
                               WS_VISIBLE | WS_POPUP);
        desk.addWindow("SysTreeView32", "", Rect{200, 130, 400, 600}, files, kChild);
        desk.setIgnoresClose(files, true);
        const std::filesystem::path ini = desk.hostPath(L"C:\\Tools\\edgepad.ini");
        std::filesystem::create_directories(ini.parent_path());
        std::ofstream(ini, std::ios::binary) << "[DATA]\r\nUSER_COMMAND=x\r\nUSER_COMMAND_ON=1\r\n";
    }
    ~ParkingTest() override { resetToolkit(); }

    Form1& panel() { return form<Form1>(); }
    void at(int x, int y) {
        desk.setCursor(x, y);
        desk.advance(100);
    }
    // A left click on a pixel row of the panel; what it caused, in order.
    std::string pressRow(int row) {
        const Rect r = desk.windowRect(panel().hWnd());
        desk.take();
        desk.click(vbLeftButton, r.left + 8, r.top + row);
        return desk.take();
    }

    ParkingLogDesktop desk;
    Hwnd files = 0;
};

TEST_F(ParkingTest, CloseParksAfterItsKeysTypingParksBeforeBackAndForwardNever) {
    desk.panel = panel().hWnd();
    at(210, 300); // the first tick, in the strip: served, the start-up strip still up
    ASSERT_EQ(panel().targetHwnd, files);
    ASSERT_TRUE(panel().Picture2.Visible());
    EXPECT_EQ(pressRow(7), "keys park") << "start-up strip, close cell";
    EXPECT_EQ(pressRow(22), "park keys") << "start-up strip, minimise cell";
    EXPECT_EQ(pressRow(31), "") << "start-up strip, third row";
    ASSERT_TRUE(desk.windowIconic(files)) << "the minimise cell's keys minimised it";
    desk.ShowWindow(files, SW_RESTORE);

    at(600, 800);
    at(210, 300);
    ASSERT_EQ(desk.windowRect(panel().hWnd()).left, 200);
    EXPECT_EQ(pressRow(7), "keys park") << "close cell";
    at(600, 800);
    at(210, 300);
    EXPECT_EQ(pressRow(22), "keys") << "back cell";
    EXPECT_EQ(pressRow(37), "keys") << "forward cell";
    EXPECT_EQ(pressRow(52), "park keys") << "user button";

    SCOPED_TRACE("with the target gone no key goes out, but the panel parks all the same");
    at(600, 800);
    at(210, 300);
    desk.closeWindow(files);
    EXPECT_EQ(pressRow(22), "");
    EXPECT_EQ(pressRow(52), "park park")
        << "the user button parks; the decision after the press finds the hand on the desktop";
    at(600, 800);
    EXPECT_EQ(pressRow(7), "park");
}

// ---- When the keys go out --------------------------------------------------------------

// A desktop that notes the time on its clock of the first key event a press injects and of
// the panel's move to the parked left edge.
class KeyTimesDesktop : public sim::Desktop {
  public:
    Hwnd panel = 0;
    std::optional<std::uint32_t> firstKeyAt, parkedAt;

    bool SetWindowPos(Hwnd hwnd, Hwnd insertAfter, int x, int y, int cx, int cy,
                      std::uint32_t flags) override {
        if (hwnd != 0 && hwnd == panel && !(flags & SWP_NOMOVE) && x == kParkedLeftPx && !parkedAt)
            parkedAt = now();
        return sim::Desktop::SetWindowPos(hwnd, insertAfter, x, y, cx, cy, flags);
    }
    std::uint32_t SendInput(std::uint32_t count, const KeyboardInput* inputs) override {
        if (!firstKeyAt) firstKeyAt = now();
        return sim::Desktop::SendInput(count, inputs);
    }
    void forget() { firstKeyAt.reset(), parkedAt.reset(); }
};

class KeyTimesTest : public ::testing::Test {
  protected:
    KeyTimesTest() {
        files = desk.addWindow("CabinetWClass", "Files", Rect{200, 100, 800, 600}, 0,
                               WS_VISIBLE | WS_POPUP);
        desk.addWindow("SysTreeView32", "", Rect{200, 130, 400, 600}, files, kChild);
        desk.setIgnoresClose(files, true);
        notes = desk.addWindow("Notepad", "Notes", Rect{900, 100, 1200, 600});
        const std::filesystem::path ini = desk.hostPath(L"C:\\Tools\\edgepad.ini");
        std::filesystem::create_directories(ini.parent_path());
        std::ofstream(ini, std::ios::binary) << "[DATA]\r\nUSER_COMMAND=x\r\nUSER_COMMAND_ON=1\r\n";
    }
    ~KeyTimesTest() override { resetToolkit(); }

    Form1& panel() { return form<Form1>(); }
    void dock() {
        desk.panel = panel().hWnd();
        desk.setCursor(600, 800);
        desk.advance(100);
        desk.setCursor(210, 300);
        desk.advance(100);
        ASSERT_EQ(desk.windowRect(panel().hWnd()).left, 200);
    }
    // A press on a cell with Notes in front: how long after the press the first key went out,
    // or nothing when no key did.
    std::optional<std::uint32_t> keysAfterPress(int cell) {
        if (desk.windowRect(panel().hWnd()).left == kParkedLeftPx) dock();
        desk.activate(notes);
        desk.forget();
        const Rect r = desk.windowRect(panel().hWnd());
        pressedAt = desk.now();
        desk.click(vbLeftButton, r.left + 8, r.top + cell * kPitchPx + 7);
        if (!desk.firstKeyAt) return std::nullopt;
        return *desk.firstKeyAt - pressedAt;
    }
    std::string keys() { return describe(desk.keyEvents()); }

    KeyTimesDesktop desk;
    Hwnd files = 0;
    Hwnd notes = 0;
    std::uint32_t pressedAt = 0;
};

// The chord waits for the switch to the served window and for nothing else; the switch and
// the half-second time-out can come in either order.
TEST_F(KeyTimesTest, AChordGoesTheMomentTheSwitchShowsAndNotAfterTheTimeOut) {
    dock();
    EXPECT_EQ(keysAfterPress(1), 0u) << "the switch shows at once";
    desk.setForegroundLag(37);
    EXPECT_EQ(keysAfterPress(2), 37u);
    desk.setForegroundLag(500);
    EXPECT_EQ(keysAfterPress(1), 500u) << "the switch and the time-out at the same moment";
    desk.setForegroundLag(501);
    EXPECT_EQ(keysAfterPress(1), std::nullopt) << "the time-out first";
    EXPECT_EQ(desk.now() - pressedAt, 500u);
    desk.advance(10);
    EXPECT_EQ(keys(), "vAlt vLeft ^Left ^Alt vAlt vRight ^Right ^Alt vAlt vLeft ^Left ^Alt");
    EXPECT_EQ(desk.keysReceivedBy(notes).size(), 0u);
}

// The user clicks another window while the switch is under way: the switch is asked for
// again, and the keys follow it once it shows.
TEST_F(KeyTimesTest, AnotherWindowComingForwardDuringTheWaitIsAskedAwayAgain) {
    dock();
    desk.setForegroundLag(40);
    desk.during(20, [&] { desk.activate(notes); });
    EXPECT_EQ(keysAfterPress(1), 90u) << "asked again at 50 ms, shown 40 ms later";

    desk.setForegroundLag(0);
    desk.loseForegroundChanges(1);
    desk.during(20, [&] { desk.activate(notes); });
    EXPECT_EQ(keysAfterPress(2), 50u) << "asked again at 50 ms, shown at once";
    EXPECT_EQ(keys(), "vAlt vLeft ^Left ^Alt vAlt vRight ^Right ^Alt");
    EXPECT_EQ(desk.keysReceivedBy(notes).size(), 0u);
}

// The user button's 200 ms, then parking; under Wine the typing waits for the window now
// under the cursor to learn of the cursor's arrival, which releases every key the program
// holds, but no longer than a tenth of a second. Windows sends no such news.
TEST_F(KeyTimesTest, TheUserButtonTypesOnceTheNewsOfParkingHasLanded) {
    dock();
    EXPECT_EQ(keysAfterPress(3), 200u) << "on Windows: at once after parking";
    EXPECT_EQ(*desk.parkedAt - pressedAt, 200u);

    const std::pair<int, std::uint32_t> news[] = {{8, 208}, {99, 299}, {150, 300}, {-1, 300}};
    for (const auto& [newsMs, typedAfter] : news) {
        SCOPED_TRACE("news " + std::to_string(newsMs) + " ms after parking");
        desk.runUnderWine(newsMs);
        EXPECT_EQ(keysAfterPress(3), typedAfter);
        EXPECT_EQ(*desk.parkedAt - pressedAt, 200u);
    }
    EXPECT_EQ(describe(desk.keysReceivedBy(files)), "vX ^X vX ^X vX ^X vX ^X vX ^X");
    EXPECT_EQ(desk.keysReceivedBy(notes).size(), 0u);
}

// ---- Presses that do nothing, the menu and the exit bar ---------------------------------

TEST_F(ButtonsTest, MiddleButtonChangesNothing) {
    startDocked();
    const Rect before = panelRect();
    for (int cell : {0, 1, 2})
        pressCell(cell, vbMiddleButton);
    EXPECT_EQ(allKeys(), "");
    EXPECT_EQ(desktop.foreground(), notes);
    EXPECT_EQ(panelRect().left, before.left);
    EXPECT_TRUE(desktop.menusShown.empty());
}

TEST_F(ButtonsTest, RightPressOpensTheMenuWithThePollStopped) {
    startDocked();
    bool timerOffWhileOpen = false;
    desktop.onPopupMenu = [&](const sim::MenuRecord&) -> std::uintptr_t {
        timerOffWhileOpen = !panel().watcherRuns();
        return 0;
    };
    pressCell(1, vbRightButton);
    ASSERT_EQ(desktop.menusShown.size(), 1u);
    EXPECT_EQ(desktop.menusShown[0].owner, panel().hWnd());
    EXPECT_TRUE(timerOffWhileOpen);
    EXPECT_EQ(allKeys(), "");
}

TEST_F(ButtonsTest, ExitBarIgnoresALeftPressOpensTheMenuAndEndsOnADoubleClick) {
    start();
    at(600, 800);
    at(0, 0);
    ASSERT_EQ(panel().panelMode, kModeExitBar);
    ASSERT_FALSE(isLoaded<frmMenu>()); // the user button is off: nothing has loaded it

    pressAt(vbLeftButton, Point{0, 0});
    pressAt(vbLeftButton, Point{30, 7});
    EXPECT_EQ(allKeys(), "");
    EXPECT_EQ(desktop.foreground(), notes);
    ASSERT_FALSE(isLoaded<frmMenu>());

    EXPECT_THROW(desktop.doubleClick(0, 0), sim::ProgramEnded);
    EXPECT_EQ(allKeys(), "");
}

TEST_F(ButtonsTest, ExitBarRightPressOpensTheMenu) {
    start();
    at(600, 800);
    at(0, 0);
    pressAt(vbRightButton, Point{0, 0});
    EXPECT_EQ(desktop.menusShown.size(), 1u);
}

// ---- Every press counts ----------------------------------------------------------------

TEST_F(ButtonsTest, ASecondPressThatArrivesAsADoubleClickIsAPress) {
    startDocked();
    const Point back = cellPoint(1);
    desktop.resetCallCounts();
    desktop.doubleClick(back.x, back.y);
    EXPECT_EQ(keysTo(files), "vAlt vLeft ^Left ^Alt vAlt vLeft ^Left ^Alt");
    EXPECT_EQ(desktop.callCounts()["SetForegroundWindow"], 2u) << "one per press, no more";
    EXPECT_EQ(desktop.foreground(), files);
    EXPECT_TRUE(timerRunning());
}

// The user button parks the panel before it types: a second press that comes only after the
// typing lands on the window beneath, where the panel stood.
TEST_F(ButtonsTest, ASecondPressAfterTheUserButtonHasParkedMissesThePanel) {
    settings("x", true);
    startDocked();
    const Point user = cellPoint(3);
    desktop.doubleClick(user.x, user.y);
    EXPECT_EQ(keysTo(files), "vX ^X");
    EXPECT_TRUE(timerRunning());
}

// A quick pair on one cell: the second press comes while the first one's action still runs
// (its keys waiting for the switch, or the user button's wait before typing). It waits for
// that action to finish, then acts in full: the keys of the two never interleave.
struct QuickPair {
    const char* what;
    bool startupStrip; // pressed on the start-up strip, before the first docking
    int cell;
    std::uint32_t secondAfterMs;
    const char* keys;
    bool parks;
};

class QuickPairTest : public ButtonsTest, public ::testing::WithParamInterface<QuickPair> {};

TEST_P(QuickPairTest, TheSecondPressWaitsForTheFirstAndActsInFull) {
    const QuickPair& pair = GetParam();
    settings("x", true);
    Form1& p = start();
    if (pair.startupStrip) {
        at(210, 300); // served, the start-up strip still up
        ASSERT_TRUE(p.Picture2.Visible());
    } else {
        dock();
    }
    desktop.activate(notes);
    desktop.setForegroundLag(30);
    const Point at = cellPoint(pair.cell);
    desktop.during(pair.secondAfterMs, [&] { desktop.secondClick(at.x, at.y); });
    pressAt(vbLeftButton, at);
    EXPECT_EQ(allKeys(), std::string(pair.keys) + " " + pair.keys);
    // Once the minimise cell has minimised the served window, the window that comes forward
    // gets the rest of the string; every other key reaches the served window alone.
    if (pair.cell != 1 || !pair.startupStrip) {
        EXPECT_EQ(keysTo(notes), "");
    }
    EXPECT_EQ(panelRect().left == kParkedLeftPx, pair.parks);
}

INSTANTIATE_TEST_SUITE_P(
    EachButton, QuickPairTest,
    ::testing::Values(QuickPair{"close", false, 0, 10, "vAlt vF4 ^F4 ^Alt", true},
                      QuickPair{"back", false, 1, 10, "vAlt vLeft ^Left ^Alt", false},
                      QuickPair{"forward", false, 2, 10, "vAlt vRight ^Right ^Alt", false},
                      QuickPair{"user", false, 3, 120, "vX ^X", true},
                      QuickPair{"strip_close", true, 0, 10, "vAlt vF4 ^F4 ^Alt", true},
                      QuickPair{"strip_minimise", true, 1, 120, "vAlt vSpace ^Space vN ^N ^Alt",
                                true}),
    [](const ::testing::TestParamInfo<QuickPair>& info) { return std::string(info.param.what); });

TEST_F(ButtonsTest, AQuickPairOnTheExitBarEndsTheProgramAndSendsNothing) {
    start();
    at(600, 800);
    at(0, 0);
    ASSERT_EQ(panel().panelMode, kModeExitBar);
    pressAt(vbLeftButton, Point{5, 5});
    EXPECT_THROW(desktop.secondClick(5, 5), sim::ProgramEnded);
    EXPECT_EQ(allKeys(), "");
    EXPECT_EQ(desktop.foreground(), notes);
}

// ---- Keys reach only the served window --------------------------------------------------

TEST_F(ButtonsTest, NoTargetYetSendsNothing) {
    Form1& p = start();
    at(600, 800);
    ASSERT_EQ(p.targetHwnd, 0);
    pressCell(0); // the start-up strip's close cell
    pressCell(1); // and its minimise cell
    EXPECT_EQ(allKeys(), "");
    EXPECT_EQ(desktop.foreground(), notes);
    EXPECT_EQ(panelRect().left, kParkedLeftPx);
}

TEST_F(ButtonsTest, AClosedTargetGetsNothingAndNeitherDoesAnyOtherWindow) {
    startDocked();
    const Point close = cellPoint(0);
    at(close.x, close.y); // resting on the panel leaves it where it is
    desktop.closeWindow(files);
    desktop.activate(notes);

    pressCell(1);
    pressCell(2);
    pressCell(0);
    EXPECT_EQ(allKeys(), "");
    EXPECT_EQ(panelRect().left, kParkedLeftPx); // the close cell parks all the same
}

TEST_F(ButtonsTest, ARefusedSwitchSendsNothingAfterWaitingHalfASecond) {
    settings("x", true);
    startDocked();
    desktop.refuseForegroundChanges(true);
    const Rect docked = panelRect();

    std::uint32_t before = desktop.now();
    pressCell(1);
    EXPECT_GE(desktop.now() - before, 500u);
    EXPECT_LT(desktop.now() - before, 600u);
    EXPECT_EQ(panelRect().left, docked.left);

    before = desktop.now();
    pressCell(3);
    EXPECT_GE(desktop.now() - before, 700u); // the typing's own wait, then the switch's
    EXPECT_EQ(panelRect().left, kParkedLeftPx);
    EXPECT_EQ(allKeys(), "");
    EXPECT_EQ(desktop.foreground(), notes);
}

TEST_F(ButtonsTest, ALaggingSwitchIsWaitedForUpToHalfASecond) {
    settings("x", true);
    startDocked();

    desktop.setForegroundLag(450);
    pressCell(1);
    EXPECT_EQ(keysTo(files), "vAlt vLeft ^Left ^Alt");

    desktop.activate(notes);
    desktop.setForegroundLag(750); // beyond the typing's 200 ms wait and the half second
    pressCell(3);
    EXPECT_EQ(keysTo(files), "vAlt vLeft ^Left ^Alt");
    EXPECT_EQ(keysTo(notes), "");
    desktop.advance(100); // the late switch still lands; nothing follows it
    EXPECT_EQ(keysTo(files), "vAlt vLeft ^Left ^Alt");

    dock();
    desktop.activate(notes);
    desktop.setForegroundLag(600); // within the typing's wait plus the half second
    pressCell(3);
    EXPECT_EQ(keysTo(files), "vAlt vLeft ^Left ^Alt vX ^X");
}

TEST_F(ButtonsTest, AnUndoneSwitchIsAskedForAgainWithinHalfASecond) {
    settings("x", true);
    startDocked();
    desktop.resetCallCounts();
    desktop.loseForegroundChanges(1);
    std::uint32_t before = desktop.now();
    pressCell(1);
    EXPECT_EQ(keysTo(files), "vAlt vLeft ^Left ^Alt");
    EXPECT_EQ(desktop.callCounts()["SetForegroundWindow"], 2u);
    EXPECT_LT(desktop.now() - before, 200u);

    desktop.activate(notes);
    desktop.loseForegroundChanges(3);
    pressCell(3);
    EXPECT_EQ(keysTo(files), "vAlt vLeft ^Left ^Alt vX ^X");

    SCOPED_TRACE("a switch that never shows is asked for a few times, then nothing is sent");
    dock();
    desktop.activate(notes);
    desktop.loseForegroundChanges(1000);
    desktop.resetCallCounts();
    before = desktop.now();
    pressCell(2);
    EXPECT_LT(desktop.now() - before, 600u);
    EXPECT_LE(desktop.callCounts()["SetForegroundWindow"], 4u);
    EXPECT_EQ(keysTo(notes), "");
    ASSERT_FALSE(desktop.debugLines.empty());
    EXPECT_NE(desktop.debugLines.back().find(L"did not come to the front"), std::wstring::npos)
        << "a declined press says why";
    EXPECT_EQ(keysTo(files), "vAlt vLeft ^Left ^Alt vX ^X");
}

TEST_F(ButtonsTest, NoPressActivatesThePanel) {
    settings("x", true);
    Form1& p = start();
    // The start-up strip of close and minimise cells, before the first docking.
    desktop.setCursor(600, 800);
    desktop.advance(100);
    const Rect strip = desktop.windowRect(p.Picture2.hWnd());
    desktop.activate(notes);
    desktop.refuseForegroundChanges(true); // nothing the program asks for may happen
    pressAt(vbLeftButton, Point{strip.left + 8, strip.top + 22});
    pressAt(vbMiddleButton, Point{strip.left + 8, strip.top + 7});
    EXPECT_EQ(desktop.foreground(), notes);
    desktop.refuseForegroundChanges(false);

    dock();
    desktop.activate(notes);
    desktop.refuseForegroundChanges(true);
    for (int cell = 0; cell < 4; ++cell)
        pressCell(cell, vbMiddleButton);
    for (int cell = 1; cell < 4; ++cell)
        pressCell(cell);
    EXPECT_EQ(desktop.foreground(), notes);
    desktop.refuseForegroundChanges(false);

    at(600, 800);
    at(0, 0); // the exit bar
    desktop.activate(notes);
    pressAt(vbLeftButton, Point{30, 7});
    EXPECT_EQ(desktop.foreground(), notes);
    EXPECT_EQ(allKeys(), "");
}

TEST_F(ButtonsTest, ARejectedKeyStringTypesNothingAndBeeps) {
    settings("ab{", true);
    startDocked();
    pressCell(3);
    EXPECT_EQ(allKeys(), "");
    EXPECT_EQ(desktop.beeps.size(), 1u);
    EXPECT_EQ(panelRect().left, kParkedLeftPx);

    SCOPED_TRACE("the program goes on serving");
    dock();
    pressCell(1);
    EXPECT_EQ(keysTo(files), "vAlt vLeft ^Left ^Alt");
}

// ---- Elevated windows -------------------------------------------------------------------

// Windows would drop every key sent to a window that runs as administrator: the press leaves it
// alone, plays the error sound and tells a debugger why.
TEST_F(ButtonsTest, AnElevatedServedWindowGetsNoSwitchNoKeysAndTheErrorSound) {
    settings("x", true);
    startDocked();
    desktop.setIntegrityLevel(files, sim::SECURITY_MANDATORY_HIGH_RID);
    desktop.activate(notes);
    const Rect docked = panelRect();
    const int handles = desktop.liveKernelHandles();
    desktop.resetCallCounts();
    for (int cell = 0; cell < 4; ++cell)
        pressCell(cell);
    EXPECT_EQ(allKeys(), "");
    EXPECT_EQ(desktop.callCounts()["SetForegroundWindow"], 0u);
    EXPECT_EQ(desktop.foreground(), notes);
    EXPECT_EQ(desktop.beeps, std::vector<std::uint32_t>(4, MB_ICONHAND));
    EXPECT_EQ(panelRect().left, docked.left);
    EXPECT_EQ(desktop.liveKernelHandles(), handles);
    ASSERT_FALSE(desktop.debugLines.empty());
    EXPECT_NE(desktop.debugLines.back().find(L"higher integrity level"), std::wstring::npos);

    SCOPED_TRACE("the program run as administrator too serves it");
    desktop.setIntegrityLevel(0, sim::SECURITY_MANDATORY_HIGH_RID);
    pressCell(1);
    EXPECT_EQ(keysTo(files), "vAlt vLeft ^Left ^Alt");
    EXPECT_EQ(desktop.beeps.size(), 4u);
}

TEST_F(ButtonsTest, WhereTheLevelCannotBeReadThePressGoesOn) {
    startDocked();
    desktop.setIntegrityLevel(files, sim::SECURITY_MANDATORY_HIGH_RID);
    for (const char* call : {"OpenProcess", "OpenProcessToken", "GetTokenInformation"}) {
        SCOPED_TRACE(call);
        desktop.failProcessQuery(call, true);
        desktop.activate(notes);
        const std::size_t before = desktop.keyEvents().size();
        pressCell(1);
        EXPECT_EQ(describe(keysSince(before)), "vAlt vLeft ^Left ^Alt");
        EXPECT_EQ(desktop.foreground(), files);
        desktop.failProcessQuery(call, false);
    }
    EXPECT_TRUE(desktop.beeps.empty());
}

// ---- Nesting ----------------------------------------------------------------------------

// A press while the menu is still up waits until the menu's press has ended, then acts.
TEST_F(ButtonsTest, ANestedPressKeepsThePollStoppedUntilTheOuterPressEnds) {
    startDocked();
    bool timerOffAfterInner = false;
    std::string keysWhileOpen = "?";
    desktop.onPopupMenu = [&](const sim::MenuRecord&) -> std::uintptr_t {
        // The menu is still up in the outer handler when a press on the back cell arrives.
        const Point back = cellPoint(1);
        desktop.click(vbLeftButton, back.x, back.y);
        timerOffAfterInner = !panel().watcherRuns();
        keysWhileOpen = allKeys();
        return 0;
    };
    pressCell(0, vbRightButton);
    EXPECT_EQ(keysWhileOpen, "");
    EXPECT_EQ(keysTo(files), "vAlt vLeft ^Left ^Alt");
    EXPECT_TRUE(timerOffAfterInner);
    EXPECT_TRUE(timerRunning());
}

} // namespace
} // namespace ep
