// Hostile and broken inputs: settings files and user pictures a person could leave beside the
// program, folders it could be run from, and served windows that misbehave. Whatever comes,
// the program keeps running (or ends cleanly where that is its rule) and leaves the settings
// file as it found it, unless a key read empty and start-up seeded it.
#include "e2e.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

using namespace e2e;

namespace {

constexpr int pitchPx = 15;
constexpr COLORREF kFace = RGB(212, 208, 200);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kUserColour = RGB(200, 30, 160);

std::wstring folderOf(const std::wstring& path) {
    return path.substr(0, path.find_last_of(L"\\/"));
}

std::string settingsWith(const char* userCommand, const char* userCommandOn) {
    return std::string("[DATA]\r\nUSER_COMMAND=") + userCommand + "\r\nUSER_COMMAND_ON=" +
           userCommandOn + "\r\n";
}

// The file's bytes, short, for a failing check.
std::string shown(const std::optional<std::string>& bytes) {
    if (!bytes) return "(no file)";
    std::string out;
    for (unsigned char c : bytes->substr(0, 80)) {
        if (c >= 0x20 && c < 0x7F) out += char(c);
        else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    if (bytes->size() > 80) out += "... (" + std::to_string(bytes->size()) + " bytes)";
    return out;
}

// A value as the platform reads it from a settings file.
std::wstring profileValue(const std::wstring& ini, const wchar_t* key) {
    wchar_t buffer[600] = {};
    GetPrivateProfileStringW(L"DATA", key, L"", buffer, 600, ini.c_str());
    return buffer;
}

POINT centreOf(HWND hwnd) {
    const RECT r = windowRect(hwnd);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

bool isKeyMessage(UINT message) {
    return message == WM_KEYDOWN || message == WM_SYSKEYDOWN || message == WM_KEYUP ||
           message == WM_SYSKEYUP || message == WM_CHAR || message == WM_SYSCHAR;
}

int keyCount(const std::vector<Received>& received) {
    int n = 0;
    for (const Received& r : received) n += isKeyMessage(r.message);
    return n;
}

// A 24-bit bottom-up bitmap file of one colour.
std::string bitmapHeader(int width, int height) {
    const DWORD stride = DWORD(width * 3 + 3) & ~3u;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biSizeImage = stride * DWORD(height);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + info.biSizeImage;
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
    return bytes;
}

std::string bitmapRow(int width, COLORREF colour) {
    std::string row((width * 3 + 3) & ~3, '\0');
    for (int x = 0; x < width; ++x) {
        row[3 * x] = char(GetBValue(colour));
        row[3 * x + 1] = char(GetGValue(colour));
        row[3 * x + 2] = char(GetRValue(colour));
    }
    return row;
}

std::string bitmapFile(int width, int height, COLORREF colour) {
    std::string bytes = bitmapHeader(width, height);
    const std::string row = bitmapRow(width, colour);
    for (int y = 0; y < height; ++y) bytes += row;
    return bytes;
}

// Writes a bitmap of width x height in one colour without holding it in memory.
bool writeLargeBitmap(const std::wstring& path, int width, int height, COLORREF colour) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::string chunk = bitmapHeader(width, height);
    const std::string row = bitmapRow(width, colour);
    bool ok = true;
    DWORD written = 0;
    for (int y = 0; ok && y < height; ++y) {
        chunk += row;
        if (chunk.size() >= (1u << 20) || y == height - 1) {
            ok = WriteFile(file, chunk.data(), DWORD(chunk.size()), &written, nullptr) &&
                 written == chunk.size();
            chunk.clear();
        }
    }
    CloseHandle(file);
    return ok;
}

// ---- The Unix side, for what only it can do here: drive letters, immutable folders.
// Wine starts ELF programs through CreateProcess but gives no handle to wait on, so the
// script's status lands in a file the driver waits for.
std::string unixPath(const std::wstring& path) {
    using ToUnix = char*(CDECL*)(const wchar_t*);
    const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix) return {};
    char* unix = toUnix(path.c_str());
    std::string out = unix ? unix : "";
    HeapFree(GetProcessHeap(), 0, unix);
    return out;
}

bool runUnix(const std::string& script) {
    const std::wstring status = workFolder() + L"\\unix-status";
    DeleteFileW(status.c_str());
    const std::string statusUnix = unixPath(status);
    if (statusUnix.empty()) return false;
    const std::string full = "(" + script + ") >/dev/null 2>&1; echo $? > '" + statusUnix + "'";
    std::wstring commandLine = L"/bin/sh -c \"";
    for (char c : full) commandLine += wchar_t(static_cast<unsigned char>(c));
    commandLine += L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(L"Z:\\bin\\sh", commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info))
        return false;
    if (info.hProcess) CloseHandle(info.hProcess);
    if (info.hThread) CloseHandle(info.hThread);
    std::optional<std::string> result;
    waitFor([&] { return (result = readFile(status)) && !result->empty(); }, 10000);
    return result && result->rfind("0", 0) == 0;
}

