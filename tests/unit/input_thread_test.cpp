// What wakes the watcher: the input thread's raw input or mouse hook, the poll where neither
// can be had, the rate of decisions while the mouse moves, and nothing at all while it rests.
// Then the decision itself, as a table, against a desktop seen through a fake.
#include "menu/frm_menu.h"
#include "panel/form1.h"
#include "program_fixture.h"
#include "watcher/decision.h"
#include "watcher/watcher.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ep {
namespace {

constexpr std::uint32_t kChild = WS_CHILD | WS_VISIBLE;
constexpr int kParkedLeftPx = 1280;

class InputTest : public testing::ProgramTest {
  protected:
    InputTest() {
        files = desktop.addWindow("CabinetWClass", "Files", Rect{200, 100, 800, 600}, 0,
                                  WS_VISIBLE | WS_POPUP);
        desktop.addWindow("SysTreeView32", "", Rect{200, 130, 400, 600}, files, kChild);
    }
    Form1& panel() { return form<Form1>(); }
    int panelLeft() { return desktop.windowRect(panel().hWnd()).left; }
    // The program starts with the hand resting on the bare desktop.
    Form1& start(const std::string& settings = "") {
        if (!settings.empty())
            writeHostFile(settingsFile(),
                          "[DATA]\r\nUSER_COMMAND=x\r\nUSER_COMMAND_ON=0\r\n" + settings);
        desktop.warpCursor(600, 800);
        Form1& p = form<Form1>();
        desktop.advance(200);
        return p;
    }
    bool anyTimerArmed() {
        const Hwnd h = panel().hWnd();
        return desktop.timerArmed(h, panel().Timer1.id()) ||
               desktop.timerArmed(h, panel().decisionTimer.id()) ||
               desktop.timerArmed(h, panel().pauseTimer.id());
    }
    // The hand rests for ten seconds, once the look at rest is over: no timer, no message, no
    // decision.
    void expectNothingAtRest(const char* where) {
        SCOPED_TRACE(where);
        desktop.advance(restingLookMs + decisionSpacingMs);
        const std::uint64_t before = panel().decisions;
        EXPECT_FALSE(anyTimerArmed());
        EXPECT_EQ(desktop.queuedMessages(), 0u);
        desktop.advance(10000);
        EXPECT_EQ(panel().decisions, before);
    }

