// The panel's popup menu on the simulated desktop: what it shows, the user-button switch and
// its saved value, the watcher standing still behind the About window, and the ways the menu
// form ends the program.
#include "frame/toolkit.h"
#include "menu/frm_menu.h"
#include "menu/frm_version.h"
#include "panel/form1.h"
#include "platform/sim/desktop.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>

namespace ep {
namespace {

constexpr int kRightButton = 2;

std::optional<std::string> readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

class MenuTest : public ::testing::Test {
  protected:
    ~MenuTest() override { resetToolkit(); }

    std::filesystem::path ini() const { return desk.hostPath(L"C:\\Tools\\edgepad.ini"); }

    // Starts the program and docks its panel at a file manager's list: three buttons high.
    Form1& startDocked() {
        Form1& panel = form<Form1>();
        fileManager = desk.addWindow("CabinetWClass", "Files", Rect{200, 100, 800, 600});
        desk.addWindow("SysListView32", "", Rect{204, 130, 796, 596}, fileManager,
                       WS_CHILD | WS_VISIBLE);
        leaveStrip(); // the watcher docks on an entry from idle only
        enterStrip();
        return panel;
    }
    void enterStrip() {
        desk.setCursor(210, 300);
        desk.advance(100);
    }
    void leaveStrip() {
        desk.setCursor(500, 300);
        desk.advance(100);
    }
    int panelHeight() {
        const Rect r = desk.windowRect(form<Form1>().hWnd());
        return r.bottom - r.top;
    }
    bool panelDocked() { return desk.windowRect(form<Form1>().hWnd()).left == 200; }

    // A right press on the panel's first cell, as a person does it.
    void rightPress() {
        const Rect r = desk.windowRect(form<Form1>().hWnd());
        desk.press(kRightButton, r.left + 8, r.top + 7);
        desk.release(kRightButton, r.left + 8, r.top + 7);
    }
    // Opens the menu and chooses the item at position (separators count).
    void choose(std::size_t position) {
        desk.onPopupMenu = [position](const sim::MenuRecord& menu) {
            return position < menu.items.size() ? menu.items[position].id : 0;
        };
        rightPress();
    }

    void unloadMenuForm(const std::function<void(frmMenu&)>& ask);

