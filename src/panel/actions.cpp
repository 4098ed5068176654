// The panel's button actions: a left press brings the served window forward and sends it a
// chord or a key string, a right press opens the popup menu, a double-click on the exit bar
// ends the program.
//
// Keys go only to the served window. A press while no window is served, on a window that has
// gone, or when the window will not come forward sends nothing at all: an Alt+F4 that lands
// on some other window would close something the user never pointed at. Nor does a press on a
// window that runs elevated while the program does not: Windows would drop its keys unseen.
#include "frame/sendkeys.h"
#include "frame/text.h"
#include "frame/units.h"
#include "menu/frm_menu.h"
#include "panel/form1.h"
#include "panel/integrity.h"

#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>

namespace ep {

namespace {

// The default user key string, fixed for the minimise cell of the start-up strip: Alt+Space
// opens the window menu, N chooses Minimize.
constexpr std::wstring_view kMinimiseKeys = L"%( n)";

// The waits below look at what they wait for every millisecond, so that the keys follow it
// that closely, and run pending events in between.
constexpr std::uint32_t pollMs = 1;
// SetForegroundWindow can return before the switch shows (Wine reports it late), so the check
// polls this long before it takes the switch as refused. The switch usually shows within a
// few milliseconds.
constexpr std::uint32_t foregroundWaitMs = 500;
// A switch that has not shown after these times is asked for again: another activation (a
// window that opened, the user's own click elsewhere) can land right after it and undo it.
constexpr std::uint32_t foregroundAskAgainMs[] = {50, 150, 300};

// Before typing, the foreground switch and the button's release get time to settle.
constexpr double typingDelayMs = 200;

// One press at a time. Pending events run inside a press (the foreground poll, the chord's
// pause, the wait before typing, the popup menu), and the hand's next press may be among
// them: it waits here until the press under way has finished, so that the keys of two presses
// never interleave. The watcher is held from the first press until the last waiting one ends.
bool pressUnderWay = false;
std::deque<std::function<void()>> pressesWaiting;

class PressUnderWay {
  public:
    explicit PressUnderWay(Form1& panel)
        : panel_(panel), exceptionsAtEntry_(std::uncaught_exceptions()) {
        pressUnderWay = true;
        panel_.holdWatcher();
    }
    ~PressUnderWay() {
        pressUnderWay = false;
        // A press left by the program's end gives the watcher and the waiting presses nothing
        // more to do.
        const bool ending = std::uncaught_exceptions() > exceptionsAtEntry_;
        pressesWaiting.clear();
        if (!ending) panel_.releaseWatcher();
    }
    PressUnderWay(const PressUnderWay&) = delete;
    PressUnderWay& operator=(const PressUnderWay&) = delete;

