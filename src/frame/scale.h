// The display scale. The panel is drawn for 96 dots per inch; at any other DPI each of its
// pixel figures v (a size, a rectangle's corner, a picture pixel's edge, the strip, a press
// cell) becomes S(v) = v * dpi / 96, to the nearest integer with halves away from zero. The
// figure is always taken at 96 DPI first and mapped last, so that a panel at one DPI is the
// same picture whichever way it was put together. This is the only place that knows the scale.
#pragma once

#include "platform/platform.h"

namespace ep {

// The DPI the panel is drawn for, and the scales Windows offers: 100 % to 500 %. A DPI outside
// them (a setting Windows itself never makes) is taken as the nearest of them.
constexpr int kDesignDpi = 96;
constexpr int kLeastDpi = 96;
constexpr int kMostDpi = 480;
// A form designed in twips has 15 of them to a pixel at that DPI.
constexpr int kDesignTwipsPerPixel = 1440 / kDesignDpi;
// A whole-twip figure of such a form in its 96-DPI pixels: the pixel that holds it, counted
// from 0 towards the figure's sign (as twipsToPixels has it at 15 twips a pixel).
constexpr int designPixelsOfTwips(int twips) { return twips / kDesignTwipsPerPixel; }

class Scale {
  public:
    constexpr Scale() = default;
    constexpr explicit Scale(int dpi)
        : dpi_(dpi < kLeastDpi ? kLeastDpi : dpi > kMostDpi ? kMostDpi : dpi) {}

    constexpr int dpi() const { return dpi_; }
    // S(v): MulDiv(v, dpi, 96).
    constexpr int px(int v) const {
        const long long product = static_cast<long long>(v) * dpi_;
        const long long half = kDesignDpi / 2;
        return static_cast<int>(product >= 0 ? (product + half) / kDesignDpi
                                             : -((-product + half) / kDesignDpi));
    }
    // A rectangle of the panel, corner by corner.
    constexpr Rect rect(const Rect& r) const {
        return Rect{px(r.left), px(r.top), px(r.right), px(r.bottom)};
    }
    // The em height in pixels of a font of this many points (72 to the inch) at this DPI:
    // the nearest integer, halves to even. Taken from the points, not from the 96-DPI height.
    int fontPixels(double points) const;
    constexpr bool operator==(const Scale&) const = default;

  private:
    int dpi_ = kDesignDpi;
};

// The effective scale of the monitor that holds the pixel (the nearest one, for a pixel off
// every screen), and of the primary monitor. Where the system cannot tell a monitor's DPI
// (before Windows 8.1), the screen's own LOGPIXELSX.
Scale scaleOfMonitorAt(Point pixel);
Scale scaleOfPrimaryMonitor();

// The outer rectangle of a window whose client area is `client`, with the frame the system
// draws at the scale's DPI; before Windows 10 1607 the frame at the system DPI.
Rect windowRectAround(const Rect& client, std::uint32_t style, std::uint32_t exStyle,
                      const Scale& scale);
// A system metric (SM_CXICON ...) at the scale's DPI; before Windows 10 1607 at the system DPI.
int systemMetricAt(int index, const Scale& scale);

// Asks for per-monitor awareness where the manifest's was not honoured, with the newest call
// the system has: the v2 context, then per-monitor awareness, then system awareness.
void ensureDpiAwareness();

} // namespace ep
