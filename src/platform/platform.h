// The one seam between Edgepad and the operating system.
//
// Every user32, gdi32 and kernel32 call the program makes goes through Platform, under the
// platform's own name and with the platform's own argument order, so that a reader can hold
// the code against the platform documentation. Two backends implement it: win32/ forwards
// each call to Windows, sim/ is an in-memory desktop for the host tests.
//
// This header must not include <windows.h>. The win32 backend includes it *before*
// <windows.h>, so the constants below are declared here under the platform's names and the
// platform's macros of the same names take over afterwards with the same values.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ep {

// Handles. Window handles are 32-bit values on every Windows (also 64-bit, where they are
// sign-extended); 0 stands for none. The other handles are opaque.
using Hwnd = std::intptr_t;
using Hrgn = std::intptr_t;
using Hdc = std::intptr_t;
using Hgdiobj = std::intptr_t;
using Hbitmap = std::intptr_t;
using Hbrush = std::intptr_t;
using Hfont = std::intptr_t;
using Hicon = std::intptr_t;
using Hmenu = std::intptr_t;
using Handle = std::intptr_t; // kernel objects (mutex, process)
using Hmonitor = std::intptr_t;
using Hkl = std::intptr_t; // a keyboard layout
using Hhook = std::intptr_t;

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

using WndProc = std::intptr_t (*)(Hwnd, std::uint32_t msg, std::uintptr_t wParam,
                                  std::intptr_t lParam);
using WndEnumProc = int (*)(Hwnd, std::intptr_t lParam); // nonzero: go on
// A thread's start routine and a hook procedure, as the program writes them; the backend
// calls them with the platform's calling convention.
using ThreadStartRoutine = std::uint32_t (*)(void* parameter);
using HookProc = std::intptr_t (*)(int code, std::uintptr_t wParam, std::intptr_t lParam);

// RAWINPUTDEVICE.
struct RawInputDevice {
    std::uint16_t usUsagePage = 0;
    std::uint16_t usUsage = 0;
    std::uint32_t dwFlags = 0;
    Hwnd hwndTarget = 0;
};

// MSLLHOOKSTRUCT, what a low-level mouse hook receives in lParam.
struct MouseLowLevelHookInfo {
    Point pt;
    std::uint32_t mouseData = 0;
    std::uint32_t flags = 0;
    std::uint32_t time = 0;
    std::uintptr_t dwExtraInfo = 0;
};

// THREAD_POWER_THROTTLING_STATE.
struct ThreadPowerThrottlingState {
    std::uint32_t Version = 0;
    std::uint32_t ControlMask = 0;
    std::uint32_t StateMask = 0;
};

struct Msg {
    Hwnd hwnd = 0;
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    std::uint32_t time = 0;
    Point pt;
};

// The part of WNDCLASSEXW the program uses.
struct WindowClass {
    std::uint32_t style = 0;
    WndProc lpfnWndProc = nullptr;
    Hicon hIcon = 0;
    Hbrush hbrBackground = 0;
    const wchar_t* lpszClassName = nullptr;
};

struct PaintStruct {
    Hdc hdc = 0;
    bool fErase = false;
    Rect rcPaint;
};

// XFORM: the transform ExtCreateRegion takes, 32-bit floats.
struct XForm {
    float eM11 = 1.0f, eM12 = 0.0f, eM21 = 0.0f, eM22 = 1.0f, eDx = 0.0f, eDy = 0.0f;
};

// BITMAP as GetObjectW fills it for a bitmap.
// LOGFONTW, the part the program reads.
struct LogFont {
    std::int32_t lfHeight = 0;
    std::int32_t lfWeight = 0;
    std::uint8_t lfCharSet = 0;
    wchar_t lfFaceName[32] = {};
};

// NONCLIENTMETRICSW, the part the program reads: the font of message boxes.
struct NonClientMetrics {
    LogFont lfMessageFont;
};

struct Size {
    std::int32_t cx = 0;
    std::int32_t cy = 0;
};

struct Bitmap {
    std::int32_t bmType = 0;
    std::int32_t bmWidth = 0;
    std::int32_t bmHeight = 0;
    std::int32_t bmWidthBytes = 0;
    std::uint16_t bmPlanes = 0;
    std::uint16_t bmBitsPixel = 0;
    void* bmBits = nullptr;
};

// One keyboard INPUT record for SendInput (the program sends no mouse or hardware input).
struct KeyboardInput {
    std::uint16_t wVk = 0;
    std::uint16_t wScan = 0;
    std::uint32_t dwFlags = 0;
    bool operator==(const KeyboardInput&) const = default;
};

// TOKEN_MANDATORY_LABEL: what GetTokenInformation(TokenIntegrityLevel) writes at the start of
// the buffer; the label's SID follows it in the same buffer.
struct TokenMandatoryLabel {
    void* Sid = nullptr;
    std::uint32_t Attributes = 0;
};

// LASTINPUTINFO.
struct LastInputInfo {
    std::uint32_t cbSize = 8;
    std::uint32_t dwTime = 0; // the tick count of the last input event
};

