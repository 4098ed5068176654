// The panel's pictures as the program decodes them: the frame colour everywhere outside the
// cells and nowhere inside, raised-button edges, and each glyph's size, colours and direction.
#include "frame/toolkit.h"
#include "platform/sim/desktop.h"
#include "resources/pictures.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

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

// The icon: its text art and the sizes drawn from the picture's geometry, turned into an .ico
// by the build's own script and read back here.
class IconTest : public ::testing::Test {
  protected:
    const std::filesystem::path source =
        std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
    const std::string script = "python3 '" + (source / "tools/make_icon.py").string() + "' '" +
                               (source / "src/resources/edgepad_icon.txt").string() + "' ";

    struct Art {
        std::map<char, std::uint32_t> palette; // 0x00RRGGBB
        std::set<char> transparent;
        std::map<int, std::vector<std::string>> images; // by size: consecutive rows make one
    };
    Art readArt() {
        Art art;
        std::ifstream in(source / "src/resources/edgepad_icon.txt");
        std::vector<std::string> rows;
        auto endImage = [&] {
            if (!rows.empty()) art.images[int(rows.size())] = rows;
            rows.clear();
        };
        std::string line;
        while (std::getline(in, line)) {
            if (line.empty() || line[0] == '#') {
                endImage();
                continue;
            }
            if (line.rfind("= ", 0) == 0) {
                endImage();
                std::istringstream fields(line.substr(2));
                char key;
                std::string first;
                fields >> key >> first;
                if (first == "transparent") {
                    art.transparent.insert(key);
                } else {
                    int g, b;
                    fields >> g >> b;
                    art.palette[key] = std::uint32_t(std::stoi(first)) << 16 | g << 8 | b;
                }
                continue;
            }
            rows.push_back(line);
        }
        endImage();
        return art;
    }

    std::vector<unsigned char> makeIcon() {
        const std::filesystem::path ico =
            std::filesystem::temp_directory_path() /
            ("edgepad_icon_test_" + std::to_string(::getpid()) + ".ico");
        EXPECT_EQ(std::system((script + "'" + ico.string() + "'").c_str()), 0);
        std::ifstream in(ico, std::ios::binary);
        std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
        std::filesystem::remove(ico);
        return bytes;
    }
};

