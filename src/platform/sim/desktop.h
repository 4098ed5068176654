// The simulated desktop: an in-memory model of the Windows desktop that host tests install
// as the platform. It keeps windows (z-order, topmost band, regions, styles), the cursor,
// the foreground window and its rules, the keyboard, timers on a clock only the test moves,
// GDI objects with pixel surfaces, and profile files in a real temporary folder.
//
// Tests drive it as a person drives a desktop (put the cursor here, press here, let 100 ms
// pass) and read what a person would see or what another program's window received.
//
// Rules of the platform it keeps, which a test may not expect at first sight:
// - Activation: SetForegroundWindow, ShowWindow(SW_SHOW...), SetWindowPos without
//   SWP_NOACTIVATE and CreateWindowExW with WS_VISIBLE activate a visible top-level window
//   (raising it to the top of its band), subject to refuseForegroundChanges and
//   setForegroundLag. A press on an inactive program window sends WM_MOUSEACTIVATE first.
// - GetParent reports a top-level window's owner only for a WS_POPUP window.
// - Other programs' windows close on WM_CLOSE, SC_CLOSE and Alt+F4, and minimise on Alt+Space
//   then N (Alt+Space then C closes); the next window in z-order takes the activation.
//   A minimised window lies at (-32000, -32000) and is found by no point.
// - Timers post WM_TIMER only as the test's clock passes; at most one is queued per timer.
// - The ANSI code page is UTF-8 unless setAnsiCodePage(932) makes it Shift-JIS. Handles are
//   unique across all desktops of a process.
// - CreateMutexW reports ERROR_ALREADY_EXISTS only after setOtherInstanceRunning(true): a test
//   that starts the program again on one desktop plays a new process.
// - Threads run in line, one at a time. CreateThread runs the start routine at once until it
//   waits in GetMessageW with nothing queued for it; from then on whatever reaches the thread
//   (a message to one of its windows, raw input, a low-level hook's call) runs its window or
//   hook procedure in line, as its message loop would. A thread whose loop takes WM_QUIT ends
//   as if its routine returned there: its windows go and its hooks come off.
// - Every move and button change of the hand (setCursor, press, release ...) is input: it
//   reaches raw input registered with RIDEV_INPUTSINK and low-level mouse hooks. warpCursor
//   moves the cursor as SetCursorPos does, with no input at all.
#pragma once

#include "platform/platform.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace ep::sim {

// Raised by ExitProcess: the program has ended with this code.
struct ProgramEnded {
    std::uint32_t exitCode;
};

// Raised by GetMessageW on a thread other than the first one when nothing is queued for it:
// the thread now waits in its loop. CreateThread catches it.
struct ThreadWaits {};

// Raised by GetMessageW when a modal loop waits and nothing (not even onIdle) gives it work.
struct SimStalled : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct KeyEvent {
    Hwnd target;      // foreground window when the key was injected, 0 if none
    std::uint16_t vk; // 0 for a KEYEVENTF_UNICODE event
    bool up;
    wchar_t unicode;     // the character of a KEYEVENTF_UNICODE event, else 0
    std::uint32_t flags; // KEYEVENTF_* as given
    bool viaSendInput;
    // As the receiving window's key message carries it: bits 16-23 the scan code, bit 24 the
    // extended bit (the E0 keys), 29 Alt down, 30 the previous state, 31 a release.
    std::uint32_t lParam;
    std::uint8_t scanCode() const { return std::uint8_t(lParam >> 16); }
    bool extended() const { return (lParam >> 24) & 1; }
};

// Keyboard layouts the desktop knows, by their handles on Windows.
constexpr Hkl usLayout = 0x04090409;
constexpr Hkl germanLayout = 0x04070407; // QWERTZ: Z where US Y is, umlauts, AltGr signs

// Integrity levels: the last sub-authority of a token's mandatory label.
constexpr std::uint32_t SECURITY_MANDATORY_LOW_RID = 0x1000;
constexpr std::uint32_t SECURITY_MANDATORY_MEDIUM_RID = 0x2000;
constexpr std::uint32_t SECURITY_MANDATORY_HIGH_RID = 0x3000;
constexpr std::uint32_t SECURITY_MANDATORY_SYSTEM_RID = 0x4000;

