// The Wine rig's driver: helpers for scenarios that run the real edgepad.exe.
//
// A scenario is a function registered by name with E2E_SCENARIO in a scenarios_*.cpp file;
// the host build reads those names to register one ctest test per scenario. A scenario drives
// the desktop as a person would (cursor, buttons, keys) and checks what a person would see,
// what the target windows received and what landed on disk. Every wait polls a condition
// with a generous timeout: the machines are small and shared.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

using Scenario = void (*)();
bool registerScenario(const char* name, Scenario scenario);

// ---- Checks: one line each, counted for the closing "N passed, N failed".
bool check(bool ok, const char* format, ...) __attribute__((format(printf, 2, 3)));
void note(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string narrow(const std::wstring& text);

// Polls `condition` every few milliseconds until it holds or `timeoutMs` passes.
bool waitFor(const std::function<bool()>& condition, DWORD timeoutMs = 5000);

// Waits until the window's thread takes messages again (ten seconds at most). Under Wine
// without a window manager a move off the screen holds the panel's thread up to two seconds.
// The tick moves the panel's left edge first and its top after, so a rectangle read once the
// panel has answered is final.
bool responsive(HWND window);

// ---- The panel seen from outside.
POINT restingSpot(); // low in the middle of the screen, away from every strip
// Where the parked panel's left edge stands: the right edge of all screens together, which with
// one screen is its width.
int parkedLeft();
bool panelParked(HWND panel);
bool isExitBar(HWND panel); // 64 x 16 at (-1, -1), each figure scaled to the rig's DPI
// Brings the watcher to idle, seen from outside: it docks only on an entry from idle, and its
// first tick only records what it finds. The exit bar showing at the corner and parking again
// proves it is idle.
bool settleIdle(HWND panel);
// Rests the cursor away from every strip and waits for the panel to park.
bool parkAway(HWND panel);
HWND visibleMenu(); // the first visible popup menu window ("#32768"), or null
void tap(WORD vk);  // a key pressed and released
// Chooses the index-th command of the open menu (separators not counted) with the keyboard.
void chooseCommand(int index);

// ---- What programs tell a debugger (OutputDebugString), caught as a debug monitor catches it
// when no debugger is attached: the lines written since the last take.
void listenToDebugOutput();
std::vector<std::string> takeDebugOutput();

// ---- The display scale. Wine gives every monitor the one DPI of its prefix (the LogPixels
// value), and every process sees physical pixels.
int rigDpi(); // the screen's LOGPIXELSX
// A 96-DPI pixel figure at the rig's DPI: MulDiv(v, dpi, 96), the nearest integer with halves
// away from zero, negatives too. At 96 DPI, v itself.
int scaled(int v);

// ---- The run's folders, as given on the command line.
const std::wstring& edgepadExe(); // the program under test
const std::wstring& workFolder(); // scratch space of this run
const std::wstring& scenarioName();
std::wstring screenshotFolder(); // EDGEPAD_SCREENSHOTS, or the work folder

// ---- Files.
// A fresh, empty folder under the work folder (removed first if it exists).
std::wstring freshFolder(const std::wstring& name);
bool fileExists(const std::wstring& path);
std::optional<std::string> readFile(const std::wstring& path);
bool writeFile(const std::wstring& path, const std::string& bytes);
std::optional<FILETIME> lastWriteTime(const std::wstring& path);
// A 24-bit bitmap file of width x height pixels, colour(x, y) from the top-left.
std::string bitmapFile(int width, int height, const std::function<COLORREF(int, int)>& colour);

// ---- Edgepad processes.
// Copies edgepad.exe into freshFolder(folderName), so that it has a settings file of its own,
// and returns the copy's path.
std::wstring installEdgepad(const std::wstring& folderName);
// The settings file: beside the exe, named after it, ".ini".
std::wstring iniBeside(const std::wstring& exePath);

// One run of a program; ended when the object goes away, if it still runs.
class Process {
  public:
    explicit Process(std::wstring exePath);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool start();
    bool running() const;
    bool waitExit(DWORD timeoutMs);
    void kill();
    DWORD id() const { return id_; }
    HANDLE handle() const { return handle_; }
    const std::wstring& exePath() const { return exe_; }

    // The panel: the window titled "Form1" that this process owns, or null.
    HWND panel() const;
    HWND waitPanel(DWORD timeoutMs = 10000) const;

  private:
    std::wstring exe_;
    HANDLE handle_ = nullptr;
    DWORD id_ = 0;
};

// Windows titled `title` (of process `processId`, or of any process when 0).
std::vector<HWND> windowsTitled(const wchar_t* title, DWORD processId = 0);
// The first window titled `title` of process `processId` once it is visible, or null when
// none shows within the timeout.
HWND waitVisibleTitled(const wchar_t* title, DWORD processId, DWORD timeoutMs = 5000);
std::wstring windowText(HWND hwnd);
std::wstring className(HWND hwnd);

// ---- Screen, cursor, buttons, keys.
int screenWidth();
int screenHeight();
// The cursor moves as a hand moves it: SetCursorPos, which is no input, then a mouse move of
// no length through SendInput, which is, so that programs listening to the mouse hear of it.
bool moveCursor(int x, int y); // waits until GetCursorPos agrees
void handAt(int x, int y);     // at once, without waiting
enum class Button { Left, Right, Middle };
void press(Button button);
void release(Button button);
void click(int x, int y, Button button = Button::Left);
void doubleClick(int x, int y);
void keyDown(WORD vk);
void keyUp(WORD vk);

RECT windowRect(HWND hwnd);
RECT clientRect(HWND hwnd);
// The window's region in window coordinates, one rectangle each; nullopt when it has none.
std::optional<std::vector<RECT>> windowRegion(HWND hwnd);
// The screen as a person sees it. Under Wine it is read from the X server (about 0.1 s a
// grab); reads within 100 ms of a grab, with no input sent since, share it. Note that on a
// bare X server windows stack in the order they were mapped: create the driver's windows
// before the program's panel where a check reads pixels. CLR_INVALID off the screen.
COLORREF screenPixel(int x, int y);
// Where `text`, drawn in `font` in the colour `ink` on `paper`, shows on the screen pixel for
// pixel within `area`: the top-left corner of its ink, or nullopt. Under Wine another
// process's menu cannot be read (its items live in the process that made it), but it can be
// seen.
std::optional<POINT> findText(const RECT& area, const std::wstring& text, const LOGFONTW& font,
                              COLORREF ink, COLORREF paper);
// Where the open menu window shows `text` as an item, plain or highlighted, in the system's
// menu font: the top-left corner of its ink, or nullopt.
std::optional<POINT> findMenuText(HWND menu, const std::wstring& text);
// Saves the whole screen in the screenshot folder as <name>.png under Wine (the runner
// leaves it in build/screenshots) or <name>.bmp on Windows.
bool saveScreenshot(const std::wstring& name);

// ---- Windows a user has, created in the driver's own process with a pump of their own.
struct Received {
    HWND topLevel;
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// The key messages among `received`, and a description of them: "vAlt vLeft ^Left ^Alt", v a
// key going down, ^ going up.
std::vector<Received> keysIn(const std::vector<Received>& received);
std::string describeKeys(const std::vector<Received>& keys);

class TestWindows {
  public:
    // Creates the windows on a thread of their own, once; later calls return the same set.
    static TestWindows& open();

    HWND fileManager = nullptr; // "CabinetWClass"
    HWND treeView = nullptr;    //   a "SysTreeView32" pane at its left edge
    HWND listView = nullptr;    //   a "SysListView32"
    HWND explorer = nullptr;    // "ExploreWClass"
    HWND explorerTree = nullptr;
    HWND browser = nullptr;     // "IEFrame"
    HWND browserView = nullptr; //   "Internet Explorer_Server"
    HWND ordinary = nullptr;    // a window that must not be served, with a list view
    HWND ordinaryList = nullptr;
    // Browsers of made-up classes that only the setting SERVED_WINDOWS can serve, hidden until
    // a scenario shows them: one whose page view is a child window below a strip of its own
    // frame, one with no child window at all.
    HWND widgetFrame = nullptr; // "EdgepadTestWidgetFrame"
    HWND widgetView = nullptr;  //   "EdgepadTestWidgetView", below a 40-pixel tab strip
    HWND plainFrame = nullptr;  // "EdgepadTestPlainFrame"
    // A taskbar standing along the left edge, Start in the top-left corner, hidden until a
    // scenario shows it: "Shell_TrayWnd" with a "Button" child over the corner.
    HWND taskbar = nullptr;

    // Keyboard, close and system-command messages received so far, by the top-level window
    // they belong to (or all, for null).
    std::vector<Received> received(HWND topLevel = nullptr) const;
    void clearReceived();

  private:
    TestWindows() = default;
};

} // namespace e2e

#define E2E_SCENARIO(name)                                                                         \
    static void e2eScenario_##name();                                                              \
    [[maybe_unused]] static const bool e2eRegistered_##name =                                      \
        e2e::registerScenario(#name, e2eScenario_##name);                                          \
    static void e2eScenario_##name()
