// The input thread. Raw mouse input with RIDEV_INPUTSINK reaches its message-only window for
// every move and button change while other programs have the foreground; where raw input
// cannot be registered, a low-level mouse hook on the same thread hears the same. The thread
// does nothing else, so the hook never holds up anybody's mouse: Windows removes a hook that
// answers late, and under Wine a late hook stalls every program's mouse.
#include "watcher/input_thread.h"

#include "frame/owned.h"

#include <atomic>
#include <utility>

namespace ep {

namespace {

constexpr wchar_t kInputWindowClass[] = L"EdgepadInput";

// Written before the thread starts, or by the thread before it says it is ready.
std::atomic<Hwnd> watcherWindow{0};
std::atomic<Hwnd> inputWindow{0};
// Set by the thread when it posts the news, cleared by the watcher when it takes it, so
// that a burst of moves leaves at most one message waiting.
std::atomic<bool> newsWaiting{false};
// The input thread's own: only it reads or writes it.
Hhook mouseHook = 0;

void tellWatcher() {
    if (newsWaiting.exchange(true)) return;
    if (!os().PostMessageW(watcherWindow.load(), WM_MOUSE_NEWS, 0, 0)) newsWaiting.store(false);
}

std::intptr_t inputWindowProc(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                              std::intptr_t lParam) {
    switch (msg) {
    case WM_INPUT:
        // What moved does not matter, so the input's data is left to DefWindowProc, which
        // frees it.
        tellWatcher();
        break;
    case WM_DESTROY:
        os().PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return os().DefWindowProcW(hwnd, msg, wParam, lParam);
}

std::intptr_t mouseHookProc(int code, std::uintptr_t wParam, std::intptr_t lParam) {
    if (code == HC_ACTION) tellWatcher();
    return os().CallNextHookEx(mouseHook, code, wParam, lParam);
}

// Under Wine 8 the registration succeeds, yet in a Wine virtual desktop no raw input arrived
// at all, so there the hook hears the mouse instead.
InputSource listen(Hwnd window, bool underWine) {
    const RawInputDevice mouse{HID_USAGE_PAGE_GENERIC, HID_USAGE_GENERIC_MOUSE, RIDEV_INPUTSINK,
                               window};
    if (!underWine && os().RegisterRawInputDevices(&mouse, 1)) return InputSource::RawInput;
    mouseHook = os().SetWindowsHookExW(WH_MOUSE_LL, mouseHookProc, 0);
    return mouseHook ? InputSource::MouseHook : InputSource::None;
}

std::uint32_t inputThreadMain(void*) {
    // The thread answers the hand: it must not be slowed down to save power where Windows
    // would otherwise run it at low speed once the program counts as in the background.
    ThreadPowerThrottlingState fullSpeed;
    fullSpeed.Version = THREAD_POWER_THROTTLING_CURRENT_VERSION;
    fullSpeed.ControlMask = THREAD_POWER_THROTTLING_EXECUTION_SPEED;
    fullSpeed.StateMask = 0;
    os().SetThreadInformation(os().GetCurrentThread(), ThreadPowerThrottling, &fullSpeed,
                              sizeof fullSpeed);

    const Hwnd window =
        os().CreateWindowExW(0, kInputWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, 0);
    const InputSource source =
        window ? listen(window, os().wine_get_version() != nullptr) : InputSource::None;
    if (source == InputSource::None) {
        if (window) os().DestroyWindow(window);
        os().PostMessageW(watcherWindow.load(), WM_INPUT_READY, static_cast<std::uintptr_t>(source),
                          0);
        return 0;
    }
    inputWindow.store(window);
    os().PostMessageW(watcherWindow.load(), WM_INPUT_READY, static_cast<std::uintptr_t>(source), 0);
    // The hook and the raw input come through here until the program asks the thread to end;
    // its window has gone then. The hook procedure hands on through mouseHook, so the handle
    // lives beside it until an owner takes it here and the hook comes off.
    Msg msg;
    while (os().GetMessageW(&msg, 0, 0, 0) > 0)
        os().DispatchMessageW(&msg);
    const OwnedHook hook(std::exchange(mouseHook, 0));
    return 0;
}

} // namespace

bool startInputThread(Hwnd watcher) {
    watcherWindow.store(watcher);
    inputWindow.store(0);
    newsWaiting.store(false);
    mouseHook = 0;
    // The class is registered here, before the thread starts, so that the program's classes
    // are never registered on two threads at once.
    WindowClass wc;
    wc.lpfnWndProc = inputWindowProc;
    wc.lpszClassName = kInputWindowClass;
    os().RegisterClassExW(wc);
    // The thread runs on without its handle, which nobody waits on.
    const OwnedKernelHandle thread(os().CreateThread(inputThreadMain, nullptr, nullptr));
    return static_cast<bool>(thread);
}

void inputNewsTaken() { newsWaiting.store(false); }

void stopInputThread() {
    if (const Hwnd window = inputWindow.exchange(0)) os().PostMessageW(window, WM_CLOSE, 0, 0);
}

} // namespace ep
