// The About window on the simulated desktop: its design as a person sees it, every way of
// closing it, a fresh window at each opening, no font, brush or icon left behind, and its
// layout at the scale of its monitor.
#include "frame/text.h"
#include "frame/toolkit.h"
#include "menu/frm_menu.h"
#include "menu/frm_version.h"
#include "panel/form1.h"
#include "platform/sim/desktop.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>

namespace ep {
namespace {

constexpr int kLeftButton = 1;

class AboutTest : public ::testing::Test {
  protected:
    ~AboutTest() override { resetToolkit(); }

    // Opens the About window from the menu form; `whileOpen` runs once the modal loop waits,
    // and must close the window.
    void openAbout(const std::function<void(frm_Version&)>& whileOpen) {
        frmMenu& menu = form<frmMenu>();
        int idles = 0;
        desk.onIdle = [&] {
            ASSERT_EQ(idles++, 0) << "the window did not close";
            ASSERT_TRUE(isLoaded<frm_Version>());
            whileOpen(form<frm_Version>());
        };
        menu.mver_Click();
        desk.onIdle = nullptr;
        EXPECT_EQ(idles, 1);
        EXPECT_FALSE(isLoaded<frm_Version>());
    }

    // The screen rectangle of a control, relative to the About window's client area; the
    // client origin is taken from the OK button's place.
    Rect relative(Hwnd control, Point origin) const {
        const Rect r = desk.windowRect(control);
        return Rect{r.left - origin.x, r.top - origin.y, r.right - origin.x, r.bottom - origin.y};
    }

    sim::Desktop desk;
};

void expectRect(const Rect& actual, int left, int top, int width, int height) {
    EXPECT_EQ(actual.left, left);
    EXPECT_EQ(actual.top, top);
    EXPECT_EQ(actual.right - actual.left, width);
    EXPECT_EQ(actual.bottom - actual.top, height);
}

Point clientSize(sim::Desktop& desk, Hwnd hwnd) {
    Rect client;
    desk.GetClientRect(hwnd, &client);
    return Point{client.right, client.bottom};
}

// The screen pixel of the client area's top-left corner: the frame is as wide at the sides
// and the bottom.
Point clientOrigin(sim::Desktop& desk, Hwnd hwnd) {
    const Rect outer = desk.windowRect(hwnd);
    const Point client = clientSize(desk, hwnd);
    const int border = (outer.right - outer.left - client.x) / 2;
    return Point{outer.left + border, outer.bottom - border - client.y};
}

// What a person sees of the window laid out at 144 DPI: each 96-DPI figure through
// S(v) = v * 1.5, halves away from zero; fonts of their point size at 144 DPI.
void expectAt144(sim::Desktop& desk, frm_Version& about) {
    const Hwnd hwnd = about.hWnd();
    EXPECT_EQ(clientSize(desk, hwnd).x, 395);
    EXPECT_EQ(clientSize(desk, hwnd).y, 113);
    const Point origin = clientOrigin(desk, hwnd);
    auto relative = [&](Hwnd control) {
        const Rect r = desk.windowRect(control);
        return Rect{r.left - origin.x, r.top - origin.y, r.right - origin.x, r.bottom - origin.y};
    };
    expectRect(relative(about.Command1), 308, 12, 79, 35); // (205, 8, 258, 31)
    expectRect(relative(about.Label3), 84, 18, 218, 29);   // (56, 12, 201, 31)
    expectRect(relative(about.Image1), 18, 21, 48, 48);    // (12, 14, 44, 46)
    EXPECT_EQ(desk.iconSize(desk.controlIcon(about.Image1)).x, 48);
    EXPECT_EQ(desk.iconSize(desk.controlIcon(about.Image1)).y, 48);
    EXPECT_EQ(desk.iconSize(desk.windowIcon(hwnd, ICON_SMALL)).x, 24);
    EXPECT_EQ(desk.iconSize(desk.windowIcon(hwnd, ICON_BIG)).x, 48);
    // 8, 9.75 and 11.25 points: 16, 19.5 and 22.5 pixels, halves to even.
    EXPECT_EQ(desk.fontHeight(desk.windowFont(about.Command1)), -16);
    EXPECT_EQ(desk.fontHeight(desk.windowFont(about.Label1)), -16);
    EXPECT_EQ(desk.fontHeight(desk.windowFont(about.Label2)), -20);
    EXPECT_EQ(desk.fontHeight(desk.windowFont(about.Label3)), -22);
    // The rule's rows 58 and 59 become 87 to 88 white and 89 the line's colour.
    desk.UpdateWindow(hwnd);
    for (int x : {0, 197, 394}) {
        EXPECT_EQ(desk.windowPixel(hwnd, x, 87), 0xFFFFFFu) << x;
        EXPECT_EQ(desk.windowPixel(hwnd, x, 88), 0xFFFFFFu) << x;
        EXPECT_EQ(desk.windowPixel(hwnd, x, 89), 0x000000u) << x;
    }
    EXPECT_NE(desk.windowPixel(hwnd, 197, 86), 0xFFFFFFu);
    EXPECT_NE(desk.windowPixel(hwnd, 197, 90), 0x000000u);
}

TEST_F(AboutTest, LooksAsDesigned) {
    form<Form1>(); // the topmost panel, which the window must cover
    openAbout([&](frm_Version& about) {
        const Hwnd hwnd = about.hWnd();
        EXPECT_EQ(desk.windowTitle(hwnd), toAnsi(L"バージョン情報"));
        EXPECT_TRUE(desk.windowVisible(hwnd));
        EXPECT_EQ(desk.foreground(), hwnd);

        // A fixed dialog frame with the close box only, no taskbar button, above all windows.
        const std::uint32_t style = desk.windowStyle(hwnd);
        EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU), WS_CAPTION | WS_SYSMENU);
        EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0u);
        const std::uint32_t exStyle = desk.windowExStyle(hwnd);
        EXPECT_TRUE(exStyle & WS_EX_DLGMODALFRAME);
        EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
        EXPECT_FALSE(exStyle & WS_EX_APPWINDOW);
        EXPECT_NE(desk.GetParent(hwnd), 0) << "an owned window has no taskbar button";
        EXPECT_EQ(desk.topLevelWindows().front(), hwnd);

