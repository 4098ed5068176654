// Shaping a form: its size, its window region and its retained image after each combination
// of steps, the union with an existing region, the picture store, the failure to set a region,
// and the region objects staying at one per window however often the panel is reshaped.
#include "frame/toolkit.h"
#include "platform/sim/desktop.h"
#include "resources/pictures.h"
#include "shaping/frm_rgn_picture.h"
#include "shaping/shaping.h"

#include <gtest/gtest.h>

namespace ep {
namespace {

using mod_RGN_Proc::shapeWindow;
using mod_RGN_UserFunction::shapeForm;

constexpr int True = -1;
constexpr int False = 0;
// A background unlike any colour of the pictures, so painted and cleared pixels differ.
constexpr std::uint32_t kGreen = 0x008000;
constexpr std::uint32_t kFrameRed = 0x800000;

struct TestForm : Form {
    TestForm() : Form("TestForm", design()) {}
    static FormDesign design() {
        FormDesign d;
        d.caption = L"TestForm";
        d.left = 1500;
        d.top = 1500;
        d.width = 1725;
        d.height = 2085;
        d.backColor = RGB(0, 128, 0);
        return d;
    }
};

bool inButtonColumn(int x, int y) {
    if (x < 1 || x > 16) return false;
    for (int cell = 0; cell < 4; ++cell)
        if (y >= 15 * cell + 1 && y <= 15 * cell + 14) return true;
    return false;
}
bool inExitBar(int x, int y) { return x >= 1 && x <= 62 && y >= 1 && y <= 14; }

class ShapingTest : public ::testing::Test {
  protected:
    ~ShapingTest() override { resetToolkit(); }

    TestForm& freshForm() {
        resetToolkit();
        return form<TestForm>();
    }
    std::uint32_t imagePixel(const Form& f, int x, int y) { return desk.dcPixel(f.hdc(), x, y); }
    std::uint32_t storedPixel(int index, int x, int y) {
        return desk.bitmapPixel(form<frm_RGN_Picture>().pPicture[index].picture().handle(), x, y);
    }
    // The retained image over the shape's area: the stored picture inside the shape, the
    // background everywhere else.
    void expectPaintedOnlyInside(const Form& f, int index, int width, int height,
                                 bool (*inside)(int, int)) {
        for (int y = 0; y < height + 4; ++y)
            for (int x = 0; x < width + 4; ++x) {
                const std::uint32_t got = imagePixel(f, x, y);
                if (x < width && y < height && inside(x, y))
                    EXPECT_EQ(got, storedPixel(index, x, y)) << x << ", " << y;
                else
                    EXPECT_EQ(got, kGreen) << x << ", " << y;
                EXPECT_NE(got, kFrameRed) << x << ", " << y;
            }
    }
    void expectCleared(const Form& f) {
        for (int y = 0; y < 70; ++y)
            for (int x = 0; x < 70; ++x)
                ASSERT_EQ(imagePixel(f, x, y), kGreen) << x << ", " << y;
    }
    void expectWindowRegion(const Form& f, int width, int height, bool (*inside)(int, int)) {
        for (int y = -1; y <= height; ++y)
            for (int x = -1; x <= width; ++x)
                EXPECT_EQ(desk.windowRegionContains(f.hWnd(), x, y), inside(x, y))
                    << x << ", " << y;
    }