  private:
    Form1& panel_;
    int exceptionsAtEntry_;
};

void oneAtATime(Form1& panel, std::function<void()> press) {
    if (pressUnderWay) {
        pressesWaiting.push_back(std::move(press));
        return;
    }
    PressUnderWay underWay(panel);
    press();
    while (!pressesWaiting.empty()) {
        const std::function<void()> next = std::move(pressesWaiting.front());
        pressesWaiting.pop_front();
        next();
    }
}

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
    const std::uint32_t maxPolls = foregroundWaitMs / pollMs;
    std::size_t asked = 0;
    for (std::uint32_t poll = 0;; ++poll) {
        const std::uint32_t waited = os().GetTickCount() - start;
        if (asked < std::size(foregroundAskAgainMs) && waited >= foregroundAskAgainMs[asked]) {
            ++asked;
            os().SetForegroundWindow(target);
        }
        if (os().GetForegroundWindow() == target) return nullptr;
        if (waited >= foregroundWaitMs || poll >= maxPolls)
            return L"the served window did not come to the front within half a second";
        DoEvents();
        if (!os().IsWindow(target)) return L"the served window is gone";
        os().Sleep(pollMs);
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

// modifier+key, as soon as the served window is in front, as a keyboard with its layout makes
// them. The four events go in one call: no other input can fall between the downs and the
// ups, and no key can be left held should the program end halfway.
void sendChord(Hwnd target, std::uint8_t modifier, std::uint8_t key) {
    if (!targetInForeground(target)) return;
    const Hkl layout = keyboardLayoutOf(target);
    const KeyboardInput chord[] = {
        keyInput(modifier, 0, layout),
        keyInput(key, 0, layout),
        keyInput(key, KEYEVENTF_KEYUP, layout),
        keyInput(modifier, KEYEVENTF_KEYUP, layout),
    };
    os().SendInput(std::uint32_t(std::size(chord)), chord);
}

// Parking moves the panel from under the cursor. Under Wine on X the window now under it
// learns of the cursor's arrival from the X server a few milliseconds later, and its thread
// then sets every key to the state the X server knows, which releases the keys the program
// holds down: a key string typed meanwhile loses its Alt halfway ("%( n)" types a plain Space
// and N). That window takes the arrival in as a mouse input, which moves the last-input time,
// and the keys' state right after it, before it answers a message. So the typing waits for
// both: the last-input time past the parking, then a round trip to that window's thread.
// Windows sends no such news, so there is nothing to wait for. Under Wine none comes either
// where no window of Wine's lies under the cursor; the wait gives up after a tenth of a second.
constexpr std::uint32_t parkingNewsWaitMs = 100;
constexpr std::uint32_t roundTripMs = 500;

std::uint32_t lastInputTime() {
    LastInputInfo info;
    return os().GetLastInputInfo(&info) ? info.dwTime : 0;
}

void parkBeforeTyping(Form1& panel) {
    if (!os().wine_get_version()) {
        park(panel);
        return;
    }
    const std::uint32_t inputBefore = lastInputTime();
    park(panel);
    const std::uint32_t start = os().GetTickCount();
    for (std::uint32_t poll = 0; lastInputTime() == inputBefore; ++poll) {
        if (os().GetTickCount() - start >= parkingNewsWaitMs || poll >= parkingNewsWaitMs / pollMs)
            return;
        DoEvents();
        os().Sleep(pollMs);
    }
    Point cursor;
    if (!os().GetCursorPos(&cursor)) return;
    if (const Hwnd under = os().WindowFromPoint(cursor)) {
        std::uintptr_t answer = 0;
        os().SendMessageTimeoutW(under, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, roundTripMs, &answer);
    }
}

// The wait lets events run, the foreground among them may change, so the target is checked
// only right before the keys go out. Parking happens whether or not they do.
void typeKeys(Form1& panel, Hwnd target, std::wstring_view keys) {
    mod_RGN_UserFunction::yieldAndSleep(typingDelayMs);
    DoEvents();
    parkBeforeTyping(panel);
    if (targetInForeground(target)) SendKeys(keys, true);
}

void closeTarget(Form1& panel, Hwnd target) {
    sendChord(target, VK_MENU, VK_F4);
    park(panel);
}

// The right button opens the menu; the left button, unless the panel is the exit bar, brings
// the served window forward and runs the cell's action.
template <class Action> void handlePress(Form1& panel, int button, Action action) {
    if (button == vbRightButton) {
        PopupMenu(panel, form<frmMenu>().mpop);
    } else if (button == vbLeftButton && panel.panelMode != kModeExitBar) {
        const Hwnd target = panel.targetHwnd;
        // Windows drops the keys sent to an elevated window and says nothing, so the press
        // leaves it alone and says so with the error sound.
        if (runsAtHigherIntegrity(target)) {
            os().MessageBeep(MB_ICONHAND);
            declined(target, L"the served window runs at a higher integrity level (as "
                             L"administrator) than this program");
            return;
        }
        os().SetForegroundWindow(target);
        action(target);
    }
}

// A cell's action on the served window.
using CellAction = void (*)(Form1& panel, Hwnd target);

constexpr CellAction kPanelCells[] = {
    [](Form1& panel, Hwnd target) { closeTarget(panel, target); },
    [](Form1&, Hwnd target) { sendChord(target, VK_MENU, VK_LEFT); },
    [](Form1&, Hwnd target) { sendChord(target, VK_MENU, VK_RIGHT); },
    [](Form1& panel, Hwnd target) { typeKeys(panel, target, panel.userCommand); },
};
constexpr CellAction kStartupStripCells[] = {
    [](Form1& panel, Hwnd target) { closeTarget(panel, target); },
    [](Form1& panel, Hwnd target) { typeKeys(panel, target, kMinimiseKeys); },
};

// A press on a column of cells: the cell under y, if any, acts on the served window.
template <std::size_t N>
void pressCell(Form1& panel, int button, float y, const CellAction (&cells)[N]) {
    oneAtATime(panel, [&panel, &cells, button, y] {
        handlePress(panel, button, [&](Hwnd target) {
            const int cell = cellIndex(panel, y);
            if (cell >= 0 && static_cast<std::size_t>(cell) < N) cells[cell](panel, target);
        });
    });
}

} // namespace

void Form1::Form_MouseDown(int button, int shift, float x, float y) {
    (void)shift, (void)x;
    pressCell(*this, button, y, kPanelCells);
}

void Form1::Picture1_MouseDown(int button, int shift, float x, float y) {
    (void)shift, (void)x, (void)y;
    oneAtATime(*this, [this, button] {
        handlePress(*this, button, [&](Hwnd target) { typeKeys(*this, target, userCommand); });
    });
}

void Form1::Picture2_MouseDown(int button, int shift, float x, float y) {
    (void)shift, (void)x;
    pressCell(*this, button, y, kStartupStripCells);
}

// The second press of a double-click has acted as a press already; on the exit bar, where a
// press does nothing, the double-click ends the program.
void Form1::Form_DblClick() {
    if (panelMode == kModeExitBar) End();
}

} // namespace ep