using ColorRef = std::uint32_t; // 0x00BBGGRR
constexpr ColorRef RGB(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return ColorRef(r) | (ColorRef(g) << 8) | (ColorRef(b) << 16);
}

// ---- Constants, with the platform's names and values ----------------------------------

// Window messages.
constexpr std::uint32_t WM_NULL = 0x0000;
constexpr std::uint32_t WM_CREATE = 0x0001;
constexpr std::uint32_t WM_DESTROY = 0x0002;
constexpr std::uint32_t WM_PAINT = 0x000F;
constexpr std::uint32_t WM_CLOSE = 0x0010;
constexpr std::uint32_t WM_QUIT = 0x0012;
constexpr std::uint32_t WM_ERASEBKGND = 0x0014;
constexpr std::uint32_t WM_ACTIVATE = 0x0006;
constexpr std::uint32_t WM_SETFONT = 0x0030;
constexpr std::uint32_t WM_MOUSEACTIVATE = 0x0021;
constexpr std::uint32_t WM_SETICON = 0x0080;
constexpr std::uint32_t WM_KEYDOWN = 0x0100;
constexpr std::uint32_t WM_KEYUP = 0x0101;
constexpr std::uint32_t WM_CHAR = 0x0102;
constexpr std::uint32_t WM_SYSKEYDOWN = 0x0104;
constexpr std::uint32_t WM_SYSKEYUP = 0x0105;
constexpr std::uint32_t WM_COMMAND = 0x0111;
constexpr std::uint32_t WM_SYSCOMMAND = 0x0112;
constexpr std::uint32_t WM_TIMER = 0x0113;
constexpr std::uint32_t WM_CTLCOLORSTATIC = 0x0138;
constexpr std::uint32_t WM_LBUTTONDOWN = 0x0201;
constexpr std::uint32_t WM_LBUTTONUP = 0x0202;
constexpr std::uint32_t WM_LBUTTONDBLCLK = 0x0203;
constexpr std::uint32_t WM_RBUTTONDOWN = 0x0204;
constexpr std::uint32_t WM_RBUTTONUP = 0x0205;
constexpr std::uint32_t WM_RBUTTONDBLCLK = 0x0206;
constexpr std::uint32_t WM_MBUTTONDOWN = 0x0207;
constexpr std::uint32_t WM_MBUTTONUP = 0x0208;
constexpr std::uint32_t WM_MBUTTONDBLCLK = 0x0209;
constexpr std::uint32_t WM_DISPLAYCHANGE = 0x007E;
constexpr std::uint32_t WM_INPUT = 0x00FF;
constexpr std::uint32_t WM_MOUSEMOVE = 0x0200;
constexpr std::uint32_t WM_DPICHANGED = 0x02E0;
constexpr std::uint32_t WM_USER = 0x0400;
constexpr std::uint32_t WM_APP = 0x8000;
constexpr std::intptr_t MA_NOACTIVATE = 3;
constexpr std::uint32_t BM_CLICK = 0x00F5;
constexpr std::uint32_t SMTO_ABORTIFHUNG = 0x0002;

// Mouse-message key state (wParam).
constexpr std::uintptr_t MK_LBUTTON = 0x0001;
constexpr std::uintptr_t MK_RBUTTON = 0x0002;
constexpr std::uintptr_t MK_SHIFT = 0x0004;
constexpr std::uintptr_t MK_CONTROL = 0x0008;
constexpr std::uintptr_t MK_MBUTTON = 0x0010;

// WM_COMMAND notification and dialog command ids.
constexpr std::uint32_t BN_CLICKED = 0;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// WM_SYSCOMMAND.
constexpr std::uintptr_t SC_CLOSE = 0xF060;

// Class styles.
constexpr std::uint32_t CS_VREDRAW = 0x0001;
constexpr std::uint32_t CS_HREDRAW = 0x0002;
constexpr std::uint32_t CS_DBLCLKS = 0x0008;

// Window styles.
constexpr std::uint32_t WS_OVERLAPPED = 0x00000000;
constexpr std::uint32_t WS_POPUP = 0x80000000;
constexpr std::uint32_t WS_CHILD = 0x40000000;
constexpr std::uint32_t WS_MINIMIZE = 0x20000000;
constexpr std::uint32_t WS_VISIBLE = 0x10000000;
constexpr std::uint32_t WS_DISABLED = 0x08000000;
constexpr std::uint32_t WS_CLIPSIBLINGS = 0x04000000;
constexpr std::uint32_t WS_CLIPCHILDREN = 0x02000000;
constexpr std::uint32_t WS_MAXIMIZE = 0x01000000;
constexpr std::uint32_t WS_CAPTION = 0x00C00000;
constexpr std::uint32_t WS_BORDER = 0x00800000;
constexpr std::uint32_t WS_DLGFRAME = 0x00400000;
constexpr std::uint32_t WS_SYSMENU = 0x00080000;
constexpr std::uint32_t WS_THICKFRAME = 0x00040000;
constexpr std::uint32_t WS_MINIMIZEBOX = 0x00020000;
constexpr std::uint32_t WS_MAXIMIZEBOX = 0x00010000;
constexpr std::uint32_t WS_TABSTOP = 0x00010000;
constexpr std::uint32_t WS_GROUP = 0x00020000;
constexpr std::uint32_t WS_OVERLAPPEDWINDOW = 0x00CF0000;

