// Pictures and the device contexts that draw them: a bitmap the toolkit owns, its copies at
// other scales, a memory DC with one bitmap selected, and pictures loaded from files.
#pragma once

#include "frame/owned.h"
#include "frame/scale.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ep {

// A bitmap the toolkit owns: a 32-bit DIB section, deleted with the picture.
class Picture {
  public:
    Picture() = default;
    // bits: the DIB section's pixels, where known; a picture without them cannot be scaled.
    Picture(Hbitmap bitmap, int width, int height, std::uint32_t* bits = nullptr)
        : bitmap_(bitmap), width_(width), height_(height), bits_(bits) {}
    // A picture made from 0x00RRGGBB pixels, row by row from the top.
    static Picture fromPixels(int width, int height, const std::vector<std::uint32_t>& rgb);
    // This picture, drawn for 96 DPI with its top-left pixel at placement (panel pixels), as
    // the scale shows it: each pixel one solid block from (S(x), S(y)) to (S(x + 1), S(y + 1)),
    // relative to S(placement). Nearest neighbour: no colour the picture lacks.
    Picture scaled(Point placement, const Scale& scale) const;
    Picture(Picture&& other) noexcept;
    Picture& operator=(Picture&& other) noexcept;

    Hbitmap handle() const { return bitmap_.get(); }
    int width() const { return width_; }
    int height() const { return height_; }
    // The pixels, 0x00RRGGBB, where known; writing them changes the picture once GDI's
    // pending drawing has been flushed.
    std::uint32_t* bits() const { return bits_; }
    explicit operator bool() const { return static_cast<bool>(bitmap_); }

  private:
    OwnedGdiObject bitmap_;
    int width_ = 0;
    int height_ = 0;
    std::uint32_t* bits_ = nullptr;
};

// A 96-DPI picture's copies for the scales asked so far, each drawn once and kept; at 96 DPI
// the picture itself.
class ScaledCopies {
  public:
    const Picture& at(const Picture& design, Point placement, const Scale& scale);
    void clear() { copies_.clear(); }

  private:
    struct Copy {
        int dpi;
        Point placement;
        Picture picture;
    };
    std::vector<Copy> copies_;
};

// A memory DC with one bitmap selected; the DC's own bitmap is selected back before the DC
// goes.
class MemoryDC {
  public:
    MemoryDC() = default;
    explicit MemoryDC(Hbitmap bitmap);
    MemoryDC(MemoryDC&& other) noexcept;
    MemoryDC& operator=(MemoryDC&& other) noexcept;
    ~MemoryDC() { deselect(); }

    Hdc get() const { return dc_.get(); }
    explicit operator bool() const { return static_cast<bool>(dc_); }

  private:
    void deselect();
    OwnedDC dc_;
    Hgdiobj previous_ = 0;
};

// A picture loaded from a bitmap file, at most maxWidth x maxHeight pixels of it from the
// top-left corner; an empty picture when the file is not a loadable bitmap.
Picture LoadPicture(const std::wstring& path, int maxWidth, int maxHeight);

} // namespace ep
