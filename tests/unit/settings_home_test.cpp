// Which settings file a run uses: the one beside the exe wherever it takes writes, byte for
// byte as always; else the user's own %APPDATA%\Edgepad\<name>.ini, made as a copy of the one
// beside the exe, or seeded; and where neither takes writes, the values held in memory.
#include "frame/settings.h"
#include "menu/frm_menu.h"
#include "panel/form1.h"
#include "program_fixture.h"

#include <string>

namespace ep {
namespace {

using testing::ProgramTest;

constexpr int kPitchPx = 15;
constexpr char kSeeded[] = "[DATA]\r\nUSER_COMMAND=%( n)\r\nUSER_COMMAND_ON=0\r\n";
const std::wstring kProgramFiles = L"C:\\Program Files\\Edgepad";
const std::wstring kRoaming = L"C:\\Users\\user\\AppData\\Roaming";

class SettingsHomeTest : public ProgramTest {
  protected:
    SettingsHomeTest() {
        files = desktop.addWindow("CabinetWClass", "Files", Rect{200, 100, 800, 600}, 0,
                                  WS_VISIBLE | WS_POPUP);
        desktop.addWindow("SysTreeView32", "", Rect{200, 130, 400, 600}, files,
                          WS_CHILD | WS_VISIBLE);
    }

    // padcopy.exe in a folder the user may not write, with that folder's settings file, if any.
    void installReadOnly(const std::string* besideBytes = nullptr) {
        desktop.setExePath(kProgramFiles + L"\\padcopy.exe");
        if (besideBytes) {
            writeHostFile(beside(), *besideBytes);
            desktop.setReadOnly(kProgramFiles + L"\\padcopy.ini", true);
        }
        desktop.setReadOnly(kProgramFiles, true);
    }
    std::filesystem::path beside() const {
        return desktop.hostPath(kProgramFiles + L"\\padcopy.ini");
    }
    std::filesystem::path usersFile(const std::wstring& roaming = kRoaming,
                                    const std::wstring& name = L"padcopy") const {
        return desktop.hostPath(roaming + L"\\Edgepad\\" + name + L".ini");
    }

    // Starts afresh, as a new process on the same desktop.
    Form1& restart() {
        resetToolkit();
        return form<Form1>();
    }
    int dockedCells() {
        desktop.setCursor(600, 800);
        desktop.advance(100);
        desktop.setCursor(210, 300);
        desktop.advance(100);
        const Rect r = desktop.windowRect(form<Form1>().hWnd());
        EXPECT_EQ(r.left, 200);
        return (r.bottom - r.top) / kPitchPx;
    }
    // The menu's first item, chosen on the docked panel.
    void chooseSwitch() {
        dockedCells();
        desktop.onPopupMenu = [](const sim::MenuRecord& menu) { return menu.items.at(0).id; };
        const Rect r = desktop.windowRect(form<Form1>().hWnd());
        desktop.click(vbRightButton, r.left + 8, r.top + 7);
    }
    bool switchOn() { return form<frmMenu>().uc.Checked(); }

