// The region table and region creation: the records as the platform reads them, the shapes
// they make point by point, the failure of the empty entry, out-of-range indices and offsets.
#include "frame/toolkit.h"
#include "platform/sim/desktop.h"
#include "shaping/shaping.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace ep {
namespace {

using mod_RGN_Data::rgnShapeTable;
using mod_RGN_Proc::makeShapeRegion;

// Every pixel of a frame one larger than the shape's window, tested against the expectation.
void expectShape(sim::Desktop& desk, Hrgn region, int width, int height,
                 const std::function<bool(int, int)>& inside) {
    for (int y = -1; y <= height; ++y)
        for (int x = -1; x <= width; ++x)
            EXPECT_EQ(desk.PtInRegion(region, x, y), inside(x, y)) << "at " << x << ", " << y;
}

bool inButtonColumn(int x, int y) {
    if (x < 1 || x > 16) return false;
    for (int cell = 0; cell < 4; ++cell)
        if (y >= 15 * cell + 1 && y <= 15 * cell + 14) return true;
    return false;
}

class RegionTableTest : public ::testing::Test {
  protected:
    RegionTableTest() { mod_RGN_Data::fillRgnShapeTables(); }
    ~RegionTableTest() override { resetToolkit(); }

    sim::Desktop desk;
};

TEST(RegionRecordLayout, MatchesThePlatformRegionDataByteForByte) {
    mod_RGN_Data::fillRgnShapeTables();
    const auto* bytes = reinterpret_cast<const unsigned char*>(rgnShapeTable);
    auto word = [&](std::size_t offset) {
        std::int32_t value;
        std::memcpy(&value, bytes + offset, 4);
        return value;
    };
    // Record 1 starts 112 bytes in: header, bounds, then its one rectangle.
    EXPECT_EQ(word(112 + 0), 32);
    EXPECT_EQ(word(112 + 4), 1);
    EXPECT_EQ(word(112 + 8), 1);
    EXPECT_EQ(word(112 + 12), 16);
    EXPECT_EQ(word(112 + 16), 1);
    EXPECT_EQ(word(112 + 28), 15);
    EXPECT_EQ(word(112 + 32), 1);
    EXPECT_EQ(word(112 + 40), 17);
    // Record 0's last rectangle ends at byte 96, where the spare slot begins.
    EXPECT_EQ(word(32 + 3 * 16 + 4), 46);
    EXPECT_EQ(word(32 + 3 * 16 + 12), 60);
    // Record 2, the bar, starts at 224.
    EXPECT_EQ(word(224 + 32 + 8), 63);
}

TEST(RegionRecordLayout, TableContentsAfterFilling) {
    mod_RGN_Data::fillRgnShapeTables();
    struct Expected {
        std::uint32_t count;
        Rect bound;
        std::vector<Rect> rects;
    };
    const Expected expected[4] = {
        {4, {1, 1, 17, 60}, {{1, 1, 17, 15}, {1, 16, 17, 30}, {1, 31, 17, 45}, {1, 46, 17, 60}}},
        {1, {1, 1, 17, 15}, {{1, 1, 17, 15}}},
        {1, {1, 1, 63, 15}, {{1, 1, 63, 15}}},
        {0, {0, 0, 0, 0}, {}},
    };
    auto same = [](const Rect& a, const Rect& b) {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    };
    for (int index = 0; index < 4; ++index) {
        SCOPED_TRACE(index);
        const RgnShapeRecord& record = rgnShapeTable[index];
        const Expected& want = expected[index];
        EXPECT_EQ(record.dwSize, want.count ? 32u : 0u);
        EXPECT_EQ(record.iType, want.count ? 1u : 0u);
        EXPECT_EQ(record.nCount, want.count);
        EXPECT_EQ(record.nRgnSize, 16 * want.count);
        EXPECT_TRUE(same(record.rcBound, want.bound));
        for (std::size_t slot = 0; slot < 5; ++slot) {
            const Rect none{};
            EXPECT_TRUE(
                same(record.rects[slot], slot < want.rects.size() ? want.rects[slot] : none))
                << "slot " << slot;
        }
    }
}

TEST_F(RegionTableTest, ButtonColumnIsFourCellsOfSixteenByFourteen) {
    const Hrgn region = makeShapeRegion(kShapeButtonColumn, 0, 0);
    ASSERT_NE(region, 0);
    for (auto [x, y] : {std::pair{0, 0}, {17, 1}, {5, 15}, {5, 60}, {5, 30}, {5, 45}})
        EXPECT_FALSE(desk.PtInRegion(region, x, y)) << x << ", " << y;
    expectShape(desk, region, 18, 61, inButtonColumn);
    desk.DeleteObject(region);
}

TEST_F(RegionTableTest, SingleButtonAndExitBar) {
    const Hrgn single = makeShapeRegion(kShapeSingleButton, 0, 0);
    expectShape(desk, single, 18, 16,
                [](int x, int y) { return x >= 1 && x <= 16 && y >= 1 && y <= 14; });
    const Hrgn bar = makeShapeRegion(kShapeExitBar, 0, 0);
    expectShape(desk, bar, 64, 16,
                [](int x, int y) { return x >= 1 && x <= 62 && y >= 1 && y <= 14; });
    desk.DeleteObject(single);
    desk.DeleteObject(bar);
}

TEST_F(RegionTableTest, EachCallMakesANewIndependentRegion) {
    const int before = desk.liveRegions();
    const Hrgn first = makeShapeRegion(kShapeSingleButton, 0, 0);
    const Hrgn second = makeShapeRegion(kShapeSingleButton, 0, 0);
    EXPECT_NE(first, second);
    EXPECT_EQ(desk.liveRegions(), before + 2);
    desk.OffsetRgn(first, 100, 100);
    EXPECT_TRUE(desk.PtInRegion(second, 1, 1));
    desk.DeleteObject(first);
    desk.DeleteObject(second);
    EXPECT_EQ(desk.liveRegions(), before);
}

TEST_F(RegionTableTest, EmptyEntryReportsTheRegionDataAndEndsTheProgram) {
    const int before = desk.liveRegions();
    EXPECT_THROW(makeShapeRegion(3, 0, 0), sim::ProgramEnded);
    ASSERT_EQ(desk.messageBoxes.size(), 1u);
    const sim::MessageBoxRecord& box = desk.messageBoxes[0];
    EXPECT_EQ(box.text, L"It failed in reading of region data.");
    EXPECT_EQ(box.caption, App::Title());
    EXPECT_EQ(box.type & 0xF, MB_OK);
    EXPECT_EQ(box.type & 0xF0, 0u) << "no icon";
    EXPECT_EQ(desk.liveRegions(), before);
}

TEST_F(RegionTableTest, IndexOutOfRangeIsAnUncaughtErrorBeforeAnyRegionIsMade) {
    for (int index : {4, 5, -1, -1000}) {
        SCOPED_TRACE(index);
        desk.messageBoxes.clear();
        const auto calls = desk.callCounts()["ExtCreateRegion"];
        const int before = desk.liveRegions();
        EXPECT_THROW(makeShapeRegion(index, 0, 0), sim::ProgramEnded);
        EXPECT_EQ(desk.callCounts()["ExtCreateRegion"], calls);
        EXPECT_EQ(desk.liveRegions(), before);
        ASSERT_EQ(desk.messageBoxes.size(), 1u);
        EXPECT_NE(desk.messageBoxes[0].text.find(L"Subscript out of range"), std::wstring::npos);
    }
}

TEST_F(RegionTableTest, OffsetsInTwipsBecomeWholePixels) {
    struct Case {
        int twipsPerPixel;
        double x, y;
        int dx, dy;
    };
    const Case cases[] = {
        {15, 0, 0, 0, 0},      {15, 150, 300, 10, 20}, {15, 7, 7, 0, 0},
        {15, -150, 0, -10, 0}, {15, 29, 0, 1, 0},      {12, 150, 300, 12, 25},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << ", " << c.y << " at " << c.twipsPerPixel);
        desk.setTwipsPerPixel(c.twipsPerPixel);
        const Hrgn region = makeShapeRegion(kShapeSingleButton, c.x, c.y);
        const std::vector<Rect> rects = desk.regionRects(region);
        ASSERT_EQ(rects.size(), 1u);
        EXPECT_EQ(rects[0].left, 1 + c.dx);
        EXPECT_EQ(rects[0].top, 1 + c.dy);
        EXPECT_EQ(rects[0].right, 17 + c.dx);
        EXPECT_EQ(rects[0].bottom, 15 + c.dy);
        desk.DeleteObject(region);
    }
}

} // namespace
} // namespace ep
