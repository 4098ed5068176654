// The user32 calls: windows, messages, painting, the cursor, input, menus, the keyboard and
// the display scale.
#include "platform/win32/backend.h"

#include <cstddef>
#include <iterator>
#include <vector>

namespace ep::win32 {
namespace {

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

void copyMessageFont(const NONCLIENTMETRICSW& metrics, NonClientMetrics* out) {
    const LOGFONTW& font = metrics.lfMessageFont;
    out->lfMessageFont.lfHeight = font.lfHeight;
    out->lfMessageFont.lfWeight = font.lfWeight;
    out->lfMessageFont.lfCharSet = font.lfCharSet;
    static_assert(sizeof font.lfFaceName == sizeof out->lfMessageFont.lfFaceName);
    for (std::size_t i = 0; i < std::size(font.lfFaceName); ++i)
        out->lfMessageFont.lfFaceName[i] = font.lfFaceName[i];
}

// The one low-level hook, called with the platform's calling convention. Its procedure is set
// before the hook is installed and never changes.
HookProc mouseHookProc = nullptr;

LRESULT CALLBACK hookTrampoline(int code, WPARAM wParam, LPARAM lParam) {
    return mouseHookProc(code, wParam, lParam);
}

} // namespace

// ---- window classes, windows and messages
std::uint16_t Win32Platform::RegisterClassExW(const WindowClass& wc) {
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
Hwnd Win32Platform::CreateWindowExW(std::uint32_t exStyle, const wchar_t* className,
                                    const wchar_t* windowName, std::uint32_t style, int x, int y,
                                    int width, int height, Hwnd parent, std::intptr_t menuOrId) {
    return fromHwnd(::CreateWindowExW(exStyle, className, windowName, style, x, y, width, height,
                                      toHwnd(parent), as<HMENU>(menuOrId),
                                      GetModuleHandleW(nullptr), nullptr));
}
bool Win32Platform::DestroyWindow(Hwnd hwnd) { return ::DestroyWindow(toHwnd(hwnd)); }
std::intptr_t Win32Platform::DefWindowProcW(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                                            std::intptr_t lParam) {
    return ::DefWindowProcW(toHwnd(hwnd), msg, wParam, lParam);
}
std::intptr_t Win32Platform::SendMessageW(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                                          std::intptr_t lParam) {
    return ::SendMessageW(toHwnd(hwnd), msg, wParam, lParam);
}
bool Win32Platform::PostMessageW(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                                 std::intptr_t lParam) {
    return ::PostMessageW(toHwnd(hwnd), msg, wParam, lParam);
}
std::intptr_t Win32Platform::SendMessageTimeoutW(Hwnd hwnd, std::uint32_t msg,
                                                 std::uintptr_t wParam, std::intptr_t lParam,
                                                 std::uint32_t flags, std::uint32_t timeoutMs,
                                                 std::uintptr_t* result) {
    DWORD_PTR answer = 0;
    const LRESULT sent =
        ::SendMessageTimeoutW(toHwnd(hwnd), msg, wParam, lParam, flags, timeoutMs, &answer);
    if (result) *result = answer;
    return sent;
}
int Win32Platform::GetMessageW(Msg* msg, Hwnd hwnd, std::uint32_t filterMin,
                               std::uint32_t filterMax) {
    MSG native{};
    const int result = ::GetMessageW(&native, toHwnd(hwnd), filterMin, filterMax);
    fromMsg(native, msg);
    return result;
}
bool Win32Platform::PeekMessageW(Msg* msg, Hwnd hwnd, std::uint32_t filterMin,
                                 std::uint32_t filterMax, std::uint32_t removeMsg) {
    MSG native{};
    const bool result = ::PeekMessageW(&native, toHwnd(hwnd), filterMin, filterMax, removeMsg);
    fromMsg(native, msg);
    return result;
}
bool Win32Platform::TranslateMessage(const Msg* msg) {
    const MSG native = toMsg(*msg);
    return ::TranslateMessage(&native);
}
std::intptr_t Win32Platform::DispatchMessageW(const Msg* msg) {
    const MSG native = toMsg(*msg);
    return ::DispatchMessageW(&native);
}
bool Win32Platform::IsDialogMessageW(Hwnd dialog, Msg* msg) {
    MSG native = toMsg(*msg);
    return ::IsDialogMessageW(toHwnd(dialog), &native);
}
void Win32Platform::PostQuitMessage(int exitCode) { ::PostQuitMessage(exitCode); }

// ---- windows
bool Win32Platform::ShowWindow(Hwnd hwnd, int cmdShow) {
    return ::ShowWindow(toHwnd(hwnd), cmdShow);
}
bool Win32Platform::SetWindowPos(Hwnd hwnd, Hwnd insertAfter, int x, int y, int cx, int cy,
                                 std::uint32_t flags) {
    return ::SetWindowPos(toHwnd(hwnd), toHwnd(insertAfter), x, y, cx, cy, flags);
}
bool Win32Platform::GetWindowRect(Hwnd hwnd, Rect* rect) {
    RECT native{};
    const bool result = ::GetWindowRect(toHwnd(hwnd), &native);
    *rect = fromRect(native);
    return result;
}
bool Win32Platform::GetClientRect(Hwnd hwnd, Rect* rect) {
    RECT native{};
    const bool result = ::GetClientRect(toHwnd(hwnd), &native);
    *rect = fromRect(native);
    return result;
}
bool Win32Platform::AdjustWindowRectEx(Rect* rect, std::uint32_t style, bool menu,
                                       std::uint32_t exStyle) {
    RECT native = toRect(*rect);
    const bool result = ::AdjustWindowRectEx(&native, style, menu, exStyle);
    *rect = fromRect(native);
    return result;
}
Hwnd Win32Platform::WindowFromPoint(Point point) {
    return fromHwnd(::WindowFromPoint(POINT{point.x, point.y}));
}
Hwnd Win32Platform::GetParent(Hwnd hwnd) { return fromHwnd(::GetParent(toHwnd(hwnd))); }
int Win32Platform::GetClassNameA(Hwnd hwnd, char* buffer, int maxCount) {
    return ::GetClassNameA(toHwnd(hwnd), buffer, maxCount);
}
int Win32Platform::GetWindowTextA(Hwnd hwnd, char* buffer, int maxCount) {
    return ::GetWindowTextA(toHwnd(hwnd), buffer, maxCount);
}
std::int32_t Win32Platform::GetWindowLongA(Hwnd hwnd, int index) {
    return ::GetWindowLongA(toHwnd(hwnd), index);
}
bool Win32Platform::IsWindow(Hwnd hwnd) { return ::IsWindow(toHwnd(hwnd)); }
bool Win32Platform::IsWindowVisible(Hwnd hwnd) { return ::IsWindowVisible(toHwnd(hwnd)); }
bool Win32Platform::EnableWindow(Hwnd hwnd, bool enable) {
    return ::EnableWindow(toHwnd(hwnd), enable);
}
Hwnd Win32Platform::SetFocus(Hwnd hwnd) { return fromHwnd(::SetFocus(toHwnd(hwnd))); }
Hwnd Win32Platform::GetForegroundWindow() { return fromHwnd(::GetForegroundWindow()); }
bool Win32Platform::SetForegroundWindow(Hwnd hwnd) { return ::SetForegroundWindow(toHwnd(hwnd)); }
bool Win32Platform::EnumWindows(WndEnumProc proc, std::intptr_t lParam) {
    EnumContext context{proc, lParam};
    return ::EnumWindows(enumTrampoline, reinterpret_cast<LPARAM>(&context));
}
std::uint32_t Win32Platform::GetWindowThreadProcessId(Hwnd hwnd, std::uint32_t* processId) {
    DWORD process = 0;
    const DWORD thread = ::GetWindowThreadProcessId(toHwnd(hwnd), &process);
    if (processId) *processId = process;
    return thread;
}
int Win32Platform::SetWindowRgn(Hwnd hwnd, Hrgn region, bool redraw) {
    return ::SetWindowRgn(toHwnd(hwnd), as<HRGN>(region), redraw);
}
int Win32Platform::GetWindowRgn(Hwnd hwnd, Hrgn region) {
    return ::GetWindowRgn(toHwnd(hwnd), as<HRGN>(region));
}

// ---- painting
bool Win32Platform::InvalidateRect(Hwnd hwnd, const Rect* rect, bool erase) {
    if (!rect) return ::InvalidateRect(toHwnd(hwnd), nullptr, erase);
    const RECT native = toRect(*rect);
    return ::InvalidateRect(toHwnd(hwnd), &native, erase);
}
Hdc Win32Platform::BeginPaint(Hwnd hwnd, PaintStruct* paint) {
    PAINTSTRUCT native{};
    const HDC hdc = ::BeginPaint(toHwnd(hwnd), &native);
    paint->hdc = from(native.hdc);
    paint->fErase = native.fErase;
    paint->rcPaint = fromRect(native.rcPaint);
    return from(hdc);
}
bool Win32Platform::EndPaint(Hwnd hwnd, const PaintStruct* paint) {
    PAINTSTRUCT native{};
    native.hdc = as<HDC>(paint->hdc);
    native.fErase = paint->fErase;
    native.rcPaint = toRect(paint->rcPaint);
    return ::EndPaint(toHwnd(hwnd), &native);
}
Hdc Win32Platform::GetDC(Hwnd hwnd) { return from(::GetDC(toHwnd(hwnd))); }
int Win32Platform::ReleaseDC(Hwnd hwnd, Hdc hdc) { return ::ReleaseDC(toHwnd(hwnd), as<HDC>(hdc)); }
int Win32Platform::FillRect(Hdc hdc, const Rect* rect, Hbrush brush) {
    const RECT native = toRect(*rect);
    return ::FillRect(as<HDC>(hdc), &native, as<HBRUSH>(brush));
}

// ---- the screen, the cursor, timers and input
int Win32Platform::GetSystemMetrics(int index) { return ::GetSystemMetrics(index); }
Hmonitor Win32Platform::MonitorFromPoint(Point point, std::uint32_t flags) {
    return from(::MonitorFromPoint(POINT{point.x, point.y}, flags));
}
bool Win32Platform::GetCursorPos(Point* point) {
    POINT native{};
    const bool result = ::GetCursorPos(&native);
    *point = Point{native.x, native.y};
    return result;
}
bool Win32Platform::GetLastInputInfo(LastInputInfo* info) {
    LASTINPUTINFO native{sizeof native, 0};
    const bool result = ::GetLastInputInfo(&native);
    info->dwTime = native.dwTime;
    return result;
}
std::uintptr_t Win32Platform::SetTimer(Hwnd hwnd, std::uintptr_t id, std::uint32_t elapseMs) {
    return ::SetTimer(toHwnd(hwnd), id, elapseMs, nullptr);
}
bool Win32Platform::KillTimer(Hwnd hwnd, std::uintptr_t id) {
    return ::KillTimer(toHwnd(hwnd), id);
}
bool Win32Platform::RegisterRawInputDevices(const RawInputDevice* devices, std::uint32_t count) {
    std::vector<RAWINPUTDEVICE> native(count);
    for (std::uint32_t i = 0; i < count; ++i)
        native[i] = RAWINPUTDEVICE{devices[i].usUsagePage, devices[i].usUsage, devices[i].dwFlags,
                                   toHwnd(devices[i].hwndTarget)};
    return ::RegisterRawInputDevices(native.data(), count, sizeof(RAWINPUTDEVICE));
}
Hhook Win32Platform::SetWindowsHookExW(int idHook, HookProc proc, std::uint32_t threadId) {
    if (idHook != WH_MOUSE_LL || (mouseHookProc && mouseHookProc != proc)) return 0;
    mouseHookProc = proc;
    return from(::SetWindowsHookExW(idHook, hookTrampoline, GetModuleHandleW(nullptr), threadId));
}
bool Win32Platform::UnhookWindowsHookEx(Hhook hook) {
    return ::UnhookWindowsHookEx(as<HHOOK>(hook));
}
std::intptr_t Win32Platform::CallNextHookEx(Hhook hook, int code, std::uintptr_t wParam,
                                            std::intptr_t lParam) {
    return ::CallNextHookEx(as<HHOOK>(hook), code, wParam, lParam);
}

// ---- message boxes, icons, pictures and colours
int Win32Platform::MessageBoxW(Hwnd owner, const wchar_t* text, const wchar_t* caption,
                               std::uint32_t type) {
    return ::MessageBoxW(toHwnd(owner), text, caption, type);
}
bool Win32Platform::MessageBeep(std::uint32_t type) { return ::MessageBeep(type); }
Hicon Win32Platform::LoadIconW(int resourceId) {
    return from(::LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId)));
}
Handle Win32Platform::LoadImageW(int resourceId, std::uint32_t type, int cx, int cy,
                                 std::uint32_t flags) {
    return from(
        ::LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId), type, cx, cy, flags));
}
Handle Win32Platform::LoadImageW(const wchar_t* name, std::uint32_t type, int cx, int cy,
                                 std::uint32_t flags) {
    return from(::LoadImageW(nullptr, name, type, cx, cy, flags));
}
bool Win32Platform::DestroyIcon(Hicon icon) { return ::DestroyIcon(as<HICON>(icon)); }
ColorRef Win32Platform::GetSysColor(int index) { return ::GetSysColor(index); }

