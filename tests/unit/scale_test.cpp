// The display scale: the panel at any DPI is its 96-DPI self mapped through one rule, on each
// monitor at that monitor's DPI; the program asks for per-monitor awareness where the manifest
// was not honoured.
#include "frame/scale.h"
#include "menu/frm_menu.h"
#include "panel/form1.h"
#include "program_fixture.h"
#include "resources/pixel_art.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace ep {
namespace {

using testing::ProgramTest;

TEST(ScaleTest, FiguresOfTheRule) {
    struct Row {
        int dpi, width, height3, height4, strip, minusOne;
        Rect cell1, exitBarRegion;
    };
    const Row rows[] = {
        {96, 18, 45, 60, 30, -1, {1, 16, 17, 30}, {1, 1, 63, 15}},
        {120, 23, 56, 75, 38, -1, {1, 20, 21, 38}, {1, 1, 79, 19}},
        {144, 27, 68, 90, 45, -2, {2, 24, 26, 45}, {2, 2, 95, 23}},
        {192, 36, 90, 120, 60, -2, {2, 32, 34, 60}, {2, 2, 126, 30}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.dpi);
        const Scale s(row.dpi);
        EXPECT_EQ(s.px(18), row.width);
        EXPECT_EQ(s.px(45), row.height3); // S(45), never 3 x S(15)
        EXPECT_EQ(s.px(60), row.height4);
        EXPECT_EQ(s.px(30), row.strip);
        EXPECT_EQ(s.px(-1), row.minusOne); // halves away from zero, negatives too
        const Rect cell = s.rect({1, 16, 17, 30});
        EXPECT_EQ(
            (std::vector<int>{cell.left, cell.top, cell.right, cell.bottom}),
            (std::vector<int>{row.cell1.left, row.cell1.top, row.cell1.right, row.cell1.bottom}));
        const Rect bar = s.rect({1, 1, 63, 15});
        EXPECT_EQ((std::vector<int>{bar.left, bar.top, bar.right, bar.bottom}),
                  (std::vector<int>{row.exitBarRegion.left, row.exitBarRegion.top,
                                    row.exitBarRegion.right, row.exitBarRegion.bottom}));
    }
}

// A 96-DPI primary with a 144-DPI monitor on its right, as a laptop on a 4K screen.
class MixedDeskTest : public ProgramTest {
  protected:
    MixedDeskTest() {
        desktop.addMonitorRight(1920, 1080);
        desktop.setMonitorDpi(1, 144);
        near = addFileManager(Rect{200, 100, 800, 600});
        far = addFileManager(Rect{1500, 100, 2300, 700});
    }
    Hwnd addFileManager(Rect r) {
        const Hwnd top = desktop.addWindow("CabinetWClass", "Files", r, 0, WS_VISIBLE | WS_POPUP);
        desktop.addWindow("SysTreeView32", "", Rect{r.left, r.top + 30, r.left + 200, r.bottom},
                          top, WS_CHILD | WS_VISIBLE);
        desktop.setIgnoresClose(top, true);
        return top;
    }
    Form1& panel() { return form<Form1>(); }
    Rect panelRect() { return desktop.windowRect(panel().hWnd()); }
    std::vector<Rect> region() { return desktop.windowRegionRects(panel().hWnd()); }
    void at(int x, int y) {
        desktop.setCursor(x, y);
        desktop.advance(100);
    }
    void idleThenAt(int x, int y) {
        at(1000, 900);
        at(x, y);
    }
    std::set<std::uint32_t> colours(const pixel_art::TextArt& art) {
        const std::vector<std::uint32_t> pixels = pixel_art::decode(art);
        return {pixels.begin(), pixels.end()};
    }

