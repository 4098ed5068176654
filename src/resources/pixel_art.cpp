#include "resources/pixel_art.h"

#include <cstdlib>
#include <iterator>

namespace ep::pixel_art {

namespace {

constexpr bool inPalette(char key) {
    for (const PaletteEntry& entry : kPalette)
        if (entry.key == key) return true;
    return false;
}

// Every row as wide as the picture and every character a palette key, checked when compiling.
template <std::size_t N> constexpr bool wellFormed(const std::string_view (&rows)[N], int width) {
    for (std::string_view row : rows) {
        if (row.size() != std::size_t(width)) return false;
        for (char key : row)
            if (!inPalette(key)) return false;
    }
    return true;
}

// One text row per pixel row; kept out of automatic formatting so each stays a line.
// clang-format off
// Close, back, forward and user cells at the 15-pixel pitch.
constexpr std::string_view kButtonColumn[] = {
    "rrrrrrrrrrrrrrrrrr",
    "rwwwwwwwwwwwwwwwdr",
    "rw.............mdr",
    "rw.............mdr",
    "rw...kk....kk..mdr",
    "rw....kk..kk...mdr",
    "rw.....kkkk....mdr",
    "rw......kk.....mdr",
    "rw.....kkkk....mdr",
    "rw....kk..kk...mdr",
    "rw...kk....kk..mdr",
    "rw.............mdr",
    "rw.............mdr",
    "rwmmmmmmmmmmmmmmdr",
    "rddddddddddddddddr",
    "rrrrrrrrrrrrrrrrrr",
    "rwwwwwwwwwwwwwwwdr",
    "rw.............mdr",
    "rw.....o.......mdr",
    "rw....oo.......mdr",
    "rw...o5oooooooomdr",
    "rw..o544444444omdr",
    "rw.o4333333333omdr",
    "rw.o2222222222omdr",
    "rw..o111111111omdr",
    "rw...o1oooooooomdr",
    "rw....oo.......mdr",
    "rw.....o.......mdr",
    "rwmmmmmmmmmmmmmmdr",
    "rddddddddddddddddr",
    "rrrrrrrrrrrrrrrrrr",
    "rwwwwwwwwwwwwwwwdr",
    "rw.............mdr",
    "rw........o....mdr",
    "rw........oo...mdr",
    "rw.oooooooo5o..mdr",
    "rw.o444444445o.mdr",
    "rw.o3333333334omdr",
    "rw.o2222222222omdr",
    "rw.o111111111o.mdr",
    "rw.oooooooo1o..mdr",
    "rw........oo...mdr",
    "rw........o....mdr",
    "rwmmmmmmmmmmmmmmdr",
    "rddddddddddddddddr",
    "rrrrrrrrrrrrrrrrrr",
    "rwwwwwwwwwwwwwwwdr",
    "rw.............mdr",
    "rw.............mdr",
    "rw.....kkkk....mdr",
    "rw....kkkkkk...mdr",
    "rw...kkk..kkk..mdr",
    "rw...kk....kk..mdr",
    "rw...kk....kk..mdr",
    "rw...kkk..kkk..mdr",
    "rw....kkkkkk...mdr",
    "rw.....kkkk....mdr",
    "rw.............mdr",
    "rwmmmmmmmmmmmmmmdr",
    "rddddddddddddddddr",
    "rrrrrrrrrrrrrrrrrr",
};

// The user cell alone.
constexpr std::string_view kSingleButton[] = {
    "rrrrrrrrrrrrrrrrrr",
    "rwwwwwwwwwwwwwwwdr",
    "rw.............mdr",
    "rw.............mdr",
    "rw.....kkkk....mdr",
    "rw....kkkkkk...mdr",
    "rw...kkk..kkk..mdr",
    "rw...kk....kk..mdr",
    "rw...kk....kk..mdr",
    "rw...kkk..kkk..mdr",
    "rw....kkkkkk...mdr",
    "rw.....kkkk....mdr",
    "rw.............mdr",
    "rwmmmmmmmmmmmmmmdr",
    "rddddddddddddddddr",
    "rrrrrrrrrrrrrrrrrr",
};

// The close cell, then the wide cell with the name.
constexpr std::string_view kExitBar[] = {
    "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr",
    "rwwwwwwwwwwwwwwwdwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwdr",
    "rw.............mdw...........................................mdr",
    "rw.............mdw...........................................mdr",
    "rw...kk....kk..mdw.....kkkk....k........................k....mdr",
    "rw....kk..kk...mdw.....k.....kkk..kkk..kk..kkk..kkk...kkk....mdr",
    "rw.....kkkk....mdw.....kkk..k..k.k..k.kkkk.k..k..kkk.k..k....mdr",
    "rw......kk.....mdw.....k....k..k.k..k.k....k..k.k..k.k..k....mdr",
    "rw.....kkkk....mdw.....kkkk..kkk..kkk..kkk.kkk...kkk..kkk....mdr",
    "rw....kk..kk...mdw..................k......k.................mdr",
    "rw...kk....kk..mdw................kk.......k.................mdr",
    "rw.............mdw...........................................mdr",
    "rw.............mdw...........................................mdr",
    "rwmmmmmmmmmmmmmmdwmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmdr",
    "rddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddr",
    "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr",
};

// The close cell over the minimise cell.
constexpr std::string_view kTwoCell[] = {
    "rrrrrrrrrrrrrrrrrr",
    "rwwwwwwwwwwwwwwwdr",
    "rw.............mdr",
    "rw.............mdr",
    "rw...kk....kk..mdr",
    "rw....kk..kk...mdr",
    "rw.....kkkk....mdr",
    "rw......kk.....mdr",
    "rw.....kkkk....mdr",
    "rw....kk..kk...mdr",
    "rw...kk....kk..mdr",
    "rw.............mdr",
    "rw.............mdr",
    "rwmmmmmmmmmmmmmmdr",
    "rddddddddddddddddr",
    "rrrrrrrrrrrrrrrrrr",
    "rwwwwwwwwwwwwwwwdr",
    "rw.............mdr",
    "rw.............mdr",
    "rw.............mdr",
    "rw.............mdr",
    "rw.............mdr",
    "rw.............mdr",
    "rw.............mdr",
    "rw...kkkkkkk...mdr",
    "rw...kkkkkkk...mdr",
    "rw.............mdr",
    "rw.............mdr",
    "rwmmmmmmmmmmmmmmdr",
    "rddddddddddddddddr",
    "rrrrrrrrrrrrrrrrrr",
};
// clang-format on

static_assert(std::size(kButtonColumn) == 61 && wellFormed(kButtonColumn, 18));
static_assert(std::size(kSingleButton) == 16 && wellFormed(kSingleButton, 18));
static_assert(std::size(kExitBar) == 16 && wellFormed(kExitBar, 64));
static_assert(std::size(kTwoCell) == 31 && wellFormed(kTwoCell, 18));

std::uint32_t colourOf(char key) {
    for (const PaletteEntry& entry : kPalette)
        if (entry.key == key) return entry.rgb;
    std::abort(); // unreachable: every picture is checked against the palette above
}

} // namespace

const TextArt buttonColumn{18, 61, kButtonColumn};
const TextArt singleButton{18, 16, kSingleButton};
const TextArt exitBar{64, 16, kExitBar};
const TextArt twoCell{18, 31, kTwoCell};

std::vector<std::uint32_t> decode(const TextArt& art) {
    std::vector<std::uint32_t> pixels;
    pixels.reserve(std::size_t(art.width) * std::size_t(art.height));
    for (std::string_view row : art.rows)
        for (char key : row)
            pixels.push_back(colourOf(key));
    return pixels;
}

} // namespace ep::pixel_art
