// Each Platform call forwards to the Win32 call of the same name. The only code of its own
// converts between the seam's plain types and the platform's structures, and routes window
// and enumeration callbacks back to the program's functions.
#include "platform/platform.h"

#include "platform/win32/win32_platform.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstddef>
#include <cstring>
#include <iterator>
#include <vector>

namespace ep {
namespace {

HWND toHwnd(Hwnd h) { return reinterpret_cast<HWND>(h); }
Hwnd fromHwnd(HWND h) { return reinterpret_cast<Hwnd>(h); }
template <class T> T as(std::intptr_t h) { return reinterpret_cast<T>(h); }
template <class T> std::intptr_t from(T h) { return reinterpret_cast<std::intptr_t>(h); }

RECT toRect(const Rect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }
Rect fromRect(const RECT& r) { return Rect{r.left, r.top, r.right, r.bottom}; }

MSG toMsg(const Msg& m) {
    MSG out{};
    out.hwnd = toHwnd(m.hwnd);
    out.message = m.message;
    out.wParam = m.wParam;
    out.lParam = m.lParam;
    out.time = m.time;
    out.pt = POINT{m.pt.x, m.pt.y};
    return out;
}

void fromMsg(const MSG& m, Msg* out) {
    out->hwnd = fromHwnd(m.hwnd);
    out->message = m.message;
    out->wParam = m.wParam;
    out->lParam = m.lParam;
    out->time = m.time;
    out->pt = Point{m.pt.x, m.pt.y};
}

// The program's window procedures, by class atom. The program registers a handful of
// classes, all before it creates any window of them.
struct ClassProc {
    ATOM atom;
    WndProc proc;
};
ClassProc classProcs[16];
int classProcCount = 0;

LRESULT CALLBACK windowTrampoline(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    const auto atom = static_cast<ATOM>(GetClassWord(hwnd, GCW_ATOM));
    for (int i = 0; i < classProcCount; ++i)
        if (classProcs[i].atom == atom)
            return classProcs[i].proc(fromHwnd(hwnd), msg, wParam, lParam);
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

struct EnumContext {
    WndEnumProc proc;
    std::intptr_t lParam;
};

BOOL CALLBACK enumTrampoline(HWND hwnd, LPARAM lParam) {
    const auto* context = reinterpret_cast<const EnumContext*>(lParam);
    return context->proc(fromHwnd(hwnd), context->lParam) ? TRUE : FALSE;
}

// A function of a system DLL that older Windows lack, found at run time so that the program
// imports nothing Windows 7 does not have; null where it is missing.
template <class F> F systemFunction(const wchar_t* dll, const char* name) {
    HMODULE module = GetModuleHandleW(dll);
    if (!module) module = LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!module) module = LoadLibraryW(dll);
    return module ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                  : nullptr;
}

using SetProcessDpiAwarenessContextFn = BOOL(WINAPI*)(HANDLE);
using SetProcessDpiAwarenessFn = HRESULT(WINAPI*)(int);
using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
using DwmGetWindowAttributeFn = HRESULT(WINAPI*)(HWND, DWORD, PVOID, DWORD);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
using LoadIconWithScaleDownFn = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*);

void copyMessageFont(const NONCLIENTMETRICSW& metrics, NonClientMetrics* out) {
    const LOGFONTW& font = metrics.lfMessageFont;
    out->lfMessageFont.lfHeight = font.lfHeight;
    out->lfMessageFont.lfWeight = font.lfWeight;
    out->lfMessageFont.lfCharSet = font.lfCharSet;
    static_assert(sizeof font.lfFaceName == sizeof out->lfMessageFont.lfFaceName);
    for (std::size_t i = 0; i < std::size(font.lfFaceName); ++i)
        out->lfMessageFont.lfFaceName[i] = font.lfFaceName[i];
}
using WineGetVersionFn = const char*(CDECL*)();
using SHGetKnownFolderPathFn = HRESULT(WINAPI*)(const GUID&, DWORD, HANDLE, PWSTR*);
using SHGetFolderPathWFn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);
using CoTaskMemFreeFn = void(WINAPI*)(LPVOID);
using SetThreadInformationFn = BOOL(WINAPI*)(HANDLE, THREAD_INFORMATION_CLASS, LPVOID, DWORD);

// A thread's start routine and the one low-level hook, called with the platform's calling
// convention. The hook procedure is set before the hook is installed and never changes.
struct ThreadStart {
    ThreadStartRoutine start;
    void* parameter;
};

