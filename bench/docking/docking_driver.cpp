// The docking benchmark's helper under Wine.
//
//   docking_driver windows <file>          opens a file manager with a tree pane at its left
//                                          edge, writes the cursor spots of the benchmark to
//                                          <file> and keeps the windows up until killed
//   docking_driver latency <edgepad.exe> <entries>
//                                          opens the same windows, starts Edgepad and times,
//                                          entry by entry, how long the panel takes to reach
//                                          the window's edge after the cursor enters its strip,
//                                          to park after it leaves, and to show the exit bar
//                                          after it reaches the corner
//
// The cursor moves as a hand moves it: SetCursorPos, then a mouse move of no length through
// SendInput, since SetCursorPos alone is no input and a program that listens to the mouse
// would never hear of it.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The served window; its tree pane fills the left of the client area, so the first 30 pixels
// of the window lie over a "Sys" class.
constexpr int kWindowLeft = 200, kWindowTop = 150, kWindowWidth = 500, kWindowHeight = 400;
constexpr int kStripPx = 30;

struct Spots {
    RECT frame{};
    POINT desktop{}, strip{}, outside{};
};

HANDLE windowsReady = nullptr;
Spots spots;

LRESULT CALLBACK frameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SIZE) {
        HWND tree = GetDlgItem(hwnd, 1), list = GetDlgItem(hwnd, 2);
        const int width = LOWORD(lParam), height = HIWORD(lParam);
        MoveWindow(tree, 0, 0, width / 3, height, TRUE);
        MoveWindow(list, width / 3, 0, width - width / 3, height, TRUE);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

DWORD WINAPI windowThread(void*) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES;
    InitCommonControlsEx(&controls);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = frameProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"CabinetWClass";
    RegisterClassExW(&wc);
    HWND frame = CreateWindowExW(0, L"CabinetWClass", L"Bench files", WS_OVERLAPPEDWINDOW,
                                 kWindowLeft, kWindowTop, kWindowWidth, kWindowHeight, nullptr,
                                 nullptr, wc.hInstance, nullptr);
    CreateWindowExW(0, WC_TREEVIEWW, L"", WS_CHILD | WS_VISIBLE | TVS_HASLINES, 0, 0, 10, 10, frame,
                    reinterpret_cast<HMENU>(1), wc.hInstance, nullptr);
    CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, 10, 10, frame,
                    reinterpret_cast<HMENU>(2), wc.hInstance, nullptr);
    ShowWindow(frame, SW_SHOWNOACTIVATE);
    UpdateWindow(frame);

    RECT rect{}, client{};
    GetWindowRect(frame, &rect);
    GetClientRect(frame, &client);
    POINT clientOrigin{0, 0};
    ClientToScreen(frame, &clientOrigin);
    spots.frame = rect;
    const int middleY = clientOrigin.y + client.bottom / 2;
    // Inside the strip and over the tree pane, whatever the frame's border width.
    spots.strip = {std::max(clientOrigin.x, rect.left) + 2, middleY};
    spots.outside = {rect.left + kStripPx + 40, middleY};
    spots.desktop = {rect.right + 100, rect.bottom + 50};
    SetEvent(windowsReady);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

void openWindows() {
    windowsReady = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    CreateThread(nullptr, 0, windowThread, nullptr, 0, nullptr);
    WaitForSingleObject(windowsReady, INFINITE);
}