        // 263 x 75 client pixels, centred on the 1280 x 1024 screen.
        Rect client;
        desk.GetClientRect(hwnd, &client);
        EXPECT_EQ(client.right, 263);
        EXPECT_EQ(client.bottom, 75);
        const Rect outer = desk.windowRect(hwnd);
        EXPECT_LE(std::abs(outer.left + outer.right - 1280), 1);
        EXPECT_LE(std::abs(outer.top + outer.bottom - 1024), 1);

        // The controls, in pixels of the client area.
        const Rect ok = desk.windowRect(about.Command1);
        const Point origin{ok.left - 205, ok.top - 8};
        EXPECT_EQ(outer.right - (origin.x + 263), origin.x - outer.left) << "even side borders";
        EXPECT_EQ(outer.bottom - (origin.y + 75), origin.x - outer.left);
        expectRect(relative(about.Command1, origin), 205, 8, 53, 23);
        expectRect(relative(about.Label1, origin), 52, 62, 185, 15);
        expectRect(relative(about.Label2, origin), 101, 35, 101, 19);
        expectRect(relative(about.Label3, origin), 56, 12, 145, 19);
        expectRect(relative(about.Image1, origin), 12, 14, 32, 32);
        EXPECT_EQ(desk.windowClass(about.Command1), "BUTTON");
        EXPECT_EQ(desk.windowTitle(about.Command1), "OK");
        EXPECT_TRUE(desk.windowStyle(about.Command1) & BS_DEFPUSHBUTTON);
        EXPECT_TRUE(desk.windowStyle(about.Command1) & WS_TABSTOP);
        EXPECT_EQ(desk.windowTitle(about.Label1).rfind("Copyright", 0), 0u);
        EXPECT_EQ(desk.windowTitle(about.Label2), "Version 1.2.0");
        EXPECT_EQ(desk.windowTitle(about.Label3), "Edgepad");
        EXPECT_EQ(desk.windowStyle(about.Image1) & 0x1F, SS_ICON);
        EXPECT_EQ(desk.focus(), about.Command1) << "Space presses the focused OK button";

