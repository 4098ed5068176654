// Starting the program: the load handler of the panel form, as the entry point runs it.
#include "menu/frm_menu.h"
#include "panel/form1.h"
#include "program_fixture.h"
#include "shaping/shaping.h"

#include <string>

namespace ep {
namespace {

using testing::makeBmp;
using testing::ProgramTest;

constexpr char kSeededFile[] = "[DATA]\r\nUSER_COMMAND=%( n)\r\nUSER_COMMAND_ON=0\r\n";

class StartupTest : public ProgramTest {
  protected:
    Form1& start() { return form<Form1>(); }

    Rect panelRect(Form1& panel) {
        Rect rect;
        os().GetWindowRect(panel.hWnd(), &rect);
        return rect;
    }
};

TEST_F(StartupTest, FirstStartSeedsTheFileAndParksAThreeButtonPanel) {
    Form1& panel = start();

    EXPECT_EQ(readHostFile(settingsFile()), kSeededFile);
    EXPECT_EQ(panel.userCommand, L"%( n)"); // the seeded default is in force at once
    EXPECT_FALSE(form<frmMenu>().uc.Checked());

    Rect rect = panelRect(panel);
    EXPECT_EQ(rect.left, 1280); // just beyond the right edge of the screen
    EXPECT_EQ(rect.top, 244);   // the design top stays until the first docking
    EXPECT_EQ(rect.right - rect.left, 18);
    EXPECT_EQ(rect.bottom - rect.top, 45);
    EXPECT_EQ(panel.Height(), 675);
    EXPECT_TRUE(os().IsWindowVisible(panel.hWnd()));
    EXPECT_TRUE(os().GetWindowLongA(panel.hWnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(os().GetParent(panel.hWnd()), 0);
    char title[16] = {};
    os().GetWindowTextA(panel.hWnd(), title, sizeof title);
    EXPECT_STREQ(title, "Form1");

    // The user button waits in the fourth slot, outside a three-button panel.
    EXPECT_EQ(panel.Picture1.Left(), 0);
    EXPECT_EQ(panel.Picture1.Top(), 675);
    EXPECT_TRUE(panel.Picture2.Visible());
    EXPECT_TRUE(panel.watcherRuns());
    EXPECT_EQ(panel.curMark, L"");
    EXPECT_EQ(panel.panelMode, L"");
}

TEST_F(StartupTest, ASecondInstanceEndsAtOnceTouchingNothing) {
    desktop.setOtherInstanceRunning(true);
    EXPECT_THROW(start(), sim::ProgramEnded);
    EXPECT_FALSE(std::filesystem::exists(settingsFile()));
    EXPECT_EQ(desktop.callCounts()["GetPrivateProfileStringA"], 0u) << "no setting is even read";
    EXPECT_TRUE(desktop.messageBoxes.empty());
    for (Hwnd window : desktop.topLevelWindows())
        EXPECT_FALSE(os().IsWindowVisible(window));

    writeHostFile(settingsFile(), "[DATA]\r\nUSER_COMMAND_ON=\r\n");
    resetToolkit();
    EXPECT_THROW(start(), sim::ProgramEnded);
    EXPECT_EQ(readHostFile(settingsFile()), "[DATA]\r\nUSER_COMMAND_ON=\r\n");
}

// Without its window the program would stay resident with nothing on the screen and no
// watcher: it says so and ends before it reads or writes anything.
TEST_F(StartupTest, AWindowThatCannotBeMadeEndsTheProgramPlainly) {
    desktop.failWindowCreation(true);
    EXPECT_THROW(start(), sim::ProgramEnded);
    ASSERT_EQ(desktop.messageBoxes.size(), 1u);
    EXPECT_EQ(desktop.messageBoxes[0].text, L"It failed in making of a window.");
    EXPECT_EQ(desktop.messageBoxes[0].caption, App::Title());
    EXPECT_EQ(desktop.messageBoxes[0].type & 0xFF, MB_OK);
    EXPECT_FALSE(std::filesystem::exists(settingsFile()));
}

TEST_F(StartupTest, TheUserButtonSwitchSetsThePanelHeight) {
    struct Case {
        std::string saved;
        bool on;
    };
    for (const Case& c : {Case{"1", true}, Case{"2", true}, Case{"0.5", true}, Case{"   3", true},
                          Case{"0", false}, Case{"-1", false}, Case{"word", false}}) {
        std::string file = "[DATA]\r\nUSER_COMMAND=ab\r\nUSER_COMMAND_ON=" + c.saved + "\r\n";
        writeHostFile(settingsFile(), file);
        Form1& panel = start();
        EXPECT_EQ(form<frmMenu>().uc.Checked(), c.on) << c.saved;
        EXPECT_EQ(panel.Height(), c.on ? 900 : 675) << c.saved;
        Rect rect = panelRect(panel);
        EXPECT_EQ(rect.bottom - rect.top, c.on ? 60 : 45) << c.saved;
        EXPECT_EQ(readHostFile(settingsFile()), file) << c.saved;
        EXPECT_EQ(panel.userCommand, L"ab");
        resetToolkit();
    }
}

TEST_F(StartupTest, AnEmptySwitchIsSeededWithoutLosingACustomKeyString) {
    writeHostFile(settingsFile(), "[DATA]\r\nUSER_COMMAND=ab{ENTER}\r\nUSER_COMMAND_ON=  \r\n");
    Form1& panel = start();
    EXPECT_EQ(readHostFile(settingsFile()),
              "[DATA]\r\nUSER_COMMAND=ab{ENTER}\r\nUSER_COMMAND_ON=0\r\n");
    EXPECT_EQ(panel.userCommand, L"ab{ENTER}");
    EXPECT_FALSE(form<frmMenu>().uc.Checked());
}

TEST_F(StartupTest, AnEmptyKeyStringIsSeededAndTypedFromTheFirstStart) {
    writeHostFile(settingsFile(), "[DATA]\r\nUSER_COMMAND_ON=1\r\n");
    Form1& panel = start();
    EXPECT_EQ(readHostFile(settingsFile()),
              "[DATA]\r\nUSER_COMMAND_ON=1\r\nUSER_COMMAND=%( n)\r\n");
    EXPECT_EQ(panel.userCommand, L"%( n)");
    EXPECT_TRUE(form<frmMenu>().uc.Checked());
}

TEST_F(StartupTest, AShapeThatCannotBeBuiltEndsTheStartBeforeAnythingIsWritten) {
    mod_RGN_Data::fillRgnShapeTables();
    mod_RGN_Data::rgnTablesFilled = -1;
    mod_RGN_Data::rgnShapeTable[kShapeButtonColumn].dwSize = 0; // no longer region data
    EXPECT_THROW(start(), sim::ProgramEnded);
    mod_RGN_Data::fillRgnShapeTables();

    ASSERT_EQ(desktop.messageBoxes.size(), 1u);
    EXPECT_EQ(desktop.messageBoxes[0].text, L"It failed in reading of region data.");
    EXPECT_FALSE(std::filesystem::exists(settingsFile()));
    EXPECT_EQ(desktop.callCounts()["WritePrivateProfileStringA"], 0u);
}

class UserPictureTest : public StartupTest {
  protected:
    std::filesystem::path pictureFile() const {
        return desktop.hostPath(L"C:\\Tools\\userbutton.bmp");
    }
    // The colour the user button shows at a pixel of its own.
    std::uint32_t userButtonPixel(Form1& panel, int x, int y) {
        return desktop.bitmapPixel(panel.Picture1.picture().handle(), x, y);
    }
};

TEST_F(UserPictureTest, AUserPictureReplacesTheRing) {
    std::vector<std::uint32_t> pixels(18 * 16, 0x00FF00);
    pixels[1 * 18 + 1] = 0x0000FF;
    writeHostFile(pictureFile(), makeBmp(18, 16, pixels));
    Form1& panel = start();
    EXPECT_EQ(userButtonPixel(panel, 1, 1), 0x0000FFu);
    EXPECT_EQ(userButtonPixel(panel, 8, 8), 0x00FF00u);
}

TEST_F(UserPictureTest, AHiddenOrBrokenPictureLeavesTheRing) {
    std::uint32_t ring = 0;
    {
        Form1& panel = start();
        ring = userButtonPixel(panel, 8, 8);
        resetToolkit();
    }
    writeHostFile(pictureFile(), makeBmp(18, 16, std::vector<std::uint32_t>(18 * 16, 0x00FF00)));
    desktop.setHidden(L"C:\\Tools\\userbutton.bmp", true);
    EXPECT_EQ(userButtonPixel(start(), 8, 8), ring);
    resetToolkit();

    desktop.setHidden(L"C:\\Tools\\userbutton.bmp", false);
    desktop.setSystem(L"C:\\Tools\\userbutton.bmp", true);
    EXPECT_EQ(userButtonPixel(start(), 8, 8), ring) << "a system file counts as absent";
    resetToolkit();
    desktop.setSystem(L"C:\\Tools\\userbutton.bmp", false);

    std::filesystem::remove(pictureFile());
    std::filesystem::create_directories(pictureFile());
    EXPECT_EQ(userButtonPixel(start(), 8, 8), ring) << "a folder of that name is no picture";
    resetToolkit();
    std::filesystem::remove(pictureFile());

    writeHostFile(pictureFile(), "BM not really a bitmap");
    Form1& panel = start();
    EXPECT_EQ(userButtonPixel(panel, 8, 8), ring);
    EXPECT_TRUE(panel.watcherRuns()); // start-up went on
}

TEST_F(UserPictureTest, OnlyThePartThatCanShowIsKept) {
    writeHostFile(pictureFile(),
                  makeBmp(400, 300, std::vector<std::uint32_t>(400 * 300, 0x123456)));
    Form1& panel = start();
    EXPECT_EQ(panel.Picture1.picture().width(), 17);
    EXPECT_EQ(panel.Picture1.picture().height(), 17);
}

} // namespace
} // namespace ep
