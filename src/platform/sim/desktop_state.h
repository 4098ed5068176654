// The model behind Desktop, shared by its implementation files. Nothing here counts as a
// platform call; the Desktop methods count on entry and then work through these helpers.
#pragma once

#include "platform/sim/desktop.h"
#include "platform/sim/region_set.h"

#include <deque>
#include <set>
#include <utility>

namespace ep::sim {

constexpr std::uint32_t ownProcessId = 1000;
constexpr std::uint32_t firstThreadId = 1;
constexpr Handle currentThreadPseudoHandle = -2;
constexpr std::uint32_t WM_SETTEXT_ = 0x000C;
constexpr std::uint32_t WM_NCDESTROY_ = 0x0082;
constexpr int GWL_ID_ = -12;
constexpr std::uintptr_t WA_INACTIVE_ = 0;
constexpr std::uintptr_t WA_ACTIVE_ = 1;
constexpr std::uintptr_t WA_CLICKACTIVE_ = 2;
constexpr std::intptr_t MA_ACTIVATE_ = 1;
constexpr std::intptr_t MA_ACTIVATEANDEAT_ = 2;
constexpr std::intptr_t MA_NOACTIVATEANDEAT_ = 4;
constexpr std::uint32_t MF_BYPOSITION_ = 0x0400;
constexpr std::uint32_t MF_GRAYED_ = 0x0001;
constexpr std::uint32_t MF_DISABLED_ = 0x0002;
constexpr std::uint16_t VK_PACKET_ = 0xE7;
constexpr int iconicPosition = -32000;

enum class WindowKind {
    Program, // created by the program from a registered class: has a window procedure
    Native,  // a system control the program created ("BUTTON", "STATIC")
    Foreign, // another program's window, added by the test
};

struct Window {
    Hwnd hwnd = 0;
    WindowKind kind = WindowKind::Foreign;
    std::string className; // as GetClassNameA reports it
    std::string title;     // ANSI bytes
    std::uint32_t classStyle = 0;
    WndProc proc = nullptr;
    Hbrush background = 0;
    Rect rect;        // top-level: screen pixels; child: parent-client pixels
    Rect restoreRect; // where an iconic window goes back to
    Hwnd parent = 0;  // child windows
    Hwnd owner = 0;   // owned top-level windows
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    std::intptr_t id = 0;
    std::uint32_t processId = 0;
    std::vector<Hwnd> children;         // uppermost first
    Hrgn region = 0;                    // owned by the window once set
    std::vector<std::uint32_t> surface; // client pixels, 0x00RRGGBB
    int surfaceWidth = 0;
    int surfaceHeight = 0;
    bool invalid = false;
    bool erase = false;
    bool buttonPressed = false;  // a native button between its down and up
    bool windowMenuOpen = false; // a foreign window after Alt+Space
    bool ignoresClose = false;   // a foreign window that asks first and stays open
    std::uintptr_t controlIcon = 0;
    Hicon smallIcon = 0, bigIcon = 0; // WM_SETICON
    std::uintptr_t font = 0;
    // The DPI its frame is drawn at: its monitor's when it was made, or when the program's
    // window was told of a new one (WM_DPICHANGED).
    int dpi = 96;
    std::vector<Msg> received; // foreign windows: every message sent or posted
    Rect frameInsets;          // the visible frame lies this far inside rect (DWM)
    std::uint32_t threadId = firstThreadId; // the program's windows: the thread that made it
    bool messageOnly = false;               // made with HWND_MESSAGE: never seen on screen
    std::uint32_t cloaked = 0; // DWMWA_CLOAKED: why DWM does not draw it, 0 when it does
};

// A thread of the program other than the first one.
struct ThreadModel {
    bool waiting = false; // in its message loop, with nothing queued
    bool ended = false;
    bool quit = false; // WM_QUIT posted to it
    bool powerThrottlingOff = false;
};

struct HookModel {
    HookProc proc = nullptr;
    std::uint32_t threadId = 0;
};

struct RawInputSink {
    Hwnd target = 0;
    std::uint32_t threadId = 0;
};

struct WindowClassInfo {
    std::string name;
    WindowClass wc;
    std::uint16_t atom = 0;
};

struct Insets {
    int left = 0, top = 0, right = 0, bottom = 0;
};

enum class GdiKind { Region, Bitmap, Brush, Font, Dc };

// An icon of the program's module: shared (LoadIconW) or the caller's to destroy.
struct IconModel {
    int resourceId = 0;
    int width = 0, height = 0;
    bool shared = false;
};

struct GdiObject {
    GdiKind kind = GdiKind::Region;
    bool stock = false;
    // region
    RegionSet region;
    Hwnd ownerWindow = 0; // a window region: the system deletes it
    // bitmap: 32-bit top-down pixels, BGRA bytes, i.e. 0xAARRGGBB words
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    Hdc selectedInto = 0;
    // brush
    ColorRef color = 0;
    // font
    int fontHeight = 0;
    int fontWeight = 0;
    std::wstring faceName;
    // device context
    bool memoryDc = false;
    bool paintDc = false;
    Hwnd window = 0; // a window DC, or 0 for a memory DC or the screen
    Hbitmap bitmap = 0;
    Hgdiobj brush = 0;
    Hgdiobj font = 0;
    bool clipped = false;
    RegionSet clip;
};

struct MenuModel {
    std::vector<MenuItemRecord> items;
};

struct TimerModel {
    std::uint32_t interval = 0;
    std::uint64_t due = 0;
};

struct KernelObject {
    bool mutex = false;
    std::wstring name;
    std::filesystem::path file; // an open file, else empty
    std::uint64_t position = 0;
    std::uint32_t process = 0; // a process, or the process whose token this is
    bool token = false;
    bool writing = false; // opened with GENERIC_WRITE
};

struct Desktop::State {
    explicit State(Desktop& desktop) : self(desktop) {}
    Desktop& self;

