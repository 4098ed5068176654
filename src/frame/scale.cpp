#include "frame/scale.h"

#include "frame/text.h"

namespace ep {

namespace {

int screenDpi() {
    const Hdc screen = os().GetDC(0);
    const int dpi = screen ? os().GetDeviceCaps(screen, LOGPIXELSX) : 0;
    if (screen) os().ReleaseDC(0, screen);
    return dpi;
}

Scale scaleOfMonitor(Hmonitor monitor) {
    std::uint32_t dpiX = 0, dpiY = 0;
    if (monitor && os().GetDpiForMonitor(monitor, MDT_EFFECTIVE_DPI, &dpiX, &dpiY) == S_OK &&
        dpiX > 0)
        return Scale(static_cast<int>(dpiX));
    return Scale(screenDpi());
}

} // namespace

int Scale::fontPixels(double points) const { return roundHalfEven(points * dpi_ / 72.0); }

Rect windowRectAround(const Rect& client, std::uint32_t style, std::uint32_t exStyle,
                      const Scale& scale) {
    Rect outer = client;
    if (os().AdjustWindowRectExForDpi(&outer, style, false, exStyle,
                                      static_cast<std::uint32_t>(scale.dpi())))
        return outer;
    outer = client;
    os().AdjustWindowRectEx(&outer, style, false, exStyle);
    return outer;
}

int systemMetricAt(int index, const Scale& scale) {
    const int value = os().GetSystemMetricsForDpi(index, static_cast<std::uint32_t>(scale.dpi()));
    return value ? value : os().GetSystemMetrics(index);
}

Scale scaleOfMonitorAt(Point pixel) {
    return scaleOfMonitor(os().MonitorFromPoint(pixel, MONITOR_DEFAULTTONEAREST));
}

Scale scaleOfPrimaryMonitor() {
    return scaleOfMonitor(os().MonitorFromPoint(Point{0, 0}, MONITOR_DEFAULTTOPRIMARY));
}

void ensureDpiAwareness() {
    if (os().IsProcessDPIAware()) return;
    if (os().SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2)) return;
    if (os().SetProcessDpiAwareness(PROCESS_PER_MONITOR_DPI_AWARE) == S_OK) return;
    os().SetProcessDPIAware();
}

} // namespace ep
