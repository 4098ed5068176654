// Hostile and broken inputs on the simulated desktop: settings files and user pictures a
// person could leave beside the program, folders it could run from, served windows that
// change under the panel, and screens beside the primary one. The same inputs run against the
// real program under Wine in tests/e2e/scenarios_hostile.cpp.
#include "frame/settings.h"
#include "menu/frm_menu.h"
#include "panel/form1.h"
#include "program_fixture.h"

#include <string>
#include <vector>

namespace ep {
namespace {

using testing::makeBmp;
using testing::ProgramTest;

constexpr std::uint32_t kChild = WS_CHILD | WS_VISIBLE;
constexpr int kPitchPx = 15;
constexpr std::uint32_t kUserColour = 0xC81EA0;

class HostileTest : public ProgramTest {
  protected:
    HostileTest() {
        files = desktop.addWindow("CabinetWClass", "Files", Rect{200, 100, 800, 600}, 0,
                                  WS_VISIBLE | WS_POPUP);
        filesTree =
            desktop.addWindow("SysTreeView32", "", Rect{200, 130, 400, 600}, files, kChild);
        desktop.setIgnoresClose(files, true);
        notes = desktop.addWindow("Notepad", "Notes", Rect{900, 100, 1200, 600});
    }

    Form1& start() {
        Form1& panel = form<Form1>();
        desktop.activate(notes);
        return panel;
    }
    // Starts afresh, as a new process on the same desktop.
    Form1& restart() {
        resetToolkit();
        return start();
    }
    Form1& panel() { return form<Form1>(); }
    Rect panelRect() { return desktop.windowRect(panel().hWnd()); }
    int panelCells() {
        const Rect r = panelRect();
        return (r.bottom - r.top) / kPitchPx;
    }
    void at(int x, int y) {
        desktop.setCursor(x, y);
        desktop.advance(100);
    }
    // Away from every window for a tick, then into the strip of the window at `left`.
    void dockAt(int left, int y) {
        at(600, 800);
        at(left + 10, y);
        ASSERT_EQ(panelRect().left, left);
    }
    void pressCell(int cell) {
        const Rect r = panelRect();
        desktop.click(vbLeftButton, r.left + 8, r.top + cell * kPitchPx + 7);
    }
    std::filesystem::path pictureFile() const {
        return desktop.hostPath(L"C:\\Tools\\userbutton.bmp");
    }
    // The colour in the middle of the user button's picture box.
    std::uint32_t userCellColour() {
        return desktop.bitmapPixel(panel().Picture1.picture().handle(), 8, 7);
    }

