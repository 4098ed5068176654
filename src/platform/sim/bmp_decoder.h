// Decoding of uncompressed Windows bitmap files, for LoadImageW(LR_LOADFROMFILE).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace ep::sim {

struct DecodedBitmap {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // top-down rows, 0x00RRGGBB
};

// 1, 4, 8, 24 and 32 bits per pixel, BI_RGB (and BI_BITFIELDS at 16 or 32 bits), bottom-up
// or top-down. Anything else, or a file too short for what its header promises: nullopt.
std::optional<DecodedBitmap> decodeBmp(const std::vector<std::uint8_t>& file);

} // namespace ep::sim