    // files
    std::filesystem::path rootFolder;
    std::wstring exePath = L"C:\\Tools\\edgepad.exe";
    std::set<std::string> hidden, system, readOnly; // host path strings

    // screen
    int systemDpi = 96;         // fixed for the process's life on Windows; LOGPIXELSX
    std::vector<Rect> monitors; // primary first
    std::vector<int> monitorDpi; // each monitor's effective DPI, beside monitors
    int newMonitorDpi = 96;
    bool processAware = true;   // the manifest's per-monitor awareness was honoured
    bool dpiFunctionsMissing = false;   // Windows 7: no shcore, no awareness contexts
    bool awarenessContextV2Refused = false; // Wine 8 refuses the v2 context
    std::vector<std::string> awarenessCalls;
    bool dwmUnavailable = false;
    std::uint16_t uiLanguage = 0x0411;
    std::wstring messageFontFace = L"Segoe UI";
    std::map<std::wstring, int> textWidthPercent;
    int monitorIndex(Point point, std::uint32_t flags) const;
    // The DPI the program sees for a window at this rectangle (its centre's monitor), and
    // the system DPI it sees: 96 for a process that is not DPI aware.
    int dpiAt(const Rect& rect) const;
    int seenSystemDpi() const { return processAware ? systemDpi : 96; }
    int metric(int index, int dpi) const; // GetSystemMetrics at that DPI

    // windows
    std::map<Hwnd, std::unique_ptr<Window>> windows;
    std::vector<Hwnd> topLevel;                     // uppermost first; topmost band first
    std::map<std::string, WindowClassInfo> classes; // by lower-case name
    std::uint16_t nextAtom = 0xC000;
    std::uint32_t nextProcessId = 2000;

    // input and messages
    Point cursorPos;
    bool failCursor = false;
    bool failWindows = false; // CreateWindowExW fails (out of desktop heap or USER handles)
    // A move the hand makes while the program is busy: after this many more platform calls
    // the cursor stands at pendingCursor (none while the count is 0).
    std::uint64_t callsUntilCursorMove = 0;
    Point pendingCursor;
    std::deque<Msg> queue;
    bool quit = false;
    int quitExitCode = 0;
    std::uint64_t clock = 0;
    std::multimap<std::uint64_t, std::function<void()>> handActs; // by the time they come
    void runDueHandActs();
    std::map<std::pair<Hwnd, std::uintptr_t>, TimerModel> timers;
    std::uintptr_t nextThreadTimerId = 1;
    bool inIdle = false;
    std::uint64_t activity = 0; // messages delivered or queued, for telling a stalled wait
    Hwnd pressTarget[5] = {};
    std::vector<std::pair<Hwnd, std::vector<Msg>>> closedLogs; // foreign windows gone

    // foreground and focus
    Hwnd fg = 0;
    Hwnd focusWindow = 0;
    bool refuse = false;
    std::uint32_t lag = 0;
    int lostForegroundChanges = 0;
    Hwnd pendingFg = 0;
    std::uint64_t pendingDue = 0;

