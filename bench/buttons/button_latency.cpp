// Press-to-last-key latency of the panel's buttons under Wine: the time from the left button
// going down on a cell to the served window handling the last key event of the cell's action.
// Prints figures, asserts nothing.
//
// Usage: bench_buttons <edgepad.exe> <work folder> [presses per action, default 50]
//
// The served window is a browser frame on a thread of this program; its window procedure
// stamps every key message with the performance counter as it handles it. The user button
// types "ab" (four key events), so that every action ends with a fourth key event.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int pitchPx = 15;
constexpr int keysPerAction = 4;
constexpr DWORD keyTimeoutMs = 6000;

LARGE_INTEGER frequency;
CRITICAL_SECTION stampsLock;
std::vector<LONGLONG> keyStamps;

LONGLONG now() {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

double toMs(LONGLONG ticks) { return double(ticks) * 1000.0 / double(frequency.QuadPart); }

LRESULT CALLBACK recordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN ||
        message == WM_SYSKEYUP) {
        const LONGLONG stamp = now();
        EnterCriticalSection(&stampsLock);
        keyStamps.push_back(stamp);
        LeaveCriticalSection(&stampsLock);
    }
    // Stays open on Alt+F4, so that the close cell can be pressed again and again.
    if (message == WM_CLOSE) return 0;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

struct Target {
    HWND frame = nullptr;
    HWND view = nullptr;
    HWND elsewhere = nullptr; // where the user works before each press
    HANDLE ready = nullptr;
};

