// The window-under-cursor probe on the simulated desktop: which window, which ancestor, their
// class names, the title and the edges in twips, each answered afresh from the cursor.
#include "frame/toolkit.h"
#include "panel/form1.h"
#include "platform/sim/desktop.h"

#include <gtest/gtest.h>

#include <string>

namespace ep {
namespace {

constexpr std::uint32_t kChild = WS_CHILD | WS_VISIBLE;
constexpr std::uint32_t kBorderless = WS_POPUP | WS_VISIBLE;

class ProbeTest : public ::testing::Test {
  protected:
    ProbeTest() {
        files = desk.addWindow("CabinetWClass", "Files", Rect{200, 100, 800, 600});
        list = desk.addWindow("SysListView32", "", Rect{204, 130, 796, 596}, files, kChild);
    }
    ~ProbeTest() override { resetToolkit(); }

    Form1& probe() { return form<Form1>(); }
    // A person rests the cursor on a pixel; the probe reads it when asked.
    void cursorAt(int x, int y) { desk.setCursor(x, y); }

    sim::Desktop desk;
    Hwnd files = 0;
    Hwnd list = 0;
};

TEST_F(ProbeTest, WindowUnderTheCursorAndItsTopLevelAncestor) {
    Form1& p = probe();
    cursorAt(300, 300);
    EXPECT_EQ(p.getPointWindowHandle(vbFalse), list);
    EXPECT_EQ(p.getPointWindowHandle(vbTrue), files);
    // Only True, -1, selects the ancestor.
    EXPECT_EQ(p.getPointWindowHandle(1), list);
    EXPECT_EQ(p.getPointWindowClassName(vbFalse), L"SysListView32");
    EXPECT_EQ(p.getPointWindowClassName(vbTrue), L"CabinetWClass");
    EXPECT_EQ(p.getPointWindowClassName(1), L"SysListView32");

    // On the frame, no child is under the cursor: both answers name the top-level window.
    cursorAt(202, 300);
    EXPECT_EQ(p.getPointWindowHandle(vbFalse), files);
    EXPECT_EQ(p.getPointWindowClassName(vbFalse), L"CabinetWClass");
    EXPECT_EQ(p.getPointWindowClassName(vbTrue), L"CabinetWClass");
}

TEST_F(ProbeTest, EveryCallLooksAtTheCursorAnew) {
    const Hwnd other = desk.addWindow("Notepad", "Notes", Rect{900, 100, 1200, 400});
    Form1& p = probe();
    cursorAt(300, 300);
    EXPECT_EQ(p.getPointWindowLeft(), 3000);
    cursorAt(1000, 200);
    EXPECT_EQ(p.getPointWindowLeft(), 13500);
    EXPECT_EQ(p.getPointWindowHandle(vbTrue), other);
    EXPECT_EQ(p.getPointWindowTitle(), L"Notes");
}

TEST_F(ProbeTest, AncestorIsAtMostTenParentStepsUp) {
    // A chain of windows, each a child of the one before, all over the same rectangle.
    std::vector<Hwnd> chain{desk.addWindow("IEFrame", "Deep", Rect{900, 600, 1200, 900})};
    for (int level = 1; level <= 11; ++level)
        chain.push_back(desk.addWindow("Level" + std::to_string(level), "",
                                       Rect{900, 600, 1200, 900 - 20 * level}, chain.back(),
                                       kChild));
    Form1& p = probe();
    // The deepest window reaches down to 900 - 220; each level above reaches lower.
    cursorAt(1000, 650);
    EXPECT_EQ(p.getPointWindowHandle(vbFalse), chain[11]);
    EXPECT_EQ(p.getPointWindowHandle(vbTrue), chain[1]);
    EXPECT_EQ(p.getPointWindowClassName(vbTrue), L"Level1");
    cursorAt(1000, 900 - 220 + 5); // on level 10
    EXPECT_EQ(p.getPointWindowHandle(vbFalse), chain[10]);
    EXPECT_EQ(p.getPointWindowHandle(vbTrue), chain[0]);
}

TEST_F(ProbeTest, EdgesInTwipsTravelAsDecimalText) {
    const Hwnd off = desk.addWindow("CabinetWClass", "Off", Rect{-7, -3, 400, 500}, 0, kBorderless);
    desk.addWindow("SysTreeView32", "", Rect{-7, 20, 100, 500}, off, kChild);
    Form1& p = probe();
    cursorAt(50, 100); // over the tree pane: the edges are still the top-level window's
    EXPECT_EQ(p.m_getPointWindowInfo(1), L"-105");
    EXPECT_EQ(p.m_getPointWindowInfo(2), L"-45");
    EXPECT_EQ(p.m_getPointWindowInfo(3), L"6000");
    EXPECT_EQ(p.m_getPointWindowInfo(4), L"7500");
    EXPECT_EQ(p.getPointWindowLeft(), -105);
    EXPECT_EQ(p.getPointWindowTop(), -45);
    // Right and bottom as the rectangle reports them, one past the last pixel.
    EXPECT_EQ(p.getPointWindowRight(), 6000);
    EXPECT_EQ(p.getPointWindowBottom(), 7500);
    EXPECT_EQ(p.getPointWindowTitle(), L"Off");
}

TEST_F(ProbeTest, EdgesAtTwelveTwipsPerPixel) {
    desk.setTwipsPerPixel(12);
    Form1& p = probe();
    cursorAt(300, 300);
    EXPECT_EQ(p.getPointWindowLeft(), 2400);
    EXPECT_EQ(p.getPointWindowTop(), 1200);
    EXPECT_EQ(p.getPointWindowRight(), 9600);
    EXPECT_EQ(p.getPointWindowBottom(), 7200);
    // The cursor's twips turn back into the same pixel: right at the list's edge.
    cursorAt(204, 130);
    EXPECT_EQ(p.getPointWindowHandle(vbFalse), list);
    cursorAt(203, 130);
    EXPECT_EQ(p.getPointWindowHandle(vbFalse), files);
}

TEST_F(ProbeTest, UnknownSelectorAndNoWindowGiveEmptyTextAndZeroEdges) {
    Form1& p = probe();
    cursorAt(300, 300);
    EXPECT_EQ(p.m_getPointWindowInfo(5), L"");
    EXPECT_EQ(p.m_getPointWindowInfo(-1), L"");

    // Beyond every screen no window answers.
    cursorAt(-500, -500);
    EXPECT_EQ(p.getPointWindowHandle(vbTrue), 0);
    EXPECT_EQ(p.getPointWindowClassName(vbTrue), L"");
    EXPECT_EQ(p.getPointWindowClassName(vbFalse), L"");
    EXPECT_EQ(p.getPointWindowTitle(), L"");
    EXPECT_EQ(p.m_getPointWindowInfo(1), L"0");
    EXPECT_EQ(p.getPointWindowLeft(), 0);
    EXPECT_EQ(p.getPointWindowTop(), 0);
    EXPECT_EQ(p.getPointWindowRight(), 0);
    EXPECT_EQ(p.getPointWindowBottom(), 0);
}

TEST_F(ProbeTest, TitlesAndClassNamesAreCutTo127Bytes) {
    const std::string longTitle(200, 'T');
    const std::string longClass = std::string(126, 'C') + "XY";
    const Hwnd titled = desk.addWindow(longClass, longTitle, Rect{900, 100, 1200, 400});
    const Hwnd exact = desk.addWindow("Exact", std::string(127, 'e'), Rect{900, 500, 1200, 700});
    desk.addWindow("Untitled", "", Rect{900, 750, 1200, 900});
    Form1& p = probe();

    cursorAt(1000, 200);
    EXPECT_EQ(p.getPointWindowHandle(vbTrue), titled);
    EXPECT_EQ(p.getPointWindowTitle(), std::wstring(127, L'T'));
    EXPECT_EQ(p.getPointWindowClassName(vbTrue), std::wstring(126, L'C') + L"X");

    cursorAt(1000, 600);
    EXPECT_EQ(p.getPointWindowHandle(vbTrue), exact);
    EXPECT_EQ(p.getPointWindowTitle(), std::wstring(127, L'e'));

    cursorAt(1000, 800);
    EXPECT_EQ(p.getPointWindowTitle(), L"");
    EXPECT_EQ(p.getPointWindowClassName(vbTrue), L"Untitled");
}

TEST_F(ProbeTest, PanelAndItsControlsResolveToThePanel) {
    desk.addMonitorRight(1280, 1024);
    Form1& p = probe();
    const Rect panel = desk.windowRect(p.hWnd());
    // The top rows are covered by the picture box of the close and minimise cells.
    cursorAt(panel.left + 8, panel.top + 7);
    EXPECT_EQ(p.getPointWindowHandle(vbFalse), p.Picture2.hWnd());
    EXPECT_EQ(p.getPointWindowHandle(vbTrue), p.hWnd());
}

TEST_F(ProbeTest, EachQuestionReadsTheCursorTitleAndRectangleAfresh) {
    Form1& p = probe();
    cursorAt(300, 300);
    desk.resetCallCounts();
    p.m_getPointWindowInfo(5);
    auto calls = desk.callCounts();
    EXPECT_EQ(calls["GetCursorPos"], 1u);
    EXPECT_EQ(calls["WindowFromPoint"], 1u);
    EXPECT_EQ(calls["GetWindowTextA"], 1u);
    EXPECT_EQ(calls["GetWindowRect"], 1u);

    desk.resetCallCounts();
    p.getPointWindowClassName(vbFalse);
    calls = desk.callCounts();
    EXPECT_EQ(calls["GetCursorPos"], 1u);
    EXPECT_EQ(calls["GetParent"], 0u);
    EXPECT_EQ(calls["GetClassNameA"], 1u);
}

} // namespace
} // namespace ep
