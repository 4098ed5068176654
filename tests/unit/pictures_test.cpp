// The panel's pictures as the program decodes them: the frame colour everywhere outside the
// cells and nowhere inside, raised-button edges, and each glyph's size, colours and direction.
#include "frame/toolkit.h"
#include "platform/sim/desktop.h"
#include "resources/pictures.h"

#include <gtest/gtest.h>

#include <set>

namespace ep {
namespace {

constexpr std::uint32_t kFrameRed = 0x800000;
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kDarkGrey = 0x404040;
constexpr std::uint32_t kMidGrey = 0x808080;
constexpr std::uint32_t kFace = 0xD4D0C8;
constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kOutline = 0x040404;
const std::set<std::uint32_t> kBlues = {0x3366FF, 0x3399FF, 0x33CCFF, 0x99FFFF, 0xCCFFFF};

// A cell's face in picture pixels; right and bottom exclusive.
struct Face {
    int left, top, right, bottom;
    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

Face columnCell(int i) { return {1, 15 * i + 1, 17, 15 * i + 15}; }

struct Box {
    int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1; // inclusive
    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }
};

class PicturesTest : public ::testing::Test {
  protected:
    ~PicturesTest() override { resetToolkit(); }

    std::uint32_t at(const Picture& p, int x, int y) const {
        return desk.bitmapPixel(p.handle(), x, y);
    }

    void expectSize(const Picture& p, int width, int height) {
        EXPECT_EQ(p.width(), width);
        EXPECT_EQ(p.height(), height);
        const Point size = desk.bitmapSize(p.handle());
        EXPECT_EQ(size.x, width);
        EXPECT_EQ(size.y, height);
    }

    // Dark red exactly outside the faces.
    void expectFrameOutside(const Picture& p, const std::vector<Face>& faces) {
        for (int y = 0; y < p.height(); ++y)
            for (int x = 0; x < p.width(); ++x) {
                bool inFace = false;
                for (const Face& f : faces)
                    inFace = inFace || f.contains(x, y);
                if (inFace)
                    EXPECT_NE(at(p, x, y), kFrameRed) << x << ", " << y;
                else
                    EXPECT_EQ(at(p, x, y), kFrameRed) << x << ", " << y;
            }
    }

    // White top row and left column, dark grey right column and bottom row, mid grey one
    // inside those on the right and bottom.
    void expectRaised(const Picture& p, const Face& f) {
        const int r = f.right - 1, b = f.bottom - 1;
        for (int x = f.left; x < r; ++x)
            EXPECT_EQ(at(p, x, f.top), kWhite) << x;
        for (int y = f.top; y < b; ++y)
            EXPECT_EQ(at(p, f.left, y), kWhite) << y;
        for (int y = f.top; y <= b; ++y)
            EXPECT_EQ(at(p, r, y), kDarkGrey) << y;
        for (int x = f.left; x <= r; ++x)
            EXPECT_EQ(at(p, x, b), kDarkGrey) << x;
        for (int y = f.top + 1; y < b; ++y)
            EXPECT_EQ(at(p, r - 1, y), kMidGrey) << y;
        for (int x = f.left + 1; x < r; ++x)
            EXPECT_EQ(at(p, x, b - 1), kMidGrey) << x;
        EXPECT_EQ(at(p, f.left + 1, f.top + 1), kFace);
    }

    // The glyph: what differs from the face colour inside the edges.
    Box glyphBox(const Picture& p, const Face& f, std::set<std::uint32_t>* colours = nullptr) {
        Box box;
        for (int y = f.top + 1; y < f.bottom - 2; ++y)
            for (int x = f.left + 1; x < f.right - 2; ++x) {
                const std::uint32_t c = at(p, x, y);
                if (c == kFace) continue;
                if (colours) colours->insert(c);
                box.left = std::min(box.left, x);
                box.right = std::max(box.right, x);
                box.top = std::min(box.top, y);
                box.bottom = std::max(box.bottom, y);
            }
        return box;
    }

    void expectCross(const Picture& p, const Face& f) {
        std::set<std::uint32_t> colours;
        const Box box = glyphBox(p, f, &colours);
        EXPECT_EQ(box.width(), 8);
        EXPECT_EQ(box.height(), 7);
        EXPECT_EQ(colours, std::set<std::uint32_t>{kBlack});
        // Two diagonal strokes two pixels wide: all four corners, open in the middle of
        // each side, closed at the centre.
        for (int dx : {0, 1}) {
            EXPECT_EQ(at(p, box.left + dx, box.top), kBlack);
            EXPECT_EQ(at(p, box.right - dx, box.top), kBlack);
            EXPECT_EQ(at(p, box.left + dx, box.bottom), kBlack);
            EXPECT_EQ(at(p, box.right - dx, box.bottom), kBlack);
        }
        EXPECT_EQ(at(p, box.left + 3, box.top), kFace);
        EXPECT_EQ(at(p, box.left, box.top + 3), kFace);
        EXPECT_EQ(at(p, box.left + 3, box.top + 3), kBlack);
    }