    // keys
    std::vector<KeyEvent> injected;
    std::vector<KeyEvent> allKeys;
    bool down[256] = {};
    bool toggled[256] = {};
    bool heldByUser[256] = {}; // the keys the X server knows to be down

    // keyboard layouts by thread, and the processes' integrity levels (desktop_keyboard.cpp,
    // desktop_kernel.cpp)
    std::map<std::uint32_t, Hkl> threadLayouts;
    Hkl layoutOfThread(std::uint32_t threadId) const;
    std::map<std::uint32_t, std::uint32_t> integrityLevels; // by process
    std::set<std::string> failingProcessQueries;
    std::uint32_t integrityOf(std::uint32_t processId) const;
    bool queryFails(const char* call);

    // input time, and Wine's news of the cursor's arrival after a window left from under it
    std::uint64_t lastInput = 0;
    bool underWine = false;
    int crossingNewsMs = -1;
    bool crossingNewsPending = false;
    std::uint64_t crossingNewsDue = 0;
    void resolveCrossingNews();

    // GDI
    std::map<Handle, GdiObject> gdi;
    std::set<Handle> deleted;
    std::vector<std::string> errors;
    int doubleDeleteCount = 0;
    Hbitmap stockBitmap = 0;
    Hgdiobj stockBrush = 0;
    Hgdiobj stockFont = 0;
    std::map<int, Hbrush> sysBrushes;
    std::map<int, Hicon> icons;             // the shared ones, by resource
    std::map<Hicon, IconModel> iconObjects; // every live icon
    std::map<Hmenu, MenuModel> menus;

    // threads, raw input and hooks
    std::uint32_t currentThread = firstThreadId;
    std::uint32_t nextThreadId = 2;
    std::map<std::uint32_t, ThreadModel> threads;
    std::map<Hhook, HookModel> hooks;
    std::vector<RawInputSink> rawSinks;
    bool failThreads = false, failRawInput = false, failHooks = false;
    bool threadInformationMissing = false;
    int inputEvents = 0;
    bool handMovedUnseen = false; // a move made during a program call, not yet told as input
    // Runs fn as thread id: the window procedures and hooks it calls see that thread.
    template <class F> void onThread(std::uint32_t id, F fn);
    std::uint32_t threadOf(Hwnd hwnd) const;
    // A message for a window of a waiting thread runs at once on that thread.
    void runThreadMessages(std::uint32_t id);
    void endThread(std::uint32_t id);
    // The hand moved or changed a button: raw input and low-level hooks hear of it.
    void tellInput(std::uint32_t mouseMessage);
    void tellUnseenMove();

    // kernel
    bool otherInstance = false;
    std::uint32_t lastError = 0;
    std::map<Handle, KernelObject> kernel;

    std::map<std::string, std::uint64_t> calls;
    std::uint32_t ansiCodePage = 65001;
    std::string toAnsi(const std::wstring& text) const;
    std::wstring fromAnsi(const std::string& text) const;

    // ---- helpers (desktop.cpp)
    // Handles are unique across every desktop of the test process, so a handle kept from an
    // earlier test's desktop is invalid here instead of naming some other object.
    static std::intptr_t newHandle() {
        static std::intptr_t next = 0x10000;
        return next += 4;
    }
    void count(const char* name) {
        ++calls[name];
        if (callsUntilCursorMove && --callsUntilCursorMove == 0) {
            cursorPos = pendingCursor;
            handMovedUnseen = true;
        }
    }
    Window* find(Hwnd hwnd) const;
    Window* root(Window* w) const;
    bool isAncestor(Hwnd ancestor, Hwnd hwnd) const; // ancestor == hwnd counts
    Insets frame(std::uint32_t style, std::uint32_t exStyle, int dpi) const;
    Rect screenRect(const Window& w) const;
    Point clientOrigin(const Window& w) const;
    Rect clientRect(const Window& w) const;
    bool visible(const Window& w) const;
    bool enabled(const Window& w) const;
    std::vector<Hwnd>& siblings(Window& w);
    void placeTopLevel(Hwnd hwnd, bool topmost);
    void resizeSurface(Window& w);
    Hwnd hitTest(Point pt) const;
    Hwnd nextActivatable(Hwnd except) const;
    bool canActivate(const Window& w) const;

