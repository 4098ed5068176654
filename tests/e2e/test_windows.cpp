// The windows a user has open: a file manager, an older explorer window, a browser frame and
// an ordinary application window, and two browsers of made-up classes kept hidden until a
// scenario shows them. They live on a thread of their own with its own message pump, so that
// the scenario thread can wait and check while they receive input.
#include "e2e.h"

#include <commctrl.h>

#include <cwchar>

namespace e2e {

namespace {

CRITICAL_SECTION receivedLock;
std::vector<Received> receivedLog;

bool recorded(UINT message) {
    switch (message) {
    case WM_KEYDOWN: case WM_KEYUP: case WM_SYSKEYDOWN: case WM_SYSKEYUP: case WM_CHAR:
    case WM_SYSCHAR: case WM_CLOSE: case WM_SYSCOMMAND:
        return true;
    default:
        return false;
    }
}

void record(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!recorded(message)) return;
    EnterCriticalSection(&receivedLock);
    receivedLog.push_back(Received{GetAncestor(hwnd, GA_ROOT), hwnd, message, wParam, lParam});
    LeaveCriticalSection(&receivedLock);
}

// Top-level windows and the browser view: record, and stay open on a close request so that
// a scenario can still look at the window afterwards.
LRESULT CALLBACK recordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    record(hwnd, message, wParam, lParam);
    if (message == WM_CLOSE) return 0;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// The common controls keep their own procedures; a subclass records in front of them.
LRESULT CALLBACK recordingSubclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR, DWORD_PTR) {
    record(hwnd, message, wParam, lParam);
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

HWND topLevel(const wchar_t* className, const wchar_t* title, int x, int y, int width,
              int height, DWORD visible = WS_VISIBLE) {
    return CreateWindowExW(0, className, title, WS_OVERLAPPEDWINDOW | visible, x, y, width,
                           height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

HWND child(HWND parent, const wchar_t* className, int x, int y, int width, int height,
           DWORD style = 0) {
    HWND hwnd = CreateWindowExW(WS_EX_CLIENTEDGE, className, L"",
                                WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    if (wcsncmp(className, L"Sys", 3) == 0)
        SetWindowSubclass(hwnd, recordingSubclass, 1, 0);
    return hwnd;
}

void fillTree(HWND tree) {
    const wchar_t* names[] = {L"Desktop", L"Documents", L"Pictures", L"Music"};
    for (const wchar_t* name : names) {
        TVINSERTSTRUCTW item{};
        item.hParent = TVI_ROOT;
        item.hInsertAfter = TVI_LAST;
        item.item.mask = TVIF_TEXT;
        item.item.pszText = const_cast<wchar_t*>(name);
        SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
}

void fillList(HWND list) {
    const wchar_t* names[] = {L"report.txt", L"photo.bmp", L"notes.ini"};
    int index = 0;
    for (const wchar_t* name : names) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = index++;
        item.pszText = const_cast<wchar_t*>(name);
        SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
}

struct Startup {
    TestWindows* windows;
    HANDLE ready;
};

DWORD WINAPI pumpThread(void* parameter) {
    auto* startup = static_cast<Startup*>(parameter);
    TestWindows& w = *startup->windows;

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    const wchar_t* classes[] = {L"CabinetWClass",
                                L"ExploreWClass",
                                L"IEFrame",
                                L"Internet Explorer_Server",
                                L"EdgepadTestOrdinary",
                                L"EdgepadTestWidgetFrame",
                                L"EdgepadTestWidgetView",
                                L"EdgepadTestPlainFrame",
                                L"Shell_TrayWnd"};
    for (const wchar_t* name : classes) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = recordingProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
        wc.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
        wc.lpszClassName = name;
        RegisterClassExW(&wc);
    }

    // Client areas of 540 x 360 or so; each window's served child starts at its left edge.
    w.fileManager = topLevel(L"CabinetWClass", L"Test file manager", 80, 80, 560, 400);
    RECT client{};
    GetClientRect(w.fileManager, &client);
    w.treeView = child(w.fileManager, WC_TREEVIEWW, 0, 0, 180, client.bottom,
                       TVS_HASLINES | TVS_LINESATROOT);
    w.listView = child(w.fileManager, WC_LISTVIEWW, 180, 0, client.right - 180, client.bottom,
                       LVS_LIST);
    fillTree(w.treeView);
    fillList(w.listView);

    w.explorer = topLevel(L"ExploreWClass", L"Test explorer", 680, 80, 520, 400);
    GetClientRect(w.explorer, &client);
    w.explorerTree = child(w.explorer, WC_TREEVIEWW, 0, 0, client.right, client.bottom,
                           TVS_HASLINES | TVS_LINESATROOT);
    fillTree(w.explorerTree);

    w.browser = topLevel(L"IEFrame", L"Test browser", 80, 520, 560, 400);
    GetClientRect(w.browser, &client);
    w.browserView = child(w.browser, L"Internet Explorer_Server", 0, 0, client.right,
                          client.bottom);

    w.ordinary = topLevel(L"EdgepadTestOrdinary", L"Test ordinary window", 680, 520, 520, 400);
    GetClientRect(w.ordinary, &client);
    w.ordinaryList = child(w.ordinary, WC_LISTVIEWW, 0, 0, client.right, client.bottom,
                           LVS_LIST);
    fillList(w.ordinaryList);

    w.widgetFrame =
        topLevel(L"EdgepadTestWidgetFrame", L"Test widget browser", 80, 520, 560, 400, 0);
    GetClientRect(w.widgetFrame, &client);
    w.widgetView = child(w.widgetFrame, L"EdgepadTestWidgetView", 0, 40, client.right,
                         client.bottom - 40);
    w.plainFrame =
        topLevel(L"EdgepadTestPlainFrame", L"Test plain browser", 680, 520, 520, 400, 0);

    w.taskbar = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"Shell_TrayWnd", L"",
                                WS_POPUP | WS_CLIPCHILDREN, 0, 0, 48, GetSystemMetrics(SM_CYSCREEN),
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    CreateWindowExW(0, L"Button", L"Start", WS_CHILD | WS_VISIBLE, 0, 0, 48, 48, w.taskbar, nullptr,
                    GetModuleHandleW(nullptr), nullptr);

    SetEvent(startup->ready);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

} // namespace

TestWindows& TestWindows::open() {
    static TestWindows* windows = nullptr;
    if (windows) return *windows;
    windows = new TestWindows;
    InitializeCriticalSection(&receivedLock);
    Startup startup{windows, CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    HANDLE thread = CreateThread(nullptr, 0, pumpThread, &startup, 0, nullptr);
    WaitForSingleObject(startup.ready, 30000);
    CloseHandle(startup.ready);
    CloseHandle(thread);
    return *windows;
}

std::vector<Received> TestWindows::received(HWND top) const {
    std::vector<Received> out;
    EnterCriticalSection(&receivedLock);
    for (const Received& r : receivedLog)
        if (!top || r.topLevel == top) out.push_back(r);
    LeaveCriticalSection(&receivedLock);
    return out;
}

void TestWindows::clearReceived() {
    EnterCriticalSection(&receivedLock);
    receivedLog.clear();
    LeaveCriticalSection(&receivedLock);
}

} // namespace e2e
