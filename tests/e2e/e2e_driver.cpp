// The driver's entry point and its helpers for files, processes, input and the screen.
//
// Usage: e2e_driver <scenario> <edgepad.exe> <work folder>
//        e2e_driver --list
//        e2e_driver warmup        (brings a fresh prefix's desktop up; no checks)
#include "e2e.h"

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>

namespace e2e {

namespace {

std::map<std::string, Scenario>& scenarios() {
    static std::map<std::string, Scenario> table;
    return table;
}

int passed = 0;
int failed = 0;
bool screenshotSaved = false;
std::wstring exeArg;
std::wstring workArg;
std::wstring scenarioArg;

void vprint(const char* prefix, const char* format, va_list args) {
    std::fputs(prefix, stdout);
    std::vfprintf(stdout, format, args);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void removeTree(const std::wstring& path) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring child = path + L"\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(child);
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryW(path.c_str());
}

// ---- Reading the screen.
// Under Wine each process paints into a surface of its own and the screen DC shows none of
// them, so the screen is read where it is composed: from the X server, with ImageMagick's
// import, started as a Unix program (Wine runs ELF files through CreateProcess, without a
// process handle, so completion shows as a file renamed into place). On Windows, BitBlt.
struct ScreenGrab {
    bool valid = false;
    ULONGLONG takenAt = 0;
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // 0x00RRGGBB, top row first
};
ScreenGrab screen;
// Reads within this time of a grab, with no input sent since, share it: a check that reads
// many pixels sees one consistent frame, and a polling wait still sees fresh ones.
constexpr ULONGLONG kGrabLifetimeMs = 100;

void screenChanges() { screen.valid = false; }

bool underWine() {
    static const bool wine =
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

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

// Saves the X server's root window to `path` in ImageMagick's `format`.
bool importScreen(const std::wstring& path, const char* format) {
    const size_t slash = path.find_last_of(L'\\');
    const std::string folder = unixPath(path.substr(0, slash));
    if (folder.empty()) return false;
    const std::string name = narrow(path.substr(slash + 1));
    const std::string part = folder + "/." + name + ".part";
    const std::string done = folder + "/" + name;
    DeleteFileW(path.c_str());
    const std::string script = "/usr/bin/import -window root " + std::string(format) + ":'" + part +
                               "' && mv '" + part + "' '" + done + "'";
    std::wstring commandLine = L"/bin/sh -c \"";
    for (char c : script)
        commandLine += wchar_t(static_cast<unsigned char>(c));
    commandLine += L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(L"Z:\\bin\\sh", commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info))
        return false;
    if (info.hProcess) CloseHandle(info.hProcess);
    if (info.hThread) CloseHandle(info.hThread);
    return waitFor([&] { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; },
                   10000);
}

// Reads a 24- or 32-bit uncompressed .bmp into `grab`.
bool loadBitmap(const std::string& file, ScreenGrab& grab) {
    if (file.size() < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)) return false;
    BITMAPFILEHEADER header;
    BITMAPINFOHEADER info;
    std::memcpy(&header, file.data(), sizeof header);
    std::memcpy(&info, file.data() + sizeof header, sizeof info);
    if (header.bfType != 0x4D42 || (info.biBitCount != 24 && info.biBitCount != 32)) return false;
    const int width = info.biWidth;
    const int height = info.biHeight < 0 ? -info.biHeight : info.biHeight;
    const size_t bytesPerPixel = info.biBitCount / 8;
    const size_t stride = (size_t(width) * bytesPerPixel + 3) & ~size_t(3);
    if (file.size() < header.bfOffBits + stride * size_t(height)) return false;
    grab.width = width;
    grab.height = height;
    grab.pixels.assign(size_t(width) * size_t(height), 0);
    for (int row = 0; row < height; ++row) {
        const int y = info.biHeight < 0 ? row : height - 1 - row;
        const auto* source =
            reinterpret_cast<const unsigned char*>(file.data() + header.bfOffBits + stride * row);
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = source + size_t(x) * bytesPerPixel;
            grab.pixels[size_t(y) * size_t(width) + size_t(x)] =
                std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16);
        }
    }
    return true;
}

