// The soak: the real program runs while the cursor wanders along random paths across served
// and unserved windows, the exit corner and the panel, and the panel's close, back, forward
// and user cells are pressed again and again (the test windows stay open on a close request).
// Every key the test windows receive is recorded. Nothing may crash, no key may reach a
// window other than the served one, and the program's memory, its GDI and USER objects and
// its kernel handles stay flat; their figures are printed at the start and the end.
//
// EDGEPAD_SOAK_SECONDS sets the length (60 by default, ten minutes with tools/soak.sh);
// EDGEPAD_SOAK_SEED replays a run: the seed in use is printed first.
#include "e2e.h"

#include <psapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace e2e;

namespace {

constexpr int pitchPx = 15;

DWORD environmentNumber(const wchar_t* name, DWORD fallback) {
    wchar_t text[32] = {};
    const DWORD length = GetEnvironmentVariableW(name, text, 32);
    if (length == 0 || length >= 32) return fallback;
    return DWORD(std::wcstoul(text, nullptr, 10));
}

bool isKeyMessage(UINT message) {
    return message == WM_KEYDOWN || message == WM_SYSKEYDOWN || message == WM_KEYUP ||
           message == WM_SYSKEYUP || message == WM_CHAR || message == WM_SYSCHAR;
}

// ---- What the program costs, read from outside.
struct Figures {
    SIZE_T workingSet = 0;
    SIZE_T privateBytes = 0;
    long gdiObjects = -1;  // -1 when no way to count them answers
    long userObjects = -1;
    long handles = -1;
    long rssKb = -1;  // resident, from /proc under Wine; -1 when not found
    long anonKb = -1; // of which private (heap, stacks, anonymous maps)
    const char* gdiFrom = "";
    const char* userFrom = "";
    std::string windowClasses;
};

// Under Wine the program is a Unix process whose command line starts with its Windows path;
// its /proc entry, read through drive Z:, gives the resident size as Linux counts it.
void readUnixMemory(const std::wstring& exePath, Figures& f) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(L"Z:\\proc\\*", &entry);
    if (find == INVALID_HANDLE_VALUE) return;
    const std::string wanted = narrow(exePath);
    do {
        const std::wstring name = entry.cFileName;
        if (name.empty() || name.find_first_not_of(L"0123456789") != std::wstring::npos) continue;
        const auto commandLine = readFile(L"Z:\\proc\\" + name + L"\\cmdline");
        if (!commandLine || commandLine->find(wanted) != 0) continue;
        const auto status = readFile(L"Z:\\proc\\" + name + L"\\status");
        auto field = [&](const char* label) {
            const size_t at = status ? status->find(label) : std::string::npos;
            return at == std::string::npos
                       ? -1L
                       : std::strtol(status->c_str() + at + std::strlen(label), nullptr, 10);
        };
        f.rssKb = field("VmRSS:");
        f.anonKb = field("RssAnon:");
        break;
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

template <typename Function> Function ntdll(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

// GetGuiResources answers 0 under Wine. Wine keeps a process's GDI handle table in the process
// itself, where its PEB points (GdiSharedHandleTable, at 0xF8 in a 64-bit PEB); a live entry
// has a type. Stock objects are counted too: the figure is for comparing, start with end.
long gdiObjectsFromTable(HANDLE process) {
    BOOL wow64 = FALSE;
    if (sizeof(void*) != 8 || !IsWow64Process(process, &wow64) || wow64) return -1;
    struct BasicInformation {
        LONG_PTR exitStatus;
        void* peb;
        ULONG_PTR affinity, priority, processId, parentId;
    } basic{};
    using Query = LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    const auto query = ntdll<Query>("NtQueryInformationProcess");
    if (!query || query(process, 0, &basic, sizeof basic, nullptr) != 0 || !basic.peb) return -1;
    std::uint64_t table = 0;
    if (!ReadProcessMemory(process, static_cast<char*>(basic.peb) + 0xF8, &table, sizeof table,
                           nullptr) ||
        !table)
        return -1;
    struct Entry {
        std::uint64_t object;
        std::uint32_t owner;
        std::uint16_t unique;
        std::uint8_t type;
        std::uint8_t flags;
        std::uint64_t userPointer;
    };
    static_assert(sizeof(Entry) == 24);
    std::vector<Entry> entries(0x10000);
    SIZE_T read = 0;
    if (!ReadProcessMemory(process, reinterpret_cast<void*>(table), entries.data(),
                           entries.size() * sizeof(Entry), &read))
        return -1;
    return long(std::count_if(entries.begin(), entries.begin() + read / sizeof(Entry),
                              [](const Entry& e) { return e.type != 0; }));
}

// The windows the process owns, top-level, child and message-only: the USER objects a leak
// would pile up (Wine counts none through GetGuiResources). `classes` gets their class names,
// to tell which window came or went.
struct WindowCount {
    DWORD processId;
    long n;
    std::string* classes;
    void add(HWND hwnd) {
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        if (owner != processId) return;
        ++n;
        if (classes) *classes += (classes->empty() ? "" : " ") + narrow(className(hwnd));
    }
};

long windowsOf(DWORD processId, std::string* classes = nullptr) {
    WindowCount count{processId, 0, classes};
    EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto* c = reinterpret_cast<WindowCount*>(param);
            c->add(hwnd);
            EnumChildWindows(
                hwnd,
                [](HWND child, LPARAM p) -> BOOL {
                    reinterpret_cast<WindowCount*>(p)->add(child);
                    return TRUE;
                },
                param);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    for (HWND h = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); h;
         h = FindWindowExW(HWND_MESSAGE, h, nullptr, nullptr))
        count.add(h);
    return count.n;
}

// The process's kernel handles, from the system's handle list (GetProcessHandleCount answers
// 0 under Wine).
long kernelHandlesOf(DWORD processId) {
    struct Entry {
        ULONG ownerPid;
        BYTE objectType;
        BYTE flags;
        USHORT value;
        void* object;
        ULONG access;
    };
    using Query = LONG(NTAPI*)(int, void*, ULONG, ULONG*);
    const auto query = ntdll<Query>("NtQuerySystemInformation");
    if (!query) return -1;
    constexpr int systemHandleInformation = 16;
    constexpr LONG infoLengthMismatch = LONG(0xC0000004);
    std::vector<std::uint64_t> buffer(1 << 16);
    for (int attempt = 0; attempt < 8; ++attempt) {
        ULONG needed = 0;
        const ULONG size = ULONG(buffer.size() * sizeof buffer[0]);
        const LONG status = query(systemHandleInformation, buffer.data(), size, &needed);
        if (status == infoLengthMismatch) {
            buffer.resize(std::max<size_t>(buffer.size() * 2, needed / sizeof buffer[0] + 1024));
            continue;
        }
        if (status != 0) return -1;
        const ULONG n = *reinterpret_cast<const ULONG*>(buffer.data());
        const auto* entries = reinterpret_cast<const Entry*>(buffer.data() + 1);
        long mine = 0;
        for (ULONG i = 0; i < n && (i + 1) * sizeof(Entry) + 8 <= size; ++i)
            mine += entries[i].ownerPid == processId;
        return mine;
    }
    return -1;
}

Figures measure(const Process& edgepad) {
    Figures f;
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (K32GetProcessMemoryInfo(edgepad.handle(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                                sizeof memory)) {
        f.workingSet = memory.WorkingSetSize;
        f.privateBytes = memory.PrivateUsage;
    }
    // Windows counts both kinds itself; elsewhere the stand-ins above.
    const DWORD gdi = GetGuiResources(edgepad.handle(), GR_GDIOBJECTS);
    const DWORD user = GetGuiResources(edgepad.handle(), GR_USEROBJECTS);
    if (gdi != 0) {
        f.gdiObjects = long(gdi);
        f.gdiFrom = "GetGuiResources";
    } else {
        f.gdiObjects = gdiObjectsFromTable(edgepad.handle());
        f.gdiFrom = "the process's GDI handle table";
    }
    if (user != 0) {
        f.userObjects = long(user);
        f.userFrom = "GetGuiResources";
    } else {
        f.userObjects = windowsOf(edgepad.id(), &f.windowClasses);
        f.userFrom = "its windows";
    }
    DWORD handles = 0;
    f.handles = GetProcessHandleCount(edgepad.handle(), &handles) && handles != 0
                    ? long(handles)
                    : kernelHandlesOf(edgepad.id());
    readUnixMemory(edgepad.exePath(), f);
    return f;
}

void print(const char* when, const Figures& f) {
    note("%s: working set %lu KB, private bytes %lu KB; Linux: resident %ld KB, private %ld KB; "
         "GDI objects %ld (%s), USER objects %ld (%s), kernel handles %ld",
         when, static_cast<unsigned long>(f.workingSet / 1024),
         static_cast<unsigned long>(f.privateBytes / 1024), f.rssKb, f.anonKb, f.gdiObjects,
         f.gdiFrom, f.userObjects, f.userFrom, f.handles);
}

// ---- The wandering cursor.
class Soak {
  public:
    Soak(Process& edgepad, HWND panel, std::uint32_t seed)
        : edgepad_(edgepad), panel_(panel), random_(seed), windows_(TestWindows::open()) {
        // Served controls at their window's left edge, where the strip lies.
        dockable_ = {{windows_.fileManager, windows_.treeView},
                     {windows_.explorer, windows_.explorerTree},
                     {windows_.browser, windows_.browserView}};
        served_ = dockable_;
        served_.push_back({windows_.fileManager, windows_.listView});
    }

    // One step: mostly a random path somewhere, now and then a press on a docked panel.
    void step() {
        if (chance(25)) {
            pressOnDockedPanel();
            return;
        }
        switch (pick(5)) {
        case 0: { // into (or near) a served window's strip
            const auto& [top, child] = served_[pick(int(served_.size()))];
            const RECT t = windowRect(top), c = windowRect(child);
            walkTo(t.left + pick(45), c.top + pick(std::max(1L, c.bottom - c.top)));
            break;
        }
        case 1: { // over the unserved window
            const RECT r = windowRect(windows_.ordinaryList);
            walkTo(r.left + pick(r.right - r.left), r.top + pick(r.bottom - r.top));
            break;
        }
        case 2:
            walkTo(pick(screenWidth()), pick(screenHeight()));
            break;
        case 3:
            walkTo(0, 0);
            ++exitCorners_;
            break;
        default: { // onto the panel, wherever it stands
            const RECT r = windowRect(panel_);
            if (r.left >= 0 && r.left < screenWidth())
                walkTo(r.left + 1 + pick(16), r.top + 1 + pick(std::max(1L, r.bottom - r.top - 2)));
            break;
        }
        }
        checkNoKeys("while the cursor wanders");
    }

    void report() const {
        note("%d paths walked, %d presses on the cells (%d with their keys seen), %d "
             "visits to the exit corner, %d stray keys",
             paths_, presses_, pressesAnswered_, exitCorners_, strayKeys_);
    }
    int strayKeys() const { return strayKeys_; }
    int presses() const { return presses_; }
    int pressesAnswered() const { return pressesAnswered_; }
    int missedDockings() const { return missedDockings_; }
    int jumps() const { return jumps_; }

  private:
    int pick(long n) { return n <= 1 ? 0 : int(std::uniform_int_distribution<long>(0, n - 1)(random_)); }
    bool chance(int percent) { return pick(100) < percent; }

    // A path of a few straight hops with short pauses, as a hand moves.
    void walkTo(int x, int y) {
        ++paths_;
        POINT from{};
        GetCursorPos(&from);
        const int hops = 2 + pick(10);
        for (int i = 1; i <= hops; ++i) {
            const int jitter = i == hops ? 0 : pick(21) - 10;
            const int px = std::clamp(int(from.x + (x - from.x) * i / hops) + jitter, 0, screenWidth() - 1);
            const int py = std::clamp(int(from.y + (y - from.y) * i / hops) + jitter, 0, screenHeight() - 1);
            handAt(px, py);
            Sleep(5 + pick(60));
        }
        moveCursor(x, y);
        Sleep(pick(250));
    }

    // Rests away, docks the panel at a served window, presses one of its cells, and waits for
    // the keys: they must reach that window and no other.
    void pressOnDockedPanel() {
        const auto& [top, child] = dockable_[pick(int(dockable_.size()))];
        const RECT away = windowRect(windows_.ordinaryList);
        walkTo((away.left + away.right) / 2, (away.top + away.bottom) / 2);
        const int screen = screenWidth();
        waitFor([&] { return windowRect(panel_).left == screen; });
        responsive(panel_);
        Sleep(250);
        const RECT t = windowRect(top), c = windowRect(child);
        const int handY = c.top + 20 + pick(std::max(1L, c.bottom - c.top - 40));
        walkTo(std::max(t.left, c.left) + 3 + pick(20), handY);
        // The tick sets the panel's left edge before its top: the rectangle is final only once
        // the panel takes a message again. Read earlier, it can still show the last docking's
        // height, and the press would land beside the panel.
        const bool docked =
            waitFor([&] { return windowRect(panel_).left == t.left; }) && responsive(panel_);
        const RECT p = windowRect(panel_);
        if (!docked || handY < p.top || handY >= p.bottom) {
            POINT at{};
            GetCursorPos(&at);
            const HWND under = WindowFromPoint(at);
            note("no docking at \"%s\" (left %ld) beside the hand at height %d: the cursor at "
                 "%ld,%ld over a \"%s\", the panel at %ld,%ld-%ld,%ld",
                 narrow(windowText(top)).c_str(), t.left, handY, at.x, at.y,
                 narrow(className(under)).c_str(), p.left, p.top, p.right, p.bottom);
            ++missedDockings_;
            return;
        }
        const int cell = pick(4);
        windows_.clearReceived();
        // A second press soon after the first would be a double-click.
        Sleep(GetDoubleClickTime() + 50);
        const RECT before = windowRect(panel_);
        if (before.left != p.left || before.top != p.top) {
            note("the panel moved from %ld,%ld to %ld,%ld while the hand rested beside it",
                 p.left, p.top, before.left, before.top);
            ++jumps_;
            return;
        }
        click(p.left + 2 + pick(14), p.top + cell * pitchPx + 1 + pick(13));
        ++presses_;
        const size_t expected = cell == 3 ? 3 : 4; // "x" is down, char, up
        takeDebugOutput();
        if (waitFor([&] { return keysTo(top) >= expected; }, 3000)) {
            ++pressesAnswered_;
        } else {
            const HWND foreground = GetForegroundWindow();
            note("a press on cell %d serving \"%s\": its keys did not arrive; the foreground is "
                 "now \"%s\" (%s)",
                 cell, narrow(windowText(top)).c_str(), narrow(windowText(foreground)).c_str(),
                 narrow(className(foreground)).c_str());
            for (const std::string& line : takeDebugOutput())
                note("the program says: %s", line.c_str());
        }
        Sleep(100);
        const std::string when = "a press on cell " + std::to_string(cell) + " serving \"" +
                                 narrow(windowText(top)) + "\"";
        checkStrays(top, when.c_str());
    }

    size_t keysTo(HWND top) const {
        size_t n = 0;
        for (const Received& r : windows_.received(top)) n += isKeyMessage(r.message);
        return n;
    }

    void checkStrays(HWND served, const char* when) {
        for (const Received& r : windows_.received()) {
            if (!isKeyMessage(r.message) || r.topLevel == served) continue;
            if (strayKeys_++ < 5)
                check(false, "%s: a key (message %04x, key %02x) reached \"%s\", not the served "
                             "window",
                      when, r.message, unsigned(r.wParam), narrow(windowText(r.topLevel)).c_str());
        }
        windows_.clearReceived();
    }
    void checkNoKeys(const char* when) { checkStrays(nullptr, when); }

    Process& edgepad_;
    HWND panel_;
    std::mt19937 random_;
    TestWindows& windows_;
    std::vector<std::pair<HWND, HWND>> dockable_;
    std::vector<std::pair<HWND, HWND>> served_;
    int paths_ = 0;
    int presses_ = 0;
    int pressesAnswered_ = 0;
    int exitCorners_ = 0;
    int strayKeys_ = 0;
    int missedDockings_ = 0;
    int jumps_ = 0;
};

} // namespace

E2E_SCENARIO(soak) {
    const DWORD seconds = environmentNumber(L"EDGEPAD_SOAK_SECONDS", 60);
    const std::uint32_t seed = environmentNumber(L"EDGEPAD_SOAK_SEED", GetTickCount());
    note("soak for %lu s, seed %u (EDGEPAD_SOAK_SEED=%u replays it)", seconds, seed, seed);

    TestWindows& windows = TestWindows::open();
    listenToDebugOutput(); // a press the program declines says why there
    const std::wstring exe = installEdgepad(L"soak");
    writeFile(iniBeside(exe), "[DATA]\r\nUSER_COMMAND=x\r\nUSER_COMMAND_ON=1\r\n");
    const std::optional<std::string> settingsBefore = readFile(iniBeside(exe));
    const RECT rest = windowRect(windows.ordinaryList);
    moveCursor((rest.left + rest.right) / 2, (rest.top + rest.bottom) / 2);
    Process edgepad(exe);
    if (!check(edgepad.start(), "edgepad.exe starts")) return;
    const HWND panel = edgepad.waitPanel();
    if (!check(panel != nullptr, "the panel appears")) return;

    Soak soak(edgepad, panel, seed);
    // The first minutes' worth of the program's lazy allocations (the menu form, the region
    // table, the pictures) come with the first dockings: the baseline follows a short warm-up.
    const ULONGLONG start = GetTickCount64();
    while (GetTickCount64() - start < 5000 && edgepad.running()) soak.step();
    const Figures first = measure(edgepad);
    print("start", first);
    if (!first.windowClasses.empty()) note("the program's windows: %s", first.windowClasses.c_str());

    const ULONGLONG deadline = start + ULONGLONG(seconds) * 1000;
    ULONGLONG nextReport = GetTickCount64() + 60000;
    while (GetTickCount64() < deadline && edgepad.running()) {
        soak.step();
        if (GetTickCount64() >= nextReport) {
            print("running", measure(edgepad));
            nextReport += 60000;
        }
    }
    const bool running = edgepad.running() && responsive(panel);
    const Figures last = running ? measure(edgepad) : Figures{};
    print("end", last);
    soak.report();

    check(running, "the program runs and answers after %lu s", seconds);
    if (!running) {
        DWORD code = 0;
        GetExitCodeProcess(edgepad.handle(), &code);
        note("the program %s (exit code 0x%08lx)",
             code == STILL_ACTIVE ? "does not answer" : "has ended", code);
        return;
    }
    check(soak.strayKeys() == 0, "no key reached a window other than the served one");
    check(soak.missedDockings() == 0, "the panel docked every time it was asked to (%d missed)",
          soak.missedDockings());
    check(soak.jumps() == 0, "the docked panel held still under the resting hand (%d moves)",
          soak.jumps());
    check(soak.presses() > 0 && soak.pressesAnswered() == soak.presses(),
          "the served window received the keys of %d of %d presses", soak.pressesAnswered(),
          soak.presses());
    // A count that nothing here can read shows as -1 and is left out. After keys went astray,
    // Wine sets up COM on the program's thread, once: one window ("OleMainThreadWndClass") and
    // six GDI objects. A leak per docking or per press grows far beyond that.
    auto flat = [](const char* what, long before, long after, long once) {
        if (before < 0 || after < 0) {
            note("%s: not counted here", what);
            return;
        }
        check(after <= before + once, "%s %ld -> %ld: flat", what, before, after);
    };
    if (last.windowClasses != first.windowClasses)
        note("the program's windows at the end: %s", last.windowClasses.c_str());
    flat("GDI objects", first.gdiObjects, last.gdiObjects, 8);
    flat("USER objects", first.userObjects, last.userObjects, 2);
    flat("kernel handles", first.handles, last.handles, 2);
    // Wine reports no private bytes; the Linux count of private pages stands in for them.
    const bool fromLinux = first.privateBytes == 0 && first.anonKb >= 0;
    const long firstKb = fromLinux ? first.anonKb : long(first.privateBytes / 1024);
    const long lastKb = fromLinux ? last.anonKb : long(last.privateBytes / 1024);
    check(lastKb - firstKb < 1024, "private memory %ld KB -> %ld KB (%s): flat (%+ld KB)", firstKb,
          lastKb, fromLinux ? "Linux RssAnon" : "private bytes", lastKb - firstKb);
    check(readFile(iniBeside(exe)) == settingsBefore, "the settings file is unchanged");
}