    Hwnd files = 0;
};

TEST_F(InputTest, RawInputWakesTheWatcherAndNothingRunsAtRest) {
    start();
    EXPECT_EQ(panel().inputSource, InputSource::RawInput);
    EXPECT_EQ(desktop.liveThreads(), 1);
    EXPECT_EQ(desktop.rawMouseSinks(), 1);
    EXPECT_EQ(desktop.mouseHooks(), 0);
    EXPECT_EQ(desktop.threadsOutOfPowerThrottling(), 1);
    EXPECT_FALSE(panel().Timer1.Enabled()) << "no poll beside the input thread";
    expectNothingAtRest("parked");

    desktop.setCursor(210, 300);
    desktop.advance(0);
    EXPECT_EQ(panelLeft(), 200) << "a move decides at once";
    expectNothingAtRest("docked");
    desktop.setCursor(500, 300);
    desktop.advance(0);
    EXPECT_EQ(panelLeft(), kParkedLeftPx);
    expectNothingAtRest("over the served window, outside its strip");
    desktop.setCursor(0, 0);
    desktop.advance(0);
    EXPECT_EQ(panel().panelMode, kModeExitBar);
    expectNothingAtRest("exit bar");
}

TEST_F(InputTest, EachWayToHearTheMouseAndEachFallback) {
    {
        SCOPED_TRACE("no raw input: the low-level hook on the same thread");
        desktop.failRawInputRegistration(true);
        start();
        EXPECT_EQ(panel().inputSource, InputSource::MouseHook);
        EXPECT_EQ(desktop.mouseHooks(), 1);
        EXPECT_FALSE(panel().Timer1.Enabled());
        desktop.setCursor(210, 300);
        desktop.advance(0);
        EXPECT_EQ(panelLeft(), 200);
        expectNothingAtRest("docked, hooked");
        resetToolkit();
    }
    {
        SCOPED_TRACE("neither: the 100 ms poll, which sees a cursor moved without input");
        sim::Desktop desk;
        desk.addWindow("CabinetWClass", "Files", Rect{200, 100, 800, 600}, 0,
                       WS_VISIBLE | WS_POPUP);
        desk.failRawInputRegistration(true);
        desk.failMouseHooks(true);
        Form1& p = form<Form1>();
        desk.advance(200);
        EXPECT_EQ(p.inputSource, InputSource::None);
        EXPECT_EQ(desk.liveThreads(), 0) << "the thread ended, its window gone";
        EXPECT_TRUE(p.Timer1.Enabled());
        EXPECT_TRUE(desk.timerArmed(p.hWnd(), p.Timer1.id()));
        desk.warpCursor(0, 0);
        desk.advance(100);
        EXPECT_EQ(p.panelMode, kModeExitBar);
        resetToolkit();
    }
    for (const bool threadFails : {true, false}) {
        SCOPED_TRACE(threadFails ? "no thread at all: the poll" : "POLL_CURSOR=1: the poll");
        sim::Desktop desk;
        desk.failThreadCreation(threadFails);
        const std::string ini = threadFails ? "" : "POLL_CURSOR=1\r\n";
        if (!ini.empty()) {
            std::filesystem::create_directories(desk.hostPath(L"C:\\Tools\\x").parent_path());
            std::ofstream(desk.hostPath(L"C:\\Tools\\edgepad.ini"), std::ios::binary)
                << "[DATA]\r\nUSER_COMMAND=x\r\nUSER_COMMAND_ON=0\r\n" + ini;
        }
        Form1& p = form<Form1>();
        desk.advance(200);
        EXPECT_EQ(p.inputSource, InputSource::None);
        EXPECT_EQ(desk.liveThreads(), 0);
        EXPECT_TRUE(desk.timerArmed(p.hWnd(), p.Timer1.id()));
        desk.warpCursor(0, 0);
        desk.advance(100);
        EXPECT_EQ(p.panelMode, kModeExitBar);
        resetToolkit();
    }
    {
        SCOPED_TRACE("POLL_CURSOR is read, never written, and only \"1\" polls");
        EXPECT_EQ(readHostFile(settingsFile()).find("POLL_CURSOR"), std::string::npos);
    }
}

TEST_F(InputTest, UnderWineTheHookHearsTheMouse) {
    desktop.runUnderWine();
    start();
    EXPECT_EQ(panel().inputSource, InputSource::MouseHook);
    EXPECT_EQ(desktop.rawMouseSinks(), 0);
    desktop.setCursor(210, 300);
    desktop.advance(0);
    EXPECT_EQ(panelLeft(), 200);
}

TEST_F(InputTest, WithoutPowerThrottlingControlTheThreadRunsAllTheSame) {
    desktop.setThreadInformationMissing(true);
    start();
    EXPECT_EQ(panel().inputSource, InputSource::RawInput);
    EXPECT_EQ(desktop.threadsOutOfPowerThrottling(), 0);
}

TEST_F(InputTest, AtMostOneNewsWaitsAndEveryDecisionReadsTheCursorAfresh) {
    start();
    for (int x = 500; x < 520; ++x)
        desktop.setCursor(x, 700);
    EXPECT_EQ(desktop.queuedMessages(), 1u) << "twenty moves, one message";
    desktop.advance(100);
    desktop.setCursor(210, 300);
    EXPECT_EQ(desktop.queuedMessages(), 1u);
    desktop.advance(100);
    EXPECT_EQ(panelLeft(), 200);
}

TEST_F(InputTest, MovesAMillisecondApartDecideAtMostEvery16MsAndTheLastPositionIsDecided) {
    start();
    std::vector<std::uint32_t> times; // when each decision came
    std::uint64_t seen = panel().decisions;
    auto note = [&] {
        for (; seen < panel().decisions; ++seen)
            times.push_back(desktop.now());
    };
    // A second and a half of a hand moving without pause, from the desktop into the strip.
    for (int ms = 0; ms < 1500; ++ms) {
        const bool last = ms == 1499;
        desktop.setCursor(last ? 210 : 600 - ms / 10, last ? 300 : 800);
        desktop.advance(0);
        note();
        desktop.advance(1);
        note();
    }
    ASSERT_FALSE(times.empty());
    for (std::size_t i = 1; i < times.size(); ++i)
        EXPECT_GE(times[i] - times[i - 1], 16u) << "decision " << i;
    // Within any second after a decision, at most 62 more.
    for (std::size_t i = 0; i < times.size(); ++i) {
        std::size_t within = 0;
        for (std::size_t j = i + 1; j < times.size() && times[j] - times[i] <= 1000; ++j)
            ++within;
        EXPECT_LE(within, 62u);
    }
    EXPECT_GE(times.size(), 85u) << "the panel keeps up with the hand";
    desktop.advance(40);
    EXPECT_EQ(panelLeft(), 200) << "the stream's last position is decided";
}

TEST_F(InputTest, OfTwoMoves3MsApartTheSecondDecides) {
    start();
    desktop.setCursor(500, 700);
    desktop.advance(3);
    desktop.setCursor(210, 300);
    desktop.advance(12);
    EXPECT_EQ(panelLeft(), kParkedLeftPx) << "16 ms have not passed";
    desktop.advance(1);
    EXPECT_EQ(panelLeft(), 200);
}

TEST_F(InputTest, AWindowThatMovesUnderTheRestingHandIsSeenAtTheNextMove) {
    start();
    desktop.setCursor(700, 300);
    desktop.advance(restingLookMs + decisionSpacingMs);
    desktop.moveWindow(files, Rect{690, 100, 1200, 600});
    desktop.advance(1000);
    EXPECT_EQ(panelLeft(), kParkedLeftPx);
    desktop.setCursor(700, 300); // the hand stirs where it is
    desktop.advance(0);
    EXPECT_EQ(panelLeft(), 690);
}

TEST_F(InputTest, TheProgramsEndEndsTheThread) {
    start();
    desktop.setCursor(0, 0);
    desktop.advance(100);
    ASSERT_EQ(panel().panelMode, kModeExitBar);
    EXPECT_THROW(desktop.doubleClick(0, 0), sim::ProgramEnded);
    EXPECT_EQ(desktop.liveThreads(), 0);
    EXPECT_EQ(desktop.rawMouseSinks(), 0);
}

// ---- The decision, as a table ------------------------------------------------------------

// A desktop seen through answers given in advance; it counts what the decision asks.
class FakeSight final : public Sight {
  public:
    std::optional<Point> at;
    Hwnd hit = 0, top = 0;
    std::wstring hitClass, topClass;
    Rect frame;
    int dpi = 96;
    bool held = false;
    std::map<std::string, int> asked;