constexpr std::uint32_t WS_EX_DLGMODALFRAME = 0x00000001;
constexpr std::uint32_t WS_EX_TOPMOST = 0x00000008;
constexpr std::uint32_t WS_EX_TOOLWINDOW = 0x00000080;
constexpr std::uint32_t WS_EX_WINDOWEDGE = 0x00000100;
constexpr std::uint32_t WS_EX_APPWINDOW = 0x00040000;
constexpr std::uint32_t WS_EX_NOACTIVATE = 0x08000000;

// Button and static control styles.
constexpr std::uint32_t BS_PUSHBUTTON = 0x0000;
constexpr std::uint32_t BS_DEFPUSHBUTTON = 0x0001;
constexpr std::uint32_t SS_LEFT = 0x0000;
constexpr std::uint32_t SS_LEFTNOWORDWRAP = 0x000C;
constexpr std::uint32_t SS_ICON = 0x0003;
constexpr std::uint32_t SS_NOPREFIX = 0x0080;
constexpr std::uint32_t STM_SETICON = 0x0170;

// WM_SETICON.
constexpr std::uintptr_t ICON_SMALL = 0;
constexpr std::uintptr_t ICON_BIG = 1;

// GetWindowLongA.
constexpr int GWL_STYLE = -16;
constexpr int GWL_EXSTYLE = -20;

// ShowWindow.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_SHOWNOACTIVATE = 4;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_SHOWNA = 8;
constexpr int SW_RESTORE = 9;

// CreateWindowExW's parent for a message-only window.
constexpr Hwnd HWND_MESSAGE = -3;

// Raw input and hooks.
constexpr std::uint16_t HID_USAGE_PAGE_GENERIC = 0x01;
constexpr std::uint16_t HID_USAGE_GENERIC_MOUSE = 0x02;
constexpr std::uint32_t RIDEV_INPUTSINK = 0x00000100;
constexpr int WH_MOUSE_LL = 14;
constexpr int HC_ACTION = 0;

// SetThreadInformation.
constexpr int ThreadPowerThrottling = 3;
constexpr std::uint32_t THREAD_POWER_THROTTLING_CURRENT_VERSION = 1;
constexpr std::uint32_t THREAD_POWER_THROTTLING_EXECUTION_SPEED = 0x1;

// SetWindowPos.
constexpr Hwnd HWND_TOP = 0;
constexpr Hwnd HWND_BOTTOM = 1;
constexpr Hwnd HWND_TOPMOST = -1;
constexpr Hwnd HWND_NOTOPMOST = -2;
constexpr std::uint32_t SWP_NOSIZE = 0x0001;
constexpr std::uint32_t SWP_NOMOVE = 0x0002;
constexpr std::uint32_t SWP_NOZORDER = 0x0004;
constexpr std::uint32_t SWP_NOREDRAW = 0x0008;
constexpr std::uint32_t SWP_NOACTIVATE = 0x0010;
constexpr std::uint32_t SWP_SHOWWINDOW = 0x0040;
constexpr std::uint32_t SWP_HIDEWINDOW = 0x0080;
constexpr std::uint32_t SWP_NOOWNERZORDER = 0x0200;

// GetSystemMetrics.
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int SM_CXICON = 11;
constexpr int SM_CYICON = 12;
constexpr int SM_CXSMICON = 49;
constexpr int SM_CYSMICON = 50;
constexpr int SM_XVIRTUALSCREEN = 76;
constexpr int SM_YVIRTUALSCREEN = 77;
constexpr int SM_CXVIRTUALSCREEN = 78;
constexpr int SM_CYVIRTUALSCREEN = 79;
constexpr int SM_CXDOUBLECLK = 36;
constexpr int SM_CYDOUBLECLK = 37;

// GetDeviceCaps.
constexpr std::uint32_t SPI_GETNONCLIENTMETRICS = 0x0029;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;

// Monitors and display scale.
constexpr std::uint32_t MONITOR_DEFAULTTOPRIMARY = 0x00000001;
constexpr std::uint32_t MONITOR_DEFAULTTONEAREST = 0x00000002;
constexpr int MDT_EFFECTIVE_DPI = 0;
constexpr int PROCESS_PER_MONITOR_DPI_AWARE = 2;
// DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2, a pseudo-handle.
constexpr std::intptr_t DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2 = -4;
// DwmGetWindowAttribute: the window's visible frame, without the invisible resize borders.
constexpr std::uint32_t DWMWA_EXTENDED_FRAME_BOUNDS = 9;
constexpr std::uint32_t DWMWA_CLOAKED = 14; // Windows 8 on
constexpr std::int32_t S_OK = 0;
constexpr std::int32_t E_NOTIMPL = static_cast<std::int32_t>(0x80004001u);

