// The panel's button pictures, kept as text: one character per pixel, looked up in one palette,
// so that a change to a picture shows in a diff line by line.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace ep::pixel_art {

// Colours as 0x00RRGGBB.
constexpr std::uint32_t kFrameRed = 0x800000;   // outside the cells: always cut away by the region
constexpr std::uint32_t kHighlight = 0xFFFFFF;  // top row and left column of a raised cell
constexpr std::uint32_t kDarkShadow = 0x404040; // right column and bottom row
constexpr std::uint32_t kShadow = 0x808080;     // one inside the dark shadow
constexpr std::uint32_t kFace = 0xD4D0C8;
constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kArrowOutline = 0x040404;
constexpr std::uint32_t kArrowBlue1 = 0x3366FF;
constexpr std::uint32_t kArrowBlue2 = 0x3399FF;
constexpr std::uint32_t kArrowBlue3 = 0x33CCFF;
constexpr std::uint32_t kArrowBlue4 = 0x99FFFF;
constexpr std::uint32_t kArrowBlue5 = 0xCCFFFF;

struct PaletteEntry {
    char key;
    std::uint32_t rgb;
};

inline constexpr PaletteEntry kPalette[] = {
    {'r', kFrameRed},   {'w', kHighlight},  {'d', kDarkShadow},   {'m', kShadow},
    {'.', kFace},       {'k', kBlack},      {'o', kArrowOutline}, {'1', kArrowBlue1},
    {'2', kArrowBlue2}, {'3', kArrowBlue3}, {'4', kArrowBlue4},   {'5', kArrowBlue5},
};

// A picture as text: rows from the top, all of one width.
struct TextArt {
    int width;
    int height;
    std::span<const std::string_view> rows;
};

// The pictures. Cells repeat every 15 pixels down a column; each cell's face is the 16 x 14
// block one pixel in from its top-left corner.
extern const TextArt buttonColumn; // 18 x 61: close, back, forward, user (ring)
extern const TextArt singleButton; // 18 x 16: the ring cell
extern const TextArt exitBar;      // 64 x 16: close cell and the program's name
extern const TextArt twoCell;      // 18 x 31: close cell over the minimise cell

// 0x00RRGGBB pixels, row by row from the top.
std::vector<std::uint32_t> decode(const TextArt& art);

} // namespace ep::pixel_art
