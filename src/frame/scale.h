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
    constexpr bool operator==(const Scale&) const = default;

  private:
    int dpi_ = kDesignDpi;
};

// The effective scale of the monitor that holds the pixel (the nearest one, for a pixel off
// every screen), and of the primary monitor. Where the system cannot tell a monitor's DPI
// (before Windows 8.1), the screen's own LOGPIXELSX.
Scale scaleOfMonitorAt(Point pixel);
Scale scaleOfPrimaryMonitor();

// Asks for per-monitor awareness where the manifest's was not honoured, with the newest call
// the system has: the v2 context, then per-monitor awareness, then system awareness.
void ensureDpiAwareness();

} // namespace ep
