// Screen units and the cursor in twips, at 96 and at 120 dots per inch.
#include "frame/text.h"
#include "frame/units.h"
#include "panel/form1.h"
#include "program_fixture.h"

namespace ep {
namespace {

using testing::ProgramTest;
using namespace mod_RGN_UserFunction;

class UnitsTest : public ProgramTest {};

TEST_F(UnitsTest, ConversionsAt15TwipsPerPixel) {
    EXPECT_EQ(pixelsToTwipsX(30), 450);
    EXPECT_EQ(pixelsToTwipsY(15), 225);
    EXPECT_EQ(pixelsToTwipsX(1), 15);
    EXPECT_EQ(pixelsToTwipsX(-1), -15);
    EXPECT_EQ(twipsToPixelsX(29), 1);
    EXPECT_EQ(twipsToPixelsX(30), 2);
    EXPECT_EQ(twipsToPixelsX(-7), 0);
    EXPECT_EQ(twipsToPixelsX(-15), -1);
    EXPECT_EQ(twipsToPixelsY(-29), -1);
    // The twip operand is rounded to a whole number first, halves to even.
    EXPECT_EQ(twipsToPixelsX(14.5), 0);
    EXPECT_EQ(twipsToPixelsX(15.5), 1);
    EXPECT_EQ(twipsToPixelsX(29.5), 2);
}

TEST_F(UnitsTest, ConversionsAt12TwipsPerPixel) {
    desktop.setTwipsPerPixel(12);
    EXPECT_EQ(pixelsToTwipsX(30), 360);
    EXPECT_EQ(pixelsToTwipsY(15), 180);
    EXPECT_EQ(twipsToPixelsX(450), 37);
    EXPECT_EQ(twipsToPixelsY(-13), -1);
    // Read afresh: a change of the display's factor shows at once.
    desktop.setTwipsPerPixel(15);
    EXPECT_EQ(pixelsToTwipsX(30), 450);
}

// At every scale from 100 % to 500 %, twips that stand for a pixel turn back into that pixel,
// also at fractional factors such as 7.5 twips a pixel at 192 DPI.
TEST_F(UnitsTest, PixelsSurviveTheRoundTripThroughTwips) {
    for (int dpi = 96; dpi <= 480; dpi += 24) {
        desktop.setDpi(dpi);
        for (int pixel = -20000; pixel <= 20000; ++pixel) {
            if (twipsToPixelsX(pixelsToTwipsX(pixel)) != pixel ||
                twipsToPixelsY(pixelsToTwipsY(pixel)) != pixel) {
                ADD_FAILURE() << pixel << " at " << dpi << " dpi";
                break;
            }
        }
    }
}

TEST_F(UnitsTest, TwipsAtAFractionalFactorGoToTheLastPixelTheyReach) {
    desktop.setDpi(192); // 7.5 twips a pixel: pixel 1 is 8 twips (7.5, to even), pixel 3 is 22
    EXPECT_EQ(twipsToPixelsX(7), 0);
    EXPECT_EQ(twipsToPixelsX(8), 1);
    EXPECT_EQ(twipsToPixelsX(21), 2);
    EXPECT_EQ(twipsToPixelsX(22), 3);
    EXPECT_EQ(twipsToPixelsX(-8), -1);
    EXPECT_EQ(twipsToPixelsY(-7), 0);
}

TEST_F(UnitsTest, CursorInTwips) {
    desktop.setCursor(100, 7);
    EXPECT_EQ(getCursorXTwips(), 1500);
    EXPECT_EQ(getCursorYTwips(), 105);
    desktop.setCursor(0, 0);
    EXPECT_EQ(getCursorXTwips(), 0);
    EXPECT_EQ(getCursorYTwips(), 0);
}

TEST_F(UnitsTest, CursorOnAMonitorLeftOfThePrimaryIsNegative) {
    desktop.setCursor(-10, -2);
    EXPECT_EQ(getCursorXTwips(), -150);
    EXPECT_EQ(getCursorYTwips(), -30);
}

TEST_F(UnitsTest, AFailedCursorReadGivesTheTopLeftCorner) {
    desktop.setCursor(300, 400);
    desktop.failCursorReads(true);
    EXPECT_EQ(getCursorXTwips(), 0);
    EXPECT_EQ(getCursorYTwips(), 0);
}

TEST_F(UnitsTest, BothCoordinatesFromOneReadingAreTheSeparateOnes) {
    const auto same = [&](const char* where) {
        SCOPED_TRACE(where);
        desktop.resetCallCounts();
        const CursorTwips both = getCursorTwips();
        EXPECT_EQ(desktop.callCounts()["GetCursorPos"], 1u);
        EXPECT_EQ(both.x, getCursorXTwips());
        EXPECT_EQ(both.y, getCursorYTwips());
    };
    desktop.setCursor(100, 7);
    same("on the primary screen");
    desktop.setCursor(-10, -2);
    same("left of and above it");
    desktop.setTwipsPerPixel(12);
    desktop.setCursor(229, 300);
    same("at 12 twips per pixel");
    desktop.failCursorReads(true);
    same("unreadable");
    EXPECT_FALSE(getCursorTwips().read);
    EXPECT_EQ(getCursorTwips().x, 0);
    EXPECT_EQ(getCursorTwips().y, 0);
}

TEST_F(UnitsTest, YieldAndSleepRunsPendingEventsThenSleeps) {
    Form1& panel = form<Form1>();
    std::vector<std::uint32_t> handled;
    panel.Picture1.MouseDown = [&](int, int, float, float) { handled.push_back(desktop.now()); };
    os().PostMessageW(panel.Picture1.hWnd(), WM_LBUTTONDOWN, 0, 0);

    std::uint32_t start = desktop.now();
    yieldAndSleep(200);
    EXPECT_GE(desktop.now() - start, 200u);
    ASSERT_EQ(handled.size(), 1u);
    EXPECT_EQ(handled[0], start) << "the pending press runs before the sleep";
    // Nothing runs during the sleep itself: the tick that fell due meanwhile waits.
    EXPECT_EQ(desktop.queuedMessages(), 1u);
}

TEST(TextTest, ValTakesTheLeadingNumber) {
    EXPECT_EQ(Val(L"1"), 1.0);
    EXPECT_EQ(Val(L"   3"), 3.0);
    EXPECT_EQ(Val(L"0.5"), 0.5);
    EXPECT_EQ(Val(L"-1"), -1.0);
    EXPECT_EQ(Val(L"-105"), -105.0);
    EXPECT_EQ(Val(L"2 apples"), 2.0);
    EXPECT_EQ(Val(L"1 2"), 12.0); // blanks count for nothing inside the number, too
    EXPECT_EQ(Val(L"1e3"), 1000.0);
    EXPECT_EQ(Val(L"1e"), 1.0);
    EXPECT_EQ(Val(L"word"), 0.0);
    EXPECT_EQ(Val(L""), 0.0);
    EXPECT_EQ(Val(L"-"), 0.0);
    EXPECT_EQ(Val(L"."), 0.0);
    EXPECT_EQ(Val(L"1e999"), 0.0);
}

TEST(TextTest, TrimRemovesSpacesOnly) {
    EXPECT_EQ(Trim(L"  1 "), L"1");
    EXPECT_EQ(Trim(L"   "), L"");
    EXPECT_EQ(Trim(L"\t1\t"), L"\t1\t");
    EXPECT_EQ(Trim(L"%( n)"), L"%( n)");
}

TEST(TextTest, RoundingHalvesGoToEven) {
    EXPECT_EQ(roundHalfEven(0.5), 0);
    EXPECT_EQ(roundHalfEven(1.5), 2);
    EXPECT_EQ(roundHalfEven(2.5), 2);
    EXPECT_EQ(roundHalfEven(-0.5), 0);
    EXPECT_EQ(roundHalfEven(-1.5), -2);
    EXPECT_EQ(roundHalfEven(1e12), 2147483647);
}

} // namespace
} // namespace ep
