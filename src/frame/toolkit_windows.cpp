#include "frame/toolkit_windows.h"

#include "frame/text.h"

namespace ep::toolkit {

namespace {

constexpr wchar_t kApplicationClass[] = L"EdgepadApplication";

std::int16_t lowWord(std::intptr_t value) { return static_cast<std::int16_t>(value & 0xFFFF); }
std::int16_t highWord(std::intptr_t value) {
    return static_cast<std::int16_t>((value >> 16) & 0xFFFF);
}

std::intptr_t ownedWindowProc(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                              std::intptr_t lParam) {
    auto& s = state();
    auto found = s.windows.find(hwnd);
    if (found == s.windows.end()) {
        if (!s.creating) return os().DefWindowProcW(hwnd, msg, wParam, lParam);
        // The first messages arrive before CreateWindowExW returns the handle.
        found = s.windows.emplace(hwnd, s.creating).first;
        s.creating->attachWindow(hwnd);
    }
    return found->second->handleMessage(msg, wParam, lParam);
}

std::intptr_t applicationProc(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                              std::intptr_t lParam) {
    return os().DefWindowProcW(hwnd, msg, wParam, lParam);
}

void registerClasses() {
    auto& s = state();
    if (s.classesRegistered) return;
    Hicon icon = os().LoadIconW(1);
    WindowClass form;
    form.style = CS_DBLCLKS;
    form.lpfnWndProc = ownedWindowProc;
    form.hIcon = icon;
    form.lpszClassName = kFormClass;
    os().RegisterClassExW(form);
    WindowClass box;
    box.style = CS_DBLCLKS;
    box.lpfnWndProc = ownedWindowProc;
    box.lpszClassName = kPictureBoxClass;
    os().RegisterClassExW(box);
    WindowClass application;
    application.lpfnWndProc = applicationProc;
    application.hIcon = icon;
    application.lpszClassName = kApplicationClass;
    os().RegisterClassExW(application);
    s.classesRegistered = true;
}

} // namespace

State& state() {
    static State instance;
    return instance;
}

Hwnd makeWindow(WindowOwner& owner, std::uint32_t exStyle, const wchar_t* className,
                const wchar_t* caption, std::uint32_t style, const Rect& at, Hwnd parent) {
    auto& s = state();
    registerClasses();
    s.creating = &owner;
    const Hwnd hwnd = os().CreateWindowExW(exStyle, className, caption, style, at.left, at.top,
                                           at.right - at.left, at.bottom - at.top, parent, 0);
    s.creating = nullptr;
    if (hwnd) s.windows[hwnd] = &owner;
    return hwnd;
}

void forgetWindow(Hwnd hwnd) { state().windows.erase(hwnd); }

Hwnd applicationWindow() {
    auto& s = state();
    if (!s.applicationWindow) {
        registerClasses();
        s.applicationWindow =
            os().CreateWindowExW(0, kApplicationClass, L"", WS_POPUP, 0, 0, 0, 0, 0, 0);
    }
    return s.applicationWindow;
}

std::int32_t toPixelsX(double twips) { return roundHalfEven(twips / Screen::TwipsPerPixelX()); }
std::int32_t toPixelsY(double twips) { return roundHalfEven(twips / Screen::TwipsPerPixelY()); }

float twipsX(std::intptr_t lParam) {
    return static_cast<float>(lowWord(lParam) * Screen::TwipsPerPixelX());
}
float twipsY(std::intptr_t lParam) {
    return static_cast<float>(highWord(lParam) * Screen::TwipsPerPixelY());
}

int shiftState(std::uintptr_t keys) {
    int shift = 0;
    if (keys & MK_SHIFT) shift |= vbShiftMask;
    if (keys & MK_CONTROL) shift |= vbCtrlMask;
    if (os().GetKeyState(VK_MENU) < 0) shift |= vbAltMask;
    return shift;
}

// The classes take double-clicks, so a quick second press arrives as a double-click message;
// it is a press all the same, of whichever button.
int pressedButton(std::uint32_t msg) {
    switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        return vbLeftButton;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
        return vbRightButton;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
        return vbMiddleButton;
    default:
        return 0;
    }
}

std::uint32_t bgraOf(ColorRef color) {
    return ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
}

} // namespace ep::toolkit
