// The panel's button actions: a left press brings the served window forward and sends it a
// chord or a key string, a right press opens the popup menu, a double-click on the exit bar
// ends the program.
//
// Keys go only to the served window. A press while no window is served, on a window that has
// gone, or when the window will not come forward sends nothing at all: an Alt+F4 that lands
// on some other window would close something the user never pointed at.
#include "frame/sendkeys.h"
#include "frame/text.h"
#include "frame/units.h"
#include "menu/frm_menu.h"
#include "panel/form1.h"

#include <cstdint>
#include <exception>
#include <string_view>

namespace ep {

namespace {

// The default user key string, fixed for the minimise cell of the start-up strip: Alt+Space
// opens the window menu, N chooses Minimize.
constexpr std::wstring_view kMinimiseKeys = L"%( n)";

// SetForegroundWindow can return before the switch shows (Wine reports it late), so the check
// polls this long before it takes the switch as refused. The switch usually shows within a
// few milliseconds; polling every millisecond lets the keys follow it that closely.
constexpr std::uint32_t foregroundWaitMs = 500;
constexpr std::uint32_t foregroundPollMs = 1;

// Before typing, the foreground switch and the button's release get time to settle.
constexpr double typingDelayMs = 200;

// Press handlers nest when pending events run inside one (the chord's pause, the wait before
// typing, the foreground poll, the popup menu). The timer stays off until the outermost ends.
int pressDepth = 0;

class TimerOffWhilePressed {
  public:
    explicit TimerOffWhilePressed(Timer& timer)
        : timer_(timer), exceptionsAtEntry_(std::uncaught_exceptions()) {
        ++pressDepth;
        timer_.setEnabled(false);
    }
    ~TimerOffWhilePressed() {
        --pressDepth;
        // A handler left by the program's end gives the timer nothing more to do.
        const bool ending = std::uncaught_exceptions() > exceptionsAtEntry_;
        if (pressDepth == 0 && !ending) timer_.setEnabled(true);
    }
    TimerOffWhilePressed(const TimerOffWhilePressed&) = delete;
    TimerOffWhilePressed& operator=(const TimerOffWhilePressed&) = delete;

  private:
    Timer& timer_;
    int exceptionsAtEntry_;
};

// Cells repeat every 15 pixels from the top of the pressed surface; x never matters.
int cellIndex(float y) {
    return roundHalfEven(y) / mod_RGN_UserFunction::pixelsToTwipsY(buttonPitchPx);
}

// True once target is a live window and the foreground one. Lets pending events run while it
// waits; the poll count bounds the wait should the tick count stand still.
bool targetInForeground(Hwnd target) {
    if (target == 0 || !os().IsWindow(target)) return false;
    const std::uint32_t start = os().GetTickCount();
    const std::uint32_t maxPolls = foregroundWaitMs / foregroundPollMs;
    for (std::uint32_t poll = 0;; ++poll) {
        if (os().GetForegroundWindow() == target) return true;
        if (os().GetTickCount() - start >= foregroundWaitMs || poll >= maxPolls) return false;
        DoEvents();
        os().Sleep(foregroundPollMs);
    }
}

// modifier+key. The foreground is checked once, before the first key: once a key is down its
// release must follow whatever happens in between, or the key would stay held system-wide.
void sendChord(Hwnd target, std::uint8_t modifier, std::uint8_t key) {
    if (!targetInForeground(target)) return;
    os().keybd_event(modifier, 0, 0, 0);
    os().keybd_event(key, 0, 0, 0);
    DoEvents();
    os().keybd_event(key, 0, KEYEVENTF_KEYUP, 0);
    os().keybd_event(modifier, 0, KEYEVENTF_KEYUP, 0);
}

// Parking moves the panel from under the cursor, so the window beneath it now learns that the
// cursor entered it. Under Wine on X that news carries the real keyboard's modifiers, and the
// window's thread resets Alt, Ctrl and Shift to them when it takes it in: a key string typed at
// once could lose the Alt it holds halfway ("%( n)" would type a plain Space and N). The pause
// lets the news arrive; the round trip to the served window's thread makes sure it has been
// taken in. A hung window gets no longer than the round-trip limit.
constexpr double settleAfterParkMs = 20;
constexpr std::uint32_t settleRoundTripMs = 500;

void letParkingSettle(Hwnd target) {
    mod_RGN_UserFunction::yieldAndSleep(settleAfterParkMs);
    if (target == 0 || !os().IsWindow(target)) return;
    std::uintptr_t answer = 0;
    os().SendMessageTimeoutW(target, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, settleRoundTripMs, &answer);
}

// The wait lets events run, the foreground among them may change, so the target is checked
// only right before the keys go out. Parking happens whether or not they do.
void typeKeys(Form1& panel, Hwnd target, std::wstring_view keys) {
    mod_RGN_UserFunction::yieldAndSleep(typingDelayMs);
    DoEvents();
    park(panel);
    letParkingSettle(target);
    if (targetInForeground(target)) SendKeys(keys, true);
}

void closeTarget(Form1& panel, Hwnd target) {
    sendChord(target, VK_MENU, VK_F4);
    park(panel);
}

// Timer off; the right button opens the menu; the left button, unless the panel is the exit
// bar, brings the served window forward and runs the cell's action; timer on.
template <class Action> void handlePress(Form1& panel, int button, Action action) {
    TimerOffWhilePressed timerOff(panel.Timer1);
    if (button == vbRightButton) {
        PopupMenu(panel, form<frmMenu>().mpop);
    } else if (button == vbLeftButton && panel.panelMode != kModeExitBar) {
        const Hwnd target = panel.targetHwnd;
        os().SetForegroundWindow(target);
        action(target);
    }
}

} // namespace

void Form1::Form_MouseDown(int button, int shift, float x, float y) {
    (void)shift, (void)x;
    handlePress(*this, button, [&](Hwnd target) {
        switch (cellIndex(y)) {
        case 0:
            closeTarget(*this, target);
            break;
        case 1:
            sendChord(target, VK_MENU, VK_LEFT);
            break;
        case 2:
            sendChord(target, VK_MENU, VK_RIGHT);
            break;
        case 3:
            typeKeys(*this, target, userCommand);
            break;
        default:
            break;
        }
    });
}

void Form1::Picture1_MouseDown(int button, int shift, float x, float y) {
    (void)shift, (void)x, (void)y;
    handlePress(*this, button, [&](Hwnd target) { typeKeys(*this, target, userCommand); });
}

void Form1::Picture2_MouseDown(int button, int shift, float x, float y) {
    (void)shift, (void)x;
    handlePress(*this, button, [&](Hwnd target) {
        switch (cellIndex(y)) {
        case 0:
            closeTarget(*this, target);
            break;
        case 1:
            typeKeys(*this, target, kMinimiseKeys);
            break;
        default:
            break;
        }
    });
}

// A double-click arrives instead of a second press. It leaves the timer alone and sends no
// keys, so it needs no wait for the switch.
void Form1::Form_DblClick() {
    if (panelMode == kModeExitBar) End();
    os().SetForegroundWindow(targetHwnd);
}

} // namespace ep