// PeekMessageW.
constexpr std::uint32_t PM_NOREMOVE = 0x0000;
constexpr std::uint32_t PM_REMOVE = 0x0001;

// MessageBoxW.
constexpr std::uint32_t MB_OK = 0x00000000;
constexpr std::uint32_t MB_ICONWARNING = 0x00000030;
constexpr std::uint32_t MB_ICONERROR = 0x00000010;
constexpr std::uint32_t MB_ICONHAND = 0x00000010;
constexpr std::uint32_t MB_TASKMODAL = 0x00002000;
constexpr std::uint32_t MB_SETFOREGROUND = 0x00010000;
constexpr std::uint32_t MB_TOPMOST = 0x00040000;

// Menus.
constexpr std::uint32_t MF_STRING = 0x0000;
constexpr std::uint32_t MF_UNCHECKED = 0x0000;
constexpr std::uint32_t MF_BYCOMMAND = 0x0000;
constexpr std::uint32_t MF_CHECKED = 0x0008;
constexpr std::uint32_t MF_SEPARATOR = 0x0800;
constexpr std::uint32_t TPM_LEFTBUTTON = 0x0000;
constexpr std::uint32_t TPM_LEFTALIGN = 0x0000;
constexpr std::uint32_t TPM_TOPALIGN = 0x0000;
constexpr std::uint32_t TPM_RIGHTBUTTON = 0x0002;
constexpr std::uint32_t TPM_NONOTIFY = 0x0080;
constexpr std::uint32_t TPM_RETURNCMD = 0x0100;

// Keyboard.
constexpr std::uint8_t VK_LBUTTON = 0x01;
constexpr std::uint8_t VK_RBUTTON = 0x02;
constexpr std::uint8_t VK_MBUTTON = 0x04;
constexpr std::uint8_t VK_BACK = 0x08;
constexpr std::uint8_t VK_TAB = 0x09;
constexpr std::uint8_t VK_RETURN = 0x0D;
constexpr std::uint8_t VK_SHIFT = 0x10;
constexpr std::uint8_t VK_CONTROL = 0x11;
constexpr std::uint8_t VK_MENU = 0x12;
constexpr std::uint8_t VK_PAUSE = 0x13;
constexpr std::uint8_t VK_CAPITAL = 0x14;
constexpr std::uint8_t VK_ESCAPE = 0x1B;
constexpr std::uint8_t VK_SPACE = 0x20;
constexpr std::uint8_t VK_PRIOR = 0x21;
constexpr std::uint8_t VK_NEXT = 0x22;
constexpr std::uint8_t VK_END = 0x23;
constexpr std::uint8_t VK_HOME = 0x24;
constexpr std::uint8_t VK_LEFT = 0x25;
constexpr std::uint8_t VK_UP = 0x26;
constexpr std::uint8_t VK_RIGHT = 0x27;
constexpr std::uint8_t VK_DOWN = 0x28;
constexpr std::uint8_t VK_SNAPSHOT = 0x2C;
constexpr std::uint8_t VK_INSERT = 0x2D;
constexpr std::uint8_t VK_DELETE = 0x2E;
constexpr std::uint8_t VK_HELP = 0x2F;
constexpr std::uint8_t VK_MULTIPLY = 0x6A;
constexpr std::uint8_t VK_ADD = 0x6B;
constexpr std::uint8_t VK_SUBTRACT = 0x6D;
constexpr std::uint8_t VK_DIVIDE = 0x6F;
constexpr std::uint8_t VK_F1 = 0x70;
constexpr std::uint8_t VK_F4 = 0x73;
constexpr std::uint8_t VK_F16 = 0x7F;
constexpr std::uint8_t VK_NUMLOCK = 0x90;
constexpr std::uint8_t VK_SCROLL = 0x91;
constexpr std::uint8_t VK_CANCEL = 0x03;
constexpr std::uint8_t VK_LWIN = 0x5B;
constexpr std::uint8_t VK_RWIN = 0x5C;
constexpr std::uint8_t VK_APPS = 0x5D;
constexpr std::uint8_t VK_RCONTROL = 0xA3;
constexpr std::uint8_t VK_RMENU = 0xA5;
constexpr std::uint32_t MAPVK_VK_TO_VSC = 0;
constexpr std::uint32_t KEYEVENTF_EXTENDEDKEY = 0x0001;
constexpr std::uint32_t KEYEVENTF_KEYUP = 0x0002;
constexpr std::uint32_t KEYEVENTF_UNICODE = 0x0004;

// GDI.
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;
constexpr int COMPLEXREGION = 3;
constexpr int RGN_ERROR = 0;
constexpr int RGN_AND = 1;
constexpr int RGN_OR = 2;
constexpr int RGN_XOR = 3;
constexpr int RGN_DIFF = 4;
constexpr int RGN_COPY = 5;
constexpr std::uint32_t RDH_RECTANGLES = 1;
constexpr std::uint32_t SRCCOPY = 0x00CC0020;
constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_BTNFACE = 15;
constexpr int FW_NORMAL = 400;
constexpr int FW_BOLD = 700;
constexpr std::uint32_t ANSI_CHARSET = 0;
constexpr std::uint32_t DEFAULT_CHARSET = 1;
constexpr std::uint32_t SHIFTJIS_CHARSET = 128;