double nowMs() {
    static LARGE_INTEGER frequency{};
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

struct PanelSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK findPanel(HWND hwnd, LPARAM lParam) {
    auto* search = reinterpret_cast<PanelSearch*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    wchar_t title[16] = {};
    GetWindowTextW(hwnd, title, 16);
    if (owner == search->processId && std::wstring(title) == L"Form1") {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// Polls every millisecond until the condition holds; false after timeoutMs.
template <class Condition> bool waitFor(Condition condition, double timeoutMs) {
    const double end = nowMs() + timeoutMs;
    while (!condition()) {
        if (nowMs() > end) return false;
        Sleep(1);
    }
    return true;
}

void nudgeMouse() {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_MOVE;
    SendInput(1, &input, sizeof input);
}

void handAt(POINT spot) {
    SetCursorPos(spot.x, spot.y);
    nudgeMouse();
}

bool cursorAt(POINT spot) {
    POINT at{};
    GetCursorPos(&at);
    return at.x == spot.x && at.y == spot.y;
}

// Wine answers GetCursorPos from its own record for 100 ms after a move and from the X server
// after that; a warp the X server never carried out shows only then. Such a move is made
// again, and the entry is timed from the move that held.
int lostMoves = 0;

// Moves the cursor and returns once the X server agrees (or after ten tries).
void moveCursor(POINT spot) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        handAt(spot);
        const double moved = nowMs();
        if (waitFor([&] { return nowMs() - moved > 150 && cursorAt(spot); }, 400)) return;
        ++lostMoves;
    }
}

int latency(const wchar_t* edgepadExe, int entries) {
    openWindows();
    moveCursor(spots.desktop);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring commandLine = L"\"" + std::wstring(edgepadExe) + L"\"";
    if (!CreateProcessW(edgepadExe, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        std::printf("cannot start edgepad (error %lu)\n", GetLastError());
        return 2;
    }
    PanelSearch search{process.dwProcessId, nullptr};
    waitFor(
        [&] {
            EnumWindows(findPanel, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        15000);
    if (!search.found) {
        std::printf("no panel\n");
        TerminateProcess(process.hProcess, 1);
        return 2;
    }
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    auto panelLeft = [&] {
        RECT rect{};
        GetWindowRect(search.found, &rect);
        return rect.left;
    };

    std::vector<double> samples;
    // Entries during which the cursor read somewhere else for a while after it had reached the
    // strip: the X server carried out an older move late. A tick then sees the old spot.
    std::vector<double> bouncedSamples;
    std::vector<double> stalls; // from the parked rectangle to the panel taking messages again
    std::vector<double> parkings, exitBars;
    int missed = 0;
    srand(12345);
    for (int entry = 0; entry < entries; ++entry) {
        moveCursor(spots.outside);
        if (!waitFor([&] { return panelLeft() >= screenWidth; }, 5000)) ++missed;
        // The panel's thread may still be busy with the move (Wine without a window manager
        // waits up to 2 s for one that never answers); enter only once it takes messages.
        const double parked = nowMs();
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(search.found, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
        stalls.push_back(nowMs() - parked);
        // Enter at a random phase of the program's 100 ms tick.
        Sleep(20 + DWORD(rand() % 100));
        double entered = 0;
        bool docked = false;
        bool bounced = false;
        for (int attempt = 0; attempt < 5 && !docked; ++attempt) {
            handAt(spots.strip);
            entered = nowMs();
            bounced = false;
            bool reached = false;
            docked = waitFor(
                [&] {
                    if (panelLeft() == spots.frame.left) return true;
                    const bool there = cursorAt(spots.strip);
                    if (reached && !there) bounced = true;
                    reached = reached || there;
                    // Lost in the X server: no docking can follow from this move.
                    if (nowMs() - entered > 150 && !cursorAt(spots.strip)) return true;
                    return false;
                },
                5000);
            docked = docked && panelLeft() == spots.frame.left;
            if (!docked && !cursorAt(spots.strip))
                ++lostMoves;
            else
                break;
        }
        if (docked)
            (bounced ? bouncedSamples : samples).push_back(nowMs() - entered);
        else
            ++missed;
        if (!docked) continue;
        // Leaving, after a rest as a hand rests there: from the move to the panel parked
        // beyond the screen.
        Sleep(20 + DWORD(rand() % 100));
        handAt(spots.outside);
        const double left = nowMs();
        if (waitFor([&] { return panelLeft() >= screenWidth; }, 5000))
            parkings.push_back(nowMs() - left);
        // The corner: from the move to the exit bar standing at (-1, -1); then away again.
        SendMessageTimeoutW(search.found, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
        Sleep(20 + DWORD(rand() % 100));
        handAt(POINT{0, 0});
        const double cornered = nowMs();
        if (waitFor([&] { return panelLeft() == -1; }, 5000)) exitBars.push_back(nowMs() - cornered);
        moveCursor(spots.outside);
        waitFor([&] { return panelLeft() >= screenWidth; }, 5000);
    }
    TerminateProcess(process.hProcess, 0);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);

    std::vector<double> all = samples;
    all.insert(all.end(), bouncedSamples.begin(), bouncedSamples.end());
    std::sort(all.begin(), all.end());
    std::sort(samples.begin(), samples.end());
    std::sort(bouncedSamples.begin(), bouncedSamples.end());
    if (all.empty()) {
        std::printf("docking latency: no entry docked (%d missed)\n", missed);
        return 1;
    }
    std::sort(stalls.begin(), stalls.end());
    auto percentileOf = [](const std::vector<double>& sorted, double p) {
        const size_t index =
            std::min(sorted.size() - 1, size_t(p * double(sorted.size() - 1) + 0.5));
        return sorted[index];
    };
    auto percentile = [&](double p) { return percentileOf(all, p); };
    std::printf("docking latency over %zu entries (%d missed, %d cursor moves lost by the X "
                "server and made again): median %.1f ms, 95th percentile %.1f ms, min %.1f ms, "
                "max %.1f ms\n",
                all.size(), missed, lostMoves, percentile(0.5), percentile(0.95), all.front(),
                all.back());
    if (!bouncedSamples.empty()) {
        std::printf("  of them %zu with the cursor reading its old spot again after the move: "
                    "median %.1f ms, max %.1f ms\n",
                    bouncedSamples.size(), percentileOf(bouncedSamples, 0.5),
                    bouncedSamples.back());
        if (!samples.empty())
            std::printf("  the other %zu: median %.1f ms, 95th percentile %.1f ms, max %.1f ms\n",
                        samples.size(), percentileOf(samples, 0.5), percentileOf(samples, 0.95),
                        samples.back());
    }
    std::sort(parkings.begin(), parkings.end());
    std::sort(exitBars.begin(), exitBars.end());
    if (!parkings.empty())
        std::printf("parking latency over %zu leavings: median %.1f ms, 95th percentile %.1f ms, "
                    "max %.1f ms\n",
                    parkings.size(), percentileOf(parkings, 0.5), percentileOf(parkings, 0.95),
                    parkings.back());
    if (!exitBars.empty())
        std::printf("exit bar latency over %zu visits to the corner: median %.1f ms, 95th "
                    "percentile %.1f ms, max %.1f ms\n",
                    exitBars.size(), percentileOf(exitBars, 0.5), percentileOf(exitBars, 0.95),
                    exitBars.back());
    if (!stalls.empty())
        std::printf("after parking, the panel took messages again after: median %.1f ms, 95th "
                    "percentile %.1f ms, max %.1f ms\n",
                    percentileOf(stalls, 0.5), percentileOf(stalls, 0.95), stalls.back());
    return 0;
}

int windows(const wchar_t* spotsFile) {
    openWindows();
    FILE* out = _wfopen(spotsFile, L"wb");
    if (!out) return 2;
    std::fprintf(out, "desktop %ld %ld\nstrip %ld %ld\noutside %ld %ld\nframeleft %ld\n",
                 spots.desktop.x, spots.desktop.y, spots.strip.x, spots.strip.y, spots.outside.x,
                 spots.outside.y, spots.frame.left);
    std::fclose(out);
    Sleep(INFINITE);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY); // LF line ends, not Wine's CR LF
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"windows" && argc == 3) return windows(argv[2]);
    if (mode == L"latency" && argc == 4) return latency(argv[2], _wtoi(argv[3]));
    std::printf("usage: docking_driver windows <file> | latency <edgepad.exe> <entries>\n");
    return 2;
}