// An immutable folder takes no new file, an immutable file no change, also for root, as the
// rig runs. Undone when the object goes, so that the work folder can be cleared.
class Immutable {
  public:
    explicit Immutable(std::vector<std::wstring> paths) {
        for (const std::wstring& path : paths) unix_ += " '" + unixPath(path) + "'";
        on_ = runUnix("chattr +i" + unix_);
    }
    ~Immutable() { runUnix("chattr -i" + unix_); }
    bool on() const { return on_; }

  private:
    std::string unix_;
    bool on_ = false;
};

// Listens on the X display for the bell that the platform's warning beep rings there (Wine's
// MessageBeep calls XBell). The listener is a small Python program over libX11's XKB events;
// where it cannot run, ready() says so and the caller notes it.
class BellListener {
  public:
    BellListener() {
        const std::wstring folder = workFolder();
        script_ = folder + L"\\bell_listener.py";
        out_ = folder + L"\\bells.txt";
        DeleteFileW(out_.c_str());
        writeFile(script_, R"(import ctypes, sys
x = ctypes.CDLL("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
d = ctypes.c_void_p(x.XOpenDisplay(None))
n = [ctypes.c_int() for _ in range(3)]
major, minor = ctypes.c_int(1), ctypes.c_int(0)
if not d or not x.XkbQueryExtension(d, *map(ctypes.byref, n + [major, minor])):
    sys.exit(1)
x.XkbSelectEvents(d, 0x100, 1 << 8, 1 << 8)  # core keyboard, XkbBellNotify
x.XSync(d, 0)
out = open(sys.argv[1], "w", buffering=1)
out.write("ready\n")
event = (ctypes.c_char * 192)()
while True:
    x.XNextEvent(d, event)
    if ctypes.cast(event, ctypes.POINTER(ctypes.c_int))[0] == n[1].value:
        out.write("bell\n")
)");
        // Ends by itself; a run that stops early leaves nothing behind for long.
        runUnix("(timeout 30 python3 '" + unixPath(script_) + "' '" + unixPath(out_) + "' &)");
        ready_ = waitFor([&] {
            const auto text = readFile(out_);
            return text && text->rfind("ready", 0) == 0;
        });
    }
    bool ready() const { return ready_; }
    int bells() const {
        const auto text = readFile(out_);
        int n = 0;
        for (std::size_t at = 0; text && (at = text->find("bell", at)) != std::string::npos; ++at)
            ++n;
        return n;
    }

  private:
    std::wstring script_;
    std::wstring out_;
    bool ready_ = false;
};

// ---- The program.

// Starts the program with the cursor at rest away from every window; returns its panel, or
// null when it did not come up.
HWND startAtRest(Process& edgepad) {
    const TestWindows& windows = TestWindows::open();
    const POINT away = centreOf(windows.ordinaryList);
    moveCursor(away.x, away.y);
    if (!check(edgepad.start(), "edgepad.exe starts")) return nullptr;
    const HWND panel = edgepad.waitPanel();
    if (!check(panel != nullptr, "the panel appears")) return nullptr;
    const int screen = screenWidth();
    check(waitFor([&] { return windowRect(panel).left == screen; }), "the panel is parked");
    return panel;
}

// A few ticks later the program still runs and answers.
bool stillRunning(Process& edgepad, HWND panel, const char* what) {
    Sleep(400);
    return check(edgepad.running() && responsive(panel), "%s: the program keeps running", what);
}

int panelHeight(HWND panel) {
    const RECT r = windowRect(panel);
    return r.bottom - r.top;
}

// Rests the cursor away for a few ticks, then enters the strip of `top` over `served` and
// waits for the panel to dock. Returns the panel's rectangle.
std::optional<RECT> dockAt(HWND panel, HWND top, HWND served) {
    const TestWindows& windows = TestWindows::open();
    const POINT away = centreOf(windows.ordinaryList);
    moveCursor(away.x, away.y);
    const int screen = screenWidth();
    waitFor([&] { return windowRect(panel).left == screen; });
    responsive(panel);
    Sleep(300);
    const RECT topRect = windowRect(top);
    const RECT servedRect = windowRect(served);
    moveCursor(std::max(topRect.left, servedRect.left) + 4,
               (servedRect.top + servedRect.bottom) / 2);
    const bool docked = waitFor([&] { return windowRect(panel).left == topRect.left; });
    responsive(panel);
    const RECT rect = windowRect(panel);
    if (!check(docked, "the panel docks at the window's left edge %ld (it stands at %ld,%ld)",
               topRect.left, rect.left, rect.top))
        return std::nullopt;
    return rect;
}

void clickCell(const RECT& panelRect, int cell) {
    click(panelRect.left + 9, panelRect.top + cell * pitchPx + 7);
}

// A right press on the docked panel opens the menu; the keyboard chooses its first item, the
// user-button switch. True once the menu has opened and closed again.
bool switchUserButtonFromMenu(HWND panel, const RECT& panelRect) {
    click(panelRect.left + 9, panelRect.top + 7, Button::Right);
    if (!waitFor([] { return visibleMenu() != nullptr; })) return false;
    // The keys go to the foreground window: the menu takes them once its owner, the panel, is
    // the foreground window and the menu's loop runs.
    waitFor([&] { return GetForegroundWindow() == panel; }, 2000);
    Sleep(200);
    for (WORD vk : {WORD(VK_DOWN), WORD(VK_RETURN)}) {
        keyDown(vk);
        keyUp(vk);
    }
    return waitFor([] { return visibleMenu() == nullptr; });
}

// ---- Settings files.

struct SettingsCase {
    const char* what;
    std::string bytes;
    int cells;            // the panel's height in cells
    bool seeds;           // a key reads empty, so start-up writes its default
};

void runSettingsCase(const wchar_t* folder, const SettingsCase& c) {
    note("-- a settings file with %s", c.what);
    const std::wstring exe = installEdgepad(folder);
    const std::wstring ini = iniBeside(exe);
    writeFile(ini, c.bytes);
    Process edgepad(exe);
    const HWND panel = startAtRest(edgepad);
    if (!panel) return;
    if (!stillRunning(edgepad, panel, c.what)) return;
    check(panelHeight(panel) == c.cells * pitchPx, "%s: the panel is %d cells high (%d px)",
          c.what, c.cells, panelHeight(panel));
    const auto after = readFile(ini);
    if (!c.seeds) {
        check(after == c.bytes, "%s: the file is unchanged (%s)", c.what, shown(after).c_str());
    } else {
        check(profileValue(ini, L"USER_COMMAND_ON") == L"0",
              "%s: the switch is seeded to 0 (file now %s)", c.what, shown(after).c_str());
        check(profileValue(ini, L"USER_COMMAND") == L"%( n)",
              "%s: the key string is seeded to its default", c.what);
        note("%s: %d bytes before, %d after the seeding (the platform's profile writer "
             "rewrites the whole file)",
             c.what, int(c.bytes.size()), after ? int(after->size()) : 0);
        // Seeded once, the file is left alone from then on.
        edgepad.kill();
        Process again(exe);
        const HWND second = startAtRest(again);
        if (second && stillRunning(again, second, c.what))
            check(readFile(ini) == after, "%s: the next start leaves the seeded file unchanged",
                  c.what);
    }
}

// Bytes that are no text: every value 1..255, shuffled by a fixed rule, with no "[" so that
// no section can begin by chance, and some NULs.
std::string binaryGarbage(std::size_t size) {
    std::string out;
    std::uint32_t x = 12345;
    while (out.size() < size) {
        x = x * 1103515245u + 12345u;
        const char c = char((x >> 16) & 0xFF);
        if (c != '[') out += c;
    }
    return out;
}

// ---- Served windows that misbehave: one on a thread of its own, which the scenario can
// close, hang (its thread stops taking messages) or retitle.
class RogueBrowser {
  public:
    explicit RogueBrowser(std::wstring title) : title_(std::move(title)) {
        ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        resume_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = CreateThread(nullptr, 0, run, this, 0, &threadId_);
        WaitForSingleObject(ready_, 10000);
    }
    ~RogueBrowser() {
        resume();
        close();
        CloseHandle(thread_);
        CloseHandle(ready_);
        CloseHandle(resume_);
    }
    void close() {
        if (!thread_ || WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0) return;
        PostThreadMessageW(threadId_, WM_APP, 0, 0);
        WaitForSingleObject(thread_, 10000);
    }
    // The thread stops taking messages until resume().
    void hang() {
        ResetEvent(resume_);
        PostThreadMessageW(threadId_, WM_APP + 1, 0, 0);
    }
    void resume() { SetEvent(resume_); }
    void retitle(const std::wstring& title) {
        title_ = title;
        PostThreadMessageW(threadId_, WM_APP + 2, 0, 0);
    }
    HWND frame = nullptr;
    HWND view = nullptr;

