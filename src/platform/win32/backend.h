// What the Win32 backend's files share, for them alone. Each Platform call forwards to the
// Win32 call of the same name; the calls are defined one file per library: user32.cpp,
// gdi32.cpp, kernel32.cpp, and other_dlls.cpp for the rest. The only code of their own
// converts between the seam's plain types and the platform's structures, and routes window,
// enumeration, thread and hook callbacks back to the program's functions.
#pragma once

// Before <windows.h>: the seam declares constants under the names of the platform's macros.
#include "platform/platform.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdint>

namespace ep::win32 {

inline HWND toHwnd(Hwnd h) { return reinterpret_cast<HWND>(h); }
inline Hwnd fromHwnd(HWND h) { return reinterpret_cast<Hwnd>(h); }
template <class T> T as(std::intptr_t h) { return reinterpret_cast<T>(h); }
template <class T> std::intptr_t from(T h) { return reinterpret_cast<std::intptr_t>(h); }

inline RECT toRect(const Rect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }
inline Rect fromRect(const RECT& r) { return Rect{r.left, r.top, r.right, r.bottom}; }

// A function of a system DLL that older Windows lack, found at run time so that the program
// imports nothing Windows 7 does not have; null where it is missing.
FARPROC systemProc(const wchar_t* dll, const char* name);
template <class F> F systemFunction(const wchar_t* dll, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(systemProc(dll, name)));
}

// The signatures of the functions found so.
using SetProcessDpiAwarenessContextFn = BOOL(WINAPI*)(HANDLE);
using SetProcessDpiAwarenessFn = HRESULT(WINAPI*)(int);
using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
using DwmGetWindowAttributeFn = HRESULT(WINAPI*)(HWND, DWORD, PVOID, DWORD);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
using LoadIconWithScaleDownFn = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*);
using WineGetVersionFn = const char*(CDECL*)();
using SHGetKnownFolderPathFn = HRESULT(WINAPI*)(const GUID&, DWORD, HANDLE, PWSTR*);
using SHGetFolderPathWFn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);
using CoTaskMemFreeFn = void(WINAPI*)(LPVOID);
using SetThreadInformationFn = BOOL(WINAPI*)(HANDLE, THREAD_INFORMATION_CLASS, LPVOID, DWORD);

class Win32Platform final : public Platform {
  public:
    // ---- user32: window classes, windows and messages
    std::uint16_t RegisterClassExW(const WindowClass& wc) override;
    Hwnd CreateWindowExW(std::uint32_t exStyle, const wchar_t* className, const wchar_t* windowName,
                         std::uint32_t style, int x, int y, int width, int height, Hwnd parent,
                         std::intptr_t menuOrId) override;
    bool DestroyWindow(Hwnd hwnd) override;
    std::intptr_t DefWindowProcW(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                                 std::intptr_t lParam) override;
    std::intptr_t SendMessageW(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                               std::intptr_t lParam) override;
    bool PostMessageW(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                      std::intptr_t lParam) override;
    std::intptr_t SendMessageTimeoutW(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                                      std::intptr_t lParam, std::uint32_t flags,
                                      std::uint32_t timeoutMs, std::uintptr_t* result) override;
    int GetMessageW(Msg* msg, Hwnd hwnd, std::uint32_t filterMin, std::uint32_t filterMax) override;
    bool PeekMessageW(Msg* msg, Hwnd hwnd, std::uint32_t filterMin, std::uint32_t filterMax,
                      std::uint32_t removeMsg) override;
    bool TranslateMessage(const Msg* msg) override;
    std::intptr_t DispatchMessageW(const Msg* msg) override;
    bool IsDialogMessageW(Hwnd dialog, Msg* msg) override;
    void PostQuitMessage(int exitCode) override;

    // ---- user32: windows
    bool ShowWindow(Hwnd hwnd, int cmdShow) override;
    bool SetWindowPos(Hwnd hwnd, Hwnd insertAfter, int x, int y, int cx, int cy,
                      std::uint32_t flags) override;
    bool GetWindowRect(Hwnd hwnd, Rect* rect) override;
    bool GetClientRect(Hwnd hwnd, Rect* rect) override;
    bool AdjustWindowRectEx(Rect* rect, std::uint32_t style, bool menu,
                            std::uint32_t exStyle) override;
    Hwnd WindowFromPoint(Point point) override;
    Hwnd GetParent(Hwnd hwnd) override;
    int GetClassNameA(Hwnd hwnd, char* buffer, int maxCount) override;
    int GetWindowTextA(Hwnd hwnd, char* buffer, int maxCount) override;
    std::int32_t GetWindowLongA(Hwnd hwnd, int index) override;
    bool IsWindow(Hwnd hwnd) override;
    bool IsWindowVisible(Hwnd hwnd) override;
    bool EnableWindow(Hwnd hwnd, bool enable) override;
    Hwnd SetFocus(Hwnd hwnd) override;
    Hwnd GetForegroundWindow() override;
    bool SetForegroundWindow(Hwnd hwnd) override;
    bool EnumWindows(WndEnumProc proc, std::intptr_t lParam) override;
    std::uint32_t GetWindowThreadProcessId(Hwnd hwnd, std::uint32_t* processId) override;
    int SetWindowRgn(Hwnd hwnd, Hrgn region, bool redraw) override;
    int GetWindowRgn(Hwnd hwnd, Hrgn region) override;