TEST_F(IconTest, MakeIconWritesEverySizeOfTheArtAndDrawsTheOthersInItsColours) {
    const Art art = readArt();
    ASSERT_EQ(art.images.count(32), 1u);
    for (const auto& [size, rows] : art.images)
        for (const std::string& row : rows)
            ASSERT_EQ(row.size(), std::size_t(size));

    const std::vector<unsigned char> bytes = makeIcon();
    auto u16 = [&](std::size_t at) { return unsigned(bytes.at(at) | bytes.at(at + 1) << 8); };
    auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
    auto be32 = [&](std::size_t at) {
        return unsigned(bytes.at(at) << 24 | bytes.at(at + 1) << 16 | bytes.at(at + 2) << 8 |
                        bytes.at(at + 3));
    };

    // Every size Windows asks for at 100-200 %, smallest first, the images one after another.
    const int sizes[] = {16, 20, 24, 32, 40, 48, 64, 256};
    ASSERT_GE(bytes.size(), 6u + 16 * 8);
    EXPECT_EQ(u16(0), 0u);
    EXPECT_EQ(u16(2), 1u);
    ASSERT_EQ(u16(4), 8u);
    std::size_t next = 6 + 16 * 8;
    for (int i = 0; i < 8; ++i) {
        const std::size_t entry = 6 + 16 * i;
        const int size = sizes[i];
        SCOPED_TRACE(size);
        EXPECT_EQ(bytes[entry], size % 256);
        EXPECT_EQ(bytes[entry + 1], size % 256);
        EXPECT_EQ(u16(entry + 4), 1u);
        EXPECT_EQ(u16(entry + 6), size == 256 ? 32u : 8u);
        const std::size_t image = u32(entry + 12), length = u32(entry + 8);
        ASSERT_EQ(image, next);
        ASSERT_LE(image + length, bytes.size());
        next = image + length;

        if (size == 256) {
            // A palette PNG, which Windows Vista and later read, of the art's colours only.
            ASSERT_EQ(std::string(bytes.begin() + image, bytes.begin() + image + 8),
                      "\x89PNG\r\n\x1a\n");
            EXPECT_EQ(be32(image + 16), 256u);
            EXPECT_EQ(be32(image + 20), 256u);
            const std::size_t plte = image + 8 + 12 + 13;
            ASSERT_EQ(std::string(bytes.begin() + plte + 4, bytes.begin() + plte + 8), "PLTE");
            for (std::size_t c = 0; c < be32(plte); c += 3) {
                const std::uint32_t rgb =
                    bytes[plte + 8 + c] << 16 | bytes[plte + 9 + c] << 8 | bytes[plte + 10 + c];
                EXPECT_TRUE(std::any_of(art.palette.begin(), art.palette.end(),
                                        [&](const auto& key) { return key.second == rgb; }))
                    << std::hex << rgb;
            }
            continue;
        }
        // A 256-colour bitmap of the art's colours, stored bottom-up, and its AND mask.
        EXPECT_EQ(u32(image), 40u);
        EXPECT_EQ(u32(image + 4), unsigned(size));
        EXPECT_EQ(u32(image + 8), 2u * size); // colour bitmap and mask together
        EXPECT_EQ(u16(image + 14), 8u);
        const std::size_t used = u32(image + 32);
        ASSERT_LE(used, 256u);
        const std::size_t table = image + 40, stride = (size + 3) / 4 * 4,
                          colours = table + 4 * used, maskStride = (size + 31) / 32 * 4,
                          mask = colours + stride * size;
        ASSERT_EQ(mask + maskStride * size, next);

        std::set<std::uint32_t> seen;
        auto pixel = [&](int x, int y) -> std::uint32_t { // 0xFF000000 where transparent
            const std::size_t stored = size - 1 - y;
            const bool masked = bytes[mask + stored * maskStride + x / 8] & (0x80 >> (x % 8));
            const std::size_t entry = bytes[colours + stored * stride + x];
            EXPECT_LT(entry, used) << x << ", " << y;
            const std::size_t bgra = table + 4 * entry;
            return masked
                       ? 0xFF000000u
                       : std::uint32_t(bytes[bgra + 2] << 16 | bytes[bgra + 1] << 8 | bytes[bgra]);
        };
        const auto drawnAs = art.images.find(size);
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const std::uint32_t colour = pixel(x, y);
                seen.insert(colour);
                if (drawnAs == art.images.end()) continue;
                const char key = drawnAs->second[y][x];
                EXPECT_EQ(colour, art.transparent.count(key) ? 0xFF000000u : art.palette.at(key))
                    << x << ", " << y;
            }
        // Drawn at its size, not resampled: no colour the art lacks, and the picture's corners.
        for (std::uint32_t colour : seen)
            EXPECT_TRUE(colour == 0xFF000000u ||
                        std::any_of(art.palette.begin(), art.palette.end(),
                                    [&](const auto& key) { return key.second == colour; }))
                << std::hex << colour;
        EXPECT_EQ(pixel(0, 0), kWhite);
        EXPECT_EQ(pixel(size - 1, size - 1), kDarkGrey);
        EXPECT_EQ(pixel(size - 1, 0), 0xFF000000u);
        EXPECT_EQ(pixel(0, size - 1), 0xFF000000u);
        EXPECT_EQ(seen.count(kBlack), 1u);
        EXPECT_EQ(seen.count(kOutline), 1u);
        EXPECT_TRUE(std::any_of(kBlues.begin(), kBlues.end(),
                                [&](std::uint32_t blue) { return seen.count(blue) == 1; }));
    }
    EXPECT_EQ(next, bytes.size());
}

// The sizes drawn from the geometry are the 32-pixel picture at other sizes: drawn at 32,
// the geometry gives the art.
TEST_F(IconTest, TheGeometryDrawnAt32PixelsIsTheArt) {
    const Art art = readArt();
    FILE* drawn = ::popen((script + "--text 32").c_str(), "r");
    ASSERT_NE(drawn, nullptr);
    std::vector<std::string> rows;
    char line[300];
    while (std::fgets(line, sizeof line, drawn))
        rows.emplace_back(line, std::strcspn(line, "\n"));
    EXPECT_EQ(::pclose(drawn), 0);
    EXPECT_EQ(rows, art.images.at(32));
}

TEST_F(IconTest, ThreeRaisedButtonsSteppingDownToTheRight) {
    const Art art = readArt();
    ASSERT_EQ(art.images.count(32), 1u);
    auto at = [&](int x, int y) {
        const char key = art.images.at(32)[y][x];
        return art.transparent.count(key) ? 0xFF000000u : art.palette.at(key);
    };
    // Each button's top-left corner is white, and each later one lies over the one before.
    for (auto [x, y] : {std::pair{0, 0}, {8, 9}, {16, 18}})
        EXPECT_EQ(at(x, y), kWhite);
    EXPECT_EQ(at(31, 31), kDarkGrey);
    EXPECT_EQ(at(31, 0), 0xFF000000u);
    EXPECT_EQ(at(0, 31), 0xFF000000u);
    // The close button shows black, the two others blue and the outline.
    auto colours = [&](int left, int top, int right, int bottom) {
        std::set<std::uint32_t> found;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                found.insert(at(x, y));
        return found;
    };
    EXPECT_EQ(colours(1, 1, 14, 9).count(kBlack), 1u);
    const std::set<std::uint32_t> back = colours(9, 10, 22, 18), forward = colours(17, 19, 30, 30);
    for (std::uint32_t blue : kBlues) {
        EXPECT_EQ(back.count(blue), 1u);
        EXPECT_EQ(forward.count(blue), 1u);
    }
    EXPECT_EQ(back.count(kOutline), 1u);
    EXPECT_EQ(forward.count(kOutline), 1u);
}

} // namespace
} // namespace ep