DWORD WINAPI threadTrampoline(void* started) {
    const ThreadStart call = *static_cast<ThreadStart*>(started);
    delete static_cast<ThreadStart*>(started);
    return call.start(call.parameter);
}

HookProc mouseHookProc = nullptr;

LRESULT CALLBACK hookTrampoline(int code, WPARAM wParam, LPARAM lParam) {
    return mouseHookProc(code, wParam, lParam);
}

class Win32Platform final : public Platform {
  public:
    // ---- user32: window classes, windows and messages
    std::uint16_t RegisterClassExW(const WindowClass& wc) override {
        if (classProcCount == int(std::size(classProcs))) return 0;
        WNDCLASSEXW native{};
        native.cbSize = sizeof native;
        native.style = wc.style;
        native.lpfnWndProc = windowTrampoline;
        native.hInstance = GetModuleHandleW(nullptr);
        native.hIcon = as<HICON>(wc.hIcon);
        native.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
        native.hbrBackground = as<HBRUSH>(wc.hbrBackground);
        native.lpszClassName = wc.lpszClassName;
        const ATOM atom = ::RegisterClassExW(&native);
        if (atom) classProcs[classProcCount++] = ClassProc{atom, wc.lpfnWndProc};
        return atom;
    }
    Hwnd CreateWindowExW(std::uint32_t exStyle, const wchar_t* className,
                         const wchar_t* windowName, std::uint32_t style, int x, int y, int width,
                         int height, Hwnd parent, std::intptr_t menuOrId) override {
        return fromHwnd(::CreateWindowExW(exStyle, className, windowName, style, x, y, width,
                                          height, toHwnd(parent), as<HMENU>(menuOrId),
                                          GetModuleHandleW(nullptr), nullptr));
    }
    bool DestroyWindow(Hwnd hwnd) override { return ::DestroyWindow(toHwnd(hwnd)); }
    std::intptr_t DefWindowProcW(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                                 std::intptr_t lParam) override {
        return ::DefWindowProcW(toHwnd(hwnd), msg, wParam, lParam);
    }
    std::intptr_t SendMessageW(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                               std::intptr_t lParam) override {
        return ::SendMessageW(toHwnd(hwnd), msg, wParam, lParam);
    }
    bool PostMessageW(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                      std::intptr_t lParam) override {
        return ::PostMessageW(toHwnd(hwnd), msg, wParam, lParam);
    }
    std::intptr_t SendMessageTimeoutW(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                                      std::intptr_t lParam, std::uint32_t flags,
                                      std::uint32_t timeoutMs, std::uintptr_t* result) override {
        DWORD_PTR answer = 0;
        const LRESULT sent = ::SendMessageTimeoutW(toHwnd(hwnd), msg, wParam, lParam, flags,
                                                   timeoutMs, &answer);
        if (result) *result = answer;
        return sent;
    }
    int GetMessageW(Msg* msg, Hwnd hwnd, std::uint32_t filterMin,
                    std::uint32_t filterMax) override {
        MSG native{};
        const int result = ::GetMessageW(&native, toHwnd(hwnd), filterMin, filterMax);
        fromMsg(native, msg);
        return result;
    }
    bool PeekMessageW(Msg* msg, Hwnd hwnd, std::uint32_t filterMin, std::uint32_t filterMax,
                      std::uint32_t removeMsg) override {
        MSG native{};
        const bool result =
            ::PeekMessageW(&native, toHwnd(hwnd), filterMin, filterMax, removeMsg);
        fromMsg(native, msg);
        return result;
    }
    bool TranslateMessage(const Msg* msg) override {
        const MSG native = toMsg(*msg);
        return ::TranslateMessage(&native);
    }
    std::intptr_t DispatchMessageW(const Msg* msg) override {
        const MSG native = toMsg(*msg);
        return ::DispatchMessageW(&native);
    }
    bool IsDialogMessageW(Hwnd dialog, Msg* msg) override {
        MSG native = toMsg(*msg);
        return ::IsDialogMessageW(toHwnd(dialog), &native);
    }
    void PostQuitMessage(int exitCode) override { ::PostQuitMessage(exitCode); }