// LoadImageW.
constexpr std::uint32_t IMAGE_BITMAP = 0;
constexpr std::uint32_t IMAGE_ICON = 1;
constexpr std::uint32_t LR_LOADFROMFILE = 0x0010;
constexpr std::uint32_t LR_CREATEDIBSECTION = 0x2000;
constexpr std::uint32_t LR_DEFAULTSIZE = 0x0040;

// kernel32.
constexpr std::uint32_t INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
constexpr std::uint32_t FILE_ATTRIBUTE_READONLY = 0x01;
constexpr std::uint32_t FILE_ATTRIBUTE_HIDDEN = 0x02;
constexpr std::uint32_t FILE_ATTRIBUTE_SYSTEM = 0x04;
constexpr std::uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr std::uint32_t FILE_ATTRIBUTE_DEVICE = 0x40;
constexpr std::uint32_t ERROR_ALREADY_EXISTS = 183;
constexpr std::uint32_t GENERIC_READ = 0x80000000;
constexpr std::uint32_t FILE_SHARE_READ = 0x00000001;
constexpr std::uint32_t OPEN_EXISTING = 3;
constexpr Handle INVALID_HANDLE_VALUE = -1;
constexpr std::uint32_t CP_ACP = 0;
constexpr std::uint32_t PROCESS_QUERY_LIMITED_INFORMATION = 0x1000;

// Writing files, and the user's own folders (the settings file's second home).
constexpr std::uint32_t GENERIC_WRITE = 0x40000000;
constexpr std::uint32_t FILE_SHARE_WRITE = 0x00000002;
constexpr std::uint32_t CREATE_NEW = 1;
constexpr std::uint32_t OPEN_ALWAYS = 4;
constexpr std::uint32_t ERROR_ACCESS_DENIED = 5;
constexpr std::uint32_t MAX_PATH = 260;
// KNOWNFOLDERID and the other GUIDs, laid out as GUID.
struct Guid {
    std::uint32_t Data1 = 0;
    std::uint16_t Data2 = 0;
    std::uint16_t Data3 = 0;
    std::uint8_t Data4[8] = {};
};
// %APPDATA%, the user's roaming application-data folder.
constexpr Guid FOLDERID_RoamingAppData{
    0x3EB685DB, 0x65F9, 0x4CF6, {0xA0, 0x3A, 0xE3, 0xEF, 0x65, 0x72, 0x9F, 0x3D}};
constexpr int CSIDL_APPDATA = 0x001A;
constexpr std::uint32_t SHGFP_TYPE_CURRENT = 0;
// advapi32: process tokens.
constexpr std::uint32_t TOKEN_QUERY = 0x0008;
constexpr int TokenIntegrityLevel = 25; // TOKEN_INFORMATION_CLASS
constexpr std::uint32_t SECURITY_MAX_SID_SIZE = 68;

// The calls. Each backend implements every one; the names, argument order and meaning are
// the platform's. Where the platform takes a pointer-sized union (WPARAM, LPARAM) or a
// structure the program uses only part of, the narrower form above is used instead.
class Platform {
  public:
    virtual ~Platform() = default;

    // ---- user32: window classes, windows and messages
    virtual std::uint16_t RegisterClassExW(const WindowClass& wc) = 0;
    virtual Hwnd CreateWindowExW(std::uint32_t exStyle, const wchar_t* className,
                                 const wchar_t* windowName, std::uint32_t style, int x, int y,
                                 int width, int height, Hwnd parent, std::intptr_t menuOrId) = 0;
    virtual bool DestroyWindow(Hwnd hwnd) = 0;
    virtual std::intptr_t DefWindowProcW(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                                         std::intptr_t lParam) = 0;
    virtual std::intptr_t SendMessageW(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                                       std::intptr_t lParam) = 0;
    virtual bool PostMessageW(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                              std::intptr_t lParam) = 0;
    virtual std::intptr_t SendMessageTimeoutW(Hwnd hwnd, std::uint32_t msg,
                                              std::uintptr_t wParam, std::intptr_t lParam,
                                              std::uint32_t flags, std::uint32_t timeoutMs,
                                              std::uintptr_t* result) = 0;
    virtual int GetMessageW(Msg* msg, Hwnd hwnd, std::uint32_t filterMin,
                            std::uint32_t filterMax) = 0;
    virtual bool PeekMessageW(Msg* msg, Hwnd hwnd, std::uint32_t filterMin,
                              std::uint32_t filterMax, std::uint32_t removeMsg) = 0;
    virtual bool TranslateMessage(const Msg* msg) = 0;
    virtual std::intptr_t DispatchMessageW(const Msg* msg) = 0;
    virtual bool IsDialogMessageW(Hwnd dialog, Msg* msg) = 0;
    virtual void PostQuitMessage(int exitCode) = 0;