    Hwnd files = 0;
    Hwnd filesTree = 0;
    Hwnd notes = 0;
};

// ---- Settings files ---------------------------------------------------------------------

TEST_F(HostileTest, BrokenSettingsFilesLeaveTheProgramRunningAndTheFileAsItWas) {
    struct Case {
        const char* what;
        std::string bytes;
        int cells;
        bool seeds; // a key reads empty, so start-up writes its default
    };
    static constexpr char kWithNuls[] = "[DATA]\r\nUSER_COMMAND=a\0b\r\nUSER_COMMAND_ON=1\0";
    std::string garbage;
    for (std::uint32_t x = 7; garbage.size() < 4096;) {
        x = x * 1103515245u + 12345u;
        const char c = char((x >> 16) & 0xFF);
        if (c != '[') garbage += c;
    }
    const Case cases[] = {
        {"a 100 KB line",
         "[DATA]\r\nUSER_COMMAND=" + std::string(100 * 1024, 'a') + "\r\nUSER_COMMAND_ON=1\r\n",
         4, false},
        {"binary garbage", garbage, 3, true},
        {"its section in lower case", "[data]\r\nuser_command=ab\r\nuser_command_on=1\r\n", 4,
         false},
        {"duplicated keys",
         "[DATA]\r\nUSER_COMMAND=ab\r\nUSER_COMMAND_ON=1\r\nUSER_COMMAND=x\r\nUSER_COMMAND_ON=0\r\n",
         4, false},
        {"NUL bytes in its values", std::string(kWithNuls, sizeof kWithNuls - 1), 4, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeHostFile(settingsFile(), c.bytes);
        Form1& p = restart();
        EXPECT_EQ(panelCells(), c.cells);
        EXPECT_EQ(form<frmMenu>().uc.Checked(), c.cells == 4);
        if (c.seeds) {
            EXPECT_EQ(mod_RGN_UserFunction::readIniValue(L"DATA", L"USER_COMMAND_ON"), L"0");
            EXPECT_EQ(p.userCommand, L"%( n)");
        } else {
            EXPECT_EQ(readHostFile(settingsFile()), c.bytes);
        }
        // It still docks and serves.
        const std::size_t keysBefore = desktop.keysReceivedBy(files).size();
        dockAt(200, 300);
        pressCell(1);
        EXPECT_EQ(desktop.keysReceivedBy(files).size(), keysBefore + 4);
        desktop.activate(notes);
    }
    EXPECT_TRUE(desktop.keysReceivedBy(notes).empty());
}

TEST_F(HostileTest, TheLongLineIsReadAsItsFirst510Bytes) {
    writeHostFile(settingsFile(), "[DATA]\r\nUSER_COMMAND=" + std::string(100 * 1024, 'a') +
                                      "\r\nUSER_COMMAND_ON=1\r\n");
    EXPECT_EQ(start().userCommand, std::wstring(510, L'a'));
}

TEST_F(HostileTest, AnUnwritableFileOrFolderRunsOnTheValuesHeld) {
    // The user's own folder takes no writes either, so no settings file can move there.
    desktop.setReadOnly(L"C:\\Users\\user\\AppData\\Roaming", true);
    // A read-only file with its switch missing: the seed is refused and goes unnoticed.
    const std::string readOnly = "[DATA]\r\nUSER_COMMAND=ab\r\n";
    writeHostFile(settingsFile(), readOnly);
    desktop.setReadOnly(L"C:\\Tools\\edgepad.ini", true);
    Form1& p = start();
    EXPECT_EQ(readHostFile(settingsFile()), readOnly);
    EXPECT_EQ(p.userCommand, L"ab");
    EXPECT_EQ(panelCells(), 3);
    dockAt(200, 300);
    pressCell(1);
    EXPECT_EQ(desktop.keysReceivedBy(files).size(), 4u);

    // A folder that takes no new file: no settings file, the defaults in memory.
    desktop.setExePath(L"C:\\Locked\\edgepad.exe");
    std::filesystem::create_directories(desktop.hostPath(L"C:\\Locked"));
    desktop.setReadOnly(L"C:\\Locked", true);
    Form1& again = restart();
    EXPECT_FALSE(std::filesystem::exists(desktop.hostPath(L"C:\\Locked\\edgepad.ini")));
    EXPECT_EQ(again.userCommand, L"%( n)");
    EXPECT_EQ(panelCells(), 3);
    EXPECT_TRUE(again.watcherRuns());
}

TEST_F(HostileTest, TheMenuSwitchTurnsInMemoryWhenTheFileRefusesTheWrite) {
    const std::string bytes = "[DATA]\r\nUSER_COMMAND=ab\r\nUSER_COMMAND_ON=1\r\n";
    writeHostFile(settingsFile(), bytes);
    desktop.setReadOnly(L"C:\\Tools\\edgepad.ini", true);
    start();
    ASSERT_EQ(panelCells(), 4);
    auto chooseSwitch = [&] {
        desktop.onPopupMenu = [](const sim::MenuRecord& menu) { return menu.items.at(0).id; };
        const Rect r = panelRect();
        desktop.click(vbRightButton, r.left + 8, r.top + 7);
    };
    for (const int cells : {3, 4}) {
        dockAt(200, 300);
        chooseSwitch();
        EXPECT_EQ(form<frmMenu>().uc.Checked(), cells == 4);
        EXPECT_EQ(readHostFile(settingsFile()), bytes);
        dockAt(200, 300);
        EXPECT_EQ(panelCells(), cells);
    }
    EXPECT_TRUE(panel().watcherRuns());
}

// ---- Folders the program runs from ------------------------------------------------------

TEST_F(HostileTest, ADriveRootAndAJapaneseFolderKeepTheSettingsBesideTheProgram) {
    desktop.setAnsiCodePage(932);
    desktop.setExePath(L"R:\\edgepad.exe");
    std::filesystem::create_directories(desktop.hostPath(L"R:\\"));
    start();
    EXPECT_EQ(readHostFile(desktop.hostPath(L"R:\\edgepad.ini")),
              "[DATA]\r\nUSER_COMMAND=%( n)\r\nUSER_COMMAND_ON=0\r\n");

    const std::wstring folder = L"C:\\\u65e5\u672c\u8a9e\u306e\u30d5\u30a9\u30eb\u30c0";
    std::filesystem::create_directories(desktop.hostPath(folder));
    desktop.setExePath(folder + L"\\edgepad.exe");
    writeHostFile(desktop.hostPath(folder + L"\\userbutton.bmp"),
                  makeBmp(17, 17, std::vector<std::uint32_t>(17 * 17, kUserColour)));
    restart();
    EXPECT_EQ(readHostFile(desktop.hostPath(folder + L"\\edgepad.ini")),
              "[DATA]\r\nUSER_COMMAND=%( n)\r\nUSER_COMMAND_ON=0\r\n");
    EXPECT_EQ(userCellColour(), kUserColour);
}

// ---- User pictures ----------------------------------------------------------------------

TEST_F(HostileTest, APictureFileThatIsNoPictureKeepsTheRingAndIsNeverHandedToTheLoader) {
    const std::string whole = makeBmp(64, 64, std::vector<std::uint32_t>(64 * 64, kUserColour));
    // A header that promises 4096 x 4266 pixels, 50 MB, in a file of a few hundred bytes.
    std::string promisesMore = makeBmp(4, 4, std::vector<std::uint32_t>(16, kUserColour));
    promisesMore[18] = 0x00, promisesMore[19] = 0x10; // width 4096
    promisesMore[22] = char(0xAA), promisesMore[23] = 0x10; // height 4266
    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"empty", ""},
        {"cut inside the pixels", whole.substr(0, 54 + 1000)},
        {"cut inside the header", whole.substr(0, 30)},
        {"promising 50 MB", promisesMore},
    };
    writeHostFile(settingsFile(), "[DATA]\r\nUSER_COMMAND=ab\r\nUSER_COMMAND_ON=1\r\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeHostFile(pictureFile(), c.bytes);
        desktop.resetCallCounts();
        const int handlesBefore = desktop.liveKernelHandles();
        restart();
        EXPECT_EQ(desktop.callCounts()["LoadImageW"], 0u);
        EXPECT_EQ(desktop.liveKernelHandles(), handlesBefore + 1); // only the new start's mutex
        EXPECT_NE(userCellColour(), kUserColour);
        EXPECT_EQ(panelCells(), 4);
    }