    sim::Desktop desk;
    Hwnd fileManager = 0;
};

// Outside Japan the menu speaks English, with the same items and no access keys.
TEST_F(MenuTest, SpeaksEnglishWhereWindowsDoesNotSpeakJapanese) {
    desk.setUserUiLanguage(0x0809); // English (United Kingdom)
    startDocked();
    choose(99);
    ASSERT_EQ(desk.menusShown.size(), 1u);
    const sim::MenuRecord& menu = desk.menusShown[0];
    ASSERT_EQ(menu.items.size(), 5u);
    EXPECT_EQ(menu.items[0].text, L"Use the user button");
    EXPECT_EQ(menu.items[2].text, L"About Edgepad");
    EXPECT_EQ(menu.items[4].text, L"Exit");
    choose(0);
    EXPECT_NE(readBytes(ini()).value_or("").find("USER_COMMAND_ON=1"), std::string::npos);
}

TEST_F(MenuTest, ShowsItsThreeCommandsAndTwoSeparatorsWithTheSwitchesMark) {
    Form1& panel = startDocked();
    const auto before = readBytes(ini());
    choose(99); // dismissed
    ASSERT_EQ(desk.menusShown.size(), 1u);
    const sim::MenuRecord& menu = desk.menusShown[0];
    EXPECT_EQ(menu.owner, panel.hWnd());
    ASSERT_EQ(menu.items.size(), 5u);
    EXPECT_EQ(menu.items[0].text, L"ﾕｰｻﾞﾎﾞﾀﾝを使う");
    EXPECT_FALSE(menu.items[0].flags & MF_CHECKED);
    EXPECT_TRUE(menu.items[1].flags & MF_SEPARATOR);
    EXPECT_EQ(menu.items[2].text, L"バージョン情報");
    EXPECT_TRUE(menu.items[3].flags & MF_SEPARATOR);
    EXPECT_EQ(menu.items[4].text, L"終了");
    for (const auto& item : menu.items) {
        EXPECT_EQ(item.text.find_first_of(L"&\t"), std::wstring::npos) << "no access keys";
        EXPECT_FALSE(item.flags & MF_CHECKED && &item != &menu.items[0]);
    }
    EXPECT_EQ(desk.liveMenus(), 0);
    EXPECT_EQ(readBytes(ini()), before) << "dismissing the menu does nothing";
    EXPECT_TRUE(panel.watcherRuns());

    choose(0);
    choose(99);
    ASSERT_EQ(desk.menusShown.size(), 3u);
    EXPECT_TRUE(desk.menusShown[2].items[0].flags & MF_CHECKED);
}

TEST_F(MenuTest, OpensAtTheCursorLeftAlignedForTheLeftButtonWithThePanelInTheForeground) {
    Form1& panel = startDocked();
    const Rect r = desk.windowRect(panel.hWnd());
    Hwnd foregroundWhileOpen = 0;
    desk.onPopupMenu = [&](const sim::MenuRecord&) -> std::uintptr_t {
        foregroundWhileOpen = desk.foreground();
        return 0;
    };
    desk.press(kRightButton, r.left + 5, r.top + 20);
    desk.release(kRightButton, r.left + 5, r.top + 20);
    ASSERT_EQ(desk.menusShown.size(), 1u);
    const sim::MenuRecord& menu = desk.menusShown[0];
    EXPECT_EQ(menu.at.x, r.left + 5);
    EXPECT_EQ(menu.at.y, r.top + 20);
    // Left-aligned at the point, top-aligned, chosen with the left button.
    constexpr std::uint32_t kCentreAlign = 0x0004, kRightAlign = 0x0008, kVerticalAlign = 0x0030;
    EXPECT_EQ(menu.flags & (TPM_RIGHTBUTTON | kCentreAlign | kRightAlign | kVerticalAlign), 0u);
    // A popup menu closes on a click elsewhere only while its owner is the foreground window.
    EXPECT_EQ(foregroundWhileOpen, panel.hWnd());
}

TEST_F(MenuTest, TheSwitchWritesOneAndZeroAtOnce) {
    startDocked();
    frmMenu& menu = form<frmMenu>();
    choose(0);
    EXPECT_TRUE(menu.uc.Checked());
    EXPECT_EQ(readBytes(ini()), "[DATA]\r\nUSER_COMMAND=%( n)\r\nUSER_COMMAND_ON=1\r\n");
    choose(0);
    EXPECT_FALSE(menu.uc.Checked());
    EXPECT_EQ(readBytes(ini()), "[DATA]\r\nUSER_COMMAND=%( n)\r\nUSER_COMMAND_ON=0\r\n");
}

TEST_F(MenuTest, ASavedTwoBecomesZeroThenOne) {
    writeBytes(ini(), "[DATA]\r\nUSER_COMMAND=^w\r\nUSER_COMMAND_ON=2\r\n");
    startDocked();
    ASSERT_TRUE(form<frmMenu>().uc.Checked());
    choose(0);
    EXPECT_EQ(readBytes(ini()), "[DATA]\r\nUSER_COMMAND=^w\r\nUSER_COMMAND_ON=0\r\n");
    choose(0);
    EXPECT_EQ(readBytes(ini()), "[DATA]\r\nUSER_COMMAND=^w\r\nUSER_COMMAND_ON=1\r\n");
}

TEST_F(MenuTest, ADeletedSettingsFileIsCreatedAgainWithJustTheSwitch) {
    startDocked();
    std::filesystem::remove(ini());
    choose(0);
    EXPECT_EQ(readBytes(ini()), "[DATA]\r\nUSER_COMMAND_ON=1\r\n");
}

TEST_F(MenuTest, TheNewHeightAppliesAtTheNextDocking) {
    startDocked();
    ASSERT_TRUE(panelDocked());
    ASSERT_EQ(panelHeight(), 45);
    choose(0);
    desk.advance(300);
    EXPECT_EQ(panelHeight(), 45) << "still docked: the height stays";
    leaveStrip();
    ASSERT_FALSE(panelDocked());
    enterStrip();
    ASSERT_TRUE(panelDocked());
    EXPECT_EQ(panelHeight(), 60);

    choose(0);
    EXPECT_EQ(panelHeight(), 60);
    leaveStrip();
    enterStrip();
    EXPECT_EQ(panelHeight(), 45);
}

TEST_F(MenuTest, TheWatcherStandsStillWhileTheAboutWindowIsOpen) {
    Form1& panel = startDocked();
    ASSERT_TRUE(panelDocked());
    const Rect docked = desk.windowRect(panel.hWnd());
    int idles = 0;
    desk.onIdle = [&] {
        if (idles++ > 0) return;
        EXPECT_TRUE(isLoaded<frm_Version>());
        EXPECT_FALSE(panel.watcherRuns());
        leaveStrip();
        desk.setCursor(0, 0); // the exit-bar corner
        desk.advance(500);
        const Rect now = desk.windowRect(panel.hWnd());
        EXPECT_EQ(now.left, docked.left);
        EXPECT_EQ(now.top, docked.top);
        desk.pressKey(VK_ESCAPE);
    };
    choose(2);
    EXPECT_GE(idles, 1);
    EXPECT_FALSE(isLoaded<frm_Version>());
    EXPECT_TRUE(panel.watcherRuns()) << "the watcher resumes once the window is closed";
    desk.setCursor(500, 300);
    desk.advance(100);
    EXPECT_FALSE(panelDocked());
}

// The menu needs its owner in the foreground; once it has closed, by a choice or without one,
// the keyboard goes back to the window that had it, and the next key reaches that window.
TEST_F(MenuTest, TheKeyboardGoesBackToTheWindowThatHadItAfterTheMenu) {
    Form1& panel = startDocked();
    for (const std::size_t position : {std::size_t{99}, std::size_t{0}}) {
        SCOPED_TRACE(position == 0 ? "the user-button item" : "dismissed");
        desk.activate(fileManager);
        Hwnd duringMenu = 0;
        desk.onPopupMenu = [&](const sim::MenuRecord& menu) -> std::uintptr_t {
            duringMenu = desk.foreground();
            return position < menu.items.size() ? menu.items[position].id : 0;
        };
        rightPress();
        EXPECT_EQ(duringMenu, panel.hWnd()) << "the menu's owner is in front while it is open";
        EXPECT_EQ(desk.foreground(), fileManager);
        const std::size_t keysBefore = desk.keysReceivedBy(fileManager).size();
        desk.pressKey('A');
        EXPECT_EQ(desk.keysReceivedBy(fileManager).size(), keysBefore + 2);
    }
}

// The user may choose the foreground while the menu is open: a click into another program
// stands, and a window that closed meanwhile is not asked for.
TEST_F(MenuTest, AfterTheMenuTheUsersOwnChoiceStands) {
    Form1& panel = startDocked();
    const Hwnd other = desk.addWindow("Notepad", "Notes", Rect{900, 100, 1200, 600});
    desk.activate(fileManager);
    desk.onPopupMenu = [&](const sim::MenuRecord&) -> std::uintptr_t {
        desk.activate(other);
        return 0;
    };
    rightPress();
    EXPECT_EQ(desk.foreground(), other);

    desk.activate(fileManager);
    desk.onPopupMenu = [&](const sim::MenuRecord&) -> std::uintptr_t {
        desk.closeWindow(fileManager);
        return 0;
    };
    rightPress();
    EXPECT_EQ(desk.foreground(), panel.hWnd()) << "nothing to give the keyboard back to";
}

// Every loaded form, the menu form's own unload aside, goes; then the program ends with the
// settings file as it was.
void expectEndedWithEveryOtherFormUnloaded(const std::vector<Form*>& loadedBefore) {
    for (Form* each : loadedBefore) {
        SCOPED_TRACE(each->Name());
        EXPECT_EQ(each->isUnloaded(), each->Name() != "frmMenu");
    }
}

TEST_F(MenuTest, ExitUnloadsEveryFormAndEndsWithoutWriting) {
    Form1& panel = startDocked();
    const Hwnd panelWindow = panel.hWnd();
    form<frmMenu>();
    const auto before = readBytes(ini());
    const auto loadedBefore = Forms();
    ASSERT_GE(loadedBefore.size(), 2u);
    EXPECT_THROW(choose(4), sim::ProgramEnded);
    expectEndedWithEveryOtherFormUnloaded(loadedBefore);
    EXPECT_FALSE(desk.windowExists(panelWindow));
    EXPECT_EQ(readBytes(ini()), before);
}

// However the menu form is asked to go, the program goes with it; frm_Version is loaded too.
void MenuTest::unloadMenuForm(const std::function<void(frmMenu&)>& ask) {
    startDocked();
    frmMenu& menu = form<frmMenu>();
    form<frm_Version>();
    const auto before = readBytes(ini());
    const auto loadedBefore = Forms();
    EXPECT_THROW(ask(menu), sim::ProgramEnded);
    expectEndedWithEveryOtherFormUnloaded(loadedBefore);
    EXPECT_EQ(readBytes(ini()), before);
}

TEST_F(MenuTest, UnloadingTheMenuFormEndsTheProgramLikeExit) {
    unloadMenuForm([](frmMenu& menu) { Unload(menu); });
}

TEST_F(MenuTest, ClosingTheMenuFormsWindowEndsTheProgramLikeExit) {
    unloadMenuForm([this](frmMenu& menu) { desk.SendMessageW(menu.hWnd(), WM_CLOSE, 0, 0); });
}

// Forms that note their unloading, to see the order and the exact name comparison.
std::vector<std::string> unloadLog;
class NotingForm : public Form {
  public:
    explicit NotingForm(std::string name) : Form(std::move(name), FormDesign{}) {}
    void Form_Unload() override { unloadLog.push_back(Name()); }
};
struct FirstForm : NotingForm {
    FirstForm() : NotingForm("First") {}
};
struct LowerCaseMenu : NotingForm {
    LowerCaseMenu() : NotingForm("frmmenu") {}
};
struct LastForm : NotingForm {
    LastForm() : NotingForm("Last") {}
};
struct Keeper : NotingForm {
    Keeper() : NotingForm("Keep") {}
};

TEST_F(MenuTest, UnloadOtherFormsGoesInLoadOrderAndComparesNamesExactly) {
    unloadLog.clear();
    form<FirstForm>();
    form<Keeper>();
    form<LowerCaseMenu>();
    form<LastForm>();
    unloadOtherForms("Keep");
    EXPECT_EQ(unloadLog, (std::vector<std::string>{"First", "frmmenu", "Last"}));
    ASSERT_EQ(Forms().size(), 1u);
    EXPECT_EQ(Forms()[0]->Name(), "Keep");
}

} // namespace
} // namespace ep