bool grabScreen() {
    screen.valid = false;
    if (underWine()) {
        const std::wstring path = workArg + L"\\screen-grab.bmp";
        const auto bytes = importScreen(path, "bmp3") ? readFile(path) : std::nullopt;
        screen.valid = bytes && loadBitmap(*bytes, screen);
    } else {
        const int width = GetSystemMetrics(SM_CXSCREEN);
        const int height = GetSystemMetrics(SM_CYSCREEN);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HDC desktop = GetDC(nullptr);
        HDC memory = CreateCompatibleDC(desktop);
        HBITMAP bitmap = CreateDIBSection(desktop, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (bitmap) {
            HGDIOBJ old = SelectObject(memory, bitmap);
            BitBlt(memory, 0, 0, width, height, desktop, 0, 0, SRCCOPY);
            GdiFlush();
            SelectObject(memory, old);
            const auto* pixels = static_cast<const std::uint32_t*>(bits);
            screen.width = width;
            screen.height = height;
            screen.pixels.assign(pixels, pixels + size_t(width) * size_t(height));
            for (auto& pixel : screen.pixels)
                pixel &= 0x00FFFFFF;
            screen.valid = true;
            DeleteObject(bitmap);
        }
        DeleteDC(memory);
        ReleaseDC(nullptr, desktop);
    }
    screen.takenAt = GetTickCount64();
    return screen.valid;
}

// A relative mouse move of no length: input, as the hand makes it, where the cursor already is.
void nudgeMouse() {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_MOVE;
    SendInput(1, &input, sizeof input);
}

void sendMouse(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
    screenChanges();
}

void sendKey(WORD vk, DWORD flags) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    switch (vk) {
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_END:
    case VK_HOME:
    case VK_INSERT:
    case VK_DELETE:
    case VK_RMENU:
    case VK_RCONTROL:
        flags |= KEYEVENTF_EXTENDEDKEY;
        break;
    default:
        break;
    }
    input.ki.dwFlags = flags;
    SendInput(1, &input, sizeof input);
    screenChanges();
}

// Scenarios run one at a time, so a panel that exists before one starts was left behind by an
// earlier run, and its single-instance lock would make every start of this one end at once.
void endLeftovers() {
    for (HWND panel : windowsTitled(L"Form1")) {
        DWORD processId = 0;
        GetWindowThreadProcessId(panel, &processId);
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId);
        if (!process) continue;
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
        note("ended a program left running by an earlier run (process %lu)", processId);
    }
}

// A fresh prefix starts its desktop process with the first window; until then the cursor
// cannot be moved. One window and one cursor move bring everything up.
int warmup() {
    TestWindows::open();
    const bool moved = moveCursor(5, 5) && moveCursor(screenWidth() / 2, screenHeight() / 2);
    std::printf("warmup: desktop %dx%d, cursor %s\n", screenWidth(), screenHeight(),
                moved ? "moves" : "does not move");
    return moved ? 0 : 1;
}

} // namespace

bool registerScenario(const char* name, Scenario scenario) {
    scenarios()[name] = scenario;
    return true;
}

bool check(bool ok, const char* format, ...) {
    va_list args;
    va_start(args, format);
    vprint(ok ? "ok   " : "FAIL ", format, args);
    va_end(args);
    ++(ok ? passed : failed);
    return ok;
}

void note(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vprint("     # ", format, args);
    va_end(args);
}

std::string narrow(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string out(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), out.data(), size, nullptr,
                        nullptr);
    return out;
}

bool responsive(HWND window) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored) != 0;
}

POINT restingSpot() { return POINT{screenWidth() / 2, screenHeight() - 40}; }

int parkedLeft() {
    return GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN);
}

bool panelParked(HWND panel) { return windowRect(panel).left == parkedLeft(); }

bool isExitBar(HWND panel) {
    const RECT r = windowRect(panel);
    return r.left == scaled(-1) && r.top == scaled(-1) && r.right == scaled(-1) + scaled(64) &&
           r.bottom == scaled(-1) + scaled(16);
}

int rigDpi() {
    HDC screenDc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screenDc, LOGPIXELSX);
    ReleaseDC(nullptr, screenDc);
    return dpi;
}

int scaled(int v) {
    static const int dpi = rigDpi();
    return MulDiv(v, dpi, 96);
}

