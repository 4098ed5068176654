// A fresh simulated desktop per test, with the toolkit's forms dropped when the test ends so
// that no window of one test outlives its desktop.
#pragma once

#include "frame/toolkit.h"
#include "platform/sim/desktop.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace ep::testing {

class ProgramTest : public ::testing::Test {
  protected:
    ~ProgramTest() override { resetToolkit(); }

    std::filesystem::path settingsFile() const {
        return desktop.hostPath(L"C:\\Tools\\edgepad.ini");
    }

    std::string readHostFile(const std::filesystem::path& path) const {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    void writeHostFile(const std::filesystem::path& path, const std::string& bytes) const {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }

    sim::Desktop desktop;
};

// A 24-bit bottom-up BMP of the given 0x00RRGGBB pixels, as a paint program saves it.
inline std::string makeBmp(int width, int height, const std::vector<std::uint32_t>& rgb) {
    const int stride = (width * 3 + 3) & ~3;
    const std::uint32_t imageSize = static_cast<std::uint32_t>(stride * height);
    std::string out;
    auto put16 = [&](std::uint16_t v) { out.append({char(v & 0xFF), char(v >> 8)}); };
    auto put32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(char((v >> (8 * i)) & 0xFF));
    };
    out += "BM";
    put32(54 + imageSize);
    put32(0);
    put32(54);
    put32(40);
    put32(static_cast<std::uint32_t>(width));
    put32(static_cast<std::uint32_t>(height));
    put16(1);
    put16(24);
    put32(0);
    put32(imageSize);
    put32(2835);
    put32(2835);
    put32(0);
    put32(0);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            std::uint32_t c = rgb[static_cast<std::size_t>(y * width + x)];
            out.push_back(char(c & 0xFF));
            out.push_back(char((c >> 8) & 0xFF));
            out.push_back(char((c >> 16) & 0xFF));
        }
        out.append(static_cast<std::size_t>(stride - width * 3), '\0');
    }
    return out;
}

} // namespace ep::testing