DWORD WINAPI targetThread(void* parameter) {
    auto* target = static_cast<Target*>(parameter);
    for (const wchar_t* name : {L"IEFrame", L"Internet Explorer_Server", L"LatencyElsewhere"}) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = recordingProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
        wc.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
        wc.lpszClassName = name;
        RegisterClassExW(&wc);
    }
    target->frame =
        CreateWindowExW(0, L"IEFrame", L"Latency target", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100,
                        100, 600, 500, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    RECT client{};
    GetClientRect(target->frame, &client);
    target->view = CreateWindowExW(0, L"Internet Explorer_Server", L"", WS_CHILD | WS_VISIBLE, 0, 0,
                                   client.right, client.bottom, target->frame, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
    target->elsewhere =
        CreateWindowExW(0, L"LatencyElsewhere", L"Elsewhere", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 760,
                        100, 400, 300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetEvent(target->ready);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

std::size_t stampCount() {
    EnterCriticalSection(&stampsLock);
    const std::size_t count = keyStamps.size();
    LeaveCriticalSection(&stampsLock);
    return count;
}

LONGLONG stampAt(std::size_t index) {
    EnterCriticalSection(&stampsLock);
    const LONGLONG stamp = keyStamps[index];
    LeaveCriticalSection(&stampsLock);
    return stamp;
}

template <class Condition> bool waitFor(Condition condition, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() >= deadline) return false;
        Sleep(1);
    }
}

RECT rectOf(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return r;
}

void mouse(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

// As a hand moves it: SetCursorPos alone is no input, and the program listens to the mouse.
void moveCursor(int x, int y) {
    waitFor(
        [&] {
            SetCursorPos(x, y);
            mouse(MOUSEEVENTF_MOVE);
            POINT at{};
            return GetCursorPos(&at) && at.x == x && at.y == y;
        },
        3000);
}

// Under Wine without a window manager a move off the screen holds the panel's thread for up
// to two seconds; a message answered means it takes input again.
void waitResponsive(HWND panel) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(panel, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
}

HWND findPanel(DWORD processId) {
    struct Search {
        DWORD processId;
        HWND found;
    } search{processId, nullptr};
    EnumWindows(
        [](HWND hwnd, LPARAM lParam) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(lParam);
            DWORD owner = 0;
            GetWindowThreadProcessId(hwnd, &owner);
            wchar_t title[16] = {};
            GetWindowTextW(hwnd, title, 16);
            if (owner == s.processId && std::wstring(title) == L"Form1") {
                s.found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct Rig {
    Target target;
    HWND panel = nullptr;
    POINT rest{};
    POINT strip{};
    int screenWidth = 0;

    bool parked() const { return rectOf(panel).left == screenWidth; }
    bool docked() const { return rectOf(panel).left == rectOf(target.frame).left; }

    // Away for a few ticks, then into the strip: the panel docks anew.
    bool dock() {
        moveCursor(rest.x, rest.y);
        if (!waitFor([&] { return parked(); }, 5000)) {
            std::fprintf(stderr, "the panel did not park\n");
            return false;
        }
        waitResponsive(panel);
        Sleep(300);
        moveCursor(strip.x, strip.y);
        if (!waitFor([&] { return docked(); }, 5000)) {
            std::fprintf(stderr, "the panel did not dock\n");
            return false;
        }
        waitResponsive(panel);
        return true;
    }

    // One left press on a cell of the docked panel: the time to the fourth key event, or a
    // negative number when the keys did not arrive as four.
    double press(int cell, const char* what) {
        const RECT p = rectOf(panel);
        moveCursor(p.left + 9, p.top + cell * pitchPx + 7);
        // The user was working in another window; a quick second press would be a double-click.
        SetForegroundWindow(target.elsewhere);
        waitFor([&] { return GetForegroundWindow() == target.elsewhere; }, 2000);
        Sleep(GetDoubleClickTime() + 300);
        const std::size_t before = stampCount();
        const LONGLONG start = now();
        mouse(MOUSEEVENTF_LEFTDOWN);
        mouse(MOUSEEVENTF_LEFTUP);
        const bool arrived =
            waitFor([&] { return stampCount() >= before + keysPerAction; }, keyTimeoutMs);
        Sleep(100); // nothing more is expected
        const std::size_t got = stampCount() - before;
        if (!arrived || got != keysPerAction) {
            std::fprintf(stderr, "%s: %zu key events instead of %d\n", what, got, keysPerAction);
            return -1;
        }
        return toMs(stampAt(before + keysPerAction - 1) - start);
    }
};

void report(const char* what, std::vector<double> times, int failures) {
    if (times.empty()) {
        std::printf("%-34s no press delivered its keys (%d failed)\n", what, failures);
        return;
    }
    std::sort(times.begin(), times.end());
    const auto at = [&](double q) { return times[std::size_t(q * double(times.size() - 1))]; };
    std::printf("%-34s n=%3zu  median %7.1f ms  p95 %7.1f ms  min %7.1f  max %7.1f", what,
                times.size(), at(0.5), at(0.95), times.front(), times.back());
    if (failures) std::printf("  (%d presses lost)", failures);
    std::printf("\n");
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_buttons <edgepad.exe> <work folder> [presses]\n");
        return 2;
    }
    const std::wstring program = argv[1];
    const std::wstring work = argv[2];
    const int presses = argc > 3 ? std::max(1, _wtoi(argv[3])) : 50;
    QueryPerformanceFrequency(&frequency);
    InitializeCriticalSection(&stampsLock);

    Rig rig;
    rig.screenWidth = GetSystemMetrics(SM_CXSCREEN);
    rig.target.ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    CloseHandle(CreateThread(nullptr, 0, targetThread, &rig.target, 0, nullptr));
    WaitForSingleObject(rig.target.ready, 10000);
    const RECT frame = rectOf(rig.target.frame);
    const RECT view = rectOf(rig.target.view);
    rig.strip = POINT{std::max(frame.left, view.left) + 3, (view.top + view.bottom) / 2};
    rig.rest = POINT{rig.screenWidth / 2 + 200, GetSystemMetrics(SM_CYSCREEN) - 60};

    // A copy of the program with the user button on, typing "ab".
    CreateDirectoryW(work.c_str(), nullptr);
    const std::wstring folder = work + L"\\button_latency";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring exe = folder + L"\\edgepad.exe";
    const std::wstring ini = folder + L"\\edgepad.ini";
    CopyFileW(program.c_str(), exe.c_str(), FALSE);
    DeleteFileW(ini.c_str());
    WritePrivateProfileStringW(L"DATA", L"USER_COMMAND", L"ab", ini.c_str());
    WritePrivateProfileStringW(L"DATA", L"USER_COMMAND_ON", L"1", ini.c_str());

    moveCursor(rig.rest.x, rig.rest.y);
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &info)) {
        std::fprintf(stderr, "edgepad.exe does not start\n");
        return 1;
    }
    CloseHandle(info.hThread);
    waitFor([&] { return (rig.panel = findPanel(info.dwProcessId)) != nullptr; }, 15000);
    if (!rig.panel) {
        std::fprintf(stderr, "no panel appeared\n");
        TerminateProcess(info.hProcess, 1);
        return 1;
    }

    struct Action {
        const char* what;
        int cell;
        bool parks; // the panel parks after it, so every press needs a new docking
    };
    const Action actions[] = {{"cell 1, back (Alt+Left)", 1, false},
                              {"cell 2, forward (Alt+Right)", 2, false},
                              {"cell 0, close (Alt+F4)", 0, true},
                              {"cell 3, user button (\"ab\")", 3, true}};
    std::printf("press-to-last-key latency, %d presses per action\n", presses);
    for (const Action& action : actions) {
        std::vector<double> times;
        int failures = 0;
        bool dockedNow = false;
        for (int i = 0; i < presses; ++i) {
            if (!dockedNow && !rig.dock()) {
                ++failures;
                continue;
            }
            const double ms = rig.press(action.cell, action.what);
            if (ms < 0)
                ++failures;
            else
                times.push_back(ms);
            dockedNow = !action.parks && ms >= 0;
        }
        report(action.what, times, failures);
        std::fflush(stdout);
    }
    std::printf("%-34s %7.1f ms by design (before parking)\n", "user button's settling wait",
                200.0);

    TerminateProcess(info.hProcess, 0);
    WaitForSingleObject(info.hProcess, 5000);
    CloseHandle(info.hProcess);
    return 0;
}
