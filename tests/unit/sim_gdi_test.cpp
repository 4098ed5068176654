// The simulated desktop's GDI: regions as exact pixel sets, RGNDATA as Windows validates and
// writes it, the accounting of live and twice-deleted objects, pixels drawn through DCs and
// clip regions, and bitmap files decoded from disk.
#include "platform/sim/desktop.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace ep {
namespace {

using Box = std::array<int, 4>;
std::vector<Box> boxes(const std::vector<Rect>& rects) {
    std::vector<Box> out;
    for (const Rect& r : rects)
        out.push_back({r.left, r.top, r.right, r.bottom});
    return out;
}

// An RGNDATA block: the 32-byte header, then the rectangles.
std::vector<std::uint8_t> rgnData(const std::vector<Rect>& rects, std::uint32_t dwSize = 32,
                                  std::uint32_t iType = RDH_RECTANGLES) {
    std::vector<std::uint8_t> data(32 + rects.size() * 16);
    std::uint32_t header[4] = {dwSize, iType, std::uint32_t(rects.size()),
                               std::uint32_t(rects.size() * 16)};
    std::memcpy(data.data(), header, 16);
    if (!rects.empty()) std::memcpy(data.data() + 32, rects.data(), rects.size() * 16);
    return data;
}

class SimGdiTest : public ::testing::Test {
  protected:
    std::vector<Box> rectsOf(Hrgn region) { return boxes(desk.regionRects(region)); }
    sim::Desktop desk;
};

TEST_F(SimGdiTest, CombineRgnHasExactSetSemantics) {
    const Hrgn a = desk.CreateRectRgn(0, 0, 10, 10);
    const Hrgn b = desk.CreateRectRgn(5, 5, 15, 15);
    const Hrgn out = desk.CreateRectRgn(0, 0, 0, 0);

    EXPECT_EQ(desk.CombineRgn(out, a, b, RGN_AND), SIMPLEREGION);
    EXPECT_EQ(rectsOf(out), (std::vector<Box>{{5, 5, 10, 10}}));

    EXPECT_EQ(desk.CombineRgn(out, a, b, RGN_OR), COMPLEXREGION);
    EXPECT_EQ(rectsOf(out), (std::vector<Box>{{0, 0, 10, 5}, {0, 5, 15, 10}, {5, 10, 15, 15}}));

    EXPECT_EQ(desk.CombineRgn(out, a, b, RGN_XOR), COMPLEXREGION);
    EXPECT_TRUE(desk.PtInRegion(out, 0, 0));
    EXPECT_FALSE(desk.PtInRegion(out, 7, 7));
    EXPECT_TRUE(desk.PtInRegion(out, 14, 14));
    EXPECT_FALSE(desk.PtInRegion(out, 15, 14)) << "right edge exclusive";

    EXPECT_EQ(desk.CombineRgn(out, a, b, RGN_DIFF), COMPLEXREGION);
    EXPECT_EQ(rectsOf(out), (std::vector<Box>{{0, 0, 10, 5}, {0, 5, 5, 10}}));

    EXPECT_EQ(desk.CombineRgn(out, a, a, RGN_DIFF), NULLREGION);
    EXPECT_EQ(desk.CombineRgn(out, b, 0, RGN_COPY), SIMPLEREGION);
    EXPECT_EQ(desk.OffsetRgn(out, -5, -5), SIMPLEREGION);
    EXPECT_EQ(rectsOf(out), (std::vector<Box>{{0, 0, 10, 10}}));

    // Touching rectangles merge into one band; a union that fills a rectangle is simple.
    const Hrgn left = desk.CreateRectRgn(0, 0, 5, 10);
    const Hrgn right = desk.CreateRectRgn(5, 0, 10, 10);
    EXPECT_EQ(desk.CombineRgn(out, left, right, RGN_OR), SIMPLEREGION);
    EXPECT_EQ(desk.CombineRgn(out, out, desk.CreateRectRgn(0, 10, 10, 20), RGN_OR), SIMPLEREGION);
    EXPECT_EQ(rectsOf(out), (std::vector<Box>{{0, 0, 10, 20}}));

    EXPECT_EQ(desk.CombineRgn(out, a, 424242, RGN_OR), RGN_ERROR);
}

TEST_F(SimGdiTest, ExtCreateRegionValidatesTheBlockAsWindowsDoes) {
    const std::vector<Rect> cells = {
        {1, 1, 17, 15}, {1, 16, 17, 30}, {1, 31, 17, 45}, {1, 46, 17, 60}};
    const XForm identity;
    const auto good = rgnData(cells);
    const Hrgn column = desk.ExtCreateRegion(&identity, 96, good.data());
    ASSERT_NE(column, 0);
    EXPECT_EQ(rectsOf(column), boxes(cells));
    EXPECT_TRUE(desk.PtInRegion(column, 1, 1));
    for (Point outside : {Point{0, 0}, Point{17, 1}, Point{5, 15}, Point{5, 60}})
        EXPECT_FALSE(desk.PtInRegion(column, outside.x, outside.y));

    const std::vector<std::uint8_t> zero(112, 0);
    EXPECT_EQ(desk.ExtCreateRegion(&identity, 32, zero.data()), 0) << "an all-zero header";
    EXPECT_EQ(desk.ExtCreateRegion(&identity, 95, good.data()), 0)
        << "count short of the rectangles";
    EXPECT_EQ(desk.ExtCreateRegion(&identity, 96, rgnData(cells, 40).data()), 0);
    EXPECT_EQ(desk.ExtCreateRegion(&identity, 96, rgnData(cells, 32, 2).data()), 0);
    EXPECT_NE(desk.ExtCreateRegion(nullptr, 200, good.data()), 0) << "a larger count is fine";

    const auto one = rgnData({{1, 1, 17, 15}});
    XForm moveAndScale;
    moveAndScale.eM11 = 2.0f;
    moveAndScale.eDx = 10.0f;
    moveAndScale.eDy = -1.0f;
    const Hrgn moved = desk.ExtCreateRegion(&moveAndScale, 48, one.data());
    EXPECT_EQ(rectsOf(moved), (std::vector<Box>{{12, 0, 44, 14}}));
    XForm shear;
    shear.eM12 = 0.5f;
    EXPECT_EQ(desk.ExtCreateRegion(&shear, 48, one.data()), 0);
}

TEST_F(SimGdiTest, GetRegionDataWritesBandsAndReportsTheSizeNeeded) {
    const Hrgn l = desk.CreateRectRgn(0, 0, 20, 20);
    const Hrgn hole = desk.CreateRectRgn(5, 5, 15, 15);
    desk.CombineRgn(l, l, hole, RGN_DIFF);
    const std::uint32_t size = desk.GetRegionData(l, 0, nullptr);
    EXPECT_EQ(size, 32u + 4 * 16);
    std::vector<std::uint8_t> small(size - 1);
    EXPECT_EQ(desk.GetRegionData(l, size - 1, small.data()), 0u);
    std::vector<std::uint8_t> data(size);
    ASSERT_EQ(desk.GetRegionData(l, size, data.data()), size);
    std::uint32_t header[4];
    std::memcpy(header, data.data(), 16);
    EXPECT_EQ(header[0], 32u);
    EXPECT_EQ(header[1], RDH_RECTANGLES);
    EXPECT_EQ(header[2], 4u);
    EXPECT_EQ(header[3], 64u);
    Rect bound;
    std::memcpy(&bound, data.data() + 16, 16);
    EXPECT_EQ((Box{bound.left, bound.top, bound.right, bound.bottom}), (Box{0, 0, 20, 20}));
    // The block goes straight back into ExtCreateRegion.
    const Hrgn copy = desk.ExtCreateRegion(nullptr, size, data.data());
    EXPECT_EQ(rectsOf(copy), rectsOf(l));
}

TEST_F(SimGdiTest, LiveRegionsCountEveryObjectUntilItsOwnerDeletesIt) {
    const Hwnd panel = desk.addWindow("Panel", "", Rect{0, 0, 18, 61}, 0, WS_VISIBLE | WS_POPUP);
    EXPECT_EQ(desk.liveRegions(), 0);
    const Hrgn first = desk.CreateRectRgn(1, 1, 17, 15);
    const Hrgn scratch = desk.CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(desk.liveRegions(), 2);

    // GetWindowRgn of a window without a region: ERROR, the region stays empty.
    EXPECT_EQ(desk.GetWindowRgn(panel, scratch), RGN_ERROR);
    ASSERT_EQ(desk.SetWindowRgn(panel, first, true), 1);
    EXPECT_EQ(desk.liveRegions(), 2) << "the window's region still lives";
    EXPECT_EQ(desk.GetWindowRgn(panel, scratch), SIMPLEREGION);
    EXPECT_EQ(rectsOf(scratch), (std::vector<Box>{{1, 1, 17, 15}}));
    EXPECT_TRUE(desk.DeleteObject(scratch));

    const Hrgn second = desk.CreateRectRgn(1, 1, 63, 15);
    ASSERT_EQ(desk.SetWindowRgn(panel, second, true), 1);
    EXPECT_EQ(desk.liveRegions(), 1) << "setting a new region deletes the old one";
    EXPECT_EQ(boxes(desk.windowRegionRects(panel)), rectsOf(second));

    EXPECT_FALSE(desk.DeleteObject(second)) << "the window owns it";
    EXPECT_EQ(desk.doubleDeletes(), 0);
    EXPECT_EQ(desk.gdiErrors().size(), 1u);
    EXPECT_FALSE(desk.DeleteObject(first)) << "the system deleted it already";
    EXPECT_EQ(desk.doubleDeletes(), 1);

    EXPECT_EQ(desk.SetWindowRgn(999999, desk.CreateRectRgn(0, 0, 1, 1), true), 0);
    EXPECT_EQ(desk.liveRegions(), 2) << "a refused region stays the caller's";
    desk.SetWindowRgn(panel, 0, true);
    EXPECT_EQ(desk.liveRegions(), 1);
    EXPECT_FALSE(desk.windowHasRegion(panel));
}

TEST_F(SimGdiTest, PixelsFlowFromDibSectionsThroughClippedDcs) {
    void* bits = nullptr;
    const Hbitmap picture = desk.CreateDIBSection(0, 4, 2, &bits);
    ASSERT_NE(picture, 0);
    auto* pixels = static_cast<std::uint32_t*>(bits);
    for (int i = 0; i < 8; ++i)
        pixels[i] = 0x00100000u * std::uint32_t(i + 1) | 0x0000AA;
    EXPECT_EQ(desk.bitmapPixel(picture, 1, 0), 0x2000AAu);
    EXPECT_EQ(desk.bitmapPixel(picture, 0, 1), 0x5000AAu) << "top-down rows";
    Bitmap info;
    ASSERT_EQ(desk.GetObjectW(picture, sizeof info, &info), int(sizeof info));
    EXPECT_EQ(info.bmWidth, 4);
    EXPECT_EQ(info.bmHeight, 2);
    EXPECT_EQ(info.bmBitsPixel, 32);
    EXPECT_EQ(info.bmBits, bits);

    const Hdc source = desk.CreateCompatibleDC(0);
    const Hgdiobj stock = desk.SelectObject(source, picture);
    EXPECT_NE(stock, 0);
    void* targetBits = nullptr;
    const Hbitmap target = desk.CreateDIBSection(0, 4, 2, &targetBits);
    const Hdc dest = desk.CreateCompatibleDC(0);
    desk.SelectObject(dest, target);

    const Hbrush red = desk.CreateSolidBrush(RGB(255, 0, 0));
    Rect all{0, 0, 4, 2};
    EXPECT_EQ(desk.FillRect(dest, &all, red), 1);
    EXPECT_EQ(desk.dcPixel(dest, 3, 1), 0xFF0000u);

    const Hrgn clip = desk.CreateRectRgn(1, 0, 3, 1);
    desk.SelectClipRgn(dest, clip);
    EXPECT_TRUE(desk.DeleteObject(clip)) << "the DC keeps its own copy";
    EXPECT_TRUE(desk.BitBlt(dest, 0, 0, 4, 2, source, 0, 0, SRCCOPY));
    EXPECT_EQ(desk.bitmapPixel(target, 0, 0), 0xFF0000u) << "outside the clip";
    EXPECT_EQ(desk.bitmapPixel(target, 1, 0), 0x2000AAu);
    EXPECT_EQ(desk.bitmapPixel(target, 2, 0), 0x3000AAu);
    EXPECT_EQ(desk.bitmapPixel(target, 1, 1), 0xFF0000u);
    desk.SelectClipRgn(dest, 0);
    desk.BitBlt(dest, 0, 0, 4, 2, source, 0, 0, SRCCOPY);
    EXPECT_EQ(desk.bitmapPixel(target, 1, 1), 0x6000AAu);

    const Hbrush face = desk.GetSysColorBrush(COLOR_BTNFACE);
    desk.FillRect(dest, &all, face);
    EXPECT_EQ(desk.bitmapPixel(target, 0, 0), 0xD4D0C8u);

    // Cleaning up in the wrong order is a visible error, the right order leaves nothing.
    EXPECT_FALSE(desk.DeleteObject(picture)) << "still selected into a DC";
    desk.SelectObject(source, stock);
    EXPECT_TRUE(desk.DeleteObject(picture));
    EXPECT_TRUE(desk.DeleteDC(source));
    EXPECT_TRUE(desk.DeleteDC(dest));
    EXPECT_TRUE(desk.DeleteObject(target));
    EXPECT_TRUE(desk.DeleteObject(red));
    EXPECT_TRUE(desk.DeleteObject(face)) << "a system brush ignores deletion";
    EXPECT_EQ(desk.liveGdiObjects(), 0);
    EXPECT_FALSE(desk.DeleteDC(dest));
    EXPECT_EQ(desk.doubleDeletes(), 1);
}

TEST_F(SimGdiTest, WindowDcsPaintTheClientSurfaceInsideTheWindowRegion) {
    const Hwnd panel =
        desk.addWindow("Panel", "", Rect{100, 100, 118, 161}, 0, WS_VISIBLE | WS_POPUP);
    desk.SetWindowRgn(panel, desk.CreateRectRgn(1, 1, 17, 15), false);
    const Hdc dc = desk.GetDC(panel);
    const Hbrush blue = desk.CreateSolidBrush(RGB(0, 0, 255));
    Rect all{0, 0, 18, 61};
    desk.FillRect(dc, &all, blue);
    EXPECT_EQ(desk.windowPixel(panel, 1, 1), 0x0000FFu);
    EXPECT_EQ(desk.windowPixel(panel, 0, 0), 0u) << "outside the region nothing is drawn";
    EXPECT_EQ(desk.windowPixel(panel, 5, 20), 0u);
    EXPECT_EQ(desk.liveGdiObjects(), 3);
    EXPECT_EQ(desk.ReleaseDC(panel, dc), 1);
    desk.DeleteObject(blue);
    EXPECT_EQ(desk.liveGdiObjects(), 1) << "the window's region";
    EXPECT_EQ(desk.GetDeviceCaps(desk.GetDC(0), LOGPIXELSX), 96);
    desk.setTwipsPerPixel(12);
    EXPECT_EQ(desk.GetDeviceCaps(desk.GetDC(0), LOGPIXELSY), 120);
}

// ---- bitmap files

std::string bmpFile(int width, int height, int bits, const std::vector<std::uint32_t>& palette,
                    const std::vector<std::uint8_t>& rowsBottomUp, bool topDown = false) {
    std::string out = "BM";
    auto put16 = [&](std::uint32_t v) { out.append({char(v & 0xFF), char((v >> 8) & 0xFF)}); };
    auto put32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out.push_back(char((v >> (8 * i)) & 0xFF));
    };
    const std::uint32_t offBits = 54 + std::uint32_t(palette.size()) * 4;
    put32(offBits + std::uint32_t(rowsBottomUp.size()));
    put32(0);
    put32(offBits);
    put32(40);
    put32(std::uint32_t(width));
    put32(std::uint32_t(topDown ? -height : height));
    put16(1);
    put16(std::uint32_t(bits));
    put32(0);
    put32(std::uint32_t(rowsBottomUp.size()));
    put32(2835);
    put32(2835);
    put32(std::uint32_t(palette.size()));
    put32(0);
    for (std::uint32_t rgb : palette)
        put32(rgb);
    out.append(rowsBottomUp.begin(), rowsBottomUp.end());
    return out;
}