struct MessageBoxRecord {
    Hwnd owner;
    std::wstring text, caption;
    std::uint32_t type;
};

struct MenuItemRecord {
    std::wstring text;
    std::uint32_t flags; // as appended, MF_CHECKED reflecting CheckMenuItem
    std::uintptr_t id;
};

struct MenuRecord {
    std::vector<MenuItemRecord> items;
    Point at;
    std::uint32_t flags;
    Hwnd owner;
};

class Desktop : public Platform {
  public:
    // Installs itself with setPlatform(this); the destructor uninstalls it and removes its
    // temporary folder.
    explicit Desktop(int screenWidth = 1280, int screenHeight = 1024);
    ~Desktop() override;
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    // ---- files: a real temporary folder stands for the drives; "C:\x\y" is root()/C/x/y
    std::filesystem::path root() const;
    std::filesystem::path hostPath(const std::wstring& windowsPath) const;
    void setExePath(const std::wstring& windowsPath); // default C:\Tools\edgepad.exe
    void setHidden(const std::wstring& windowsPath, bool hidden);
    void setSystem(const std::wstring& windowsPath, bool system);
    // Read-only as Windows sees it (the host tests may run as root, who ignores modes):
    // a read-only file cannot be rewritten, a read-only folder takes no new files.
    void setReadOnly(const std::wstring& windowsPath, bool readOnly);
    // The user's roaming application-data folder (C:\Users\user\AppData\Roaming unless set),
    // there from the start as on Windows; a user name may hold characters that the ANSI code
    // page lacks. Either shell function that reports it may be missing.
    void setRoamingAppData(const std::wstring& windowsPath);
    void setKnownFolderPathMissing(bool missing);
    void setFolderPathMissing(bool missing);
    int liveTaskAllocations() const; // paths the shell handed out and nobody freed

    // ---- screen
    // Display scale. The system DPI (LOGPIXELSX, the twips factor) is fixed for a process's
    // life on Windows and may differ from every monitor's own DPI after the user changes the
    // scale; each monitor has an effective DPI of its own. A process that is not DPI aware sees
    // 96 everywhere.
    void setTwipsPerPixel(int twips); // the system and every monitor: 15 -> 96, 12 -> 120 dpi
    void setDpi(int dpi);             // the system and every monitor, now and added later
    void setSystemDpi(int dpi);       // the system only
    // 0 is the primary. While the program runs this is the user changing that monitor's
    // scale: the program's top-level windows on it get WM_DPICHANGED, their frames drawn at
    // the new DPI and a rectangle suggested at the same place with the client area scaled.
    // Other programs' windows, and windows made before a setDpi, keep the frames they were
    // made with.
    void setMonitorDpi(int index, int dpi);
    void setProcessAwareAtStart(bool aware); // false: the manifest was not honoured
    bool processDpiAware() const;
    void setDpiFunctionsMissing(bool missing); // as on Windows 7
    void setAwarenessContextV2Refused(bool refused); // as Wine 8 does
    const std::vector<std::string>& awarenessCalls() const;
    void setScreenSize(int width, int height);
    void addMonitorRight(int width, int height);
    void addMonitor(Rect screenRect); // anywhere, e.g. left of the primary (negative x)

