// The soak: the real program runs while the cursor wanders along random paths across served
// and unserved windows, the exit corner and the panel, and the panel's back, forward and user
// cells are pressed again and again. Every key the test windows receive is recorded. Nothing
// may crash, no key may reach a window other than the served one, and the program's memory
// and its GDI and USER objects stay flat; their figures are printed at the start and the end.
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

bool responsive(HWND panel) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(panel, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored) != 0;
}

// ---- What the program costs, read from outside.
struct Figures {
    SIZE_T workingSet = 0;
    SIZE_T privateBytes = 0;
    DWORD gdiObjects = 0;
    DWORD userObjects = 0;
    DWORD handles = 0;
    long rssKb = -1;  // resident, from /proc under Wine; -1 when not found
    long anonKb = -1; // of which private (heap, stacks, anonymous maps)
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

Figures measure(const Process& edgepad) {
    Figures f;
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (K32GetProcessMemoryInfo(edgepad.handle(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                                sizeof memory)) {
        f.workingSet = memory.WorkingSetSize;
        f.privateBytes = memory.PrivateUsage;
    }
    f.gdiObjects = GetGuiResources(edgepad.handle(), GR_GDIOBJECTS);
    f.userObjects = GetGuiResources(edgepad.handle(), GR_USEROBJECTS);
    GetProcessHandleCount(edgepad.handle(), &f.handles);
    readUnixMemory(edgepad.exePath(), f);
    return f;
}

void print(const char* when, const Figures& f) {
    note("%s: working set %lu KB, private bytes %lu KB; Linux: resident %ld KB, private %ld KB; "
         "GDI objects %lu, USER objects %lu, kernel handles %lu",
         when, static_cast<unsigned long>(f.workingSet / 1024),
         static_cast<unsigned long>(f.privateBytes / 1024), f.rssKb, f.anonKb, f.gdiObjects,
         f.userObjects, f.handles);
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
        note("%d paths walked, %d presses on cells 1, 2 and 3 (%d with their keys seen), %d "
             "visits to the exit corner, %d stray keys",
             paths_, presses_, pressesAnswered_, exitCorners_, strayKeys_);
    }
    int strayKeys() const { return strayKeys_; }
    int presses() const { return presses_; }
    int pressesAnswered() const { return pressesAnswered_; }
    int missedDockings() const { return missedDockings_; }

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
            SetCursorPos(px, py);
            Sleep(5 + pick(60));
        }
        moveCursor(x, y);
        Sleep(pick(250));
    }

    // Rests away, docks the panel at a served window, presses cell 1, 2 or 3, and waits for
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
        walkTo(std::max(t.left, c.left) + 3 + pick(20), c.top + 20 + pick(std::max(1L, c.bottom - c.top - 40)));
        if (!waitFor([&] { return windowRect(panel_).left == t.left; })) {
            POINT at{};
            GetCursorPos(&at);
            const HWND under = WindowFromPoint(at);
            note("no docking at \"%s\" (left %ld): the cursor at %ld,%ld over a \"%s\", the panel "
                 "at %ld,%ld",
                 narrow(windowText(top)).c_str(), t.left, at.x, at.y,
                 narrow(className(under)).c_str(), windowRect(panel_).left, windowRect(panel_).top);
            ++missedDockings_;
            return;
        }
        const RECT p = windowRect(panel_);
        const int cell = 1 + pick(3);
        windows_.clearReceived();
        // A second press soon after the first would be a double-click.
        Sleep(GetDoubleClickTime() + 50);
        click(p.left + 2 + pick(14), p.top + cell * pitchPx + 1 + pick(13));
        ++presses_;
        const size_t expected = cell == 3 ? 3 : 4; // "x" is down, char, up
        if (waitFor([&] { return keysTo(top) >= expected; }, 3000)) ++pressesAnswered_;
        Sleep(100);
        checkStrays(top, "a press on cell");
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
};

} // namespace

E2E_SCENARIO(soak) {
    const DWORD seconds = environmentNumber(L"EDGEPAD_SOAK_SECONDS", 60);
    const std::uint32_t seed = environmentNumber(L"EDGEPAD_SOAK_SEED", GetTickCount());
    note("soak for %lu s, seed %u (EDGEPAD_SOAK_SEED=%u replays it)", seconds, seed, seed);

    TestWindows& windows = TestWindows::open();
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
    if (!running) return;
    check(soak.strayKeys() == 0, "no key reached a window other than the served one");
    check(soak.missedDockings() == 0, "the panel docked every time it was asked to (%d missed)",
          soak.missedDockings());
    check(soak.presses() > 0 && soak.pressesAnswered() == soak.presses(),
          "every press reached the served window (%d of %d)", soak.pressesAnswered(),
          soak.presses());
    if (first.gdiObjects == 0 && first.userObjects == 0)
        note("GetGuiResources reports 0 GDI and 0 USER objects here (Wine does not count them)");
    check(last.gdiObjects <= first.gdiObjects + 2 && last.userObjects <= first.userObjects + 2,
          "GDI objects %lu -> %lu, USER objects %lu -> %lu: flat", first.gdiObjects,
          last.gdiObjects, first.userObjects, last.userObjects);
    // Wine reports no private bytes; the Linux count of private pages stands in for them.
    const bool fromLinux = first.privateBytes == 0 && first.anonKb >= 0;
    const long firstKb = fromLinux ? first.anonKb : long(first.privateBytes / 1024);
    const long lastKb = fromLinux ? last.anonKb : long(last.privateBytes / 1024);
    check(lastKb - firstKb < 1024, "private memory %ld KB -> %ld KB (%s): flat (%+ld KB)", firstKb,
          lastKb, fromLinux ? "Linux RssAnon" : "private bytes", lastKb - firstKb);
    check(last.handles <= first.handles + 2, "kernel handles %lu -> %lu: flat", first.handles,
          last.handles);
    check(readFile(iniBeside(exe)) == settingsBefore, "the settings file is unchanged");
}