bool settleIdle(HWND panel) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        moveCursor(restingSpot().x, restingSpot().y);
        responsive(panel);
        Sleep(300);
        moveCursor(0, 0);
        const bool bar = waitFor([&] { return isExitBar(panel); }, 1500);
        moveCursor(restingSpot().x, restingSpot().y);
        if (bar) return waitFor([&] { return panelParked(panel); }) && responsive(panel);
    }
    return false;
}

bool parkAway(HWND panel) {
    const POINT away = restingSpot();
    moveCursor(away.x, away.y);
    // A late echo of an earlier spot (where a menu opened, or a window came up under the
    // cursor) can put Wine's cursor back there after the move held; the panel then rightly
    // stays. The hand is moved away again while the wait lasts.
    const bool parked = waitFor([&] {
        POINT at{};
        if (GetCursorPos(&at) && (at.x != away.x || at.y != away.y)) moveCursor(away.x, away.y);
        return panelParked(panel);
    });
    return responsive(panel) && parked;
}

HWND visibleMenu() {
    HWND found = nullptr;
    EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            if (className(hwnd) != L"#32768" || !IsWindowVisible(hwnd)) return TRUE;
            *reinterpret_cast<HWND*>(param) = hwnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

void tap(WORD vk) {
    keyDown(vk);
    keyUp(vk);
}

void chooseCommand(int index) {
    for (int i = 0; i <= index; ++i)
        tap(VK_DOWN);
    tap(VK_RETURN);
}

bool waitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() >= deadline) return false;
        Sleep(20);
    }
}

const std::wstring& edgepadExe() { return exeArg; }
const std::wstring& workFolder() { return workArg; }
const std::wstring& scenarioName() { return scenarioArg; }

std::wstring screenshotFolder() {
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"EDGEPAD_SCREENSHOTS", buffer, MAX_PATH);
    if (length > 0 && length < MAX_PATH) return buffer;
    return workArg;
}

// ---- Files

std::wstring freshFolder(const std::wstring& name) {
    const std::wstring path = workArg + L"\\" + name;
    removeTree(path);
    CreateDirectoryW(workArg.c_str(), nullptr);
    CreateDirectoryW(path.c_str(), nullptr);
    return path;
}

bool fileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::optional<std::string> readFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
        bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

bool writeFile(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    CloseHandle(file);
    return ok;
}

std::string bitmapFile(int width, int height, const std::function<COLORREF(int, int)>& colour) {
    const int stride = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height; // bottom-up
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biSizeImage = DWORD(stride * height);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + info.biSizeImage;
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
    for (int y = height - 1; y >= 0; --y) {
        std::string row(stride, '\0');
        for (int x = 0; x < width; ++x) {
            const COLORREF c = colour(x, y);
            row[3 * x] = char(GetBValue(c));
            row[3 * x + 1] = char(GetGValue(c));
            row[3 * x + 2] = char(GetRValue(c));
        }
        bytes += row;
    }
    return bytes;
}

std::optional<FILETIME> lastWriteTime(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    return data.ftLastWriteTime;
}

// ---- Edgepad processes

std::wstring installEdgepad(const std::wstring& folderName) {
    const std::wstring folder = freshFolder(folderName);
    const std::wstring copy = folder + L"\\edgepad.exe";
    if (!CopyFileW(exeArg.c_str(), copy.c_str(), FALSE))
        check(false, "copy %s into %s", narrow(exeArg).c_str(), narrow(folder).c_str());
    return copy;
}

std::wstring iniBeside(const std::wstring& exePath) {
    const size_t dot = exePath.find_last_of(L'.');
    const size_t slash = exePath.find_last_of(L"\\/");
    const bool hasExtension =
        dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash);
    return (hasExtension ? exePath.substr(0, dot) : exePath) + L".ini";
}

Process::Process(std::wstring exePath) : exe_(std::move(exePath)) {}

Process::~Process() {
    kill();
    if (handle_) CloseHandle(handle_);
}

bool Process::start() {
    // Started from the work folder, not its own, so that a program that used the current
    // folder instead of its own would show in the checks.
    std::wstring commandLine = L"\"" + exe_ + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exe_.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        workArg.c_str(), &startup, &info))
        return false;
    CloseHandle(info.hThread);
    if (handle_) CloseHandle(handle_);
    handle_ = info.hProcess;
    id_ = info.dwProcessId;
    return true;
}