  private:
    static DWORD WINAPI run(void* parameter) {
        auto* self = static_cast<RogueBrowser*>(parameter);
        // The classes and their recording procedure are TestWindows'.
        self->frame = CreateWindowExW(0, L"IEFrame", self->title_.c_str(),
                                      WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 260, 420, 300,
                                      nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        RECT client{};
        GetClientRect(self->frame, &client);
        self->view = CreateWindowExW(0, L"Internet Explorer_Server", L"", WS_CHILD | WS_VISIBLE,
                                     0, 0, client.right, client.bottom, self->frame, nullptr,
                                     GetModuleHandleW(nullptr), nullptr);
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
        SetEvent(self->ready_);
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (!msg.hwnd && msg.message == WM_APP) {
                DestroyWindow(self->frame);
                break;
            }
            if (!msg.hwnd && msg.message == WM_APP + 1) {
                WaitForSingleObject(self->resume_, 30000);
                continue;
            }
            if (!msg.hwnd && msg.message == WM_APP + 2) {
                SetWindowTextW(self->frame, self->title_.c_str());
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        return 0;
    }
    std::wstring title_;
    HANDLE ready_ = nullptr;
    HANDLE resume_ = nullptr;
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
};

} // namespace

// Settings files a person or a broken disk could leave: one start each.
E2E_SCENARIO(hostile_settings_files) {
    TestWindows::open();
    const std::string longLine =
        "[DATA]\r\nUSER_COMMAND=" + std::string(100 * 1024, 'a') + "\r\nUSER_COMMAND_ON=1\r\n";
    const SettingsCase cases[] = {
        {"a 100 KB line", longLine, 4, false},
        {"binary garbage", binaryGarbage(4096), 3, true},
        {"its section in lower case", "[data]\r\nuser_command=%( n)\r\nuser_command_on=1\r\n", 4,
         false},
        {"duplicated keys",
         "[DATA]\r\nUSER_COMMAND=%( n)\r\nUSER_COMMAND_ON=1\r\nUSER_COMMAND=x\r\n"
         "USER_COMMAND_ON=0\r\n",
         4, false},
    };
    int n = 0;
    for (const SettingsCase& c : cases)
        runSettingsCase((L"hostile_settings_" + std::to_wstring(n++)).c_str(), c);
}

// A settings file the program may not change, and a folder that takes no new file: the
// program leaves them as they are and keeps its settings in the user's own file instead.
E2E_SCENARIO(hostile_settings_unwritable) {
    TestWindows::open();
    // A run that died half-way may have left its folders locked.
    for (const wchar_t* folder :
         {L"hostile_read_only", L"hostile_no_write_access", L"hostile_frozen_file"})
        runUnix("chattr -R -i '" + unixPath(workFolder() + L"\\" + folder) + "'");
    // Every copy here is named edgepad.exe: each part starts without the user's file.
    wchar_t appData[MAX_PATH] = {};
    GetEnvironmentVariableW(L"APPDATA", appData, MAX_PATH);
    const std::wstring usersIni = std::wstring(appData) + L"\\Edgepad\\edgepad.ini";
    {
        note("-- a read-only settings file whose switch is missing");
        DeleteFileW(usersIni.c_str());
        const std::wstring exe = installEdgepad(L"hostile_read_only");
        const std::wstring ini = iniBeside(exe);
        const std::string bytes = "[DATA]\r\nUSER_COMMAND=ab\r\n";
        writeFile(ini, bytes);
        check(SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_READONLY) != FALSE,
              "the file is marked read-only");
        // Wine maps the attribute onto the Unix mode, which does not bind root, as the rig may
        // run; an immutable file refuses the write as Windows would.
        const bool root = runUnix("test $(id -u) -eq 0");
        std::optional<Immutable> locked;
        if (root) locked.emplace(std::vector<std::wstring>{ini});
        if (!root || check(locked->on(), "running as root: the file is immutable too (chattr +i)")) {
            Process edgepad(exe);
            const HWND panel = startAtRest(edgepad);
            if (panel && stillRunning(edgepad, panel, "read-only file")) {
                check(panelHeight(panel) == 3 * pitchPx, "the panel is three cells high");
                check(readFile(ini) == bytes, "the file is unchanged (%s)",
                      shown(readFile(ini)).c_str());
                check(
                    waitFor([&] { return readFile(usersIni) == bytes + "USER_COMMAND_ON=0\r\n"; }),
                    "the user's file is its copy, seeded (%s)", shown(readFile(usersIni)).c_str());
            }
            edgepad.kill();
        }
        locked.reset();
        SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    {
        note("-- a folder without write access and no settings file");
        DeleteFileW(usersIni.c_str());
        const std::wstring exe = installEdgepad(L"hostile_no_write_access");
        const std::wstring ini = iniBeside(exe);
        Immutable locked({folderOf(exe)});
        if (check(locked.on(), "the folder takes no new file (chattr +i)")) {
            check(!writeFile(folderOf(exe) + L"\\probe.txt", "x"),
                  "the driver itself cannot create a file there");
            Process edgepad(exe);
            const HWND panel = startAtRest(edgepad);
            if (panel && stillRunning(edgepad, panel, "no write access")) {
                check(panelHeight(panel) == 3 * pitchPx, "the panel is three cells high");
                check(!fileExists(ini), "no settings file appears beside the exe");
                check(waitFor([&] { return fileExists(usersIni); }), "the user's file is seeded");
            }
        }
    }
    {
        note("-- a settings file in a folder where nothing may change, user button on");
        DeleteFileW(usersIni.c_str());
        const std::wstring exe = installEdgepad(L"hostile_frozen_file");
        const std::wstring ini = iniBeside(exe);
        const std::string bytes = "[DATA]\r\nUSER_COMMAND_ON=1\r\n";
        writeFile(ini, bytes);
        Immutable locked({folderOf(exe), ini});
        if (check(locked.on(), "the folder and the file are immutable (chattr +i)")) {
            Process edgepad(exe);
            const HWND panel = startAtRest(edgepad);
            if (panel && stillRunning(edgepad, panel, "frozen file")) {
                check(panelHeight(panel) == 4 * pitchPx,
                      "the panel is four cells high: the switch read before the refused write "
                      "counts");
                check(readFile(ini) == bytes, "the file is unchanged");
                // The menu's switch is saved in the user's file; the one beside stays as it is.
                TestWindows& windows = TestWindows::open();
                for (const int cells : {3, 4}) {
                    const auto docked = dockAt(panel, windows.fileManager, windows.treeView);
                    if (!docked || !check(switchUserButtonFromMenu(panel, *docked),
                                          "the menu opens and the switch is chosen"))
                        break;
                    const auto again = dockAt(panel, windows.fileManager, windows.treeView);
                    check(again && panelHeight(panel) == cells * pitchPx,
                          "switched from the menu, the next docking is %d cells high (%d px)",
                          cells, panelHeight(panel));
                    check(readFile(ini) == bytes, "the file is unchanged");
                    check(waitFor([&] {
                              return readFile(usersIni) == "[DATA]\r\nUSER_COMMAND_ON=" +
                                                               std::string(cells == 4 ? "1" : "0") +
                                                               "\r\nUSER_COMMAND=%( n)\r\n";
                          }),
                          "the user's file holds the switch (%s)",
                          shown(readFile(usersIni)).c_str());
                }
                stillRunning(edgepad, panel, "frozen file, switched from the menu");
            }
        }
    }
    DeleteFileW(usersIni.c_str());
}

// A key string the syntax rejects, and user pictures that are no picture at all.
E2E_SCENARIO(hostile_user_button) {
    TestWindows& windows = TestWindows::open();
    {
        note("-- a USER_COMMAND the key-string syntax rejects");
        const std::wstring exe = installEdgepad(L"hostile_rejected_keys");
        writeFile(iniBeside(exe), settingsWith("{ab", "1"));
        Process edgepad(exe);
        const HWND panel = startAtRest(edgepad);
        // No screen is read meanwhile: the screen grabber rings the bell too.
        const BellListener bell;
        // Wine now and then hands the foreground to the desktop between the switch and the
        // keys; the program then rightly sends nothing and so does not beep. Such a press is
        // made again, twice at most.
        for (int attempt = 0; panel && attempt < 3; ++attempt) {
            const auto docked = dockAt(panel, windows.fileManager, windows.treeView);
            if (!docked) break;
            const int bellsBefore = bell.bells();
            windows.clearReceived();
            clickCell(*docked, 3);
            const int screen = screenWidth();
            check(waitFor([&] { return windowRect(panel).left == screen; }),
                  "the user button parks the panel");
            check(!waitFor([&] { return keyCount(windows.received()) > 0; }, 1500),
                  "no window receives a key (%d)", keyCount(windows.received()));
            if (!bell.ready()) {
                note("no listener for the X bell here (python3 and libX11 with XKB): the beep "
                     "goes unchecked");
                break;
            }
            const bool rang = waitFor([&] { return bell.bells() > bellsBefore; }, 2000);
            if (!rang && attempt < 2) {
                note("no beep: the foreground left the file manager before the keys; again");
                continue;
            }
            check(rang && waitFor([&] { return bell.bells() == bellsBefore + 1; }, 500),
                  "the warning beep sounds once (the X bell rang %d times)",
                  bell.bells() - bellsBefore);
            break;
        }
        if (panel) {
            stillRunning(edgepad, panel, "rejected key string");
            check(readFile(iniBeside(exe)) == settingsWith("{ab", "1"), "the file is unchanged");
        }
    }

    struct PictureCase {
        const char* what;
        const wchar_t* folder;
        int kind; // 0 empty, 1 truncated, 2 huge, 3 a directory, 4 hidden
    };
    const PictureCase cases[] = {
        {"an empty userbutton.bmp", L"hostile_picture_empty", 0},
        {"a truncated userbutton.bmp", L"hostile_picture_truncated", 1},
        {"a 50 MB userbutton.bmp", L"hostile_picture_huge", 2},
        {"a directory named userbutton.bmp", L"hostile_picture_directory", 3},
        {"a hidden userbutton.bmp", L"hostile_picture_hidden", 4},
    };
    for (const PictureCase& c : cases) {
        note("-- %s", c.what);
        const std::wstring exe = installEdgepad(c.folder);
        writeFile(iniBeside(exe), settingsWith("%( n)", "1"));
        const std::wstring picture = folderOf(exe) + L"\\userbutton.bmp";
        switch (c.kind) {
        case 0:
            writeFile(picture, "");
            break;
        case 1:
            writeFile(picture, bitmapFile(64, 64, kUserColour).substr(0, 54 + 1000));
            break;
        case 2:
            check(writeLargeBitmap(picture, 4096, 4266, kUserColour),
                  "a 50 MB bitmap is written at test time");
            break;
        case 3:
            CreateDirectoryW(picture.c_str(), nullptr);
            break;
        case 4:
            writeFile(picture, bitmapFile(18, 16, kUserColour));
            SetFileAttributesW(picture.c_str(), FILE_ATTRIBUTE_HIDDEN);
            check(GetFileAttributesW(picture.c_str()) & FILE_ATTRIBUTE_HIDDEN,
                  "Wine keeps the hidden attribute");
            break;
        }
        Process edgepad(exe);
        const HWND panel = startAtRest(edgepad);
        if (panel && stillRunning(edgepad, panel, c.what)) {
            check(panelHeight(panel) == 4 * pitchPx, "the panel is four cells high");
            // The fourth cell, moved into view: the user's colour only from the huge picture.
            SetWindowPos(panel, nullptr, 200, 150, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            waitFor([&] { return screenPixel(202, 152) == kFace; });
            const COLORREF centre = screenPixel(200 + 8, 150 + 52);
            if (c.kind == 2)
                check(centre == kUserColour, "the huge picture shows in the fourth cell");
            else
                check(centre == kFace && screenPixel(200 + 5, 150 + 52) == kBlack,
                      "the fourth cell keeps the ring");
            check(readFile(iniBeside(exe)) == settingsWith("%( n)", "1"),
                  "the settings file is unchanged");
        }
        edgepad.kill();
        if (c.kind == 2) check(DeleteFileW(picture.c_str()) != FALSE, "the huge picture is deleted");
    }
}

// Run from a drive's root folder and from a folder with a Japanese name: the settings file
// lands beside the program either way.
E2E_SCENARIO(hostile_program_folders) {
    TestWindows::open();
    {
        note("-- the root folder of a drive R: mapped onto a work folder");
        const std::wstring target = freshFolder(L"hostile_drive_root");
        wchar_t prefix[MAX_PATH] = {};
        const bool underWine = GetEnvironmentVariableW(L"WINEPREFIX", prefix, MAX_PATH) > 0;
        const std::string drive = narrow(prefix) + "/dosdevices/r:";
        const bool mapped = underWine && runUnix("rm -f '" + drive + "' && ln -s '" +
                                              unixPath(target) + "' '" + drive + "'");
        if (check(mapped, "R: is mapped onto %s", unixPath(target).c_str())) {
            const bool copied = CopyFileW(edgepadExe().c_str(), L"R:\\edgepad.exe", FALSE);
            check(copied, "the program is copied to R:\\edgepad.exe");
            Process edgepad(L"R:\\edgepad.exe");
            const HWND panel = copied ? startAtRest(edgepad) : nullptr;
            if (panel && stillRunning(edgepad, panel, "drive root")) {
                std::optional<std::string> settings;
                waitFor([&] { return (settings = readFile(target + L"\\edgepad.ini")).has_value(); });
                check(settings == settingsWith("%( n)", "0"),
                      "R:\\edgepad.ini holds the seeded defaults (%s)", shown(settings).c_str());
            }
            edgepad.kill();
            runUnix("rm -f '" + drive + "'");
        }
    }
    {
        note("-- a folder named in Japanese");
        const std::wstring exe = installEdgepad(L"\u65e5\u672c\u8a9e\u306e\u30d5\u30a9\u30eb\u30c0");
        const std::wstring ini = iniBeside(exe);
        Process edgepad(exe);
        const HWND panel = startAtRest(edgepad);
        if (panel && stillRunning(edgepad, panel, "Japanese folder")) {
            std::optional<std::string> settings;
            waitFor([&] { return (settings = readFile(ini)).has_value(); });
            check(settings == settingsWith("%( n)", "0"),
                  "the settings file beside it holds the seeded defaults (%s)",
                  shown(settings).c_str());
        }
    }
}

// Served windows that close, hang or change their title while the panel serves them, and a
// title longer than the probe's buffer.
E2E_SCENARIO(hostile_served_windows) {
    TestWindows& windows = TestWindows::open();
    const std::wstring exe = installEdgepad(L"hostile_served");
    writeFile(iniBeside(exe), settingsWith("x", "1"));
    Process edgepad(exe);
    const HWND panel = startAtRest(edgepad);
    if (!panel) return;

    auto noStrayKeys = [&](HWND served, const char* what) {
        const auto all = windows.received();
        int stray = 0;
        for (const Received& r : all) stray += isKeyMessage(r.message) && r.topLevel != served;
        check(stray == 0, "%s: no other window receives a key (%d)", what, stray);
    };

    {
        note("-- a title of 301 characters, then a new title while served");
        // The 127-byte cut falls inside a double-byte character.
        std::wstring title = L"x";
        for (int i = 0; i < 100; ++i) title += L"\u30bf\u30a4x"; // 2 + 2 + 1 bytes in Shift-JIS
        RogueBrowser browser(title);
        if (const auto docked = dockAt(panel, browser.frame, browser.view)) {
            windows.clearReceived();
            clickCell(*docked, 1);
            check(waitFor([&] { return keyCount(windows.received(browser.frame)) >= 4; }),
                  "long title: the back chord reaches the window");
            browser.retitle(L"short");
            waitFor([&] { return windowText(browser.frame) == L"short"; });
            Sleep(GetDoubleClickTime() + 100);
            windows.clearReceived();
            clickCell(*docked, 2);
            check(waitFor([&] { return keyCount(windows.received(browser.frame)) >= 4; }),
                  "retitled: the forward chord reaches the window");
            noStrayKeys(browser.frame, "retitled");
        }
        stillRunning(edgepad, panel, "long and changed title");
    }
    {
        note("-- a served window that stops taking messages");
        RogueBrowser browser(L"Hanging browser");
        if (const auto docked = dockAt(panel, browser.frame, browser.view)) {
            browser.hang();
            Sleep(200);
            windows.clearReceived();
            const ULONGLONG before = GetTickCount64();
            clickCell(*docked, 1);
            Sleep(GetDoubleClickTime() + 100);
            clickCell(*docked, 3);
            check(responsive(panel), "the panel answers while the window hangs (%llu ms)",
                  GetTickCount64() - before);
            stillRunning(edgepad, panel, "hanging window");
            browser.resume();
            Sleep(500);
            noStrayKeys(browser.frame, "hanging window");
        }
    }
    {
        note("-- a served window that closes while the panel serves it");
        RogueBrowser browser(L"Closing browser");
        if (const auto docked = dockAt(panel, browser.frame, browser.view)) {
            const POINT cell = {docked->left + 9, docked->top + pitchPx + 7};
            moveCursor(cell.x, cell.y);
            Sleep(300);
            browser.close();
            windows.clearReceived();
            click(cell.x, cell.y);
            check(!waitFor([&] { return keyCount(windows.received()) > 0; }, 1500),
                  "no window receives the back chord (%d)", keyCount(windows.received()));
            // The cursor leaves: the panel parks, and docks again at a live window.
            check(dockAt(panel, windows.fileManager, windows.treeView).has_value(),
                  "the panel serves the next window");
            stillRunning(edgepad, panel, "closed window");
        }
    }
    {
        note("-- close requests to the panel itself");
        // What an Alt+F4 that reaches the panel sends it, and a task list's Close.
        const auto docked = dockAt(panel, windows.fileManager, windows.treeView);
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(panel, WM_SYSCOMMAND, SC_CLOSE, 0, SMTO_NORMAL, 5000, &ignored);
        SendMessageTimeoutW(panel, WM_CLOSE, 0, 0, SMTO_NORMAL, 5000, &ignored);
        check(IsWindow(panel) && IsWindowVisible(panel), "the panel stays");
        if (docked && stillRunning(edgepad, panel, "close requests")) {
            windows.clearReceived();
            clickCell(*docked, 1);
            check(waitFor([&] { return keyCount(windows.received(windows.fileManager)) >= 4; }),
                  "the back chord still reaches the served window");
            check(dockAt(panel, windows.browser, windows.browserView).has_value(),
                  "the panel parks and docks again");
        }
    }
    check(readFile(iniBeside(exe)) == settingsWith("x", "1"), "the settings file is unchanged");
}