    // ---- other programs' windows: no window procedure, they record what they receive
    Hwnd addWindow(const std::string& className, const std::string& title, Rect screenRect,
                   Hwnd parent = 0,
                   std::uint32_t style = WS_VISIBLE | WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS,
                   std::uint32_t exStyle = 0);
    void closeWindow(Hwnd hwnd); // as if that program destroyed it
    // WM_CLOSE, Alt+F4 and SC_CLOSE close another program's window, unless it is told to
    // ignore them (a program asking "save changes?"): then it records them and stays open.
    void setIgnoresClose(Hwnd hwnd, bool ignores);
    void setWindowTitle(Hwnd hwnd, const std::string& title);
    void setWindowStyle(Hwnd hwnd, std::uint32_t style);
    // GetParent reports the owner of a WS_POPUP window only, as on Windows; an owned
    // overlapped window reports 0.
    void setOwner(Hwnd hwnd, Hwnd owner);
    void moveWindow(Hwnd hwnd, Rect screenRect);
    // Windows 10 and 11 draw no side borders: the visible frame lies this far inside the
    // window's rectangle (left, top, right, bottom insets), as DWM reports it.
    void setVisibleFrameInsets(Hwnd hwnd, Rect insets);
    // Windows 10 and 11 keep some windows that are visible by their style off the screen:
    // suspended Store-app frames (DWM_CLOAKED_SHELL, 2), windows of other virtual desktops.
    // DwmGetWindowAttribute(DWMWA_CLOAKED) tells them; nothing else does.
    void setCloaked(Hwnd hwnd, std::uint32_t reason);
    // DwmGetWindowAttribute answers E_NOTIMPL, as under Wine 8 or with composition off.
    void setDwmUnavailable(bool unavailable);
    // Sends WM_DISPLAYCHANGE to every top-level window, as Windows does once monitors come or
    // go or a resolution changes (after setScreenSize, addMonitor ...).
    void broadcastDisplayChange();
    Hwnd findWindow(const std::string& className, const std::string& title) const;
    std::vector<Hwnd> topLevelWindows() const;         // z-order, uppermost first
    std::vector<Hwnd> childWindows(Hwnd parent) const; // z-order, uppermost first
    bool windowExists(Hwnd hwnd) const;
    std::vector<std::uint32_t> messagesReceived(Hwnd hwnd) const;
    std::vector<Msg> messageLog(Hwnd hwnd) const; // the same, with parameters

    // Reading a window without counting platform calls.
    Rect windowRect(Hwnd hwnd) const; // screen pixels
    std::string windowTitle(Hwnd hwnd) const;
    std::string windowClass(Hwnd hwnd) const; // as the window was created ("BUTTON")
    std::uint32_t windowStyle(Hwnd hwnd) const;
    std::uint32_t windowExStyle(Hwnd hwnd) const;
    bool windowVisible(Hwnd hwnd) const; // WS_VISIBLE on it and on every ancestor
    bool windowIconic(Hwnd hwnd) const;
    Hicon windowIcon(Hwnd hwnd, std::uintptr_t type) const; // WM_SETICON's, ICON_SMALL or ICON_BIG
    Hicon controlIcon(Hwnd hwnd) const;                     // a static's STM_SETICON
    Point iconSize(Hicon icon) const;                       // (0, 0) for no live icon
    int liveIcons() const; // icons loaded for the program's own keeping, not destroyed yet
    Hfont windowFont(Hwnd hwnd) const; // WM_SETFONT's
    int fontHeight(Hfont font) const;  // as CreateFontW was given it
    int fontWeight(Hfont font) const;
    std::wstring fontFace(Hfont font) const;

    // ---- cursor and input, as a person does it; each press dispatches what it causes
    void setCursor(int x, int y);
    // The cursor moves with no input, as a program's SetCursorPos moves it.
    void warpCursor(int x, int y);
    Point cursor() const;
    void failCursorReads(bool fail);
    // CreateWindowExW fails, as when the desktop heap or the USER handles run out.
    void failWindowCreation(bool fail);
    // The hand moves while the program works: the program's next `calls` - 1 platform calls
    // still see the cursor where it is, the one after them and all later ones see (x, y).
    void moveCursorAfterCalls(std::uint64_t calls, int x, int y);
    void press(int button, int x, int y); // 1 left, 2 right, 4 middle
    void release(int button, int x, int y);
    void click(int button, int x, int y);
    void doubleClick(int x, int y);
    // The second click of a double-click: its press arrives as a double-click in a window
    // whose class takes them.
    void secondClick(int x, int y);
    // The hand acts while the program works: `act` (a press, a move) runs once the test's
    // clock has passed `afterMs` more, in a wait of the program or in advance(). What it causes
    // waits in the queue for the program's next look at its messages.
    void during(std::uint32_t afterMs, std::function<void()> act);
    void pressKey(std::uint16_t vk); // down and up, to the foreground window
    void holdKey(std::uint16_t vk);  // down only (e.g. Alt or Shift held for a click)
    void releaseKey(std::uint16_t vk);

