// Region and GDI objects of a shaped form before and after 10,000 reshapes, and the time one
// reshape takes. On the host the simulated desktop counts region objects itself; on Windows
// (or Wine) the process's GDI object count stands for them. Prints figures, asserts nothing.
#include "frame/toolkit.h"
#include "shaping/shaping.h"

#ifdef _WIN32
#include "platform/win32/win32_platform.h"
#include <windows.h>
#else
#include "platform/sim/desktop.h"
#endif

#include <chrono>
#include <cstdio>

namespace {

constexpr int kReshapes = 10000;
constexpr int True = -1;

struct BenchForm : ep::Form {
    BenchForm() : Form("BenchForm", design()) {}
    static ep::FormDesign design() {
        ep::FormDesign d;
        d.caption = L"BenchForm";
        d.left = 1500;
        d.top = 1500;
        return d;
    }
};

struct Counts {
    long regions; // -1: not observable here
    long gdiObjects;
};

#ifdef _WIN32
Counts counts() { return {-1, long(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS))}; }
#else
ep::sim::Desktop* desktop = nullptr;
Counts counts() { return {desktop->liveRegions(), desktop->liveGdiObjects()}; }
#endif

void row(const char* what, long value) {
    if (value < 0)
        std::printf("%-34s %10s\n", what, "n/a");
    else
        std::printf("%-34s %10ld\n", what, value);
}

} // namespace

int main() {
#ifdef _WIN32
    ep::installWin32Platform();
    const char* where = "Win32 backend";
#else
    ep::sim::Desktop desk;
    desktop = &desk;
    const char* where = "simulated desktop";
#endif
    BenchForm& form = ep::form<BenchForm>();
    // The first shaping fills the table, makes the retained image and the picture store.
    ep::mod_RGN_UserFunction::shapeForm(ep::kShapeButtonColumn, form, True);
    ep::mod_RGN_UserFunction::shapeForm(ep::kShapeExitBar, form, True);
    const Counts before = counts();

    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kReshapes; ++i)
        ep::mod_RGN_UserFunction::shapeForm(i % 2 ? ep::kShapeExitBar : ep::kShapeButtonColumn,
                                            form, True);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const Counts after = counts();

    std::printf("reshapes of a form, %d times, %s\n", kReshapes, where);
    row("live region objects before", before.regions);
    row("live region objects after", after.regions);
    row("GDI objects before", before.gdiObjects);
    row("GDI objects after", after.gdiObjects);
#ifdef _WIN32
    if (before.gdiObjects == 0 && after.gdiObjects == 0)
        std::printf("(GetGuiResources reports 0: Wine does not count GDI objects)\n");
#endif
    std::printf("%-34s %10.1f\n", "microseconds per reshape",
                std::chrono::duration<double, std::micro>(elapsed).count() / kReshapes);
    // The forms go while the platform they were made on is still installed.
    ep::resetToolkit();
    return 0;
}
