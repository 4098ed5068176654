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
#include <iterator>
#include <string>
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
// A switch that has not shown after these times is asked for again: another activation (a
// window that opened, the user's own click elsewhere) can land right after it and undo it.
constexpr std::uint32_t foregroundAskAgainMs[] = {50, 150, 300};

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

// Cells repeat every 15 pixels from the top of the pressed surface; x never matters. A cell is
// its face, rows 15k + 1 to 15k + 14 at 96 DPI, mapped through the scale the panel was laid
// out at; the rows between faces belong to no cell (-1).
int cellIndex(const Form1& panel, float y) {
    const int row = mod_RGN_UserFunction::twipsToPixelsY(y);
    const Scale& scale = panel.layoutScale();
    for (int cell = 0; scale.px(cell * buttonPitchPx + 1) <= row; ++cell)
        if (row < scale.px(cell * buttonPitchPx + buttonPitchPx)) return cell;
    return -1;
}

// Null once target is a live window and the foreground one; otherwise why no key may go to it. Lets
// pending events run while it waits, and asks for the switch again a few times should it not show;
// the poll count bounds the wait should the tick count stand still.
const wchar_t* whyNotInForeground(Hwnd target) {
    if (target == 0) return L"no window is served yet";
    if (!os().IsWindow(target)) return L"the served window is gone";
    const std::uint32_t start = os().GetTickCount();
    const std::uint32_t maxPolls = foregroundWaitMs / foregroundPollMs;
    std::size_t asked = 0;
    for (std::uint32_t poll = 0;; ++poll) {
        if (os().GetForegroundWindow() == target) return nullptr;
        const std::uint32_t waited = os().GetTickCount() - start;
        if (waited >= foregroundWaitMs || poll >= maxPolls)
            return L"the served window did not come to the front within half a second";
        if (!os().IsWindow(target)) return L"the served window is gone";
        if (asked < std::size(foregroundAskAgainMs) && waited >= foregroundAskAgainMs[asked]) {
            ++asked;
            os().SetForegroundWindow(target);
        }
        DoEvents();
        os().Sleep(foregroundPollMs);
    }
}

// A press that sends nothing says why to a debugger (the user sees nothing), so that a press
// the program declined can be told from one whose keys were lost.
// Eight hex digits, as a debugger shows a window handle.
std::wstring hexHandle(Hwnd hwnd) {
    std::wstring digits(8, L'0');
    auto value = static_cast<std::uint32_t>(hwnd);
    for (int i = 7; i >= 0; --i, value >>= 4)
        digits[i] = L"0123456789ABCDEF"[value & 0xF];
    return digits;
}

bool declined(Hwnd target, const wchar_t* why) {
    const std::wstring line = std::wstring(L"Edgepad: no keys sent: ") + why + L" (served window " +
                              hexHandle(target) + L", foreground " +
                              hexHandle(os().GetForegroundWindow()) + L")\n";
    os().OutputDebugStringW(line.c_str());
    return false;
}

bool targetInForeground(Hwnd target) {
    const wchar_t* why = whyNotInForeground(target);
    return why ? declined(target, why) : true;
}

// Under Wine on X, keys sent within a few tens of milliseconds of the press that asked for
// them are lost when the served window was already in front, or nobody was (the pointer's
// arrival on the panel is still being taken in there); from about a tenth of a second on they
// arrive every time. So the first key goes out no sooner than this after the press.
constexpr std::uint32_t keysAfterPressMs = 100;
std::uint32_t pressedAt = 0;

void waitUntilPressSettled() {
    const std::uint32_t since = os().GetTickCount() - pressedAt;
    if (since < keysAfterPressMs) os().Sleep(keysAfterPressMs - since);
}

// modifier+key. The foreground is checked right before the first key: once a key is down its
// release must follow whatever happens in between, or the key would stay held system-wide.
void sendChord(Hwnd target, std::uint8_t modifier, std::uint8_t key) {
    if (!targetInForeground(target)) return;
    waitUntilPressSettled();
    if (os().GetForegroundWindow() != target) {
        declined(target, L"the served window left the front before the keys");
        return;
    }
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
        pressedAt = os().GetTickCount();
        os().SetForegroundWindow(target);
        action(target);
    }
}

} // namespace

void Form1::Form_MouseDown(int button, int shift, float x, float y) {
    (void)shift, (void)x;
    handlePress(*this, button, [&](Hwnd target) {
        switch (cellIndex(*this, y)) {
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
        switch (cellIndex(*this, y)) {
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
