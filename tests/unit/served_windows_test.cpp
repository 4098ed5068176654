// The setting SERVED_WINDOWS: how its entries read, which windows they add to the built-in
// file manager and browser rules, and that the program never writes the key.
#include "menu/frm_menu.h"
#include "panel/form1.h"
#include "program_fixture.h"
#include "watcher/served_windows.h"

#include <string>
#include <vector>

namespace ep {
namespace {

using testing::ProgramTest;

constexpr std::uint32_t kChild = WS_CHILD | WS_VISIBLE;
constexpr std::uint32_t kFrame = WS_VISIBLE | WS_POPUP;

// "TOP|=HIT" for an exact hit class, "TOP|PREFIX*" for a prefix, "TOP|*" for any window.
std::wstring describe(const ServedWindowRules& rules) {
    std::wstring out;
    for (const ServedWindowRule& rule : rules) {
        if (!out.empty()) out += L"; ";
        out += rule.topLevelClass + L"|";
        switch (rule.hit) {
        case ServedWindowRule::Hit::Exact:
            out += L"=" + rule.hitClass;
            break;
        case ServedWindowRule::Hit::Prefix:
            out += rule.hitClass + L"*";
            break;
        case ServedWindowRule::Hit::Any:
            out += L"*";
            break;
        }
    }
    return out;
}

TEST(ServedWindowsSetting, EntriesReadByTheirRules) {
    struct Case {
        const wchar_t* setting;
        const wchar_t* rules;
    };
    const Case cases[] = {
        {L"", L""},
        {L"Chrome_WidgetWin_1:Chrome_RenderWidgetHostHWND",
         L"Chrome_WidgetWin_1|=Chrome_RenderWidgetHostHWND"},
        {L"Frame:Sys*", L"Frame|Sys*"},
        {L"MozillaWindowClass:*", L"MozillaWindowClass|*"},
        // Blanks around entries and around ":" do not count; inside a class name they do.
        {L"  A : B  ;\tC\t:\tD*\t; E :*", L"A|=B; C|D*; E|*"},
        {L"My Frame:Internet Explorer_Server", L"My Frame|=Internet Explorer_Server"},
        // No ":" or an empty side: skipped, and the rest still applies.
        {L"NoColon;A:B;:B;A:;  :  ;A: \t;A:C", L"A|=B; A|=C"},
        {L";;A:B;;", L"A|=B"},
        {L";;;:::;;;", L""},
        // The first ":" splits; "*" is a wildcard only at the end of the hit class.
        {L"A:B:C", L"A|=B:C"},
        {L"*:X;A*:B;A:*B;A:**", L"*|=X; A*|=B; A|=*B; A|**"},
        // Letters beyond ASCII and control characters are class-name letters like any other.
        {L"ﾌﾚｰﾑ:ﾋﾞｭｰ*;\x01:\x02", L"ﾌﾚｰﾑ|ﾋﾞｭｰ*; \x01|=\x02"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(describe(parseServedWindows(c.setting)), c.rules) << "setting: " << c.setting;

    std::wstring many;
    for (int i = 0; i < 2000; ++i)
        many += L"Top" + std::to_wstring(i) + L":Hit" + std::to_wstring(i) + L";";
    const ServedWindowRules rules = parseServedWindows(many);
    ASSERT_EQ(rules.size(), 2000u);
    EXPECT_EQ(describe({rules.back()}), L"Top1999|=Hit1999");
}

TEST(ServedWindowsSetting, EachKindOfEntryServesItsWindowsAndTheBuiltInsStay) {
    struct Case {
        const wchar_t* setting;
        const wchar_t* top;
        const wchar_t* hit;
        bool served;
    };
    const wchar_t* const kBrowsers = L"Chrome_WidgetWin_1:Chrome_RenderWidgetHostHWND;"
                                     L"Frame:Pane*;MozillaWindowClass:*";
    const Case cases[] = {
        // The built-in rules, with no key, with an empty one and beside user entries.
        {L"", L"CabinetWClass", L"SysTreeView32", true},
        {L"", L"ExploreWClass", L"SysListView32", true},
        {L"", L"IEFrame", L"Internet Explorer_Server", true},
        {kBrowsers, L"IEFrame", L"SysHeader32", true},
        {L"", L"CabinetWClass", L"CabinetWClass", false}, // its own title bar
        {L"", L"CabinetWClass", L"sysTreeView32", false},
        {L"", L"IEFrame", L"Internet Explorer_Server2", false},
        {L"", L"Chrome_WidgetWin_1", L"Chrome_RenderWidgetHostHWND", false},
        {L"", L"MozillaWindowClass", L"MozillaWindowClass", false},
        // Exact: that class under that top-level class only, letter case included.
        {kBrowsers, L"Chrome_WidgetWin_1", L"Chrome_RenderWidgetHostHWND", true},
        {kBrowsers, L"Chrome_WidgetWin_1", L"Chrome_RenderWidgetHostHWND2", false},
        {kBrowsers, L"Chrome_WidgetWin_1", L"Chrome_WidgetWin_1", false},
        {kBrowsers, L"Chrome_WidgetWin_0", L"Chrome_RenderWidgetHostHWND", false},
        {kBrowsers, L"chrome_widgetwin_1", L"Chrome_RenderWidgetHostHWND", false},
        {kBrowsers, L"CabinetWClass", L"Chrome_RenderWidgetHostHWND", false},
        // Prefix: any class beginning with it, the prefix alone included.
        {kBrowsers, L"Frame", L"Pane", true},
        {kBrowsers, L"Frame", L"PaneLeft", true},
        {kBrowsers, L"Frame", L"pane", false},
        {kBrowsers, L"Frame", L"Pan", false},
        // Any: every window of it, its own title bar and frame too.
        {kBrowsers, L"MozillaWindowClass", L"MozillaWindowClass", true},
        {kBrowsers, L"MozillaWindowClass", L"", true},
        {kBrowsers, L"MozillaWindowClassX", L"MozillaWindowClass", false},
        {kBrowsers, L"", L"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isServedWindow(c.top, c.hit, parseServedWindows(c.setting)), c.served)
            << "setting: " << c.setting << "\ntop: " << c.top << "\nhit: " << c.hit;
}

// ---- The running program ------------------------------------------------------------------

class ServedWindowsTest : public ProgramTest {
  protected:
    ServedWindowsTest() {
        // A browser whose page view fills the frame below its 40-pixel tab strip, and one that
        // has no child window at all, as both kinds of browser build them.
        tabs = desktop.addWindow("Chrome_WidgetWin_1", "Tabs", Rect{100, 100, 500, 500}, 0, kFrame);
        desktop.addWindow("Chrome_RenderWidgetHostHWND", "", Rect{100, 140, 500, 500}, tabs,
                          kChild);
        fox = desktop.addWindow("MozillaWindowClass", "Fox", Rect{600, 100, 1000, 500}, 0, kFrame);
        files = desktop.addWindow("CabinetWClass", "Files", Rect{100, 600, 500, 900}, 0, kFrame);
        desktop.addWindow("SysTreeView32", "", Rect{100, 630, 300, 900}, files, kChild);
    }

    void settings(const std::string& lines) {
        writeHostFile(settingsFile(), "[DATA]\r\nUSER_COMMAND_ON=0\r\n" + lines);
    }
    Form1& start() { return form<Form1>(); }
    // Starts afresh, as a new process on the same desktop.
    Form1& restart() {
        resetToolkit();
        return start();
    }
    void at(int x, int y) {
        desktop.setCursor(x, y);
        desktop.advance(100);
    }
    // Whether the panel comes to the window whose left edge is `left` at this height.
    bool docksAt(int left, int y) {
        at(1100, 950);
        at(left + 5, y);
        return desktop.windowRect(form<Form1>().hWnd()).left == left;
    }

    Hwnd tabs = 0;
    Hwnd fox = 0;
    Hwnd files = 0;
};

TEST_F(ServedWindowsTest, WindowsTheKeyNamesAreServedOnlyWhileItNamesThem) {
    settings("SERVED_WINDOWS = Chrome_WidgetWin_1 : Chrome_RenderWidgetHostHWND ; "
             "MozillaWindowClass:*\r\n");
    Form1& panel = start();
    EXPECT_TRUE(docksAt(100, 300)) << "over the page view";
    EXPECT_EQ(panel.targetHwnd, tabs);
    EXPECT_FALSE(docksAt(100, 120)) << "over the tab strip, the frame itself";
    EXPECT_TRUE(docksAt(600, 120)) << "any window of the second browser, its title bar too";
    EXPECT_EQ(panel.targetHwnd, fox);
    EXPECT_TRUE(docksAt(100, 700)) << "the file manager as ever";

    for (const char* without : {"", "SERVED_WINDOWS=\r\n", "SERVED_WINDOWS=  ;; : \r\n",
                                "SERVED_WINDOWS=Chrome_WidgetWin_1;MozillaWindowClass\r\n"}) {
        SCOPED_TRACE(without);
        settings(without);
        restart();
        EXPECT_FALSE(docksAt(100, 300));
        EXPECT_FALSE(docksAt(600, 300));
        EXPECT_TRUE(docksAt(100, 700));
        EXPECT_FALSE(docksAt(100, 610)) << "the file manager's title bar, as ever";
    }
}

TEST_F(ServedWindowsTest, AValueLongerThan510BytesIsCutAndAnEntryAcrossTheCutWithIt) {
    // 478 bytes of entries, the second of them whole; the third is cut after byte 510 to
    // "Chrome_WidgetWin_1:Chrome_Render", which names no view.
    const std::string head = "A:" + std::string(454, 'x') + ";MozillaWindowClass:*;";
    ASSERT_EQ(head.size(), 478u);
    settings("SERVED_WINDOWS=" + head + "Chrome_WidgetWin_1:Chrome_RenderWidgetHostHWND\r\n");
    start();
    EXPECT_TRUE(docksAt(600, 300)) << "the entry before the cut";
    EXPECT_FALSE(docksAt(100, 300)) << "the entry the cut shortened";
}

TEST_F(ServedWindowsTest, NeitherSeedingNorTheMenuSwitchWritesTheKey) {
    // As a person may write it: blanks around "=", a long value, and before the other keys.
    const std::string line =
        "SERVED_WINDOWS =  MozillaWindowClass:* ;" + std::string(600, 'y') + ":z  ";
    writeHostFile(settingsFile(), "[DATA]\r\n" + line + "\r\nUSER_COMMAND=abc\r\n");
    Form1& panel = start();
    EXPECT_EQ(readHostFile(settingsFile()),
              "[DATA]\r\n" + line + "\r\nUSER_COMMAND=abc\r\nUSER_COMMAND_ON=0\r\n");
    form<frmMenu>().uc_Click();
    form<frmMenu>().uc_Click();
    EXPECT_EQ(readHostFile(settingsFile()),
              "[DATA]\r\n" + line + "\r\nUSER_COMMAND=abc\r\nUSER_COMMAND_ON=0\r\n");

    // It is read at start-up only: an edit while the program runs waits for the next start.
    writeHostFile(settingsFile(), "[DATA]\r\nUSER_COMMAND_ON=0\r\n");
    EXPECT_TRUE(docksAt(600, 300));
    EXPECT_EQ(panel.targetHwnd, fox);
}

} // namespace
} // namespace ep