    Hwnd files = 0;
};

TEST_F(SettingsHomeTest, AReadOnlyFolderKeepsTheSettingsInTheUsersFileAcrossStarts) {
    // The shell's newer call, and the older one where the newer is missing.
    for (const bool knownFolderMissing : {false, true}) {
        SCOPED_TRACE(knownFolderMissing ? "SHGetFolderPathW" : "SHGetKnownFolderPath");
        desktop.setKnownFolderPathMissing(knownFolderMissing);
        std::filesystem::remove_all(desktop.hostPath(kRoaming + L"\\Edgepad"));
        installReadOnly();

        Form1& first = restart();
        EXPECT_FALSE(std::filesystem::exists(beside()));
        EXPECT_EQ(readHostFile(usersFile()), kSeeded) << "the first start seeds the user's file";
        EXPECT_EQ(first.userCommand, L"%( n)");

        chooseSwitch();
        EXPECT_TRUE(switchOn());
        EXPECT_EQ(readHostFile(usersFile()),
                  "[DATA]\r\nUSER_COMMAND=%( n)\r\nUSER_COMMAND_ON=1\r\n");

        restart();
        EXPECT_TRUE(switchOn()) << "the switch survives a restart";
        EXPECT_EQ(dockedCells(), 4);
        EXPECT_FALSE(std::filesystem::exists(beside()));
        EXPECT_EQ(desktop.liveTaskAllocations(), 0) << "the shell's path is freed";
    }
}

TEST_F(SettingsHomeTest, AReadOnlyFileIsCopiedByteForByteThenWritten) {
    // Everything the profile functions keep but never write themselves: comments, letter
    // case, bare line feeds, another section, no line end at the end.
    const std::string bytes = "; mine\n[data]\nuser_command = ab{ENTER}\r\nUSER_COMMAND_ON=1\r\n"
                              "\r\n[OTHER]\r\nX=y";
    installReadOnly(&bytes);
    Form1& p = restart();
    EXPECT_EQ(readHostFile(usersFile()), bytes) << "nothing to seed: an exact copy";
    EXPECT_EQ(p.userCommand, L"ab{ENTER}");
    EXPECT_TRUE(switchOn());

    chooseSwitch();
    EXPECT_FALSE(switchOn());
    EXPECT_EQ(readHostFile(beside()), bytes);
    // The write rewrites the copy as the profile functions rewrite any file.
    const std::string expected = "; mine\r\n[data]\r\nuser_command = ab{ENTER}\r\n"
                                 "USER_COMMAND_ON=0\r\n\r\n[OTHER]\r\nX=y\r\n";
    EXPECT_EQ(readHostFile(usersFile()), expected);

    // The user's file, once made, is the one read: the file beside the exe is copied no more.
    restart();
    EXPECT_FALSE(switchOn());
    EXPECT_EQ(readHostFile(usersFile()), expected);
}

TEST_F(SettingsHomeTest, AWritableFolderNeverReadsOrMakesAUsersFile) {
    Form1& p = restart();
    EXPECT_EQ(readHostFile(settingsFile()), kSeeded);
    chooseSwitch();
    EXPECT_EQ(readHostFile(settingsFile()),
              "[DATA]\r\nUSER_COMMAND=%( n)\r\nUSER_COMMAND_ON=1\r\n");
    EXPECT_FALSE(std::filesystem::exists(desktop.hostPath(kRoaming + L"\\Edgepad")));
    EXPECT_EQ(desktop.callCounts()["SHGetKnownFolderPath"], 0u);
    EXPECT_EQ(p.userCommand, L"%( n)");

    // A user's file of the same name, left by a copy that ran from a read-only folder, is
    // never read: the portable copy seeds its own.
    std::filesystem::remove(settingsFile());
    const std::string stale = "[DATA]\r\nUSER_COMMAND=zz\r\nUSER_COMMAND_ON=1\r\n";
    writeHostFile(usersFile(kRoaming, L"edgepad"), stale);
    Form1& again = restart();
    EXPECT_EQ(readHostFile(settingsFile()), kSeeded);
    EXPECT_EQ(again.userCommand, L"%( n)");
    EXPECT_FALSE(switchOn());
    EXPECT_EQ(readHostFile(usersFile(kRoaming, L"edgepad")), stale);
}

TEST_F(SettingsHomeTest, WhereNeitherFileTakesWritesTheSwitchTurnsForTheRun) {
    struct Case {
        const char* what;
        bool shellMissing, roamingReadOnly;
    };
    for (const Case c : {Case{"no shell folder functions", true, false},
                         Case{"a roaming folder that takes no writes", false, true}}) {
        SCOPED_TRACE(c.what);
        desktop.setKnownFolderPathMissing(c.shellMissing);
        desktop.setFolderPathMissing(c.shellMissing);
        desktop.setReadOnly(kRoaming, c.roamingReadOnly);
        installReadOnly();
        Form1& p = restart();
        EXPECT_EQ(p.userCommand, L"%( n)");
        EXPECT_EQ(dockedCells(), 3);
        for (const int cells : {4, 3}) {
            chooseSwitch();
            EXPECT_EQ(switchOn(), cells == 4);
            EXPECT_EQ(dockedCells(), cells);
        }
        EXPECT_FALSE(std::filesystem::exists(beside()));
        EXPECT_FALSE(std::filesystem::exists(desktop.hostPath(kRoaming + L"\\Edgepad")));
        EXPECT_TRUE(p.watcherRuns());
    }

    // A user's file that exists but takes no writes is still the one read.
    desktop.setReadOnly(kRoaming, false);
    desktop.setKnownFolderPathMissing(false);
    desktop.setFolderPathMissing(false);
    const std::string mine = "[DATA]\r\nUSER_COMMAND=ab\r\nUSER_COMMAND_ON=1\r\n";
    writeHostFile(usersFile(), mine);
    desktop.setReadOnly(kRoaming + L"\\Edgepad\\padcopy.ini", true);
    restart();
    EXPECT_TRUE(switchOn());
    chooseSwitch();
    EXPECT_FALSE(switchOn());
    EXPECT_EQ(readHostFile(usersFile()), mine);
}

TEST_F(SettingsHomeTest, AFileMadeReadOnlyDuringTheRunMovesToTheUsersFileAtTheNextWrite) {
    const std::string bytes = "[DATA]\r\nUSER_COMMAND=ab\r\nUSER_COMMAND_ON=0\r\n";
    writeHostFile(settingsFile(), bytes);
    restart();
    desktop.setReadOnly(L"C:\\Tools\\edgepad.ini", true);

    chooseSwitch();
    EXPECT_EQ(readHostFile(settingsFile()), bytes);
    const std::filesystem::path mine = usersFile(kRoaming, L"edgepad");
    EXPECT_EQ(readHostFile(mine), "[DATA]\r\nUSER_COMMAND=ab\r\nUSER_COMMAND_ON=1\r\n");
    chooseSwitch();
    EXPECT_EQ(readHostFile(mine), bytes) << "later writes go straight to the user's file";

    chooseSwitch();
    restart();
    EXPECT_TRUE(switchOn()) << "the next start chooses the user's file as well";
}

TEST_F(SettingsHomeTest, AUserNameOutsideTheAnsiCodePageHoldsAnAnsiFile) {
    // "Zoë" under Shift-JIS: the ANSI functions would take the path as "Zo?".
    desktop.setAnsiCodePage(932);
    const std::wstring roaming = L"C:\\Users\\Zo\u00EB\\AppData\\Roaming";
    desktop.setRoamingAppData(roaming);
    // A key string in Shift-JIS, as the ANSI functions write one on a Japanese Windows.
    const std::string bytes = "[DATA]\r\nUSER_COMMAND=\x93\xfa\x96\x7b\r\n";
    installReadOnly(&bytes);

    Form1& p = restart();
    EXPECT_EQ(p.userCommand, L"\u65E5\u672C");
    EXPECT_EQ(readHostFile(usersFile(roaming)), bytes + "USER_COMMAND_ON=0\r\n");
    chooseSwitch();
    EXPECT_EQ(readHostFile(usersFile(roaming)), bytes + "USER_COMMAND_ON=1\r\n");
    restart();
    EXPECT_TRUE(switchOn());
    EXPECT_FALSE(std::filesystem::exists(desktop.hostPath(L"C:\\Users\\Zo?")));
}

} // namespace
} // namespace ep