bool Process::running() const { return handle_ && WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT; }

bool Process::waitExit(DWORD timeoutMs) {
    return !handle_ || WaitForSingleObject(handle_, timeoutMs) == WAIT_OBJECT_0;
}

void Process::kill() {
    if (!running()) return;
    TerminateProcess(handle_, 1);
    WaitForSingleObject(handle_, 5000);
}

HWND Process::panel() const {
    const auto found = windowsTitled(L"Form1", id_);
    return found.empty() ? nullptr : found.front();
}

HWND Process::waitPanel(DWORD timeoutMs) const {
    HWND found = nullptr;
    waitFor([&] { return (found = panel()) != nullptr || !running(); }, timeoutMs);
    return found;
}

std::vector<HWND> windowsTitled(const wchar_t* title, DWORD processId) {
    struct Search {
        const wchar_t* title;
        DWORD processId;
        std::vector<HWND> found;
    } search{title, processId, {}};
    EnumWindows(
        [](HWND hwnd, LPARAM lParam) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(lParam);
            DWORD owner = 0;
            GetWindowThreadProcessId(hwnd, &owner);
            if ((s.processId == 0 || owner == s.processId) && windowText(hwnd) == s.title)
                s.found.push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND waitVisibleTitled(const wchar_t* title, DWORD processId, DWORD timeoutMs) {
    HWND found = nullptr;
    const bool shown = waitFor(
        [&] {
            const auto titled = windowsTitled(title, processId);
            found = titled.empty() ? nullptr : titled.front();
            return found && IsWindowVisible(found);
        },
        timeoutMs);
    return shown ? found : nullptr;
}

std::wstring windowText(HWND hwnd) {
    wchar_t buffer[256] = {};
    GetWindowTextW(hwnd, buffer, 256);
    return buffer;
}

std::wstring className(HWND hwnd) {
    wchar_t buffer[256] = {};
    GetClassNameW(hwnd, buffer, 256);
    return buffer;
}

// ---- Screen, cursor, buttons, keys

int screenWidth() { return GetSystemMetrics(SM_CXSCREEN); }
int screenHeight() { return GetSystemMetrics(SM_CYSCREEN); }

// Wine keeps the cursor in its server and warps the X pointer only when SetCursorPos changes
// the server's position; GetCursorPos reads the X pointer once the server's position is a tenth
// of a second old. A late echo of an earlier move can set the server to this very spot while
// the X pointer stands elsewhere: SetCursorPos here then warps nothing, and every program soon
// reads the pointer's old place. Setting the server to where the pointer really is first makes
// the next SetCursorPos a change that warps.
bool moveCursor(int x, int y) {
    screenChanges();
    const bool moved = waitFor([&] {
        SetCursorPos(x, y);
        POINT at{};
        if (!GetCursorPos(&at)) return false;
        if (at.x == x && at.y == y) return true;
        SetCursorPos(at.x, at.y);
        return false;
    });
    nudgeMouse();
    return moved;
}

void handAt(int x, int y) {
    SetCursorPos(x, y);
    nudgeMouse();
}

void press(Button button) {
    sendMouse(button == Button::Left    ? MOUSEEVENTF_LEFTDOWN
              : button == Button::Right ? MOUSEEVENTF_RIGHTDOWN
                                        : MOUSEEVENTF_MIDDLEDOWN);
}

void release(Button button) {
    sendMouse(button == Button::Left    ? MOUSEEVENTF_LEFTUP
              : button == Button::Right ? MOUSEEVENTF_RIGHTUP
                                        : MOUSEEVENTF_MIDDLEUP);
}

namespace {

// A press or release that carries its own position, and its own move there. Under Wine a
// low-level mouse hook (the program's input thread has one) holds every mouse input until it
// answers, and Wine gives a button the cursor's position at the moment the hook lets it
// through. The X server's echo of an earlier warp of the pointer reaches Wine late, from the
// window it fell on, and passes the same hook: let through first, it puts the cursor back on
// the earlier spot, and a bare button lands there. A move and a button sent as one input pass
// the hook together, so the button lands where the move put the cursor; but Wine leaves the
// move out when the cursor already stands on its spot. So the cursor first steps onto the
// pixel beside the target in the same row, and the input moves it back as the button goes.
void sendMouseAt(DWORD flags, int x, int y) {
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    const int beside = x > left ? x - 1 : x + 1;
    waitFor([&] {
        SetCursorPos(beside, y);
        POINT at{};
        return GetCursorPos(&at) && at.x == beside && at.y == y;
    });
    INPUT input{};
    input.type = INPUT_MOUSE;
    // The smallest normalised coordinate that maps back to this very pixel.
    input.mi.dx = LONG((LONGLONG(x - left) * 65536 + width - 1) / width);
    input.mi.dy = LONG((LONGLONG(y - top) * 65536 + height - 1) / height);
    input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
    SendInput(1, &input, sizeof input);
    screenChanges();
}

DWORD downFlag(Button button) {
    return button == Button::Left    ? MOUSEEVENTF_LEFTDOWN
           : button == Button::Right ? MOUSEEVENTF_RIGHTDOWN
                                     : MOUSEEVENTF_MIDDLEDOWN;
}

DWORD upFlag(Button button) {
    return button == Button::Left    ? MOUSEEVENTF_LEFTUP
           : button == Button::Right ? MOUSEEVENTF_RIGHTUP
                                     : MOUSEEVENTF_MIDDLEUP;
}

} // namespace

void click(int x, int y, Button button) {
    moveCursor(x, y);
    sendMouseAt(downFlag(button), x, y);
    sendMouseAt(upFlag(button), x, y);
}

void doubleClick(int x, int y) {
    moveCursor(x, y);
    for (int i = 0; i < 2; ++i) {
        sendMouseAt(MOUSEEVENTF_LEFTDOWN, x, y);
        sendMouseAt(MOUSEEVENTF_LEFTUP, x, y);
    }
}

void keyDown(WORD vk) { sendKey(vk, 0); }
void keyUp(WORD vk) { sendKey(vk, KEYEVENTF_KEYUP); }

RECT windowRect(HWND hwnd) {
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    return rect;
}

RECT clientRect(HWND hwnd) {
    RECT rect{};
    GetClientRect(hwnd, &rect);
    return rect;
}

std::optional<std::vector<RECT>> windowRegion(HWND hwnd) {
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    std::optional<std::vector<RECT>> rects;
    if (GetWindowRgn(hwnd, region) != ERROR) {
        const DWORD size = GetRegionData(region, 0, nullptr);
        std::vector<char> bytes(size);
        auto* data = reinterpret_cast<RGNDATA*>(bytes.data());
        if (size && GetRegionData(region, size, data)) {
            const auto* first = reinterpret_cast<const RECT*>(data->Buffer);
            rects.emplace(first, first + data->rdh.nCount);
        } else {
            rects.emplace();
        }
    }
    DeleteObject(region);
    return rects;
}

COLORREF screenPixel(int x, int y) {
    if (!screen.valid || GetTickCount64() - screen.takenAt > kGrabLifetimeMs) grabScreen();
    if (!screen.valid || x < 0 || y < 0 || x >= screen.width || y >= screen.height)
        return CLR_INVALID;
    const std::uint32_t bgra = screen.pixels[size_t(y) * size_t(screen.width) + size_t(x)];
    return RGB((bgra >> 16) & 0xFF, (bgra >> 8) & 0xFF, bgra & 0xFF);
}

namespace {

// `text` drawn in `font`, `ink` on `paper`, cut to its ink: pixels as the screen holds them.
struct TextImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // 0x00RRGGBB, top row first
};

std::uint32_t rgbOf(COLORREF colour) {
    return (std::uint32_t(GetRValue(colour)) << 16) | (std::uint32_t(GetGValue(colour)) << 8) |
           GetBValue(colour);
}

TextImage drawText(const std::wstring& text, const LOGFONTW& font, COLORREF ink, COLORREF paper) {
    TextImage image;
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT face = CreateFontIndirectW(&font);
    HGDIOBJ oldFont = SelectObject(dc, face);
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), int(text.size()), &extent);
    // A margin all round: italics and overhangs reach beyond the extent.
    const int margin = 8;
    const int width = extent.cx + 2 * margin, height = extent.cy + 2 * margin;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && extent.cx > 0) {
        HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
        auto* pixels = static_cast<std::uint32_t*>(bits);
        std::fill(pixels, pixels + size_t(width) * size_t(height), rgbOf(paper));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, ink);
        TextOutW(dc, margin, margin, text.c_str(), int(text.size()));
        GdiFlush();
        int left = width, top = height, right = -1, bottom = -1;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if ((pixels[size_t(y) * size_t(width) + size_t(x)] & 0xFFFFFF) != rgbOf(paper)) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
        if (right >= 0) {
            image.width = right - left + 1;
            image.height = bottom - top + 1;
            for (int y = top; y <= bottom; ++y)
                for (int x = left; x <= right; ++x)
                    image.pixels.push_back(pixels[size_t(y) * size_t(width) + size_t(x)] &
                                           0xFFFFFF);
        }
        SelectObject(dc, oldBitmap);
    }
    if (bitmap) DeleteObject(bitmap);
    SelectObject(dc, oldFont);
    DeleteObject(face);
    DeleteDC(dc);
    return image;
}

} // namespace

