// Platform calls per tick of the poll, on the simulated desktop, with the cursor resting
// (a) over the bare desktop, (b) in a served window's strip beside the docked panel,
// (b') on the docked panel itself, (c) over a served window outside its strip. Prints figures
// only; the reference line is what the least hot-strip detector needs per tick.
#include "frame/toolkit.h"
#include "panel/form1.h"
#include "platform/sim/desktop.h"

#include <cstdio>
#include <map>
#include <string>

namespace {

constexpr int kTicks = 100;

struct Spot {
    const char* what;
    int x, y;
};

void measure(ep::sim::Desktop& desk, const Spot& spot) {
    desk.setCursor(spot.x, spot.y);
    desk.advance(300); // let the panel settle where this spot puts it
    desk.resetCallCounts();
    desk.advance(100 * kTicks);
    const std::map<std::string, std::uint64_t> calls = desk.callCounts();
    std::uint64_t total = 0;
    for (const auto& [name, count] : calls)
        total += count;
    std::printf("%-44s %7.1f calls/tick:", spot.what, double(total) / kTicks);
    for (const auto& [name, count] : calls)
        if (count >= kTicks / 2) std::printf(" %s %.1f", name.c_str(), double(count) / kTicks);
    std::printf("\n");
}

} // namespace

int main() {
    using namespace ep;
    sim::Desktop desk;
    const Hwnd files = desk.addWindow("CabinetWClass", "Files", Rect{200, 100, 800, 600});
    desk.addWindow("SysTreeView32", "", Rect{204, 130, 400, 596}, files, WS_CHILD | WS_VISIBLE);
    desk.addWindow("SysListView32", "", Rect{400, 130, 796, 596}, files, WS_CHILD | WS_VISIBLE);
    desk.setCursor(900, 800);
    form<Form1>();
    desk.advance(100);

    std::printf("platform calls per 100 ms tick, mean over %d ticks (calls made at least every "
                "other tick listed)\n",
                kTicks);
    measure(desk, {"(a) over the desktop", 900, 800});
    measure(desk, {"(b) in the strip beside the docked panel", 225, 400});
    measure(desk, {"(b') on the docked panel", 208, 385});
    measure(desk, {"(c) served window outside the strip", 500, 400});
    std::printf("%-44s %7.1f calls/tick: GetCursorPos 1 WindowFromPoint 1 GetAncestor 1 "
                "GetClassNameA 2 GetWindowRect 1\n",
                "reference: the least a detector needs", 6.0);
    resetToolkit();
    return 0;
}