    void expectRing(const Picture& p, const Face& f) {
        std::set<std::uint32_t> colours;
        const Box box = glyphBox(p, f, &colours);
        EXPECT_EQ(box.width(), 8);
        EXPECT_EQ(box.height(), 8);
        EXPECT_EQ(colours, std::set<std::uint32_t>{kBlack});
        const int midY = box.top + 3, midX = box.left + 3;
        // Strokes two pixels wide round a hollow centre.
        EXPECT_EQ(at(p, box.left, midY), kBlack);
        EXPECT_EQ(at(p, box.left + 1, midY), kBlack);
        EXPECT_EQ(at(p, box.right, midY), kBlack);
        EXPECT_EQ(at(p, box.right - 1, midY), kBlack);
        EXPECT_EQ(at(p, midX, box.top + 1), kBlack);
        EXPECT_EQ(at(p, midX, box.bottom - 1), kBlack);
        EXPECT_EQ(at(p, midX, midY), kFace);
        EXPECT_EQ(at(p, midX + 1, midY + 1), kFace);
    }

    int glyphColumnHeight(const Picture& p, int x, const Box& box) {
        int count = 0;
        for (int y = box.top; y <= box.bottom; ++y)
            count += at(p, x, y) != kFace;
        return count;
    }

    // An outlined blue arrow about 12 x 10; pointing left, the tip column is the short end.
    Box expectArrow(const Picture& p, const Face& f, bool pointsLeft) {
        std::set<std::uint32_t> colours;
        const Box box = glyphBox(p, f, &colours);
        EXPECT_EQ(box.width(), 12);
        EXPECT_EQ(box.height(), 10);
        std::set<std::uint32_t> expected = kBlues;
        expected.insert(kOutline);
        EXPECT_EQ(colours, expected);
        const int leftEnd = glyphColumnHeight(p, box.left, box);
        const int rightEnd = glyphColumnHeight(p, box.right, box);
        if (pointsLeft)
            EXPECT_LT(leftEnd, rightEnd);
        else
            EXPECT_GT(leftEnd, rightEnd);
        // The outline encloses the blues: no blue on the glyph's border.
        for (int x = box.left; x <= box.right; ++x) {
            EXPECT_EQ(kBlues.count(at(p, x, box.top)), 0u);
            EXPECT_EQ(kBlues.count(at(p, x, box.bottom)), 0u);
        }
        return box;
    }

    sim::Desktop desk;
};

TEST_F(PicturesTest, ButtonColumn) {
    const Picture p = makeButtonColumnPicture();
    expectSize(p, 18, 61);
    expectFrameOutside(p, {columnCell(0), columnCell(1), columnCell(2), columnCell(3)});
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        expectRaised(p, columnCell(i));
    }
    expectCross(p, columnCell(0));
    const Box back = expectArrow(p, columnCell(1), true);
    const Box forward = expectArrow(p, columnCell(2), false);
    // The forward arrow is the back arrow mirrored.
    for (int y = 0; y < back.height(); ++y)
        for (int x = 0; x < back.width(); ++x)
            EXPECT_EQ(at(p, back.left + x, back.top + y),
                      at(p, forward.right - x, forward.top + y));
    expectRing(p, columnCell(3));
}

TEST_F(PicturesTest, SingleButtonIsTheColumnsUserCell) {
    const Picture single = makeSingleButtonPicture();
    expectSize(single, 18, 16);
    expectFrameOutside(single, {columnCell(0)});
    expectRaised(single, columnCell(0));
    expectRing(single, columnCell(0));
    const Picture column = makeButtonColumnPicture();
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 18; ++x)
            EXPECT_EQ(at(single, x, y), at(column, x, 45 + y));
}

TEST_F(PicturesTest, ExitBarIsACloseCellAndTheName) {
    const Picture p = makeExitBarPicture();
    expectSize(p, 64, 16);
    const Face close{1, 1, 17, 15}, name{17, 1, 63, 15};
    expectFrameOutside(p, {close, name});
    expectRaised(p, close);
    expectRaised(p, name);
    expectCross(p, close);

    std::set<std::uint32_t> colours;
    const Box text = glyphBox(p, name, &colours);
    EXPECT_EQ(colours, std::set<std::uint32_t>{kBlack});
    EXPECT_EQ(text.height(), 7);
    // Seven letters, separated by blank columns.
    int letters = 0;
    bool inLetter = false;
    for (int x = text.left; x <= text.right; ++x) {
        const bool ink = glyphColumnHeight(p, x, text) > 0;
        letters += ink && !inLetter;
        inLetter = ink;
    }
    EXPECT_EQ(letters, 7);
}

TEST_F(PicturesTest, TwoCellPictureIsCloseOverMinimise) {
    const Picture p = makeTwoCellPicture();
    expectSize(p, 18, 31);
    expectFrameOutside(p, {columnCell(0), columnCell(1)});
    expectRaised(p, columnCell(0));
    expectRaised(p, columnCell(1));
    const Picture column = makeButtonColumnPicture();
    for (int y = 0; y < 15; ++y)
        for (int x = 0; x < 18; ++x)
            EXPECT_EQ(at(p, x, y), at(column, x, y));

    std::set<std::uint32_t> colours;
    const Box bar = glyphBox(p, columnCell(1), &colours);
    EXPECT_EQ(colours, std::set<std::uint32_t>{kBlack});
    EXPECT_EQ(bar.width(), 7);
    EXPECT_EQ(bar.height(), 2);
    for (int y = bar.top; y <= bar.bottom; ++y)
        for (int x = bar.left; x <= bar.right; ++x)
            EXPECT_EQ(at(p, x, y), kBlack);
}

TEST_F(PicturesTest, PicturesAreFreedWithTheirOwner) {
    const int before = desk.liveGdiObjects();
    {
        const Picture a = makeButtonColumnPicture();
        const Picture b = makeExitBarPicture();
        EXPECT_EQ(desk.liveGdiObjects(), before + 2);
    }
    EXPECT_EQ(desk.liveGdiObjects(), before);
}

} // namespace
} // namespace ep
