// Region and GDI objects of a shaped form before and after 10,000 reshapes, and the time one
// reshape takes. On the host the simulated desktop counts them itself. On Windows (or Wine)
// they are read from the GDI handle table the process maps (the PEB's GdiSharedHandleTable),
// each entry confirmed with GetObjectType, beside what GetGuiResources says (Wine reports 0
// there). Prints figures, asserts nothing.
#include "frame/toolkit.h"
#include "shaping/shaping.h"

#ifdef _WIN32
#include "platform/win32/win32_platform.h"
#include <windows.h>
#else
#include "platform/sim/desktop.h"
#endif

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>

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
    long regions;    // -1: not observable here
    long gdiObjects; // -1: not observable here
    long guiResources = -1;
};

#ifdef _WIN32
// One entry of the handle table as Windows and Wine lay it out (24 bytes on 64-bit).
struct GdiHandleEntry {
    std::uint64_t object;
    std::uint32_t owner;
    std::uint16_t unique; // the handle's upper 16 bits
    std::uint8_t type;
    std::uint8_t flags;
    std::uint64_t userPointer;
};
static_assert(sizeof(GdiHandleEntry) == 24);
constexpr int kGdiHandleSlots = 0x10000;

const GdiHandleEntry* gdiHandleTable() {
#ifdef _WIN64
    // gs:0x60 holds the PEB's address; NtCurrentTeb would do, but mingw's inline version of it
    // trips GCC's array-bounds check.
    constexpr std::size_t kPebGdiSharedHandleTable = 0xF8;
    const char* peb;
    asm("movq %%gs:0x60, %0" : "=r"(peb));
    const GdiHandleEntry* table;
    std::memcpy(&table, peb + kPebGdiSharedHandleTable, sizeof table);
    return table;
#else
    return nullptr; // the 32-bit layout differs; the 64-bit bench is the one that runs
#endif
}

Counts counts() {
    Counts c{-1, -1, long(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS))};
    const GdiHandleEntry* table = gdiHandleTable();
    if (!table) return c;
    c.regions = c.gdiObjects = 0;
    for (int slot = 0; slot < kGdiHandleSlots; ++slot) {
        if (!table[slot].type) continue;
        // A live object answers to the handle its entry makes; a stale entry does not.
        const auto handle = reinterpret_cast<HGDIOBJ>(
            static_cast<std::uintptr_t>(slot | std::uint32_t(table[slot].unique) << 16));
        const DWORD type = GetObjectType(handle);
        if (!type) continue;
        ++c.gdiObjects;
        if (type == OBJ_REGION) ++c.regions;
    }
    return c;
}
#else
ep::sim::Desktop* desktop = nullptr;
Counts counts() { return {desktop->liveRegions(), desktop->liveGdiObjects(), -1}; }
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
    row("GetGuiResources(GDI) before", before.guiResources);
    row("GetGuiResources(GDI) after", after.guiResources);
    if (before.regions < 0)
        std::printf("(no GDI handle table in this process: objects not counted)\n");
    if (before.guiResources == 0 && after.guiResources == 0)
        std::printf("(GetGuiResources reports 0: Wine leaves it unimplemented, so the handle "
                    "table counts instead)\n");
    std::printf("(Windows counts the region a window holds; Wine keeps a copy of it and "
                "frees the handle)\n");
#endif
    std::printf("%-34s %10.1f\n", "microseconds per reshape",
                std::chrono::duration<double, std::micro>(elapsed).count() / kReshapes);
    // The forms go while the platform they were made on is still installed.
    ep::resetToolkit();
    return 0;
}