    bool ShowWindow(Hwnd hwnd, int cmdShow) override {
        return ::ShowWindow(toHwnd(hwnd), cmdShow);
    }
    bool SetWindowPos(Hwnd hwnd, Hwnd insertAfter, int x, int y, int cx, int cy,
                      std::uint32_t flags) override {
        return ::SetWindowPos(toHwnd(hwnd), toHwnd(insertAfter), x, y, cx, cy, flags);
    }
    bool GetWindowRect(Hwnd hwnd, Rect* rect) override {
        RECT native{};
        const bool result = ::GetWindowRect(toHwnd(hwnd), &native);
        *rect = fromRect(native);
        return result;
    }
    bool GetClientRect(Hwnd hwnd, Rect* rect) override {
        RECT native{};
        const bool result = ::GetClientRect(toHwnd(hwnd), &native);
        *rect = fromRect(native);
        return result;
    }
    bool AdjustWindowRectEx(Rect* rect, std::uint32_t style, bool menu,
                            std::uint32_t exStyle) override {
        RECT native = toRect(*rect);
        const bool result = ::AdjustWindowRectEx(&native, style, menu, exStyle);
        *rect = fromRect(native);
        return result;
    }
    Hwnd WindowFromPoint(Point point) override {
        return fromHwnd(::WindowFromPoint(POINT{point.x, point.y}));
    }
    Hwnd GetParent(Hwnd hwnd) override { return fromHwnd(::GetParent(toHwnd(hwnd))); }
    int GetClassNameA(Hwnd hwnd, char* buffer, int maxCount) override {
        return ::GetClassNameA(toHwnd(hwnd), buffer, maxCount);
    }
    int GetWindowTextA(Hwnd hwnd, char* buffer, int maxCount) override {
        return ::GetWindowTextA(toHwnd(hwnd), buffer, maxCount);
    }
    std::int32_t GetWindowLongA(Hwnd hwnd, int index) override {
        return ::GetWindowLongA(toHwnd(hwnd), index);
    }
    bool IsWindow(Hwnd hwnd) override { return ::IsWindow(toHwnd(hwnd)); }
    bool IsWindowVisible(Hwnd hwnd) override { return ::IsWindowVisible(toHwnd(hwnd)); }
    bool EnableWindow(Hwnd hwnd, bool enable) override {
        return ::EnableWindow(toHwnd(hwnd), enable);
    }
    Hwnd SetFocus(Hwnd hwnd) override { return fromHwnd(::SetFocus(toHwnd(hwnd))); }
    Hwnd GetForegroundWindow() override { return fromHwnd(::GetForegroundWindow()); }
    bool SetForegroundWindow(Hwnd hwnd) override {
        return ::SetForegroundWindow(toHwnd(hwnd));
    }
    bool EnumWindows(WndEnumProc proc, std::intptr_t lParam) override {
        EnumContext context{proc, lParam};
        return ::EnumWindows(enumTrampoline, reinterpret_cast<LPARAM>(&context));
    }
    std::uint32_t GetWindowThreadProcessId(Hwnd hwnd, std::uint32_t* processId) override {
        DWORD process = 0;
        const DWORD thread = ::GetWindowThreadProcessId(toHwnd(hwnd), &process);
        if (processId) *processId = process;
        return thread;
    }
    int SetWindowRgn(Hwnd hwnd, Hrgn region, bool redraw) override {
        return ::SetWindowRgn(toHwnd(hwnd), as<HRGN>(region), redraw);
    }
    int GetWindowRgn(Hwnd hwnd, Hrgn region) override {
        return ::GetWindowRgn(toHwnd(hwnd), as<HRGN>(region));
    }
    bool InvalidateRect(Hwnd hwnd, const Rect* rect, bool erase) override {
        if (!rect) return ::InvalidateRect(toHwnd(hwnd), nullptr, erase);
        const RECT native = toRect(*rect);
        return ::InvalidateRect(toHwnd(hwnd), &native, erase);
    }
    Hdc BeginPaint(Hwnd hwnd, PaintStruct* paint) override {
        PAINTSTRUCT native{};
        const HDC hdc = ::BeginPaint(toHwnd(hwnd), &native);
        paint->hdc = from(native.hdc);
        paint->fErase = native.fErase;
        paint->rcPaint = fromRect(native.rcPaint);
        return from(hdc);
    }
    bool EndPaint(Hwnd hwnd, const PaintStruct* paint) override {
        PAINTSTRUCT native{};
        native.hdc = as<HDC>(paint->hdc);
        native.fErase = paint->fErase;
        native.rcPaint = toRect(paint->rcPaint);
        return ::EndPaint(toHwnd(hwnd), &native);
    }
    Hdc GetDC(Hwnd hwnd) override { return from(::GetDC(toHwnd(hwnd))); }
    int ReleaseDC(Hwnd hwnd, Hdc hdc) override {
        return ::ReleaseDC(toHwnd(hwnd), as<HDC>(hdc));
    }
    int GetSystemMetrics(int index) override { return ::GetSystemMetrics(index); }
    Hmonitor MonitorFromPoint(Point point, std::uint32_t flags) override {
        return from(::MonitorFromPoint(POINT{point.x, point.y}, flags));
    }
    bool GetCursorPos(Point* point) override {
        POINT native{};
        const bool result = ::GetCursorPos(&native);
        *point = Point{native.x, native.y};
        return result;
    }
    bool GetLastInputInfo(LastInputInfo* info) override {
        LASTINPUTINFO native{sizeof native, 0};
        const bool result = ::GetLastInputInfo(&native);
        info->dwTime = native.dwTime;
        return result;
    }
    std::uintptr_t SetTimer(Hwnd hwnd, std::uintptr_t id, std::uint32_t elapseMs) override {
        return ::SetTimer(toHwnd(hwnd), id, elapseMs, nullptr);
    }
    bool RegisterRawInputDevices(const RawInputDevice* devices, std::uint32_t count) override {
        std::vector<RAWINPUTDEVICE> native(count);
        for (std::uint32_t i = 0; i < count; ++i)
            native[i] = RAWINPUTDEVICE{devices[i].usUsagePage, devices[i].usUsage,
                                       devices[i].dwFlags, toHwnd(devices[i].hwndTarget)};
        return ::RegisterRawInputDevices(native.data(), count, sizeof(RAWINPUTDEVICE));
    }
    Hhook SetWindowsHookExW(int idHook, HookProc proc, std::uint32_t threadId) override {
        if (idHook != WH_MOUSE_LL || (mouseHookProc && mouseHookProc != proc)) return 0;
        mouseHookProc = proc;
        return from(
            ::SetWindowsHookExW(idHook, hookTrampoline, GetModuleHandleW(nullptr), threadId));
    }
    std::intptr_t CallNextHookEx(Hhook hook, int code, std::uintptr_t wParam,
                                 std::intptr_t lParam) override {
        return ::CallNextHookEx(as<HHOOK>(hook), code, wParam, lParam);
    }
    bool KillTimer(Hwnd hwnd, std::uintptr_t id) override {
        return ::KillTimer(toHwnd(hwnd), id);
    }
    int MessageBoxW(Hwnd owner, const wchar_t* text, const wchar_t* caption,
                    std::uint32_t type) override {
        return ::MessageBoxW(toHwnd(owner), text, caption, type);
    }
    bool MessageBeep(std::uint32_t type) override { return ::MessageBeep(type); }
    Hicon LoadIconW(int resourceId) override {
        return from(::LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId)));
    }
    Handle LoadImageW(int resourceId, std::uint32_t type, int cx, int cy,
                      std::uint32_t flags) override {
        return from(::LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId), type, cx,
                                 cy, flags));
    }
    bool DestroyIcon(Hicon icon) override { return ::DestroyIcon(as<HICON>(icon)); }
    ColorRef GetSysColor(int index) override { return ::GetSysColor(index); }

    // ---- display scale
    bool IsProcessDPIAware() override { return ::IsProcessDPIAware(); }
    bool SetProcessDpiAwarenessContext(std::intptr_t context) override {
        static const auto call = systemFunction<SetProcessDpiAwarenessContextFn>(
            L"user32.dll", "SetProcessDpiAwarenessContext");
        return call && call(as<HANDLE>(context));
    }
    std::int32_t SetProcessDpiAwareness(int value) override {
        static const auto call =
            systemFunction<SetProcessDpiAwarenessFn>(L"shcore.dll", "SetProcessDpiAwareness");
        return call ? call(value) : E_NOTIMPL;
    }
    bool SetProcessDPIAware() override { return ::SetProcessDPIAware(); }
    std::int32_t GetDpiForMonitor(Hmonitor monitor, int dpiType, std::uint32_t* dpiX,
                                  std::uint32_t* dpiY) override {
        static const auto call =
            systemFunction<GetDpiForMonitorFn>(L"shcore.dll", "GetDpiForMonitor");
        if (!call) return E_NOTIMPL;
        UINT x = 0, y = 0;
        const HRESULT result = call(as<HMONITOR>(monitor), dpiType, &x, &y);
        *dpiX = x;
        *dpiY = y;
        return result;
    }
    bool AdjustWindowRectExForDpi(Rect* rect, std::uint32_t style, bool menu, std::uint32_t exStyle,
                                  std::uint32_t dpi) override {
        static const auto call =
            systemFunction<AdjustWindowRectExForDpiFn>(L"user32.dll", "AdjustWindowRectExForDpi");
        if (!call) return false;
        RECT native = toRect(*rect);
        const bool result = call(&native, style, menu, exStyle, dpi);
        *rect = fromRect(native);
        return result;
    }
    // Only SPI_GETNONCLIENTMETRICS is asked, into the seam's narrower structure.
    bool SystemParametersInfoForDpi(std::uint32_t action, std::uint32_t, void* value,
                                    std::uint32_t winIni, std::uint32_t dpi) override {
        static const auto call = systemFunction<SystemParametersInfoForDpiFn>(
            L"user32.dll", "SystemParametersInfoForDpi");
        if (!call || action != SPI_GETNONCLIENTMETRICS) return false;
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        if (!call(action, sizeof metrics, &metrics, winIni, dpi)) return false;
        copyMessageFont(metrics, static_cast<NonClientMetrics*>(value));
        return true;
    }
    bool SystemParametersInfoW(std::uint32_t action, std::uint32_t, void* value,
                               std::uint32_t winIni) override {
        if (action != SPI_GETNONCLIENTMETRICS) return false;
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        if (!::SystemParametersInfoW(action, sizeof metrics, &metrics, winIni)) {
            // Before Vista the structure has no iPaddedBorderWidth.
            metrics.cbSize = sizeof metrics - sizeof metrics.iPaddedBorderWidth;
            if (!::SystemParametersInfoW(action, metrics.cbSize, &metrics, winIni)) return false;
        }
        copyMessageFont(metrics, static_cast<NonClientMetrics*>(value));
        return true;
    }
    int GetSystemMetricsForDpi(int index, std::uint32_t dpi) override {
        static const auto call =
            systemFunction<GetSystemMetricsForDpiFn>(L"user32.dll", "GetSystemMetricsForDpi");
        return call ? call(index, dpi) : 0;
    }
    std::int32_t LoadIconWithScaleDown(int resourceId, int cx, int cy, Hicon* icon) override {
        static const auto call =
            systemFunction<LoadIconWithScaleDownFn>(L"comctl32.dll", "LoadIconWithScaleDown");
        if (!call) return E_NOTIMPL;
        HICON native = nullptr;
        const HRESULT result =
            call(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId), cx, cy, &native);
        *icon = from(native);
        return result;
    }

    std::int32_t DwmGetWindowAttribute(Hwnd hwnd, std::uint32_t attribute, void* value,
                                       std::uint32_t size) override {
        static const auto call =
            systemFunction<DwmGetWindowAttributeFn>(L"dwmapi.dll", "DwmGetWindowAttribute");
        return call ? call(toHwnd(hwnd), attribute, value, size) : E_NOTIMPL;
    }

    // ---- user32: menus
    Hmenu CreatePopupMenu() override { return from(::CreatePopupMenu()); }
    bool AppendMenuW(Hmenu menu, std::uint32_t flags, std::uintptr_t id,
                     const wchar_t* text) override {
        return ::AppendMenuW(as<HMENU>(menu), flags, id, text);
    }
    int TrackPopupMenu(Hmenu menu, std::uint32_t flags, int x, int y, Hwnd owner) override {
        return ::TrackPopupMenu(as<HMENU>(menu), flags, x, y, 0, toHwnd(owner), nullptr);
    }
    bool DestroyMenu(Hmenu menu) override { return ::DestroyMenu(as<HMENU>(menu)); }

    // ---- user32: keyboard
    std::uint32_t SendInput(std::uint32_t count, const KeyboardInput* inputs) override {
        std::vector<INPUT> native(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            native[i].type = INPUT_KEYBOARD;
            native[i].ki.wVk = inputs[i].wVk;
            native[i].ki.wScan = inputs[i].wScan;
            native[i].ki.dwFlags = inputs[i].dwFlags;
        }
        return ::SendInput(count, native.data(), sizeof(INPUT));
    }
    std::int16_t GetKeyState(int vk) override { return ::GetKeyState(vk); }
    std::int16_t GetAsyncKeyState(int vk) override { return ::GetAsyncKeyState(vk); }

    // ---- user32: keyboard layouts
    Hkl GetKeyboardLayout(std::uint32_t threadId) override {
        return from(::GetKeyboardLayout(threadId));
    }
    std::uint32_t MapVirtualKeyExW(std::uint32_t code, std::uint32_t mapType, Hkl layout) override {
        return ::MapVirtualKeyExW(code, mapType, as<HKL>(layout));
    }
    std::int16_t VkKeyScanExW(wchar_t ch, Hkl layout) override {
        return ::VkKeyScanExW(ch, as<HKL>(layout));
    }

    // ---- advapi32: process tokens
    Handle GetCurrentProcess() override { return from(::GetCurrentProcess()); }
    bool OpenProcessToken(Handle process, std::uint32_t desiredAccess, Handle* token) override {
        HANDLE native = nullptr;
        const bool result = ::OpenProcessToken(as<HANDLE>(process), desiredAccess, &native);
        *token = from(native);
        return result;
    }
    // The seam's TokenMandatoryLabel is the platform's TOKEN_MANDATORY_LABEL, byte for byte.
    bool GetTokenInformation(Handle token, int infoClass, void* info, std::uint32_t length,
                             std::uint32_t* returnLength) override {
        static_assert(sizeof(TokenMandatoryLabel) == sizeof(TOKEN_MANDATORY_LABEL));
        static_assert(offsetof(TOKEN_MANDATORY_LABEL, Label.Attributes) ==
                      offsetof(TokenMandatoryLabel, Attributes));
        DWORD returned = 0;
        const bool result = ::GetTokenInformation(
            as<HANDLE>(token), TOKEN_INFORMATION_CLASS(infoClass), info, length, &returned);
        if (returnLength) *returnLength = returned;
        return result;
    }
    std::uint8_t* GetSidSubAuthorityCount(void* sid) override {
        return ::GetSidSubAuthorityCount(sid);
    }
    std::uint32_t* GetSidSubAuthority(void* sid, std::uint32_t subAuthority) override {
        return reinterpret_cast<std::uint32_t*>(::GetSidSubAuthority(sid, subAuthority));
    }

    // ---- gdi32
    Hrgn ExtCreateRegion(const XForm* xform, std::uint32_t count, const void* data) override {
        const auto* regionData = static_cast<const RGNDATA*>(data);
        if (!xform) return from(::ExtCreateRegion(nullptr, count, regionData));
        const XFORM native{xform->eM11, xform->eM12, xform->eM21,
                           xform->eM22, xform->eDx,  xform->eDy};
        return from(::ExtCreateRegion(&native, count, regionData));
    }
    Hrgn CreateRectRgn(int left, int top, int right, int bottom) override {
        return from(::CreateRectRgn(left, top, right, bottom));
    }
    int CombineRgn(Hrgn dest, Hrgn src1, Hrgn src2, int mode) override {
        return ::CombineRgn(as<HRGN>(dest), as<HRGN>(src1), as<HRGN>(src2), mode);
    }
    int OffsetRgn(Hrgn region, int x, int y) override {
        return ::OffsetRgn(as<HRGN>(region), x, y);
    }
    bool DeleteObject(Hgdiobj object) override { return ::DeleteObject(as<HGDIOBJ>(object)); }
    int SelectClipRgn(Hdc hdc, Hrgn region) override {
        return ::SelectClipRgn(as<HDC>(hdc), as<HRGN>(region));
    }
    Hdc CreateCompatibleDC(Hdc hdc) override { return from(::CreateCompatibleDC(as<HDC>(hdc))); }
    bool DeleteDC(Hdc hdc) override { return ::DeleteDC(as<HDC>(hdc)); }
    Hgdiobj SelectObject(Hdc hdc, Hgdiobj object) override {
        return from(::SelectObject(as<HDC>(hdc), as<HGDIOBJ>(object)));
    }
    Hbitmap CreateDIBSection(Hdc hdc, int width, int height, void** bits) override {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height; // top-down: row 0 first in memory
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        return from(::CreateDIBSection(as<HDC>(hdc), &info, DIB_RGB_COLORS, bits, nullptr, 0));
    }
    int GetObjectW(Hgdiobj object, int size, void* buffer) override {
        // The program asks only about bitmaps.
        if (!buffer || size < int(sizeof(Bitmap)))
            return ::GetObjectW(as<HGDIOBJ>(object), 0, nullptr);
        BITMAP native{};
        const int result = ::GetObjectW(as<HGDIOBJ>(object), sizeof native, &native);
        auto* out = static_cast<Bitmap*>(buffer);
        out->bmType = native.bmType;
        out->bmWidth = native.bmWidth;
        out->bmHeight = native.bmHeight;
        out->bmWidthBytes = native.bmWidthBytes;
        out->bmPlanes = native.bmPlanes;
        out->bmBitsPixel = native.bmBitsPixel;
        out->bmBits = native.bmBits;
        return result ? int(sizeof(Bitmap)) : 0;
    }
    bool BitBlt(Hdc dest, int x, int y, int width, int height, Hdc src, int srcX, int srcY,
                std::uint32_t rop) override {
        return ::BitBlt(as<HDC>(dest), x, y, width, height, as<HDC>(src), srcX, srcY, rop);
    }
    int FillRect(Hdc hdc, const Rect* rect, Hbrush brush) override {
        const RECT native = toRect(*rect);
        return ::FillRect(as<HDC>(hdc), &native, as<HBRUSH>(brush));
    }
    Hbrush CreateSolidBrush(ColorRef color) override { return from(::CreateSolidBrush(color)); }
    Hfont CreateFontW(int height, int width, int escapement, int orientation, int weight,
                      std::uint32_t italic, std::uint32_t underline, std::uint32_t strikeOut,
                      std::uint32_t charSet, std::uint32_t outPrecision,
                      std::uint32_t clipPrecision, std::uint32_t quality,
                      std::uint32_t pitchAndFamily, const wchar_t* faceName) override {
        return from(::CreateFontW(height, width, escapement, orientation, weight, italic,
                                  underline, strikeOut, charSet, outPrecision, clipPrecision,
                                  quality, pitchAndFamily, faceName));
    }
    bool GetTextExtentPoint32W(Hdc hdc, const wchar_t* text, int count, Size* size) override {
        SIZE native{};
        const bool result = ::GetTextExtentPoint32W(as<HDC>(hdc), text, count, &native);
        *size = Size{native.cx, native.cy};
        return result;
    }
    int GetDeviceCaps(Hdc hdc, int index) override {
        return ::GetDeviceCaps(as<HDC>(hdc), index);
    }
    bool GdiFlush() override { return ::GdiFlush(); }
    Handle LoadImageW(const wchar_t* name, std::uint32_t type, int cx, int cy,
                      std::uint32_t flags) override {
        return from(::LoadImageW(nullptr, name, type, cx, cy, flags));
    }

    // ---- kernel32
    std::uint32_t GetPrivateProfileStringA(const char* appName, const char* keyName,
                                           const char* defaultValue, char* returned,
                                           std::uint32_t size, const char* fileName) override {
        return ::GetPrivateProfileStringA(appName, keyName, defaultValue, returned, size,
                                          fileName);
    }
    bool WritePrivateProfileStringA(const char* appName, const char* keyName, const char* value,
                                    const char* fileName) override {
        return ::WritePrivateProfileStringA(appName, keyName, value, fileName);
    }
    void Sleep(std::uint32_t ms) override { ::Sleep(ms); }
    Handle CreateThread(ThreadStartRoutine start, void* parameter,
                        std::uint32_t* threadId) override {
        auto* started = new ThreadStart{start, parameter};
        DWORD id = 0;
        HANDLE thread = ::CreateThread(nullptr, 0, threadTrampoline, started, 0, &id);
        if (!thread) delete started;
        if (threadId) *threadId = id;
        return from(thread);
    }
    Handle GetCurrentThread() override { return from(::GetCurrentThread()); }
    bool SetThreadInformation(Handle thread, int informationClass, void* information,
                              std::uint32_t size) override {
        static const auto call =
            systemFunction<SetThreadInformationFn>(L"kernel32.dll", "SetThreadInformation");
        return call &&
               call(as<HANDLE>(thread), static_cast<THREAD_INFORMATION_CLASS>(informationClass),
                    information, size);
    }
    std::uint16_t GetUserDefaultUILanguage() override { return ::GetUserDefaultUILanguage(); }
    std::uint32_t GetTickCount() override { return ::GetTickCount(); }
    const char* wine_get_version() override {
        static const auto call = systemFunction<WineGetVersionFn>(L"ntdll.dll", "wine_get_version");
        return call ? call() : nullptr;
    }
    void OutputDebugStringW(const wchar_t* text) override { ::OutputDebugStringW(text); }
    std::uint32_t GetModuleFileNameW(wchar_t* buffer, std::uint32_t size) override {
        return ::GetModuleFileNameW(nullptr, buffer, size);
    }
    std::uint32_t GetFileAttributesW(const wchar_t* path) override {
        return ::GetFileAttributesW(path);
    }
    Handle CreateFileW(const wchar_t* path, std::uint32_t access, std::uint32_t shareMode,
                       std::uint32_t creationDisposition) override {
        return from(::CreateFileW(path, access, shareMode, nullptr, creationDisposition,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    bool ReadFile(Handle file, void* buffer, std::uint32_t count,
                  std::uint32_t* bytesRead) override {
        DWORD read = 0;
        const BOOL ok = ::ReadFile(as<HANDLE>(file), buffer, count, &read, nullptr);
        if (bytesRead) *bytesRead = read;
        return ok;
    }
    bool GetFileSizeEx(Handle file, std::int64_t* size) override {
        LARGE_INTEGER native{};
        const BOOL ok = ::GetFileSizeEx(as<HANDLE>(file), &native);
        if (size) *size = native.QuadPart;
        return ok;
    }

    bool WriteFile(Handle file, const void* buffer, std::uint32_t count,
                   std::uint32_t* written) override {
        DWORD done = 0;
        const BOOL ok = ::WriteFile(as<HANDLE>(file), buffer, count, &done, nullptr);
        if (written) *written = done;
        return ok;
    }
    bool CreateDirectoryW(const wchar_t* path) override {
        return ::CreateDirectoryW(path, nullptr);
    }
    bool DeleteFileW(const wchar_t* path) override { return ::DeleteFileW(path); }
    std::uint32_t GetPrivateProfileStringW(const wchar_t* appName, const wchar_t* keyName,
                                           const wchar_t* defaultValue, wchar_t* returned,
                                           std::uint32_t size, const wchar_t* fileName) override {
        return ::GetPrivateProfileStringW(appName, keyName, defaultValue, returned, size, fileName);
    }
    bool WritePrivateProfileStringW(const wchar_t* appName, const wchar_t* keyName,
                                    const wchar_t* value, const wchar_t* fileName) override {
        return ::WritePrivateProfileStringW(appName, keyName, value, fileName);
    }
    std::int32_t SHGetKnownFolderPath(const Guid& folderId, std::uint32_t flags, Handle token,
                                      wchar_t** path) override {
        static const auto call =
            systemFunction<SHGetKnownFolderPathFn>(L"shell32.dll", "SHGetKnownFolderPath");
        static_assert(sizeof(Guid) == sizeof(GUID));
        GUID native;
        std::memcpy(&native, &folderId, sizeof native);
        if (path) *path = nullptr;
        return call ? call(native, flags, as<HANDLE>(token), path) : E_NOTIMPL;
    }
    std::int32_t SHGetFolderPathW(Hwnd owner, int csidl, Handle token, std::uint32_t flags,
                                  wchar_t* path) override {
        static const auto call =
            systemFunction<SHGetFolderPathWFn>(L"shell32.dll", "SHGetFolderPathW");
        return call ? call(toHwnd(owner), csidl, as<HANDLE>(token), flags, path) : E_NOTIMPL;
    }
    void CoTaskMemFree(void* memory) override {
        static const auto call = systemFunction<CoTaskMemFreeFn>(L"ole32.dll", "CoTaskMemFree");
        if (call) call(memory);
    }
    Handle CreateMutexW(bool initialOwner, const wchar_t* name) override {
        return from(::CreateMutexW(nullptr, initialOwner, name));
    }
    std::uint32_t GetLastError() override { return ::GetLastError(); }
    Handle OpenProcess(std::uint32_t access, bool inherit, std::uint32_t processId) override {
        return from(::OpenProcess(access, inherit, processId));
    }
    bool CloseHandle(Handle handle) override { return ::CloseHandle(as<HANDLE>(handle)); }
    int WideCharToMultiByte(std::uint32_t codePage, const wchar_t* wide, int wideCount,
                            char* narrow, int narrowSize) override {
        return ::WideCharToMultiByte(codePage, 0, wide, wideCount, narrow, narrowSize, nullptr,
                                     nullptr);
    }
    int MultiByteToWideChar(std::uint32_t codePage, const char* narrow, int narrowCount,
                            wchar_t* wide, int wideSize) override {
        return ::MultiByteToWideChar(codePage, 0, narrow, narrowCount, wide, wideSize);
    }
    [[noreturn]] void ExitProcess(std::uint32_t exitCode) override { ::ExitProcess(exitCode); }
};

Win32Platform win32Platform;

} // namespace

void installWin32Platform() { setPlatform(&win32Platform); }

} // namespace ep