        // The etched rule across the whole width, 58 pixels down: white over the line colour.
        desk.UpdateWindow(hwnd);
        for (int x : {0, 131, 262}) {
            EXPECT_EQ(desk.windowPixel(hwnd, x, 58), 0xFFFFFFu) << x;
            EXPECT_EQ(desk.windowPixel(hwnd, x, 59), 0x000000u) << x;
        }
        EXPECT_NE(desk.windowPixel(hwnd, 131, 57), 0xFFFFFFu);
        EXPECT_NE(desk.windowPixel(hwnd, 131, 60), 0x000000u);

        desk.pressKey(VK_ESCAPE);
    });
}

TEST_F(AboutTest, EachWayOfClosingItUnloadsIt) {
    struct Way {
        const char* what;
        std::function<void(sim::Desktop&, frm_Version&)> close;
    };
    const Way ways[] = {
        {"OK button",
         [](sim::Desktop& d, frm_Version& about) {
             const Rect r = d.windowRect(about.Command1);
             d.click(kLeftButton, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
         }},
        {"Enter", [](sim::Desktop& d, frm_Version&) { d.pressKey(VK_RETURN); }},
        {"Space", [](sim::Desktop& d, frm_Version&) { d.pressKey(VK_SPACE); }},
        {"Escape", [](sim::Desktop& d, frm_Version&) { d.pressKey(VK_ESCAPE); }},
        {"close box",
         [](sim::Desktop& d, frm_Version& about) {
             d.PostMessageW(about.hWnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
         }},
    };
    Screen::TwipsPerPixelX(); // the display's information DC lives as long as the program
    const int gdiBefore = desk.liveGdiObjects();
    for (const Way& way : ways) {
        SCOPED_TRACE(way.what);
        Hwnd window = 0;
        openAbout([&](frm_Version& about) {
            window = about.hWnd();
            way.close(desk, about);
        });
        EXPECT_FALSE(desk.windowExists(window));
        collectUnloadedForms();
        EXPECT_EQ(desk.liveGdiObjects(), gdiBefore) << "fonts and brushes go with the window";
    }
    EXPECT_TRUE(desk.gdiErrors().empty());
}

TEST_F(AboutTest, OtherKeysLeaveItOpen) {
    int idles = 0;
    desk.onIdle = [&] {
        switch (idles++) {
        case 0:
            desk.pressKey('A');
            break;
        case 1:
            desk.pressKey(VK_TAB);
            break;
        case 2:
            desk.pressKey(VK_ESCAPE);
            break;
        default:
            throw std::runtime_error("Escape left the About window open");
        }
    };
    form<frmMenu>().mver_Click();
    EXPECT_EQ(idles, 3);
}

TEST_F(AboutTest, EachOpeningShowsAFreshWindowCentredAndTopmost) {
    Hwnd first = 0;
    openAbout([&](frm_Version& about) {
        first = about.hWnd();
        // Moved and taken out of the topmost band: the next opening must not inherit either.
        desk.SetWindowPos(first, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE);
        desk.pressKey(VK_RETURN);
    });
    openAbout([&](frm_Version& about) {
        const Hwnd second = about.hWnd();
        EXPECT_FALSE(desk.windowExists(first));
        EXPECT_TRUE(desk.windowExists(second));
        EXPECT_TRUE(desk.windowExStyle(second) & WS_EX_TOPMOST);
        const Rect outer = desk.windowRect(second);
        EXPECT_LE(std::abs(outer.left + outer.right - 1280), 1);
        EXPECT_EQ(desk.focus(), about.Command1);
        desk.pressKey(VK_RETURN);
    });
}

TEST_F(AboutTest, ClosingHandsTheFocusToTheUppermostOrdinaryWindow) {
    const Hwnd lower = desk.addWindow("TestApp", "Editor", Rect{100, 100, 500, 400});
    const Hwnd upper = desk.addWindow("TestApp", "Viewer", Rect{150, 150, 550, 450});
    desk.activate(lower);
    desk.activate(upper);
    form<Form1>();
    openAbout([&](frm_Version&) { desk.pressKey(VK_RETURN); });
    EXPECT_EQ(desk.foreground(), upper);
}

// The window opens at the primary monitor's scale, whatever the system DPI, and the same
// where Windows 7 knows only the system DPI and no frame or metric for another one.
TEST_F(AboutTest, LaidOutAtThePrimaryMonitorsScale) {
    struct Case {
        const char* what;
        std::function<void(sim::Desktop&)> set;
    };
    const Case cases[] = {
        {"the primary at 144 DPI, the system at 96",
         [](sim::Desktop& d) { d.setMonitorDpi(0, 144); }},
        {"Windows 7 at 144 DPI",
         [](sim::Desktop& d) {
             d.setDpi(144);
             d.setDpiFunctionsMissing(true);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.set(desk);
        openAbout([&](frm_Version& about) {
            expectAt144(desk, about);
            const Rect outer = desk.windowRect(about.hWnd());
            EXPECT_LE(std::abs(outer.left + outer.right - 1280), 1);
            EXPECT_LE(std::abs(outer.top + outer.bottom - 1024), 1);
            desk.pressKey(VK_ESCAPE);
        });
        collectUnloadedForms();
        EXPECT_EQ(desk.liveIcons(), 0) << "the icons go with the window";
        EXPECT_TRUE(desk.gdiErrors().empty());
        resetToolkit();
        desk.setDpi(96);
        desk.setDpiFunctionsMissing(false);
    }
}

// The user changes the primary monitor's scale while the window is open: it takes the
// rectangle the system suggests and lays out its controls, fonts, icons and rule again, and
// back, without a font or icon left over.
TEST_F(AboutTest, LaidOutAgainWhenItsMonitorsScaleChanges) {
    openAbout([&](frm_Version& about) {
        const Hwnd hwnd = about.hWnd();
        const Rect before = desk.windowRect(hwnd);
        const int gdiBefore = desk.liveGdiObjects();
        const int iconsBefore = desk.liveIcons();

        desk.setMonitorDpi(0, 144);
        expectAt144(desk, about);
        EXPECT_EQ(desk.windowRect(hwnd).left, before.left) << "the suggested place";
        EXPECT_EQ(desk.windowRect(hwnd).top, before.top);
        EXPECT_EQ(desk.liveGdiObjects(), gdiBefore);
        EXPECT_EQ(desk.liveIcons(), iconsBefore);

        desk.setMonitorDpi(0, 96);
        EXPECT_EQ(clientSize(desk, hwnd).x, 263);
        EXPECT_EQ(clientSize(desk, hwnd).y, 75);
        const Point origin = clientOrigin(desk, hwnd);
        expectRect(relative(about.Command1, origin), 205, 8, 53, 23);
        expectRect(relative(about.Image1, origin), 12, 14, 32, 32);
        EXPECT_EQ(desk.iconSize(desk.controlIcon(about.Image1)).x, 32);
        EXPECT_EQ(desk.fontHeight(desk.windowFont(about.Label3)), -15);
        EXPECT_EQ(desk.liveGdiObjects(), gdiBefore);
        desk.pressKey(VK_ESCAPE);
    });
    collectUnloadedForms();
    EXPECT_EQ(desk.liveIcons(), 0);
    EXPECT_TRUE(desk.gdiErrors().empty());
}

} // namespace
} // namespace ep