    // ---- user32: painting
    bool InvalidateRect(Hwnd hwnd, const Rect* rect, bool erase) override;
    Hdc BeginPaint(Hwnd hwnd, PaintStruct* paint) override;
    bool EndPaint(Hwnd hwnd, const PaintStruct* paint) override;
    Hdc GetDC(Hwnd hwnd) override;
    int ReleaseDC(Hwnd hwnd, Hdc hdc) override;
    int FillRect(Hdc hdc, const Rect* rect, Hbrush brush) override;

    // ---- user32: the screen, the cursor, timers and input
    int GetSystemMetrics(int index) override;
    Hmonitor MonitorFromPoint(Point point, std::uint32_t flags) override;
    bool GetCursorPos(Point* point) override;
    bool GetLastInputInfo(LastInputInfo* info) override;
    std::uintptr_t SetTimer(Hwnd hwnd, std::uintptr_t id, std::uint32_t elapseMs) override;
    bool KillTimer(Hwnd hwnd, std::uintptr_t id) override;
    bool RegisterRawInputDevices(const RawInputDevice* devices, std::uint32_t count) override;
    Hhook SetWindowsHookExW(int idHook, HookProc proc, std::uint32_t threadId) override;
    bool UnhookWindowsHookEx(Hhook hook) override;
    std::intptr_t CallNextHookEx(Hhook hook, int code, std::uintptr_t wParam,
                                 std::intptr_t lParam) override;

    // ---- user32: message boxes, icons, pictures and colours
    int MessageBoxW(Hwnd owner, const wchar_t* text, const wchar_t* caption,
                    std::uint32_t type) override;
    bool MessageBeep(std::uint32_t type) override;
    Hicon LoadIconW(int resourceId) override;
    Handle LoadImageW(int resourceId, std::uint32_t type, int cx, int cy,
                      std::uint32_t flags) override;
    Handle LoadImageW(const wchar_t* name, std::uint32_t type, int cx, int cy,
                      std::uint32_t flags) override;
    bool DestroyIcon(Hicon icon) override;
    ColorRef GetSysColor(int index) override;

    // ---- user32: display scale
    bool IsProcessDPIAware() override;
    bool SetProcessDpiAwarenessContext(std::intptr_t context) override;
    bool SetProcessDPIAware() override;
    bool AdjustWindowRectExForDpi(Rect* rect, std::uint32_t style, bool menu, std::uint32_t exStyle,
                                  std::uint32_t dpi) override;
    int GetSystemMetricsForDpi(int index, std::uint32_t dpi) override;
    bool SystemParametersInfoForDpi(std::uint32_t action, std::uint32_t param, void* value,
                                    std::uint32_t winIni, std::uint32_t dpi) override;
    bool SystemParametersInfoW(std::uint32_t action, std::uint32_t param, void* value,
                               std::uint32_t winIni) override;

    // ---- user32: menus
    Hmenu CreatePopupMenu() override;
    bool AppendMenuW(Hmenu menu, std::uint32_t flags, std::uintptr_t id,
                     const wchar_t* text) override;
    int TrackPopupMenu(Hmenu menu, std::uint32_t flags, int x, int y, Hwnd owner) override;
    bool DestroyMenu(Hmenu menu) override;

    // ---- user32: keyboard and keyboard layouts
    std::uint32_t SendInput(std::uint32_t count, const KeyboardInput* inputs) override;
    std::int16_t GetKeyState(int vk) override;
    std::int16_t GetAsyncKeyState(int vk) override;
    Hkl GetKeyboardLayout(std::uint32_t threadId) override;
    std::uint32_t MapVirtualKeyExW(std::uint32_t code, std::uint32_t mapType, Hkl layout) override;
    std::int16_t VkKeyScanExW(wchar_t ch, Hkl layout) override;

    // ---- gdi32: regions
    Hrgn ExtCreateRegion(const XForm* xform, std::uint32_t count, const void* data) override;
    Hrgn CreateRectRgn(int left, int top, int right, int bottom) override;
    int CombineRgn(Hrgn dest, Hrgn src1, Hrgn src2, int mode) override;
    int OffsetRgn(Hrgn region, int x, int y) override;
    int SelectClipRgn(Hdc hdc, Hrgn region) override;

    // ---- gdi32: objects, device contexts and bitmaps
    bool DeleteObject(Hgdiobj object) override;
    Hdc CreateCompatibleDC(Hdc hdc) override;
    bool DeleteDC(Hdc hdc) override;
    Hgdiobj SelectObject(Hdc hdc, Hgdiobj object) override;
    Hbitmap CreateDIBSection(Hdc hdc, int width, int height, void** bits) override;
    int GetObjectW(Hgdiobj object, int size, void* buffer) override;
    bool BitBlt(Hdc dest, int x, int y, int width, int height, Hdc src, int srcX, int srcY,
                std::uint32_t rop) override;
    bool GdiFlush() override;

