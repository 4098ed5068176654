#include "frame/picture.h"

#include <algorithm>
#include <utility>

namespace ep {

Picture Picture::fromPixels(int width, int height, const std::vector<std::uint32_t>& rgb) {
    void* bits = nullptr;
    OwnedGdiObject bitmap(os().CreateDIBSection(0, width, height, &bits));
    if (!bitmap || !bits) return {};
    auto* out = static_cast<std::uint32_t*>(bits);
    std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    for (std::size_t i = 0; i < count && i < rgb.size(); ++i)
        out[i] = rgb[i] & 0x00FFFFFF;
    return Picture(bitmap.release(), width, height, out);
}

// No StretchBlt mode gives these blocks at a fractional factor, so they are drawn one by one;
// a picture is scaled once per DPI and kept, so this never runs per paint.
Picture Picture::scaled(Point placement, const Scale& scale) const {
    if (!bitmap_ || !bits_ || width_ <= 0 || height_ <= 0) return {};
    const int originX = scale.px(placement.x), originY = scale.px(placement.y);
    const int width = scale.px(placement.x + width_) - originX;
    const int height = scale.px(placement.y + height_) - originY;
    if (width <= 0 || height <= 0) return {};
    os().GdiFlush(); // drawing into the source must have reached its bits
    std::vector<std::uint32_t> blocks(static_cast<std::size_t>(width) * height);
    for (int row = 0; row < height_; ++row) {
        const int top = scale.px(placement.y + row) - originY;
        const int bottom = scale.px(placement.y + row + 1) - originY;
        for (int column = 0; column < width_; ++column) {
            const int left = scale.px(placement.x + column) - originX;
            const int right = scale.px(placement.x + column + 1) - originX;
            const std::uint32_t colour = bits_[static_cast<std::size_t>(row) * width_ + column];
            for (int y = top; y < bottom; ++y)
                std::fill_n(blocks.begin() + static_cast<std::ptrdiff_t>(y) * width + left,
                            right - left, colour);
        }
    }
    return fromPixels(width, height, blocks);
}

const Picture& ScaledCopies::at(const Picture& design, Point placement, const Scale& scale) {
    if (scale.dpi() == kDesignDpi || !design) return design;
    for (const Copy& copy : copies_)
        if (copy.dpi == scale.dpi() && copy.placement.x == placement.x &&
            copy.placement.y == placement.y)
            return copy.picture;
    Picture made = design.scaled(placement, scale);
    if (!made) return design; // out of memory: the unscaled picture is better than none
    copies_.push_back(Copy{scale.dpi(), placement, std::move(made)});
    return copies_.back().picture;
}

Picture::Picture(Picture&& other) noexcept
    : bitmap_(std::move(other.bitmap_)), width_(other.width_), height_(other.height_),
      bits_(std::exchange(other.bits_, nullptr)) {}

Picture& Picture::operator=(Picture&& other) noexcept {
    if (this != &other) {
        bitmap_ = std::move(other.bitmap_);
        width_ = other.width_;
        height_ = other.height_;
        bits_ = std::exchange(other.bits_, nullptr);
    }
    return *this;
}

MemoryDC::MemoryDC(Hbitmap bitmap) : dc_(os().CreateCompatibleDC(0)) {
    if (dc_) previous_ = os().SelectObject(dc_.get(), bitmap);
}

MemoryDC::MemoryDC(MemoryDC&& other) noexcept
    : dc_(std::move(other.dc_)), previous_(std::exchange(other.previous_, 0)) {}

MemoryDC& MemoryDC::operator=(MemoryDC&& other) noexcept {
    if (this != &other) {
        deselect();
        dc_ = std::move(other.dc_);
        previous_ = std::exchange(other.previous_, 0);
    }
    return *this;
}

void MemoryDC::deselect() {
    if (dc_) os().SelectObject(dc_.get(), previous_);
    dc_.reset();
}

namespace {

// The platform's loader maps a bitmap file and reads as many bytes as its headers declare, so
// a file cut short is read past its end (under Wine the process faults). A file is handed to
// it only when it holds everything its headers promise.
bool bitmapFileComplete(const std::wstring& path) {
    const OwnedKernelHandle file(
        os().CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
    if (!file) return false;
    unsigned char head[54] = {};
    std::uint32_t read = 0;
    std::int64_t size = 0;
    const bool ok = os().ReadFile(file.get(), head, sizeof head, &read) &&
                    os().GetFileSizeEx(file.get(), &size);
    if (!ok || read < 26 || head[0] != 'B' || head[1] != 'M') return false;
    auto u16 = [&](int at) { return std::uint32_t(head[at] | (head[at + 1] << 8)); };
    auto u32 = [&](int at) { return u16(at) | (u16(at + 2) << 16); };

    const std::int64_t offBits = u32(10);
    const std::int64_t headerSize = u32(14);
    std::int64_t width = 0, height = 0, bitCount = 0, compression = 0, sizeImage = 0, colours = 0;
    if (headerSize == 12) { // the old core header: 16-bit sizes, three-byte palette entries
        width = u16(18);
        height = std::int16_t(u16(20));
        bitCount = u16(24);
    } else {
        if (headerSize < 40 || read < 54) return false;
        width = std::int32_t(u32(18));
        height = std::int32_t(u32(22));
        bitCount = u16(28);
        compression = u32(30);
        sizeImage = u32(34);
        colours = u32(46);
    }
    if (height < 0) height = -height;
    if (width <= 0 || height == 0 || bitCount == 0 || bitCount > 32) return false;

    std::int64_t palette = 0;
    if (bitCount <= 8)
        palette = (colours ? colours : std::int64_t(1) << bitCount) * (headerSize == 12 ? 3 : 4);
    constexpr std::int64_t biRgb = 0, biBitfields = 3;
    if (compression == biBitfields && headerSize == 40) palette += 12;
    std::int64_t pixels = sizeImage;
    if (compression == biRgb || compression == biBitfields) {
        const std::int64_t stride = (width * bitCount + 31) / 32 * 4;
        if (height > size / stride) return false;
        pixels = stride * height;
    }
    const std::int64_t start = std::max(offBits, 14 + headerSize + palette);
    return start <= size && pixels <= size - start;
}

} // namespace

Picture LoadPicture(const std::wstring& path, int maxWidth, int maxHeight) {
    if (!bitmapFileComplete(path)) return {};
    // Only the part that can ever show is kept, so a huge file costs nothing after start-up.
    const OwnedGdiObject loaded(
        os().LoadImageW(path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    if (!loaded) return {};
    Bitmap info;
    if (os().GetObjectW(loaded.get(), sizeof info, &info) == 0) return {};
    int width = std::min(info.bmWidth, maxWidth);
    int height = std::min(info.bmHeight < 0 ? -info.bmHeight : info.bmHeight, maxHeight);
    if (width <= 0 || height <= 0) return {};
    void* bits = nullptr;
    Hbitmap part = os().CreateDIBSection(0, width, height, &bits);
    if (!part) return {};
    Picture result(part, width, height, static_cast<std::uint32_t*>(bits));
    MemoryDC source(loaded.get());
    MemoryDC target(part);
    os().BitBlt(target.get(), 0, 0, width, height, source.get(), 0, 0, SRCCOPY);
    return result;
}

} // namespace ep
