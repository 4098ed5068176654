// Start-up time of a resident program: from CreateProcess until the program waits for input
// (its start-up code has returned to the message loop; the first timer tick follows) and its
// window is visible. One line of figures per program, in milliseconds, with the medians of
// the two steps on the way: the window created, the window shown.
//
//   bench_startup <program.exe> <window title> <runs>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <psapi.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// The window of `processId` titled `title`, or null.
HWND findWindow(DWORD processId, const std::wstring& title) {
    struct Search {
        DWORD processId;
        const std::wstring* title;
        HWND found;
    } search{processId, &title, nullptr};
    EnumWindows(
        [](HWND hwnd, LPARAM lParam) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(lParam);
            DWORD owner = 0;
            GetWindowThreadProcessId(hwnd, &owner);
            wchar_t text[64] = {};
            GetWindowTextW(hwnd, text, 64);
            if (owner == s.processId && *s.title == text) s.found = hwnd;
            return !s.found;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct Start {
    double windowMs = -1;  // until the window exists
    double visibleMs = -1; // until it is visible
    double readyMs = -1;   // until it is visible and the program waits for input
};

double msSince(const LARGE_INTEGER& begin) {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return double(now.QuadPart - begin.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// One start, timed; the program is ended before the next, so that a single-instance check
// never sees it.
Start timeOneStart(const std::wstring& program, const std::wstring& title) {
    LARGE_INTEGER begin;
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    Start start;
    QueryPerformanceCounter(&begin);
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &info))
        return start;
    const ULONGLONG deadline = GetTickCount64() + 10000;
    HWND window = nullptr;
    while (!(window = findWindow(info.dwProcessId, title)) && GetTickCount64() < deadline)
        Sleep(1);
    if (window) {
        start.windowMs = msSince(begin);
        while (!IsWindowVisible(window) && GetTickCount64() < deadline) Sleep(1);
        start.visibleMs = msSince(begin);
        WaitForInputIdle(info.hProcess, 10000);
        start.readyMs = msSince(begin);
    }
    TerminateProcess(info.hProcess, 0);
    WaitForSingleObject(info.hProcess, 10000);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return start;
}

struct Memory {
    unsigned long long workingSetKb = 0;
    unsigned long long privateKb = 0;
};

Memory memoryOf(HANDLE process) {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    Memory memory;
    if (K32GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                sizeof counters)) {
        memory.workingSetKb = counters.WorkingSetSize / 1024;
        // Windows keeps the two equal; Wine fills only the page-file figure for another
        // process.
        memory.privateKb =
            (counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage) / 1024;
    }
    return memory;
}

// Memory of the resident program once it waits for input, and again `seconds` later.
bool measureMemory(const std::wstring& program, const std::wstring& title, int seconds) {
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info))
        return false;
    const ULONGLONG deadline = GetTickCount64() + 10000;
    while (!findWindow(info.dwProcessId, title) && GetTickCount64() < deadline)
        Sleep(10);
    WaitForInputIdle(info.hProcess, 10000);
    // Its first ticks run before the first reading.
    Sleep(1000);
    const Memory started = memoryOf(info.hProcess);
    Sleep(DWORD(seconds) * 1000);
    const Memory later = memoryOf(info.hProcess);
    TerminateProcess(info.hProcess, 0);
    WaitForSingleObject(info.hProcess, 10000);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    std::printf("memory workingset %llu private %llu later-workingset %llu later-private %llu "
                "seconds %d\n",
                started.workingSetKb, started.privateKb, later.workingSetKb, later.privateKb,
                seconds);
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr,
                     "usage: bench_startup <program.exe> <window title> <runs> [memory seconds]\n");
        return 2;
    }
    const std::wstring program = argv[1];
    const std::wstring title = argv[2];
    const int runs = std::max(1, _wtoi(argv[3]));

    timeOneStart(program, title); // the first start pays for loading Wine's DLLs
    std::vector<double> ready, window, visible;
    for (int i = 0; i < runs; ++i) {
        const Start start = timeOneStart(program, title);
        if (start.readyMs < 0) {
            std::printf("failed: no window titled as expected\n");
            return 1;
        }
        ready.push_back(start.readyMs);
        window.push_back(start.windowMs);
        visible.push_back(start.visibleMs);
    }
    std::printf("median %.1f min %.1f max %.1f runs %zu window %.1f visible %.1f\n",
                median(ready), *std::min_element(ready.begin(), ready.end()),
                *std::max_element(ready.begin(), ready.end()), ready.size(), median(window),
                median(visible));
    std::fflush(stdout);
    if (argc == 5 && !measureMemory(program, title, std::max(0, _wtoi(argv[4])))) {
        std::printf("failed: could not start the program for the memory reading\n");
        return 1;
    }
    return 0;
}