    std::intptr_t send(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);
    bool post(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);
    void receiveForeign(Window& w, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);
    std::intptr_t defProc(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                          std::intptr_t lParam);
    std::intptr_t nativeProc(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                             std::intptr_t lParam);
    std::intptr_t dispatch(const Msg& msg);
    bool matches(const Msg& msg, Hwnd hwnd, std::uint32_t min, std::uint32_t max) const;
    bool takeMessage(Msg* msg, Hwnd hwnd, std::uint32_t min, std::uint32_t max, bool remove);
    Hwnd paintPending(Hwnd filter) const;
    void pumpAll();
    void pumpIfAllowed() {
        if (!inIdle) pumpAll();
    }
    void paintNow(Hwnd hwnd);
    bool translate(const Msg& msg);
    void hide(Hwnd hwnd);

    void destroy(Hwnd hwnd);
    void closeForeign(Hwnd hwnd);
    void minimize(Hwnd hwnd);
    void restore(Hwnd hwnd);

    void setForeground(Hwnd hwnd, bool byClick);
    void resolvePendingForeground();
    bool requestForeground(Hwnd hwnd);
    void raise(Hwnd hwnd);

    void postDueTimers();
    void runTo(std::uint64_t target, bool dispatch);
    void removeQueued(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam, bool anyWParam);

    void keyEvent(std::uint16_t vk, bool up, wchar_t unicode, std::uint16_t scan,
                  std::uint32_t flags, bool viaSendInput, bool injectedByProgram);
    // A key as the user's keyboard makes it for the foreground window's layout.
    void userKey(std::uint16_t vk, bool up);
    void mouse(int button, int x, int y, bool up, bool doubleClick);

    // ---- GDI helpers (desktop_gdi.cpp)
    Handle addGdi(GdiObject object);
    GdiObject* gdiObject(Handle handle, GdiKind kind);
    const GdiObject* gdiObject(Handle handle, GdiKind kind) const;
    void systemDeletesRegion(Hrgn region);
    void error(const std::string& what) { errors.push_back(what); }
    // Records the use of a handle that names no live object of the kind (0 is no handle).
    void noteDead(const char* call, Handle handle);
    std::uint32_t* surfacePixel(GdiObject& dc, int x, int y, int* width, int* height);
    bool dcAllows(const GdiObject& dc, int x, int y) const;
    std::uint32_t sysColor(int index) const;
    void fillWindow(Window& w, std::uint32_t rgb);
    Hbrush sysBrush(int index);
    Hdc beginPaint(Hwnd hwnd, PaintStruct* paint);
    void endPaint(const PaintStruct& paint);

    // ---- files (desktop_kernel.cpp)
    std::filesystem::path hostPath(const std::wstring& windowsPath) const;
    bool writable(const std::filesystem::path& path) const;
    // The profile functions on ANSI text, for the A and the W calls alike.
    std::uint32_t readProfileString(const char* appName, const char* keyName,
                                    const char* defaultValue, char* returned, std::uint32_t size,
                                    const std::wstring& fileName);
    bool writeProfileString(const char* appName, const char* keyName, const char* value,
                            const std::wstring& fileName);

    // ---- the user's folders (desktop_shell.cpp)
    std::wstring roamingAppData = L"C:\\Users\\user\\AppData\\Roaming";
    bool knownFolderPathMissing = false; // SHGetKnownFolderPath, Windows Vista on
    bool folderPathMissing = false;      // SHGetFolderPathW
    // Paths SHGetKnownFolderPath handed out that CoTaskMemFree has not freed yet.
    std::map<void*, std::unique_ptr<wchar_t[]>> taskAllocations;
};

// The keyboard (desktop_keyboard.cpp): a virtual key's scan code on a layout, 0 for none; the
// keys a keyboard sends with the E0 prefix.
std::uint8_t scanCodeOf(std::uint32_t vk, Hkl layout);
bool sentWithE0(std::uint32_t vk);
constexpr std::uint32_t mainThreadOf(std::uint32_t processId) { return processId + 1; }

std::string narrow(const std::wstring& text); // UTF-8, the sim's ANSI code page
std::wstring widen(const std::string& text);
std::string lower(std::string text);
inline std::uint32_t rgbOf(ColorRef color) {
    return ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
}
inline std::intptr_t makeLParam(int lo, int hi) {
    return std::intptr_t(std::uint32_t(std::uint16_t(lo)) |
                         (std::uint32_t(std::uint16_t(hi)) << 16));
}

} // namespace ep::sim