    // ---- time: only the test moves it
    void advance(std::uint32_t ms);
    void pump();
    std::uint32_t now() const;
    bool timerArmed(Hwnd hwnd, std::uintptr_t id) const;
    std::uint32_t timerInterval(Hwnd hwnd, std::uintptr_t id) const; // 0 when not armed
    std::size_t queuedMessages() const;
    bool quitPosted() const;
    int quitCode() const;

    // ---- foreground
    Hwnd foreground() const;
    Hwnd focus() const;
    void activate(Hwnd hwnd); // as the user does: always works, at once
    void refuseForegroundChanges(bool refuse);
    void setForegroundLag(std::uint32_t ms);
    // The next `count` foreground requests report success but never take effect, as when
    // another activation lands right after the switch and undoes it.
    void loseForegroundChanges(int count);

    // ---- Wine on X. The program sees wine_get_version. When a window of the program moves
    // from under the cursor, the window now under it learns of the cursor's arrival from the X
    // server `crossingNewsMs` later (never, if negative): that counts as input (the last-input
    // time), and its thread sets every key to what the X server holds, which releases every key
    // the program holds down (the X server knows only the user's own).
    void runUnderWine(int crossingNewsMs = 5);
    std::uint32_t lastInputTime() const;

    // ---- keyboard layouts. Every thread types with usLayout unless set; a window's thread is
    // its process's one, and 0 names the program's own. Under Wine (runUnderWine) a thread
    // asking for another thread's layout gets its own, as Wine 8 answers.
    void setKeyboardLayout(Hwnd window, Hkl layout);

    // ---- processes' integrity levels. Every process runs at medium integrity unless set; 0
    // names the program's own. Keys injected into a window whose process runs higher than the
    // program are dropped, and nothing tells the program (User Interface Privilege Isolation).
    void setIntegrityLevel(Hwnd window, std::uint32_t rid);
    // While set, every call of that name ("OpenProcess", "OpenProcessToken",
    // "GetTokenInformation") fails with ERROR_ACCESS_DENIED, as for a protected process.
    void failProcessQuery(const std::string& call, bool fail);

    // ---- keys. The events of one SendInput call arrive together: the hand acts only in the
    // program's waits, never inside a call.
    const std::vector<KeyEvent>& keyEvents() const;        // injected ones only
    std::vector<KeyEvent> keysReceivedBy(Hwnd hwnd) const; // injected and pressed by the user
    bool keyIsDown(std::uint16_t vk) const;
    std::vector<std::uint32_t> beeps;
    std::vector<std::wstring> debugLines; // what the program told a debugger

    // ---- regions, GDI
    int liveRegions() const;
    int liveGdiObjects() const;
    int doubleDeletes() const; // DeleteObject/DeleteDC of a dead handle
    // Every misuse, described: objects deleted twice or while in use, a region deleted while
    // a window owns it, handles used after deletion or from another desktop; and icons
    // destroyed while a window shows them, shared ones or dead ones.
    std::vector<std::string> gdiErrors() const;
    bool windowRegionContains(Hwnd hwnd, int x, int y) const;
    std::vector<Rect> windowRegionRects(Hwnd hwnd) const;
    bool windowHasRegion(Hwnd hwnd) const;
    std::vector<Rect> regionRects(Hrgn region) const;
    std::uint32_t bitmapPixel(Hbitmap bitmap, int x, int y) const; // 0x00RRGGBB
    std::uint32_t dcPixel(Hdc hdc, int x, int y) const;
    std::uint32_t windowPixel(Hwnd hwnd, int x, int y) const; // client pixels
    Point bitmapSize(Hbitmap bitmap) const;

    // ---- message boxes, popup menus, modal loops
    std::vector<MessageBoxRecord> messageBoxes;
    std::function<int(const MessageBoxRecord&)> onMessageBox; // answer; default IDOK
    std::vector<MenuRecord> menusShown;
    std::function<std::uintptr_t(const MenuRecord&)> onPopupMenu; // chosen id, 0 dismissed
    // Called when GetMessageW finds nothing to return: a modal loop waits for the user. Input
    // and time given from here (press, pressKey, advance ...) are queued, not dispatched, so
    // the waiting loop itself receives them. GetMessageW raises SimStalled when onIdle is
    // unset, or leaves no message, no delivery and no passing of time behind.
    std::function<void()> onIdle;
    int liveMenus() const;