    Hwnd near = 0, far = 0;
};

TEST_F(MixedDeskTest, EachMonitorGetsThePanelAtItsOwnScale) {
    panel();
    idleThenAt(1510, 400);
    EXPECT_EQ(panel().targetHwnd, far);
    Rect r = panelRect();
    EXPECT_EQ(r.left, 1500);
    EXPECT_EQ(r.right - r.left, 27);
    EXPECT_EQ(r.bottom - r.top, 68);
    ASSERT_EQ(region().size(), 4u);
    EXPECT_EQ(region()[1].top, 24); // window coordinates
    EXPECT_EQ(region()[1].bottom, 45);
    // The strip is S(30) = 45 pixels wide there.
    at(1544, 400);
    EXPECT_EQ(panelRect().left, 1500);
    idleThenAt(1545, 400);
    EXPECT_NE(panelRect().left, 1500);

    // The exit bar on the 96-DPI primary keeps its 96-DPI size.
    idleThenAt(0, 0);
    r = panelRect();
    EXPECT_EQ(r.left, -1);
    EXPECT_EQ(r.right - r.left, 64);
    EXPECT_EQ(r.bottom - r.top, 16);

    // And back: on the primary the panel is 18 pixels wide again, its cells at 96 DPI.
    idleThenAt(210, 300);
    r = panelRect();
    EXPECT_EQ(r.left, 200);
    EXPECT_EQ(r.right - r.left, 18);
    EXPECT_EQ(r.bottom - r.top, 45);
    ASSERT_EQ(region().size(), 4u);
    EXPECT_EQ(region()[1].top, 16);
}

TEST_F(MixedDeskTest, PressesFollowTheScaleThePanelWasLaidOutAt) {
    panel();
    idleThenAt(1510, 400);
    const Rect r = panelRect();
    // The middle of the back cell at 144 DPI, rows 24 to 44, is row 15 of the forward cell
    // were it laid out at 96.
    desktop.click(vbLeftButton, r.left + 13, r.top + 34);
    std::vector<sim::KeyEvent> keys = desktop.keysReceivedBy(far);
    ASSERT_EQ(keys.size(), 4u);
    EXPECT_EQ(keys[1].vk, VK_LEFT);
}

TEST_F(MixedDeskTest, EveryPicturePixelIsOneSolidBlockOfItsOwnColour) {
    panel();
    idleThenAt(1510, 400);
    const Scale s(144);
    const std::vector<std::uint32_t> art = pixel_art::decode(pixel_art::buttonColumn);
    const int width = pixel_art::buttonColumn.width;
    const std::set<std::uint32_t> palette = colours(pixel_art::buttonColumn);
    // The three cells on screen: every screen pixel of a cell's face shows the colour of the
    // 96-DPI pixel whose block holds it.
    const int height = panelRect().bottom - panelRect().top;
    for (const Rect& cell : region()) {
        for (int y = cell.top; y < std::min(int(cell.bottom), height); ++y)
            for (int x = cell.left; x < cell.right; ++x) {
                int column = 0, row = 0;
                while (s.px(column + 1) <= x)
                    ++column;
                while (s.px(row + 1) <= y)
                    ++row;
                const std::uint32_t shown = desktop.windowPixel(panel().hWnd(), x, y);
                ASSERT_TRUE(palette.count(shown)) << x << ", " << y;
                ASSERT_EQ(shown, art[std::size_t(row * width + column)]) << x << ", " << y;
            }
    }
}

TEST_F(MixedDeskTest, TheUserPictureIsMappedInItsBoxAsAt96Dpi) {
    // A picture of one colour per column, so a block's column shows in its colour.
    std::vector<std::uint32_t> pixels(18 * 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 18; ++x)
            pixels[std::size_t(y * 18 + x)] = 0x010000u * (x + 1) + 0x40;
    writeHostFile(desktop.hostPath(L"C:\\Tools\\userbutton.bmp"), testing::makeBmp(18, 16, pixels));
    writeHostFile(settingsFile(), "[DATA]\r\nUSER_COMMAND=x\r\nUSER_COMMAND_ON=1\r\n");
    panel();
    idleThenAt(1510, 400);
    const Scale s(144);
    const Rect r = panelRect();
    EXPECT_EQ(r.bottom - r.top, 90);
    const Rect box = desktop.windowRect(panel().Picture1.hWnd());
    EXPECT_EQ(box.left - r.left, 0);
    EXPECT_EQ(box.top - r.top, s.px(45));
    EXPECT_EQ(box.bottom - r.top, s.px(61));
    EXPECT_EQ(box.right - r.left, s.px(18));
    // Column c of the picture fills the box's columns S(c) to S(c + 1) - 1.
    for (int c = 1; c <= 16; ++c)
        for (int x = s.px(c); x < s.px(c + 1); ++x)
            EXPECT_EQ(desktop.windowPixel(panel().Picture1.hWnd(), x, s.px(45 + 7) - s.px(45)),
                      0x010000u * (c + 1) + 0x40)
                << c << ", " << x;
}

class AwarenessTest : public ProgramTest {};

TEST_F(AwarenessTest, AProcessTheManifestMadeAwareAsksForNothing) {
    ensureDpiAwareness();
    EXPECT_TRUE(desktop.awarenessCalls().empty());
}

TEST_F(AwarenessTest, AnUnawareProcessAsksWithTheNewestCallTheSystemHas) {
    desktop.setProcessAwareAtStart(false);
    ensureDpiAwareness();
    EXPECT_EQ(desktop.awarenessCalls(),
              (std::vector<std::string>{"SetProcessDpiAwarenessContext"}));
    EXPECT_TRUE(desktop.processDpiAware());
}

TEST_F(AwarenessTest, WhereTheV2ContextIsRefusedPerMonitorAwarenessFollows) {
    desktop.setProcessAwareAtStart(false);
    desktop.setAwarenessContextV2Refused(true);
    ensureDpiAwareness();
    EXPECT_EQ(desktop.awarenessCalls(), (std::vector<std::string>{"SetProcessDpiAwarenessContext",
                                                                  "SetProcessDpiAwareness"}));
    EXPECT_TRUE(desktop.processDpiAware());
}

TEST_F(AwarenessTest, OnWindows7SystemAwarenessAndTheScreensDpi) {
    desktop.setProcessAwareAtStart(false);
    desktop.setDpiFunctionsMissing(true);
    desktop.setDpi(120);
    ensureDpiAwareness();
    EXPECT_EQ(desktop.awarenessCalls().back(), "SetProcessDPIAware");
    EXPECT_EQ(scaleOfMonitorAt(Point{10, 10}).dpi(), 120);
}

} // namespace
} // namespace ep