    virtual bool ShowWindow(Hwnd hwnd, int cmdShow) = 0;
    virtual bool SetWindowPos(Hwnd hwnd, Hwnd insertAfter, int x, int y, int cx, int cy,
                              std::uint32_t flags) = 0;
    virtual bool GetWindowRect(Hwnd hwnd, Rect* rect) = 0;
    virtual bool GetClientRect(Hwnd hwnd, Rect* rect) = 0;
    virtual bool AdjustWindowRectEx(Rect* rect, std::uint32_t style, bool menu,
                                    std::uint32_t exStyle) = 0;
    virtual Hwnd WindowFromPoint(Point point) = 0;
    virtual Hwnd GetParent(Hwnd hwnd) = 0;
    virtual int GetClassNameA(Hwnd hwnd, char* buffer, int maxCount) = 0;
    virtual int GetWindowTextA(Hwnd hwnd, char* buffer, int maxCount) = 0;
    virtual std::int32_t GetWindowLongA(Hwnd hwnd, int index) = 0;
    virtual bool IsWindow(Hwnd hwnd) = 0;
    virtual bool IsWindowVisible(Hwnd hwnd) = 0;
    virtual bool EnableWindow(Hwnd hwnd, bool enable) = 0;
    virtual Hwnd SetFocus(Hwnd hwnd) = 0;
    virtual Hwnd GetForegroundWindow() = 0;
    virtual bool SetForegroundWindow(Hwnd hwnd) = 0;
    virtual bool EnumWindows(WndEnumProc proc, std::intptr_t lParam) = 0;
    virtual std::uint32_t GetWindowThreadProcessId(Hwnd hwnd, std::uint32_t* processId) = 0;
    virtual int SetWindowRgn(Hwnd hwnd, Hrgn region, bool redraw) = 0;
    virtual int GetWindowRgn(Hwnd hwnd, Hrgn region) = 0;
    virtual bool InvalidateRect(Hwnd hwnd, const Rect* rect, bool erase) = 0;
    virtual Hdc BeginPaint(Hwnd hwnd, PaintStruct* paint) = 0;
    virtual bool EndPaint(Hwnd hwnd, const PaintStruct* paint) = 0;
    virtual Hdc GetDC(Hwnd hwnd) = 0;
    virtual int ReleaseDC(Hwnd hwnd, Hdc hdc) = 0;
    virtual int GetSystemMetrics(int index) = 0;
    virtual Hmonitor MonitorFromPoint(Point point, std::uint32_t flags) = 0;
    virtual bool GetCursorPos(Point* point) = 0;
    virtual bool GetLastInputInfo(LastInputInfo* info) = 0;
    virtual std::uintptr_t SetTimer(Hwnd hwnd, std::uintptr_t id, std::uint32_t elapseMs) = 0;
    // Raw input and low-level hooks reach the thread that registered or installed them, in its
    // message loop. A low-level hook of this process's own module, on every desktop thread.
    virtual bool RegisterRawInputDevices(const RawInputDevice* devices, std::uint32_t count) = 0;
    virtual Hhook SetWindowsHookExW(int idHook, HookProc proc, std::uint32_t threadId) = 0;
    virtual std::intptr_t CallNextHookEx(Hhook hook, int code, std::uintptr_t wParam,
                                         std::intptr_t lParam) = 0;
    virtual bool UnhookWindowsHookEx(Hhook hook) = 0;
    virtual bool KillTimer(Hwnd hwnd, std::uintptr_t id) = 0;
    virtual int MessageBoxW(Hwnd owner, const wchar_t* text, const wchar_t* caption,
                            std::uint32_t type) = 0;
    virtual bool MessageBeep(std::uint32_t type) = 0;
    virtual Hicon LoadIconW(int resourceId) = 0; // from the program's own module
    // LoadImageW of a resource of the program's own module. An icon loaded so is not shared:
    // its owner destroys it with DestroyIcon.
    virtual Handle LoadImageW(int resourceId, std::uint32_t type, int cx, int cy,
                              std::uint32_t flags) = 0;
    virtual bool DestroyIcon(Hicon icon) = 0;
    virtual ColorRef GetSysColor(int index) = 0;