    sim::Desktop desk;
};

TEST_F(ShapingTest, ShapeFormButtonColumnSizesCutsAndPaintsOnlyTheCells) {
    TestForm& f = form<TestForm>();
    shapeForm(kShapeButtonColumn, f, True);
    EXPECT_EQ(f.Width(), 270);
    EXPECT_EQ(f.Height(), 915);
    const Rect r = desk.windowRect(f.hWnd());
    EXPECT_EQ(r.right - r.left, 18);
    EXPECT_EQ(r.bottom - r.top, 61);
    EXPECT_TRUE(f.AutoRedraw());
    expectWindowRegion(f, 18, 61, inButtonColumn);
    expectPaintedOnlyInside(f, kShapeButtonColumn, 18, 61, inButtonColumn);
}

TEST_F(ShapingTest, ShapeFormExitBar) {
    TestForm& f = form<TestForm>();
    shapeForm(kShapeExitBar, f, True);
    EXPECT_EQ(f.Width(), 960);
    EXPECT_EQ(f.Height(), 240);
    const Rect r = desk.windowRect(f.hWnd());
    EXPECT_EQ(r.right - r.left, 64);
    EXPECT_EQ(r.bottom - r.top, 16);
    expectWindowRegion(f, 64, 16, inExitBar);
    expectPaintedOnlyInside(f, kShapeExitBar, 64, 16, inExitBar);
}

TEST_F(ShapingTest, ShapeFormPaintsOnlyForTrueItself) {
    for (int paint : {False, 1, 7}) {
        SCOPED_TRACE(paint);
        TestForm& f = freshForm();
        shapeForm(kShapeButtonColumn, f, paint);
        EXPECT_EQ(f.Width(), 270);
        EXPECT_EQ(f.Height(), 915);
        expectWindowRegion(f, 18, 61, inButtonColumn);
        expectCleared(f);
    }
}

TEST_F(ShapingTest, EachFlagCombinationDoesItsStepsAndAlwaysClears) {
    for (int flags = 0; flags < 8; ++flags) {
        SCOPED_TRACE(testing::Message() << "flags " << flags);
        TestForm& f = freshForm();
        // Something drawn beforehand, to see the clearing.
        f.setAutoRedraw(true);
        f.PaintPicture(makeExitBarPicture(), 0, 0);
        ASSERT_EQ(imagePixel(f, 0, 0), kFrameRed);

        shapeWindow(kShapeButtonColumn, f, flags, 0, 0, False);

        EXPECT_TRUE(f.AutoRedraw());
        EXPECT_EQ(f.Width(), flags & SHAPE_SIZE ? 270 : 1725);
        EXPECT_EQ(f.Height(), flags & SHAPE_SIZE ? 915 : 2085);
        EXPECT_EQ(desk.windowHasRegion(f.hWnd()), (flags & SHAPE_REGION) != 0);
        if (flags & SHAPE_REGION) expectWindowRegion(f, 18, 61, inButtonColumn);
        if (flags & SHAPE_PAINT)
            expectPaintedOnlyInside(f, kShapeButtonColumn, 18, 61, inButtonColumn);
        else
            expectCleared(f);
    }
}

TEST_F(ShapingTest, ShapingSwitchesAutoRedrawOn) {
    TestForm& f = form<TestForm>();
    ASSERT_FALSE(f.AutoRedraw());
    shapeWindow(kShapeButtonColumn, f, 0, 0, 0, False);
    EXPECT_TRUE(f.AutoRedraw());
    EXPECT_NE(f.hdc(), 0);
}

TEST_F(ShapingTest, CombineUnitesWithTheWindowsRegionOrStandsAlone) {
    TestForm& f = form<TestForm>();
    shapeWindow(kShapeExitBar, f, SHAPE_REGION, 0, 0, True);
    expectWindowRegion(f, 64, 61, inExitBar);

    shapeWindow(kShapeButtonColumn, f, SHAPE_REGION, 0, 0, False);
    shapeWindow(kShapeExitBar, f, SHAPE_REGION, 0, 0, True);
    expectWindowRegion(f, 64, 61,
                       [](int x, int y) { return inButtonColumn(x, y) || inExitBar(x, y); });

    // Without combine the new shape replaces the old one.
    shapeWindow(kShapeSingleButton, f, SHAPE_REGION, 0, 0, False);
    expectWindowRegion(f, 64, 61,
                       [](int x, int y) { return x >= 1 && x <= 16 && y >= 1 && y <= 14; });

    // A second single cell 20 pixels lower, joined to the first.
    shapeWindow(kShapeSingleButton, f, SHAPE_REGION, 0, 300, True);
    expectWindowRegion(f, 64, 61, [](int x, int y) {
        return x >= 1 && x <= 16 && ((y >= 1 && y <= 14) || (y >= 21 && y <= 34));
    });
}

TEST_F(ShapingTest, PaintWithOffsetMovesPictureAndClipTogetherAndRemovesTheClip) {
    TestForm& f = form<TestForm>();
    shapeWindow(kShapeSingleButton, f, SHAPE_PAINT, 150, 300, False);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 30; ++x) {
            const bool inside = x >= 11 && x <= 26 && y >= 21 && y <= 34;
            EXPECT_EQ(imagePixel(f, x, y), inside ? storedPixel(1, x - 10, y - 20) : kGreen)
                << x << ", " << y;
        }
    // Later drawing is not clipped.
    f.PaintPicture(makeExitBarPicture(), 0, 0);
    EXPECT_EQ(imagePixel(f, 0, 0), kFrameRed);
    EXPECT_EQ(imagePixel(f, 63, 15), kFrameRed);
}

TEST_F(ShapingTest, FirstShapingFillsTheTableOnceAndOnlyOnce) {
    mod_RGN_Data::rgnTablesFilled = 0;
    for (RgnShapeRecord& record : mod_RGN_Data::rgnShapeTable)
        record = RgnShapeRecord{};
    TestForm& f = form<TestForm>();

    shapeWindow(kShapeButtonColumn, f, 0, 0, 0, False);
    EXPECT_EQ(mod_RGN_Data::rgnTablesFilled, -1);
    EXPECT_EQ(mod_RGN_Data::rgnShapeTable[0].nCount, 4u);
    EXPECT_EQ(mod_RGN_Data::rgnShapeTable[2].rects[0].right, 63);

    mod_RGN_Data::rgnShapeTable[1].rects[0].right = 9;
    shapeWindow(kShapeSingleButton, f, SHAPE_REGION, 0, 0, False);
    EXPECT_EQ(mod_RGN_Data::rgnShapeTable[1].rects[0].right, 9);
    EXPECT_FALSE(desk.windowRegionContains(f.hWnd(), 9, 1));
    mod_RGN_Data::fillRgnShapeTables();
}

TEST_F(ShapingTest, PictureStoreLoadsHiddenOnTheFirstPaint) {
    TestForm& f = form<TestForm>();
    shapeForm(kShapeButtonColumn, f, False);
    EXPECT_FALSE(isLoaded<frm_RGN_Picture>());
    shapeForm(kShapeButtonColumn, f, True);
    ASSERT_TRUE(isLoaded<frm_RGN_Picture>());
    frm_RGN_Picture& store = form<frm_RGN_Picture>();
    EXPECT_EQ(desk.windowTitle(store.hWnd()), "frm_RGN_Picture");
    EXPECT_FALSE(desk.windowVisible(store.hWnd()));
    const int sizes[3][2] = {{18, 61}, {18, 16}, {64, 16}};
    for (int i = 0; i < 3; ++i) {
        const Point size = desk.bitmapSize(store.pPicture[i].picture().handle());
        EXPECT_EQ(size.x, sizes[i][0]);
        EXPECT_EQ(size.y, sizes[i][1]);
    }
}

TEST_F(ShapingTest, RefusedWindowRegionReportsTheSurgeryAndEndsWithoutLeaking) {
    TestForm& f = form<TestForm>();
    shapeForm(kShapeButtonColumn, f, True);
    desk.DestroyWindow(f.hWnd()); // the handle the form holds goes stale
    const int before = desk.liveRegions();
    EXPECT_THROW(shapeWindow(kShapeExitBar, f, SHAPE_REGION, 0, 0, False), sim::ProgramEnded);
    ASSERT_EQ(desk.messageBoxes.size(), 1u);
    EXPECT_EQ(desk.messageBoxes[0].text, L"It failed in plastic surgery of a window.");
    EXPECT_EQ(desk.messageBoxes[0].caption, App::Title());
    EXPECT_EQ(desk.messageBoxes[0].type & 0xFF, MB_OK);
    EXPECT_EQ(desk.liveRegions(), before);
}

TEST_F(ShapingTest, RegionObjectsStayFlatOverTenThousandReshapes) {
    TestForm& f = form<TestForm>();
    shapeForm(kShapeButtonColumn, f, True);
    shapeForm(kShapeExitBar, f, True);
    const int regions = desk.liveRegions();
    const int gdiObjects = desk.liveGdiObjects();
    for (int i = 0; i < 10000; ++i) {
        shapeForm(i % 2 ? kShapeExitBar : kShapeButtonColumn, f, True);
        if (i % 1000 == 0) shapeWindow(kShapeSingleButton, f, SHAPE_REGION, 0, 300, True);
    }
    EXPECT_EQ(desk.liveRegions(), regions);
    EXPECT_EQ(desk.liveGdiObjects(), gdiObjects);
    EXPECT_EQ(desk.doubleDeletes(), 0);
    EXPECT_TRUE(desk.gdiErrors().empty());
}

TEST_F(ShapingTest, MakeTopmostShowsAboveOtherWindowsWithoutMovingOrSizing) {
    Hwnd typing = desk.addWindow("Other", "Before", Rect{0, 0, 400, 400});
    desk.activate(typing);
    TestForm& f = form<TestForm>();
    shapeForm(kShapeButtonColumn, f, True);
    const Rect before = desk.windowRect(f.hWnd());
    ASSERT_FALSE(desk.windowVisible(f.hWnd()));

    mod_RGN_UserFunction::makeTopmost(f);

    EXPECT_TRUE(desk.windowVisible(f.hWnd()));
    EXPECT_NE(desk.windowExStyle(f.hWnd()) & WS_EX_TOPMOST, 0u);
    const Rect after = desk.windowRect(f.hWnd());
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    EXPECT_EQ(after.right, before.right);
    EXPECT_EQ(after.bottom, before.bottom);
    EXPECT_EQ(desk.foreground(), typing); // the keyboard stays where the user left it
    desk.addWindow("Other", "After", Rect{0, 0, 400, 400});
    EXPECT_EQ(desk.topLevelWindows().front(), f.hWnd());
}

} // namespace
} // namespace ep