std::optional<POINT> findText(const RECT& area, const std::wstring& text, const LOGFONTW& font,
                              COLORREF ink, COLORREF paper) {
    const TextImage image = drawText(text, font, ink, paper);
    if (image.pixels.empty()) return std::nullopt;
    if (!screen.valid || GetTickCount64() - screen.takenAt > kGrabLifetimeMs) grabScreen();
    if (!screen.valid) return std::nullopt;
    const int left = std::max(0, int(area.left)), top = std::max(0, int(area.top));
    const int right = std::min(screen.width, int(area.right)) - image.width;
    const int bottom = std::min(screen.height, int(area.bottom)) - image.height;
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) {
            bool same = true;
            for (int row = 0; same && row < image.height; ++row) {
                const std::uint32_t* shown =
                    &screen.pixels[size_t(y + row) * size_t(screen.width) + size_t(x)];
                const std::uint32_t* drawn = &image.pixels[size_t(row) * size_t(image.width)];
                same = std::equal(drawn, drawn + image.width, shown);
            }
            if (same) return POINT{x, y};
        }
    return std::nullopt;
}

std::optional<POINT> findMenuText(HWND menu, const std::wstring& text) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        return std::nullopt;
    const RECT area = windowRect(menu);
    if (auto plain = findText(area, text, metrics.lfMenuFont, GetSysColor(COLOR_MENUTEXT),
                              GetSysColor(COLOR_MENU)))
        return plain;
    return findText(area, text, metrics.lfMenuFont, GetSysColor(COLOR_HIGHLIGHTTEXT),
                    GetSysColor(COLOR_HIGHLIGHT));
}