    // The whole file loads; a folder of that name and a hidden file count as no file.
    writeHostFile(pictureFile(), whole);
    restart();
    EXPECT_EQ(userCellColour(), kUserColour);
    desktop.setHidden(L"C:\\Tools\\userbutton.bmp", true);
    restart();
    EXPECT_NE(userCellColour(), kUserColour);
    std::filesystem::remove(pictureFile());
    std::filesystem::create_directories(pictureFile());
    desktop.resetCallCounts();
    restart();
    EXPECT_EQ(desktop.callCounts()["LoadImageW"], 0u);
    EXPECT_TRUE(panel().watcherRuns());
}

// ---- Served windows that change under the panel -------------------------------------------

TEST_F(HostileTest, ALongOrChangingTitleDoesNotMatterToTheService) {
    desktop.setAnsiCodePage(932);
    std::string title = "x"; // so that the cut at 127 bytes splits a double-byte character
    for (int i = 0; i < 100; ++i) title += "\x83\x5E\x83\x43x"; // "タイx" in Shift-JIS
    desktop.setWindowTitle(files, title);
    start();
    dockAt(200, 300);
    desktop.setCursor(300, 300); // off the panel, still over the file manager
    const std::wstring seen = panel().getPointWindowTitle();
    EXPECT_LE(seen.size(), 127u);
    EXPECT_GE(seen.size(), 50u);
    pressCell(1);
    EXPECT_EQ(desktop.keysReceivedBy(files).size(), 4u);

    desktop.setWindowTitle(files, "Renamed");
    pressCell(2);
    EXPECT_EQ(desktop.keysReceivedBy(files).size(), 8u);
    EXPECT_TRUE(desktop.keysReceivedBy(notes).empty());
}

TEST_F(HostileTest, AServedWindowThatClosesGetsNothingAndTheNextOneIsServed) {
    start();
    dockAt(200, 300);
    const Rect docked = panelRect();
    desktop.setCursor(docked.left + 8, docked.top + kPitchPx + 7);
    desktop.advance(100);
    desktop.closeWindow(files);
    pressCell(1);
    EXPECT_TRUE(desktop.keyEvents().empty());

    const Hwnd browser = desktop.addWindow("IEFrame", "Browser", Rect{300, 650, 900, 1000}, 0,
                                           WS_VISIBLE | WS_POPUP);
    desktop.addWindow("Internet Explorer_Server", "", Rect{300, 680, 900, 1000}, browser, kChild);
    dockAt(300, 800);
    pressCell(1);
    EXPECT_EQ(desktop.keysReceivedBy(browser).size(), 4u);
}

// ---- A close request to the panel itself ------------------------------------------------

TEST_F(HostileTest, ThePanelRefusesACloseRequestAndServesOn) {
    Form1& p = start();
    dockAt(200, 300);
    // What an Alt+F4 that reaches the panel sends it, and a task list's Close.
    desktop.SendMessageW(p.hWnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
    desktop.SendMessageW(p.hWnd(), WM_CLOSE, 0, 0);
    ASSERT_FALSE(p.isUnloaded());
    EXPECT_TRUE(desktop.windowVisible(p.hWnd()));
    EXPECT_EQ(panelRect().left, 200);
    EXPECT_TRUE(p.watcherRuns());
    pressCell(1);
    EXPECT_EQ(desktop.keysReceivedBy(files).size(), 4u);
    at(600, 800);
    EXPECT_EQ(panelRect().left, 1280);
}

// ---- Screens beside the primary one -------------------------------------------------------

TEST_F(HostileTest, ASecondScreenToTheRightLeavesTheParkedPanelOutOfSight) {
    desktop.addMonitorRight(1280, 1024);
    start();
    // Parked beyond the right edge of both screens, not at the neighbour's left edge.
    const Rect parked = panelRect();
    EXPECT_EQ(parked.left, 2560);
    Hwnd hit = os().WindowFromPoint(Point{1285, parked.top + 7});
    while (os().GetParent(hit)) hit = os().GetParent(hit);
    EXPECT_NE(hit, panel().hWnd());

    // A file manager on the second screen is served like any other.
    const Hwnd right = desktop.addWindow("CabinetWClass", "Right", Rect{1500, 100, 2100, 600}, 0,
                                         WS_VISIBLE | WS_POPUP);
    desktop.addWindow("SysListView32", "", Rect{1500, 130, 2100, 600}, right, kChild);
    desktop.setIgnoresClose(right, true);
    dockAt(1500, 300);
    pressCell(1);
    EXPECT_EQ(desktop.keysReceivedBy(right).size(), 4u);
    at(1800, 800);
    EXPECT_EQ(panelRect().left, 2560);

    // The exit corner is still the primary screen's.
    at(0, 0);
    EXPECT_EQ(panelRect().left, -1);
    EXPECT_EQ(panel().panelMode, L"E");
}

TEST_F(HostileTest, AFileManagerOnAScreenToTheLeftIsServedAtItsNegativeEdge) {
    desktop.addMonitor(Rect{-1280, 0, 0, 1024});
    const Hwnd left = desktop.addWindow("CabinetWClass", "Left", Rect{-1000, 100, -400, 600}, 0,
                                        WS_VISIBLE | WS_POPUP);
    desktop.addWindow("SysTreeView32", "", Rect{-1000, 130, -800, 600}, left, kChild);
    desktop.setIgnoresClose(left, true);
    start();
    dockAt(-1000, 300);
    EXPECT_EQ(panelRect().top, 300 - 3 * kPitchPx / 2);
    pressCell(2);
    EXPECT_EQ(desktop.keysReceivedBy(left).size(), 4u);
    at(-1000 + 30, 300); // the strip's right edge is outside it
    EXPECT_EQ(panelRect().left, 1280);
    at(-1, 0); // left of the exit corner, on the other screen
    EXPECT_EQ(panelRect().left, 1280);
    EXPECT_TRUE(desktop.keysReceivedBy(notes).empty());
}

} // namespace
} // namespace ep