    // ---- threads, raw input and hooks
    void failThreadCreation(bool fail);
    void failRawInputRegistration(bool fail);
    void failMouseHooks(bool fail);
    void setThreadInformationMissing(bool missing); // Windows 7: no SetThreadInformation
    int liveThreads() const;                        // started and not ended, the first excluded
    int rawMouseSinks() const;        // live registrations of the mouse with RIDEV_INPUTSINK
    int mouseHooks() const;           // live low-level mouse hooks
    int inputEventsDelivered() const; // WM_INPUT messages and hook calls so far
    // Threads that opted out of execution-speed throttling.
    int threadsOutOfPowerThrottling() const;
    bool isMessageOnly(Hwnd hwnd) const;

    // ---- kernel
    void setOtherInstanceRunning(bool running);
    // The ANSI code page of the A calls and CP_ACP: 65001 (UTF-8, the default) or 932
    // (Shift-JIS, as the Wine suite's Japanese locale has it).
    void setAnsiCodePage(std::uint32_t codePage);
    int liveKernelHandles() const;
    // The user's interface language, a LANGID: Japanese (0x0411) unless a test says otherwise.
    void setUserUiLanguage(std::uint16_t langId);
    // The message font (9 points, "Segoe UI" unless a test says otherwise). Text is measured as
    // this many hundredths of the font's height per character (55 unless set) for that face.
    void setMessageFontFace(const std::wstring& face);
    void setTextWidthPercent(const std::wstring& face, int percent);

    // ---- cost accounting for benchmarks
    std::uint64_t callCount() const;
    std::map<std::string, std::uint64_t> callCounts() const;
    void resetCallCounts();

    // ---- calls of the platform that the program does not make. Tests of the model make
    // them as a program would; they count as platform calls.
    bool SetWindowTextW(Hwnd hwnd, const wchar_t* text);
    bool IsIconic(Hwnd hwnd);
    bool UpdateWindow(Hwnd hwnd);
    Hbrush GetSysColorBrush(int index);
    std::uint32_t CheckMenuItem(Hmenu menu, std::uint32_t id, std::uint32_t check);
    bool PtInRegion(Hrgn region, int x, int y);
    std::uint32_t GetRegionData(Hrgn region, std::uint32_t count, void* data);