    bool cursor(Point* pixel) override {
        ++asked["cursor"];
        if (!at) return false;
        *pixel = *at;
        return true;
    }
    Hwnd window(bool topLevel) override { return topLevel ? top : hit; }
    std::wstring className(bool topLevel) override { return topLevel ? topClass : hitClass; }
    Rect visibleFrame() override {
        ++asked["frame"];
        return frame;
    }
    Scale monitorScale(Point) override {
        ++asked["scale"];
        return Scale(dpi);
    }
    bool buttonHeld() override { return held; }
};

constexpr Hwnd kPanel = 0x10, kFiles = 0x20, kTree = 0x24, kTaskbar = 0x30;

FakeSight inStrip(int x = 205, int y = 300) {
    FakeSight s;
    s.at = Point{x, y};
    s.hit = kTree;
    s.top = kFiles;
    s.hitClass = L"SysTreeView32";
    s.topClass = L"CabinetWClass";
    s.frame = Rect{200, 100, 800, 600};
    return s;
}

FakeSight onDesktop(int x = 600, int y = 800) {
    FakeSight s;
    s.at = Point{x, y};
    s.hit = s.top = 0x40;
    s.hitClass = s.topClass = L"Progman";
    return s;
}

WatcherMemory idle() {
    WatcherMemory m;
    m.prevMark = kMarkNothing;
    return m;
}

WatcherMemory docked() {
    WatcherMemory m;
    m.prevMark = kMarkShown;
    m.panelMode = kModeDocked;
    m.targetHwnd = kFiles;
    return m;
}

TEST(Decision, Table) {
    const ServedWindowRules none;
    const WatcherRules rules{kPanel, &none, false};
    const WatcherRules paused{kPanel, &none, true};
    using Act = Decision::Act;
    using Pause = Decision::PauseTimer;
    struct Row {
        const char* what;
        FakeSight sight;
        WatcherMemory memory;
        WatcherRules rules;
        Act act;
        Pause pause;
        std::wstring prevMarkAfter;
    };
    FakeSight corner = onDesktop(0, 0);
    FakeSight taskbarCorner = corner;
    taskbarCorner.top = taskbarCorner.hit = kTaskbar;
    taskbarCorner.topClass = taskbarCorner.hitClass = L"Shell_TrayWnd";
    FakeSight unreadable = inStrip();
    unreadable.at.reset();
    FakeSight heldInStrip = inStrip();
    heldInStrip.held = true;
    FakeSight onPanel = inStrip();
    onPanel.top = onPanel.hit = kPanel;
    WatcherMemory pausingForFiles = idle();
    pausingForFiles.pauseWindow = kFiles;
    WatcherMemory pauseOver = pausingForFiles;
    pauseOver.pauseOver = true;
    WatcherMemory changed = docked();
    changed.displayChanged = true;

    const Row rows[] = {
        {"idle, into the strip: dock", inStrip(), idle(), rules, Act::Dock, Pause::Leave,
         kMarkShown},
        {"docked, in the strip: nothing", inStrip(), docked(), rules, Act::Nothing, Pause::Leave,
         kMarkShown},
        {"docked, away: park", onDesktop(), docked(), rules, Act::Park, Pause::Leave, kMarkNothing},
        {"idle, the corner: exit bar", corner, idle(), rules, Act::ExitBar, Pause::Leave,
         kMarkShown},
        {"idle, the taskbar in the corner: nothing", taskbarCorner, idle(), rules, Act::Nothing,
         Pause::Leave, kMarkNothing},
        {"docked, unreadable cursor: nothing at all", unreadable, docked(), rules, Act::Nothing,
         Pause::Leave, kMarkShown},
        {"idle, a drag into the strip: nothing", heldInStrip, idle(), rules, Act::Nothing,
         Pause::Leave, kMarkNothing},
        {"idle with a pause, into the strip: the pause starts", inStrip(), idle(), paused,
         Act::Nothing, Pause::Arm, kMarkNothing},
        {"pausing, still in the strip: nothing", inStrip(), pausingForFiles, paused, Act::Nothing,
         Pause::Leave, kMarkNothing},
        {"the pause over, still in the strip: dock", inStrip(), pauseOver, paused, Act::Dock,
         Pause::Leave, kMarkShown},
        {"pausing, away: the pause is cancelled", onDesktop(), pausingForFiles, paused,
         Act::Nothing, Pause::Cancel, kMarkNothing},
        {"pausing, onto the panel: cancelled", onPanel, pausingForFiles, paused, Act::Nothing,
         Pause::Cancel, kMarkNothing},
        {"docked, the displays changed, in the strip: park first, then dock", inStrip(), changed,
         rules, Act::Dock, Pause::Leave, kMarkShown},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        FakeSight sight = row.sight;
        const Decision d = decide(sight, row.memory, row.rules);
        EXPECT_EQ(d.act, row.act);
        EXPECT_EQ(d.pause, row.pause);
        EXPECT_EQ(d.memory.prevMark, row.prevMarkAfter);
        EXPECT_EQ(d.parkFirst, row.memory.displayChanged && sight.at.has_value());
        if (!sight.at) {
            EXPECT_EQ(d.memory.prevMark, row.memory.prevMark);
            EXPECT_EQ(d.memory.targetHwnd, row.memory.targetHwnd);
            EXPECT_EQ(d.memory.panelMode, row.memory.panelMode);
        }
        if (d.act == Act::Dock) {
            EXPECT_EQ(d.frame.left, 200);
            EXPECT_EQ(d.memory.targetHwnd, kFiles);
        }
    }
}

TEST(Decision, AsksOnlyWhatTheAnswerDependsOn) {
    const ServedWindowRules none;
    const WatcherRules rules{kPanel, &none, false};
    {
        SCOPED_TRACE("a window that is not served: no frame, no scale");
        FakeSight sight = onDesktop(300, 300);
        decide(sight, idle(), rules);
        EXPECT_EQ(sight.asked["frame"], 0);
        EXPECT_EQ(sight.asked["scale"], 0);
    }
    {
        SCOPED_TRACE("docked, deep in the strip: no scale");
        FakeSight sight = inStrip(205);
        decide(sight, docked(), rules);
        EXPECT_EQ(sight.asked["scale"], 0);
    }
    {
        SCOPED_TRACE("docking: the scale of the cursor's monitor, once");
        FakeSight sight = inStrip(205);
        sight.dpi = 144;
        const Decision d = decide(sight, idle(), rules);
        EXPECT_EQ(sight.asked["scale"], 1);
        EXPECT_EQ(d.scale.dpi(), 144);
    }
    {
        SCOPED_TRACE("the cursor is read once");
        FakeSight sight = inStrip();
        decide(sight, idle(), rules);
        EXPECT_EQ(sight.asked["cursor"], 1);
    }
}

} // namespace
} // namespace ep
