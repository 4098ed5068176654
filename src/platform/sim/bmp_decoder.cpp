#include "platform/sim/bmp_decoder.h"

#include <bit>
#include <cstdlib>

namespace ep::sim {

namespace {

std::uint32_t u16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return std::uint32_t(b[at]) | (std::uint32_t(b[at + 1]) << 8);
}

std::uint32_t u32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return u16(b, at) | (u16(b, at + 2) << 16);
}

// Scales a masked channel to 8 bits.
std::uint32_t channel(std::uint32_t value, std::uint32_t mask) {
    if (!mask) return 0;
    int shift = std::countr_zero(mask);
    std::uint32_t max = mask >> shift;
    return ((value & mask) >> shift) * 255 / max;
}

} // namespace

std::optional<DecodedBitmap> decodeBmp(const std::vector<std::uint8_t>& file) {
    constexpr std::size_t fileHeader = 14;
    if (file.size() < fileHeader + 12 || file[0] != 'B' || file[1] != 'M') return std::nullopt;
    std::uint32_t offBits = u32(file, 10);
    std::uint32_t infoSize = u32(file, fileHeader);
    std::int64_t width = 0, height = 0;
    std::uint32_t bitCount = 0, compression = 0, clrUsed = 0;
    bool core = infoSize == 12;
    if (core) {
        width = u16(file, fileHeader + 4);
        height = u16(file, fileHeader + 6);
        bitCount = u16(file, fileHeader + 10);
    } else {
        if (infoSize < 40 || file.size() < fileHeader + infoSize) return std::nullopt;
        width = std::int32_t(u32(file, fileHeader + 4));
        height = std::int32_t(u32(file, fileHeader + 8));
        if (u16(file, fileHeader + 12) != 1) return std::nullopt; // planes
        bitCount = u16(file, fileHeader + 14);
        compression = u32(file, fileHeader + 16);
        clrUsed = u32(file, fileHeader + 32);
    }
    bool topDown = height < 0;
    height = std::llabs(height);
    if (width <= 0 || height <= 0 || width * height > (1 << 26)) return std::nullopt;

    std::uint32_t masks[3] = {0x00FF0000, 0x0000FF00, 0x000000FF};
    std::size_t afterInfo = fileHeader + infoSize;
    if (bitCount == 16) masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    if (compression == 3) { // BI_BITFIELDS
        if (bitCount != 16 && bitCount != 32) return std::nullopt;
        if (infoSize >= 52) {
            for (int i = 0; i < 3; ++i)
                masks[i] = u32(file, fileHeader + 40 + 4 * i);
        } else {
            if (file.size() < afterInfo + 12) return std::nullopt;
            for (int i = 0; i < 3; ++i)
                masks[i] = u32(file, afterInfo + 4 * i);
            afterInfo += 12;
        }
    } else if (compression != 0) {
        return std::nullopt; // RLE, JPEG, PNG
    }
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
        bitCount != 32)
        return std::nullopt;

    std::vector<std::uint32_t> palette;
    if (bitCount <= 8) {
        std::size_t colors = clrUsed ? clrUsed : (std::size_t(1) << bitCount);
        if (colors > (std::size_t(1) << bitCount)) return std::nullopt;
        std::size_t entry = core ? 3 : 4;
        if (file.size() < afterInfo + colors * entry) return std::nullopt;
        for (std::size_t i = 0; i < colors; ++i) {
            std::size_t at = afterInfo + i * entry;
            palette.push_back((std::uint32_t(file[at + 2]) << 16) |
                              (std::uint32_t(file[at + 1]) << 8) | file[at]);
        }
    }

    std::size_t stride = ((std::size_t(width) * bitCount + 31) / 32) * 4;
    if (offBits > file.size() || file.size() - offBits < stride * std::size_t(height))
        return std::nullopt;

    DecodedBitmap image;
    image.width = int(width);
    image.height = int(height);
    image.pixels.resize(std::size_t(width) * std::size_t(height));
    for (std::int64_t row = 0; row < height; ++row) {
        std::size_t rowStart = offBits + std::size_t(row) * stride;
        std::int64_t y = topDown ? row : height - 1 - row;
        for (std::int64_t x = 0; x < width; ++x) {
            std::uint32_t rgb = 0;
            switch (bitCount) {
            case 1:
            case 4:
            case 8: {
                std::size_t bit = std::size_t(x) * bitCount;
                std::uint32_t byte = file[rowStart + bit / 8];
                std::uint32_t index = (byte >> (8 - bitCount - bit % 8)) & ((1u << bitCount) - 1);
                if (index >= palette.size()) return std::nullopt;
                rgb = palette[index];
                break;
            }
            case 16: {
                std::uint32_t v = u16(file, rowStart + std::size_t(x) * 2);
                rgb = (channel(v, masks[0]) << 16) | (channel(v, masks[1]) << 8) |
                      channel(v, masks[2]);
                break;
            }
            case 24: {
                std::size_t at = rowStart + std::size_t(x) * 3;
                rgb = (std::uint32_t(file[at + 2]) << 16) | (std::uint32_t(file[at + 1]) << 8) |
                      file[at];
                break;
            }
            case 32: {
                std::uint32_t v = u32(file, rowStart + std::size_t(x) * 4);
                rgb = (channel(v, masks[0]) << 16) | (channel(v, masks[1]) << 8) |
                      channel(v, masks[2]);
                break;
            }
            default:
                break;
            }
            image.pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] = rgb;
        }
    }
    return image;
}

} // namespace ep::sim