    // ---- gdi32: brushes, fonts and text
    Hbrush CreateSolidBrush(ColorRef color) override;
    Hfont CreateFontW(int height, int width, int escapement, int orientation, int weight,
                      std::uint32_t italic, std::uint32_t underline, std::uint32_t strikeOut,
                      std::uint32_t charSet, std::uint32_t outPrecision,
                      std::uint32_t clipPrecision, std::uint32_t quality,
                      std::uint32_t pitchAndFamily, const wchar_t* faceName) override;
    int GetDeviceCaps(Hdc hdc, int index) override;
    bool GetTextExtentPoint32W(Hdc hdc, const wchar_t* text, int count, Size* size) override;

    // ---- kernel32: profile files
    std::uint32_t GetPrivateProfileStringA(const char* appName, const char* keyName,
                                           const char* defaultValue, char* returned,
                                           std::uint32_t size, const char* fileName) override;
    bool WritePrivateProfileStringA(const char* appName, const char* keyName, const char* value,
                                    const char* fileName) override;
    std::uint32_t GetPrivateProfileStringW(const wchar_t* appName, const wchar_t* keyName,
                                           const wchar_t* defaultValue, wchar_t* returned,
                                           std::uint32_t size, const wchar_t* fileName) override;
    bool WritePrivateProfileStringW(const wchar_t* appName, const wchar_t* keyName,
                                    const wchar_t* value, const wchar_t* fileName) override;

    // ---- kernel32: threads and time
    void Sleep(std::uint32_t ms) override;
    Handle CreateThread(ThreadStartRoutine start, void* parameter,
                        std::uint32_t* threadId) override;
    Handle GetCurrentThread() override;
    bool SetThreadInformation(Handle thread, int informationClass, void* information,
                              std::uint32_t size) override;
    std::uint32_t GetTickCount() override;

    // ---- kernel32: the module, files and folders
    std::uint32_t GetModuleFileNameW(wchar_t* buffer, std::uint32_t size) override;
    std::uint32_t GetFileAttributesW(const wchar_t* path) override;
    Handle CreateFileW(const wchar_t* path, std::uint32_t access, std::uint32_t shareMode,
                       std::uint32_t creationDisposition) override;
    bool ReadFile(Handle file, void* buffer, std::uint32_t count,
                  std::uint32_t* bytesRead) override;
    bool GetFileSizeEx(Handle file, std::int64_t* size) override;
    bool WriteFile(Handle file, const void* buffer, std::uint32_t count,
                   std::uint32_t* written) override;
    bool CreateDirectoryW(const wchar_t* path) override;
    bool DeleteFileW(const wchar_t* path) override;

    // ---- kernel32: processes and handles
    Handle GetCurrentProcess() override;
    Handle OpenProcess(std::uint32_t access, bool inherit, std::uint32_t processId) override;
    Handle CreateMutexW(bool initialOwner, const wchar_t* name) override;
    std::uint32_t GetLastError() override;
    bool CloseHandle(Handle handle) override;
    [[noreturn]] void ExitProcess(std::uint32_t exitCode) override;

    // ---- kernel32: language and text
    std::uint16_t GetUserDefaultUILanguage() override;
    int WideCharToMultiByte(std::uint32_t codePage, const wchar_t* wide, int wideCount,
                            char* narrow, int narrowSize) override;
    int MultiByteToWideChar(std::uint32_t codePage, const char* narrow, int narrowCount,
                            wchar_t* wide, int wideSize) override;
    void OutputDebugStringW(const wchar_t* text) override;

    // ---- advapi32: process tokens
    bool OpenProcessToken(Handle process, std::uint32_t desiredAccess, Handle* token) override;
    bool GetTokenInformation(Handle token, int infoClass, void* info, std::uint32_t length,
                             std::uint32_t* returnLength) override;
    std::uint8_t* GetSidSubAuthorityCount(void* sid) override;
    std::uint32_t* GetSidSubAuthority(void* sid, std::uint32_t subAuthority) override;

    // ---- shcore, Windows 8.1 on: display scale
    std::int32_t SetProcessDpiAwareness(int value) override;
    std::int32_t GetDpiForMonitor(Hmonitor monitor, int dpiType, std::uint32_t* dpiX,
                                  std::uint32_t* dpiY) override;

    // ---- comctl32 6
    std::int32_t LoadIconWithScaleDown(int resourceId, int cx, int cy, Hicon* icon) override;

    // ---- dwmapi, Windows Vista on
    std::int32_t DwmGetWindowAttribute(Hwnd hwnd, std::uint32_t attribute, void* value,
                                       std::uint32_t size) override;

    // ---- shell32 and ole32: the user's own folders
    std::int32_t SHGetKnownFolderPath(const Guid& folderId, std::uint32_t flags, Handle token,
                                      wchar_t** path) override;
    std::int32_t SHGetFolderPathW(Hwnd owner, int csidl, Handle token, std::uint32_t flags,
                                  wchar_t* path) override;
    void CoTaskMemFree(void* memory) override;

    // ---- ntdll
    const char* wine_get_version() override;
};

} // namespace ep::win32