    // ---- Platform
    std::uint16_t RegisterClassExW(const WindowClass& wc) override;
    Hwnd CreateWindowExW(std::uint32_t exStyle, const wchar_t* className, const wchar_t* windowName,
                         std::uint32_t style, int x, int y, int width, int height, Hwnd parent,
                         std::intptr_t menuOrId) override;
    bool DestroyWindow(Hwnd hwnd) override;
    std::intptr_t DefWindowProcW(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                                 std::intptr_t lParam) override;
    std::intptr_t SendMessageTimeoutW(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                                      std::intptr_t lParam, std::uint32_t flags,
                                      std::uint32_t timeoutMs, std::uintptr_t* result) override;
    std::intptr_t SendMessageW(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                               std::intptr_t lParam) override;
    bool PostMessageW(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                      std::intptr_t lParam) override;
    int GetMessageW(Msg* msg, Hwnd hwnd, std::uint32_t filterMin, std::uint32_t filterMax) override;
    bool PeekMessageW(Msg* msg, Hwnd hwnd, std::uint32_t filterMin, std::uint32_t filterMax,
                      std::uint32_t removeMsg) override;
    bool TranslateMessage(const Msg* msg) override;
    std::intptr_t DispatchMessageW(const Msg* msg) override;
    bool IsDialogMessageW(Hwnd dialog, Msg* msg) override;
    void PostQuitMessage(int exitCode) override;

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
    bool InvalidateRect(Hwnd hwnd, const Rect* rect, bool erase) override;
    Hdc BeginPaint(Hwnd hwnd, PaintStruct* paint) override;
    bool EndPaint(Hwnd hwnd, const PaintStruct* paint) override;
    Hdc GetDC(Hwnd hwnd) override;
    int ReleaseDC(Hwnd hwnd, Hdc hdc) override;
    int GetSystemMetrics(int index) override;
    Hmonitor MonitorFromPoint(Point point, std::uint32_t flags) override;
    bool AdjustWindowRectExForDpi(Rect* rect, std::uint32_t style, bool menu, std::uint32_t exStyle,
                                  std::uint32_t dpi) override;
    int GetSystemMetricsForDpi(int index, std::uint32_t dpi) override;
    bool SystemParametersInfoForDpi(std::uint32_t action, std::uint32_t param, void* value,
                                    std::uint32_t winIni, std::uint32_t dpi) override;
    bool SystemParametersInfoW(std::uint32_t action, std::uint32_t param, void* value,
                               std::uint32_t winIni) override;
    std::int32_t LoadIconWithScaleDown(int resourceId, int cx, int cy, Hicon* icon) override;
    bool IsProcessDPIAware() override;
    bool SetProcessDpiAwarenessContext(std::intptr_t context) override;
    std::int32_t SetProcessDpiAwareness(int value) override;
    bool SetProcessDPIAware() override;
    std::int32_t GetDpiForMonitor(Hmonitor monitor, int dpiType, std::uint32_t* dpiX,
                                  std::uint32_t* dpiY) override;
    std::int32_t DwmGetWindowAttribute(Hwnd hwnd, std::uint32_t attribute, void* value,
                                       std::uint32_t size) override;
    bool GetCursorPos(Point* point) override;
    bool GetLastInputInfo(LastInputInfo* info) override;
    std::uintptr_t SetTimer(Hwnd hwnd, std::uintptr_t id, std::uint32_t elapseMs) override;
    bool RegisterRawInputDevices(const RawInputDevice* devices, std::uint32_t count) override;
    Hhook SetWindowsHookExW(int idHook, HookProc proc, std::uint32_t threadId) override;
    bool UnhookWindowsHookEx(Hhook hook) override;
    std::intptr_t CallNextHookEx(Hhook hook, int code, std::uintptr_t wParam,
                                 std::intptr_t lParam) override;
    bool KillTimer(Hwnd hwnd, std::uintptr_t id) override;
    int MessageBoxW(Hwnd owner, const wchar_t* text, const wchar_t* caption,
                    std::uint32_t type) override;
    bool MessageBeep(std::uint32_t type) override;
    Hicon LoadIconW(int resourceId) override;
    Handle LoadImageW(int resourceId, std::uint32_t type, int cx, int cy,
                      std::uint32_t flags) override;
    bool DestroyIcon(Hicon icon) override;
    ColorRef GetSysColor(int index) override;

    Hmenu CreatePopupMenu() override;
    bool AppendMenuW(Hmenu menu, std::uint32_t flags, std::uintptr_t id,
                     const wchar_t* text) override;
    int TrackPopupMenu(Hmenu menu, std::uint32_t flags, int x, int y, Hwnd owner) override;
    bool DestroyMenu(Hmenu menu) override;

    std::uint32_t SendInput(std::uint32_t count, const KeyboardInput* inputs) override;
    std::int16_t GetKeyState(int vk) override;
    std::int16_t GetAsyncKeyState(int vk) override;
    Hkl GetKeyboardLayout(std::uint32_t threadId) override;
    std::uint32_t MapVirtualKeyExW(std::uint32_t code, std::uint32_t mapType, Hkl layout) override;
    std::int16_t VkKeyScanExW(wchar_t ch, Hkl layout) override;
    Handle GetCurrentProcess() override;
    bool OpenProcessToken(Handle process, std::uint32_t desiredAccess, Handle* token) override;
    bool GetTokenInformation(Handle token, int infoClass, void* info, std::uint32_t length,
                             std::uint32_t* returnLength) override;
    std::uint8_t* GetSidSubAuthorityCount(void* sid) override;
    std::uint32_t* GetSidSubAuthority(void* sid, std::uint32_t subAuthority) override;

