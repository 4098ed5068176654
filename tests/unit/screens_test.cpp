// Several screens: the parked panel lies beyond the right edge of all of them together, the
// panel docks on every screen, also where coordinates are negative, and the exit corner stays
// the primary screen's top-left pixel.
#include "menu/frm_menu.h"
#include "panel/form1.h"
#include "program_fixture.h"

#include <cctype>
#include <string>
#include <vector>

namespace ep {
namespace {

using testing::ProgramTest;

constexpr int kPitchPx = 15;

struct Layout {
    const char* name;
    std::vector<Rect> others; // beside the primary 1280 x 1024 screen
    int parkedLeftPx;
    Rect fileManager; // on the last of the other screens, or the primary one
};

class ScreensTest : public ProgramTest, public ::testing::WithParamInterface<Layout> {
  protected:
    Form1& start(const Layout& layout) {
        for (const Rect& screen : layout.others)
            desktop.addMonitor(screen);
        const Rect& f = layout.fileManager;
        files = desktop.addWindow("CabinetWClass", "Files", f, 0, WS_VISIBLE | WS_POPUP);
        desktop.addWindow("SysTreeView32", "", Rect{f.left, f.top + 30, f.left + 200, f.bottom},
                          files, WS_CHILD | WS_VISIBLE);
        desktop.setIgnoresClose(files, true);
        return form<Form1>();
    }
    Rect panelRect() { return desktop.windowRect(form<Form1>().hWnd()); }
    void at(int x, int y) {
        desktop.setCursor(x, y);
        desktop.advance(100);
    }
    void pressCell(int cell) {
        const Rect r = panelRect();
        desktop.click(vbLeftButton, r.left + 8, r.top + cell * kPitchPx + 7);
    }

    Hwnd files = 0;
};

const std::vector<Layout> kLayouts = {
    {"one screen", {}, 1280, Rect{200, 100, 800, 600}},
    {"a screen to the right", {Rect{1280, 0, 2560, 1024}}, 2560, Rect{1500, 100, 2100, 600}},
    {"a taller screen to the right, lower",
     {Rect{1280, 300, 3200, 1500}},
     3200,
     Rect{1400, 1000, 2000, 1400}},
    {"a screen to the left", {Rect{-1280, 0, 0, 1024}}, 1280, Rect{-1000, 100, -400, 600}},
    {"a screen above", {Rect{0, -1024, 1280, 0}}, 1280, Rect{200, -900, 800, -400}},
    {"screens left, above and right",
     {Rect{-1920, -200, 0, 880}, Rect{0, -1024, 1280, 0}, Rect{1280, 0, 2560, 1024}},
     2560,
     Rect{-1900, -150, -1000, 500}},
};

TEST_P(ScreensTest, ParkingIsBeyondAllScreensAndDockingWorksOnEach) {
    const Layout& layout = GetParam();
    Form1& panel = start(layout);
    EXPECT_EQ(panelRect().left, layout.parkedLeftPx) << "parked at start-up";
    EXPECT_EQ(panel.Left(), layout.parkedLeftPx * 15);

    // Into the strip from idle, with the window's edges and the cursor negative where the
    // screen lies left of or above the primary one.
    const Rect& f = layout.fileManager;
    const int y = f.top + 200;
    at(f.left + 300, y);
    at(f.left + 10, y);
    EXPECT_EQ(panelRect().left, f.left);
    EXPECT_EQ(panelRect().top, y - 22);
    EXPECT_EQ(panel.targetHwnd, files);
    at(f.left + 29, f.bottom - 1);
    EXPECT_EQ(panelRect().left, f.left) << "the strip's last column and the bottom edge";

    pressCell(1);
    EXPECT_EQ(desktop.keysReceivedBy(files).size(), 4u);
    at(f.left + 30, y);
    EXPECT_EQ(panelRect().left, layout.parkedLeftPx) << "parked on leaving the strip";

    at(f.left + 10, y);
    pressCell(0);
    EXPECT_EQ(panelRect().left, layout.parkedLeftPx) << "parked by the close cell";

    // The exit corner is the primary screen's top-left pixel, not the desktop's.
    at(600, 800);
    at(-1, 0);
    at(0, -1);
    EXPECT_EQ(panelRect().left, layout.parkedLeftPx);
    at(0, 0);
    EXPECT_EQ(panelRect().left, -1);
    EXPECT_EQ(panelRect().top, -1);
}

INSTANTIATE_TEST_SUITE_P(Layouts, ScreensTest, ::testing::ValuesIn(kLayouts),
                         [](const ::testing::TestParamInfo<Layout>& info) {
                             std::string name;
                             for (const char* c = info.param.name; *c; ++c)
                                 if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
                             return name;
                         });

using HighDpiScreensTest = ScreensTest;

TEST_F(HighDpiScreensTest, ParkingAt120DotsPerInchIsTheDesktopsEdgeInTwelveTwipPixels) {
    desktop.setTwipsPerPixel(12);
    Form1& panel = start(kLayouts[1]);
    EXPECT_EQ(panel.Left(), 2560 * 12);
    EXPECT_EQ(panelRect().left, 2560);
}

} // namespace
} // namespace ep
