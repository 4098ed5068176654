#include "frame/app.h"

#include "frame/toolkit_windows.h"

#include <algorithm>
#include <cstdlib>

namespace ep {

using namespace toolkit;

namespace Screen {

namespace {
// Read from the display on every call; the display-compatible DC it asks is made once and
// kept for the program's life, so a read costs one call instead of three.
float twipsPerPixel(int index) {
    auto& s = state();
    if (!s.screenInformation) s.screenInformation.reset(os().CreateCompatibleDC(0));
    int dpi = os().GetDeviceCaps(s.screenInformation.get(), index);
    return dpi > 0 ? 1440.0f / static_cast<float>(dpi) : 15.0f;
}
} // namespace

float TwipsPerPixelX() {
    return state().factorHolds ? state().heldTwipsPerPixelX : twipsPerPixel(LOGPIXELSX);
}
float TwipsPerPixelY() {
    return state().factorHolds ? state().heldTwipsPerPixelY : twipsPerPixel(LOGPIXELSY);
}

FactorsHeld::FactorsHeld() {
    auto& s = state();
    if (s.factorHolds == 0) {
        s.heldTwipsPerPixelX = twipsPerPixel(LOGPIXELSX);
        s.heldTwipsPerPixelY = twipsPerPixel(LOGPIXELSY);
    }
    ++s.factorHolds;
}

FactorsHeld::~FactorsHeld() {
    if (state().factorHolds > 0) --state().factorHolds;
}
double Width() {
    return os().GetSystemMetrics(SM_CXSCREEN) * static_cast<double>(TwipsPerPixelX());
}
double Height() {
    return os().GetSystemMetrics(SM_CYSCREEN) * static_cast<double>(TwipsPerPixelY());
}

} // namespace Screen

namespace App {

namespace {
std::wstring modulePath() {
    std::wstring path(32768, L'\0');
    std::uint32_t length =
        os().GetModuleFileNameW(path.data(), static_cast<std::uint32_t>(path.size()));
    path.resize(std::min<std::size_t>(length, path.size()));
    return path;
}
} // namespace

bool PrevInstance() {
    // The mutex lives as long as the process; the system closes it at the end.
    Handle mutex = os().CreateMutexW(false, L"Local\\Edgepad.SingleInstance");
    return mutex != 0 && os().GetLastError() == ERROR_ALREADY_EXISTS;
}

std::wstring Path() {
    std::wstring path = modulePath();
    std::size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos) return {};
    std::wstring folder = path.substr(0, slash);
    // A drive's root keeps its backslash.
    if (folder.size() == 2 && folder[1] == L':') folder += L'\\';
    return folder;
}

std::wstring EXEName() {
    std::wstring path = modulePath();
    std::size_t slash = path.find_last_of(L'\\');
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    std::size_t dot = name.find_last_of(L'.');
    return dot == std::wstring::npos ? name : name.substr(0, dot);
}

std::wstring Title() { return L"Edgepad"; }

} // namespace App

bool Dir(const std::wstring& path) {
    std::uint32_t attributes = os().GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                          FILE_ATTRIBUTE_DEVICE)) == 0;
}

void MsgBox(const std::wstring& text) {
    os().MessageBoxW(0, text.c_str(), App::Title().c_str(),
                     MB_OK | MB_TASKMODAL | MB_SETFOREGROUND);
}

void DoEvents() {
    Msg msg;
    while (os().PeekMessageW(&msg, 0, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            os().PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        os().TranslateMessage(&msg);
        os().DispatchMessageW(&msg);
    }
}

void whenEnding(std::function<void()> task) { state().endingTasks.push_back(std::move(task)); }

void End() {
    const std::vector<std::function<void()>> tasks = std::move(state().endingTasks);
    for (const auto& task : tasks)
        task();
    os().ExitProcess(0);
    std::abort(); // a backend's ExitProcess never returns
}

void raiseError(int number, const std::wstring& description) {
    std::wstring digits;
    for (unsigned n = static_cast<unsigned>(number < 0 ? -number : number); digits.empty() || n;
         n /= 10)
        digits.insert(digits.begin(), static_cast<wchar_t>(L'0' + n % 10));
    std::wstring text = L"Run-time error '" + digits + L"':\n\n" + description;
    os().MessageBoxW(0, text.c_str(), App::Title().c_str(), MB_OK | MB_ICONERROR | MB_TASKMODAL);
    End();
}

int runMessageLoop() {
    Msg msg;
    while (os().GetMessageW(&msg, 0, 0, 0) > 0) {
        os().TranslateMessage(&msg);
        os().DispatchMessageW(&msg);
        collectUnloadedForms();
    }
    return static_cast<int>(msg.wParam);
}

} // namespace ep