    // ---- display scale. The calls newer than Windows Vista are found at run time, so that
    // the program starts where they are missing: there they fail as stated.
    virtual bool IsProcessDPIAware() = 0;
    // Windows 10 1703 on; false where missing or refused (Wine 8 refuses the v2 context).
    virtual bool SetProcessDpiAwarenessContext(std::intptr_t context) = 0;
    // shcore, Windows 8.1 on; E_NOTIMPL where missing.
    virtual std::int32_t SetProcessDpiAwareness(int value) = 0;
    virtual bool SetProcessDPIAware() = 0;
    // shcore, Windows 8.1 on; E_NOTIMPL where missing.
    virtual std::int32_t GetDpiForMonitor(Hmonitor monitor, int dpiType, std::uint32_t* dpiX,
                                          std::uint32_t* dpiY) = 0;
    // Windows 10 1607 on; false where missing.
    virtual bool AdjustWindowRectExForDpi(Rect* rect, std::uint32_t style, bool menu,
                                          std::uint32_t exStyle, std::uint32_t dpi) = 0;
    // Windows 10 1607 on; 0 where missing.
    virtual int GetSystemMetricsForDpi(int index, std::uint32_t dpi) = 0;
    // SPI_GETNONCLIENTMETRICS into a NonClientMetrics, at the DPI given; Windows 10 1607 on,
    // false where missing. SystemParametersInfoW gives the same at the system DPI.
    virtual bool SystemParametersInfoForDpi(std::uint32_t action, std::uint32_t param,
                                            void* value, std::uint32_t winIni,
                                            std::uint32_t dpi) = 0;
    virtual bool SystemParametersInfoW(std::uint32_t action, std::uint32_t param, void* value,
                                       std::uint32_t winIni) = 0;
    // comctl32 6, Windows Vista on: an icon of the program's own module at cx x cy, scaled
    // down from a larger image where it has none of that size; E_NOTIMPL where missing. The
    // icon is not shared: its owner destroys it with DestroyIcon.
    virtual std::int32_t LoadIconWithScaleDown(int resourceId, int cx, int cy, Hicon* icon) = 0;

    // ---- dwmapi, Windows Vista on; E_NOTIMPL where missing. It fails where desktop composition
    // is off (Vista and 7 with the basic theme).
    virtual std::int32_t DwmGetWindowAttribute(Hwnd hwnd, std::uint32_t attribute, void* value,
                                               std::uint32_t size) = 0;

    // ---- user32: menus
    virtual Hmenu CreatePopupMenu() = 0;
    virtual bool AppendMenuW(Hmenu menu, std::uint32_t flags, std::uintptr_t id,
                             const wchar_t* text) = 0;
    virtual int TrackPopupMenu(Hmenu menu, std::uint32_t flags, int x, int y, Hwnd owner) = 0;
    virtual bool DestroyMenu(Hmenu menu) = 0;

    // ---- user32: keyboard
    virtual std::uint32_t SendInput(std::uint32_t count, const KeyboardInput* inputs) = 0;
    virtual std::int16_t GetKeyState(int vk) = 0;
    virtual std::int16_t GetAsyncKeyState(int vk) = 0;

    // ---- user32: keyboard layouts, each thread's own. A key is sent as the layout of the
    // window that reads it would make it.
    virtual Hkl GetKeyboardLayout(std::uint32_t threadId) = 0;
    virtual std::uint32_t MapVirtualKeyExW(std::uint32_t code, std::uint32_t mapType,
                                           Hkl layout) = 0;
    virtual std::int16_t VkKeyScanExW(wchar_t ch, Hkl layout) = 0;

    // ---- advapi32 (and kernel32's pseudo-handle): a process's integrity level, read from its
    // token's mandatory label.
    virtual Handle GetCurrentProcess() = 0;
    virtual bool OpenProcessToken(Handle process, std::uint32_t desiredAccess, Handle* token) = 0;
    virtual bool GetTokenInformation(Handle token, int infoClass, void* info, std::uint32_t length,
                                     std::uint32_t* returnLength) = 0;
    virtual std::uint8_t* GetSidSubAuthorityCount(void* sid) = 0;
    virtual std::uint32_t* GetSidSubAuthority(void* sid, std::uint32_t subAuthority) = 0;

    // ---- gdi32
    virtual Hrgn ExtCreateRegion(const XForm* xform, std::uint32_t count, const void* data) = 0;
    virtual Hrgn CreateRectRgn(int left, int top, int right, int bottom) = 0;
    virtual int CombineRgn(Hrgn dest, Hrgn src1, Hrgn src2, int mode) = 0;
    virtual int OffsetRgn(Hrgn region, int x, int y) = 0;
    virtual bool DeleteObject(Hgdiobj object) = 0;
    virtual int SelectClipRgn(Hdc hdc, Hrgn region) = 0;
    virtual Hdc CreateCompatibleDC(Hdc hdc) = 0;
    virtual bool DeleteDC(Hdc hdc) = 0;
    virtual Hgdiobj SelectObject(Hdc hdc, Hgdiobj object) = 0;
    // A top-down 32-bit DIB section (BGRA in memory); *bits receives its pixels.
    virtual Hbitmap CreateDIBSection(Hdc hdc, int width, int height, void** bits) = 0;
    virtual int GetObjectW(Hgdiobj object, int size, void* buffer) = 0;
    virtual bool BitBlt(Hdc dest, int x, int y, int width, int height, Hdc src, int srcX,
                        int srcY, std::uint32_t rop) = 0;
    virtual int FillRect(Hdc hdc, const Rect* rect, Hbrush brush) = 0;
    virtual Hbrush CreateSolidBrush(ColorRef color) = 0;
    virtual Hfont CreateFontW(int height, int width, int escapement, int orientation, int weight,
                              std::uint32_t italic, std::uint32_t underline,
                              std::uint32_t strikeOut, std::uint32_t charSet,
                              std::uint32_t outPrecision, std::uint32_t clipPrecision,
                              std::uint32_t quality, std::uint32_t pitchAndFamily,
                              const wchar_t* faceName) = 0;
    virtual int GetDeviceCaps(Hdc hdc, int index) = 0;
    virtual bool GetTextExtentPoint32W(Hdc hdc, const wchar_t* text, int count, Size* size) = 0;
    virtual bool GdiFlush() = 0;
    // LoadImageW with no module: a picture or icon from a file.
    virtual Handle LoadImageW(const wchar_t* name, std::uint32_t type, int cx, int cy,
                              std::uint32_t flags) = 0;