// ---- display scale
bool Win32Platform::IsProcessDPIAware() { return ::IsProcessDPIAware(); }
bool Win32Platform::SetProcessDpiAwarenessContext(std::intptr_t context) {
    static const auto call = systemFunction<SetProcessDpiAwarenessContextFn>(
        L"user32.dll", "SetProcessDpiAwarenessContext");
    return call && call(as<HANDLE>(context));
}
bool Win32Platform::SetProcessDPIAware() { return ::SetProcessDPIAware(); }
bool Win32Platform::AdjustWindowRectExForDpi(Rect* rect, std::uint32_t style, bool menu,
                                             std::uint32_t exStyle, std::uint32_t dpi) {
    static const auto call =
        systemFunction<AdjustWindowRectExForDpiFn>(L"user32.dll", "AdjustWindowRectExForDpi");
    if (!call) return false;
    RECT native = toRect(*rect);
    const bool result = call(&native, style, menu, exStyle, dpi);
    *rect = fromRect(native);
    return result;
}
int Win32Platform::GetSystemMetricsForDpi(int index, std::uint32_t dpi) {
    static const auto call =
        systemFunction<GetSystemMetricsForDpiFn>(L"user32.dll", "GetSystemMetricsForDpi");
    return call ? call(index, dpi) : 0;
}
// Only SPI_GETNONCLIENTMETRICS is asked, into the seam's narrower structure.
bool Win32Platform::SystemParametersInfoForDpi(std::uint32_t action, std::uint32_t, void* value,
                                               std::uint32_t winIni, std::uint32_t dpi) {
    static const auto call =
        systemFunction<SystemParametersInfoForDpiFn>(L"user32.dll", "SystemParametersInfoForDpi");
    if (!call || action != SPI_GETNONCLIENTMETRICS) return false;
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!call(action, sizeof metrics, &metrics, winIni, dpi)) return false;
    copyMessageFont(metrics, static_cast<NonClientMetrics*>(value));
    return true;
}
bool Win32Platform::SystemParametersInfoW(std::uint32_t action, std::uint32_t, void* value,
                                          std::uint32_t winIni) {
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

// ---- menus
Hmenu Win32Platform::CreatePopupMenu() { return from(::CreatePopupMenu()); }
bool Win32Platform::AppendMenuW(Hmenu menu, std::uint32_t flags, std::uintptr_t id,
                                const wchar_t* text) {
    return ::AppendMenuW(as<HMENU>(menu), flags, id, text);
}
int Win32Platform::TrackPopupMenu(Hmenu menu, std::uint32_t flags, int x, int y, Hwnd owner) {
    return ::TrackPopupMenu(as<HMENU>(menu), flags, x, y, 0, toHwnd(owner), nullptr);
}
bool Win32Platform::DestroyMenu(Hmenu menu) { return ::DestroyMenu(as<HMENU>(menu)); }

// ---- keyboard and keyboard layouts
std::uint32_t Win32Platform::SendInput(std::uint32_t count, const KeyboardInput* inputs) {
    std::vector<INPUT> native(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        native[i].type = INPUT_KEYBOARD;
        native[i].ki.wVk = inputs[i].wVk;
        native[i].ki.wScan = inputs[i].wScan;
        native[i].ki.dwFlags = inputs[i].dwFlags;
    }
    return ::SendInput(count, native.data(), sizeof(INPUT));
}
std::int16_t Win32Platform::GetKeyState(int vk) { return ::GetKeyState(vk); }
std::int16_t Win32Platform::GetAsyncKeyState(int vk) { return ::GetAsyncKeyState(vk); }
Hkl Win32Platform::GetKeyboardLayout(std::uint32_t threadId) {
    return from(::GetKeyboardLayout(threadId));
}
std::uint32_t Win32Platform::MapVirtualKeyExW(std::uint32_t code, std::uint32_t mapType,
                                              Hkl layout) {
    return ::MapVirtualKeyExW(code, mapType, as<HKL>(layout));
}
std::int16_t Win32Platform::VkKeyScanExW(wchar_t ch, Hkl layout) {
    return ::VkKeyScanExW(ch, as<HKL>(layout));
}

} // namespace ep::win32