bool saveScreenshot(const std::wstring& name) {
    CreateDirectoryW(screenshotFolder().c_str(), nullptr);
    bool ok = false;
    if (underWine()) {
        ok = importScreen(screenshotFolder() + L"\\" + name + L".png", "png");
    } else if (grabScreen()) {
        BITMAPINFOHEADER info{};
        info.biSize = sizeof info;
        info.biWidth = screen.width;
        info.biHeight = -screen.height;
        info.biPlanes = 1;
        info.biBitCount = 32;
        info.biCompression = BI_RGB;
        const DWORD pixelBytes = DWORD(screen.pixels.size() * 4);
        BITMAPFILEHEADER header{};
        header.bfType = 0x4D42; // "BM"
        header.bfOffBits = sizeof header + sizeof info;
        header.bfSize = header.bfOffBits + pixelBytes;
        std::string file(reinterpret_cast<const char*>(&header), sizeof header);
        file.append(reinterpret_cast<const char*>(&info), sizeof info);
        file.append(reinterpret_cast<const char*>(screen.pixels.data()), pixelBytes);
        ok = writeFile(screenshotFolder() + L"\\" + name + L".bmp", file);
    }
    screenshotSaved = screenshotSaved || ok;
    return ok;
}

// ---- Keys the test windows received.

std::vector<Received> keysIn(const std::vector<Received>& received) {
    std::vector<Received> keys;
    for (const Received& r : received)
        if (r.message == WM_KEYDOWN || r.message == WM_SYSKEYDOWN || r.message == WM_KEYUP ||
            r.message == WM_SYSKEYUP)
            keys.push_back(r);
    return keys;
}