    // ---- kernel32
    virtual std::uint32_t GetPrivateProfileStringA(const char* appName, const char* keyName,
                                                   const char* defaultValue, char* returned,
                                                   std::uint32_t size, const char* fileName) = 0;
    virtual bool WritePrivateProfileStringA(const char* appName, const char* keyName,
                                            const char* value, const char* fileName) = 0;
    virtual void Sleep(std::uint32_t ms) = 0;
    // CreateThread with no security attributes and the default stack; 0 where it fails.
    virtual Handle CreateThread(ThreadStartRoutine start, void* parameter,
                                std::uint32_t* threadId) = 0;
    virtual Handle GetCurrentThread() = 0;
    // Windows 8 on, found at run time; false where missing or refused.
    virtual bool SetThreadInformation(Handle thread, int informationClass, void* information,
                                      std::uint32_t size) = 0;
    virtual std::uint32_t GetTickCount() = 0;
    // The language of the user's Windows interface, a LANGID.
    virtual std::uint16_t GetUserDefaultUILanguage() = 0;
    // ntdll's wine_get_version, found at run time: Wine's version, or null on Windows, whose
    // ntdll has no such function.
    virtual const char* wine_get_version() = 0;
    virtual void OutputDebugStringW(const wchar_t* text) = 0;
    virtual std::uint32_t GetModuleFileNameW(wchar_t* buffer, std::uint32_t size) = 0;
    virtual std::uint32_t GetFileAttributesW(const wchar_t* path) = 0;
    // CreateFileW with no security attributes, normal attributes and no template;
    // INVALID_HANDLE_VALUE when the file cannot be opened.
    virtual Handle CreateFileW(const wchar_t* path, std::uint32_t access, std::uint32_t shareMode,
                               std::uint32_t creationDisposition) = 0;
    virtual bool ReadFile(Handle file, void* buffer, std::uint32_t count,
                          std::uint32_t* bytesRead) = 0;
    virtual bool GetFileSizeEx(Handle file, std::int64_t* size) = 0;

    // ---- files written, and the user's own folders: where the settings live when the
    // program's folder takes no writes. The shell and COM calls are found at run time, so that
    // the program loads shell32 and ole32 only when it needs them.
    virtual bool WriteFile(Handle file, const void* buffer, std::uint32_t count,
                           std::uint32_t* written) = 0;
    virtual bool CreateDirectoryW(const wchar_t* path) = 0; // no security attributes
    virtual bool DeleteFileW(const wchar_t* path) = 0;
    // The profile functions on a path the ANSI code page cannot spell. They keep the file's
    // text ANSI, as the A functions write it, unless it starts with a UTF-16 byte-order mark.
    virtual std::uint32_t GetPrivateProfileStringW(const wchar_t* appName, const wchar_t* keyName,
                                                   const wchar_t* defaultValue, wchar_t* returned,
                                                   std::uint32_t size, const wchar_t* fileName) = 0;
    virtual bool WritePrivateProfileStringW(const wchar_t* appName, const wchar_t* keyName,
                                            const wchar_t* value, const wchar_t* fileName) = 0;
    // shell32, Windows Vista on; E_NOTIMPL where missing. *path, set also on a failure, is
    // freed with CoTaskMemFree.
    virtual std::int32_t SHGetKnownFolderPath(const Guid& folderId, std::uint32_t flags,
                                              Handle token, wchar_t** path) = 0;
    // shell32; E_NOTIMPL where missing. path holds MAX_PATH characters.
    virtual std::int32_t SHGetFolderPathW(Hwnd owner, int csidl, Handle token, std::uint32_t flags,
                                          wchar_t* path) = 0;
    virtual void CoTaskMemFree(void* memory) = 0; // ole32
    virtual Handle CreateMutexW(bool initialOwner, const wchar_t* name) = 0;
    virtual std::uint32_t GetLastError() = 0;
    virtual Handle OpenProcess(std::uint32_t access, bool inherit, std::uint32_t processId) = 0;
    virtual bool CloseHandle(Handle handle) = 0;
    virtual int WideCharToMultiByte(std::uint32_t codePage, const wchar_t* wide, int wideCount,
                                    char* narrow, int narrowSize) = 0;
    virtual int MultiByteToWideChar(std::uint32_t codePage, const char* narrow, int narrowCount,
                                    wchar_t* wide, int wideSize) = 0;
    [[noreturn]] virtual void ExitProcess(std::uint32_t exitCode) = 0;
};

// The backend in force. The program installs the Win32 backend at start; a host test
// installs a simulated desktop for its own lifetime.
Platform& os();
void setPlatform(Platform* platform);

} // namespace ep