    Hrgn ExtCreateRegion(const XForm* xform, std::uint32_t count, const void* data) override;
    Hrgn CreateRectRgn(int left, int top, int right, int bottom) override;
    int CombineRgn(Hrgn dest, Hrgn src1, Hrgn src2, int mode) override;
    int OffsetRgn(Hrgn region, int x, int y) override;
    bool DeleteObject(Hgdiobj object) override;
    int SelectClipRgn(Hdc hdc, Hrgn region) override;
    Hdc CreateCompatibleDC(Hdc hdc) override;
    bool DeleteDC(Hdc hdc) override;
    Hgdiobj SelectObject(Hdc hdc, Hgdiobj object) override;
    Hbitmap CreateDIBSection(Hdc hdc, int width, int height, void** bits) override;
    int GetObjectW(Hgdiobj object, int size, void* buffer) override;
    bool BitBlt(Hdc dest, int x, int y, int width, int height, Hdc src, int srcX, int srcY,
                std::uint32_t rop) override;
    int FillRect(Hdc hdc, const Rect* rect, Hbrush brush) override;
    Hbrush CreateSolidBrush(ColorRef color) override;
    Hfont CreateFontW(int height, int width, int escapement, int orientation, int weight,
                      std::uint32_t italic, std::uint32_t underline, std::uint32_t strikeOut,
                      std::uint32_t charSet, std::uint32_t outPrecision,
                      std::uint32_t clipPrecision, std::uint32_t quality,
                      std::uint32_t pitchAndFamily, const wchar_t* faceName) override;
    int GetDeviceCaps(Hdc hdc, int index) override;
    bool GetTextExtentPoint32W(Hdc hdc, const wchar_t* text, int count, Size* size) override;
    bool GdiFlush() override;
    Handle LoadImageW(const wchar_t* name, std::uint32_t type, int cx, int cy,
                      std::uint32_t flags) override;

    std::uint32_t GetPrivateProfileStringA(const char* appName, const char* keyName,
                                           const char* defaultValue, char* returned,
                                           std::uint32_t size, const char* fileName) override;
    bool WritePrivateProfileStringA(const char* appName, const char* keyName, const char* value,
                                    const char* fileName) override;
    void Sleep(std::uint32_t ms) override;
    Handle CreateThread(ThreadStartRoutine start, void* parameter,
                        std::uint32_t* threadId) override;
    Handle GetCurrentThread() override;
    bool SetThreadInformation(Handle thread, int informationClass, void* information,
                              std::uint32_t size) override;
    std::uint32_t GetTickCount() override;
    std::uint16_t GetUserDefaultUILanguage() override;
    const char* wine_get_version() override;
    void OutputDebugStringW(const wchar_t* text) override;
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
    std::uint32_t GetPrivateProfileStringW(const wchar_t* appName, const wchar_t* keyName,
                                           const wchar_t* defaultValue, wchar_t* returned,
                                           std::uint32_t size, const wchar_t* fileName) override;
    bool WritePrivateProfileStringW(const wchar_t* appName, const wchar_t* keyName,
                                    const wchar_t* value, const wchar_t* fileName) override;
    std::int32_t SHGetKnownFolderPath(const Guid& folderId, std::uint32_t flags, Handle token,
                                      wchar_t** path) override;
    std::int32_t SHGetFolderPathW(Hwnd owner, int csidl, Handle token, std::uint32_t flags,
                                  wchar_t* path) override;
    void CoTaskMemFree(void* memory) override;
    Handle CreateMutexW(bool initialOwner, const wchar_t* name) override;
    std::uint32_t GetLastError() override;
    Handle OpenProcess(std::uint32_t access, bool inherit, std::uint32_t processId) override;
    bool CloseHandle(Handle handle) override;
    int WideCharToMultiByte(std::uint32_t codePage, const wchar_t* wide, int wideCount,
                            char* narrow, int narrowSize) override;
    int MultiByteToWideChar(std::uint32_t codePage, const char* narrow, int narrowCount,
                            wchar_t* wide, int wideSize) override;
    [[noreturn]] void ExitProcess(std::uint32_t exitCode) override;

    struct State; // the model itself, in desktop_state.h

  private:
    std::unique_ptr<State> s_;
};

} // namespace ep::sim