std::string describeKeys(const std::vector<Received>& keys) {
    std::string out;
    for (const Received& r : keys) {
        if (!out.empty()) out += ' ';
        out += (r.message == WM_KEYUP || r.message == WM_SYSKEYUP) ? '^' : 'v';
        const WPARAM vk = r.wParam;
        char name[16];
        switch (vk) {
        case VK_MENU:
            std::snprintf(name, sizeof name, "Alt");
            break;
        case VK_LEFT:
            std::snprintf(name, sizeof name, "Left");
            break;
        case VK_RIGHT:
            std::snprintf(name, sizeof name, "Right");
            break;
        case VK_F4:
            std::snprintf(name, sizeof name, "F4");
            break;
        case VK_SPACE:
            std::snprintf(name, sizeof name, "Space");
            break;
        case VK_RETURN:
            std::snprintf(name, sizeof name, "Enter");
            break;
        default:
            if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9'))
                std::snprintf(name, sizeof name, "%c", char(vk));
            else
                std::snprintf(name, sizeof name, "0x%02X", unsigned(vk));
        }
        out += name;
    }
    return out;
}

// ---- What programs tell a debugger.

namespace {

// The buffer a debug monitor shares with OutputDebugString when no debugger is attached.
struct DebugBuffer {
    DWORD processId;
    char text[4096 - sizeof(DWORD)];
};

CRITICAL_SECTION debugLock;
std::vector<std::string> debugLines;

DWORD WINAPI listenForDebugOutput(void*) {
    HANDLE bufferReady = CreateEventW(nullptr, FALSE, TRUE, L"DBWIN_BUFFER_READY");
    HANDLE dataReady = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY");
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        sizeof(DebugBuffer), L"DBWIN_BUFFER");
    auto* buffer = mapping ? static_cast<const DebugBuffer*>(
                                 MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, sizeof(DebugBuffer)))
                           : nullptr;
    if (!bufferReady || !dataReady || !buffer) return 1;
    for (;;) {
        WaitForSingleObject(dataReady, INFINITE);
        std::string line(buffer->text, strnlen(buffer->text, sizeof buffer->text));
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        EnterCriticalSection(&debugLock);
        debugLines.push_back(line);
        LeaveCriticalSection(&debugLock);
        SetEvent(bufferReady);
    }
}

} // namespace

void listenToDebugOutput() {
    static bool listening = false;
    if (listening) return;
    listening = true;
    InitializeCriticalSection(&debugLock);
    CreateMutexW(nullptr, FALSE, L"DBWinMutex");
    CloseHandle(CreateThread(nullptr, 0, listenForDebugOutput, nullptr, 0, nullptr));
}

std::vector<std::string> takeDebugOutput() {
    std::vector<std::string> lines;
    EnterCriticalSection(&debugLock);
    lines.swap(debugLines);
    LeaveCriticalSection(&debugLock);
    return lines;
}

} // namespace e2e

int wmain(int argc, wchar_t** argv) {
    // Wine would turn every "\n" into CR LF on a text-mode stream.
    _setmode(_fileno(stdout), _O_BINARY);
    using namespace e2e;
    if (argc == 2 && std::wstring(argv[1]) == L"--list") {
        for (const auto& [name, scenario] : scenarios())
            std::printf("%s\n", name.c_str());
        return 0;
    }
    if (argc == 2 && std::wstring(argv[1]) == L"warmup") return warmup();
    if (argc != 4) {
        std::fprintf(stderr, "usage: e2e_driver <scenario> <edgepad.exe> <work folder>\n");
        return 2;
    }
    scenarioArg = argv[1];
    exeArg = argv[2];
    workArg = argv[3];
    std::replace(exeArg.begin(), exeArg.end(), L'/', L'\\');
    std::replace(workArg.begin(), workArg.end(), L'/', L'\\');
    const auto found = scenarios().find(narrow(scenarioArg));
    if (found == scenarios().end()) {
        std::fprintf(stderr, "no scenario named %s\n", narrow(scenarioArg).c_str());
        return 2;
    }
    if (!check(fileExists(exeArg), "the program exists: %s", narrow(exeArg).c_str())) {
        std::printf("%d passed, %d failed\n", passed, failed);
        return 1;
    }
    CreateDirectoryW(workArg.c_str(), nullptr);
    endLeftovers();
    found->second();
    if (!screenshotSaved && !saveScreenshot(scenarioArg)) note("no screenshot could be saved");
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}