class SimBitmapFileTest : public SimGdiTest {
  protected:
    Hbitmap load(const std::string& bytes) {
        std::ofstream(desk.hostPath(L"C:\\Tools\\userbutton.bmp"), std::ios::binary) << bytes;
        return Hbitmap(desk.LoadImageW(L"C:\\Tools\\userbutton.bmp", IMAGE_BITMAP, 0, 0,
                                       LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    }
};

TEST_F(SimBitmapFileTest, DecodesPaletteAndTrueColourFilesInBothRowOrders) {
    // 1 bit, 3 x 2: bottom row "on off on", top row "off on off"; rows padded to 4 bytes.
    const Hbitmap mono =
        load(bmpFile(3, 2, 1, {0x000000, 0xFFFFFF}, {0b10100000, 0, 0, 0, 0b01000000, 0, 0, 0}));
    ASSERT_NE(mono, 0);
    EXPECT_EQ(desk.bitmapPixel(mono, 0, 1), 0xFFFFFFu);
    EXPECT_EQ(desk.bitmapPixel(mono, 1, 1), 0x000000u);
    EXPECT_EQ(desk.bitmapPixel(mono, 1, 0), 0xFFFFFFu);

    // 4 bit, 3 x 1, palette indices 2, 1, 0.
    const Hbitmap nibbles =
        load(bmpFile(3, 1, 4, {0x112233, 0x445566, 0x778899}, {0x21, 0x00, 0, 0}));
    ASSERT_NE(nibbles, 0);
    EXPECT_EQ(desk.bitmapPixel(nibbles, 0, 0), 0x778899u);
    EXPECT_EQ(desk.bitmapPixel(nibbles, 1, 0), 0x445566u);
    EXPECT_EQ(desk.bitmapPixel(nibbles, 2, 0), 0x112233u);

    // 8 bit, 2 x 2, top-down.
    const Hbitmap bytes =
        load(bmpFile(2, 2, 8, {0x800000, 0x008000, 0x000080}, {0, 1, 0, 0, 2, 2, 0, 0}, true));
    ASSERT_NE(bytes, 0);
    EXPECT_EQ(desk.bitmapPixel(bytes, 1, 0), 0x008000u);
    EXPECT_EQ(desk.bitmapPixel(bytes, 0, 1), 0x000080u);

    // 24 bit, 2 x 2, bottom-up, BGR order, rows padded to 8 bytes.
    const Hbitmap rgb = load(bmpFile(
        2, 2, 24, {},
        {0x03, 0x02, 0x01, 0x06, 0x05, 0x04, 0, 0, 0x09, 0x08, 0x07, 0x0C, 0x0B, 0x0A, 0, 0}));
    ASSERT_NE(rgb, 0);
    EXPECT_EQ(desk.bitmapPixel(rgb, 0, 1), 0x010203u);
    EXPECT_EQ(desk.bitmapPixel(rgb, 1, 0), 0x0A0B0Cu);
    EXPECT_EQ(desk.bitmapSize(rgb).x, 2);

    // 32 bit, 1 x 1.
    const Hbitmap argb = load(bmpFile(1, 1, 32, {}, {0x33, 0x22, 0x11, 0xFF}));
    ASSERT_NE(argb, 0);
    EXPECT_EQ(desk.bitmapPixel(argb, 0, 0), 0x112233u);
}

TEST_F(SimBitmapFileTest, RefusesWhatIsNotAnUncompressedBitmap) {
    const std::string good = bmpFile(2, 2, 24, {}, std::vector<std::uint8_t>(16, 0x7F));
    ASSERT_NE(load(good), 0);
    EXPECT_EQ(load(""), 0) << "empty";
    EXPECT_EQ(load(good.substr(0, good.size() - 1)), 0) << "truncated pixels";
    EXPECT_EQ(load(good.substr(0, 30)), 0) << "truncated header";
    EXPECT_EQ(load("GIF89a garbage garbage garbage garbage garbage garbage"), 0);
    std::string rle = good;
    rle[30] = 1; // BI_RLE8
    EXPECT_EQ(load(rle), 0);
    std::filesystem::create_directories(desk.hostPath(L"C:\\Tools\\folder.bmp"));
    EXPECT_EQ(desk.LoadImageW(L"C:\\Tools\\folder.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), 0);
    EXPECT_EQ(desk.LoadImageW(L"C:\\Tools\\missing.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), 0);
}

} // namespace
} // namespace ep
