// The watcher: docks the panel at a served window's left edge, turns it into the exit bar in
// the screen's top-left corner, or parks it. It reshapes and moves the panel only on a change
// between decisions; the markers are the only memory of what the last decision showed.
//
// A decision samples the cursor once and answers every question (the window there, its
// top-level window, both class names, the edges) for that one point: a hand crossing from the
// strip onto the panel meanwhile must settle as either spot would, never as a mix of the two.
//
// What wakes it: each move of the mouse or change of a button, told by the input thread, at
// most one decision per 16 ms and always one more 16 ms after the last move, so the cursor's
// last position is decided; where the input thread cannot hear the mouse (or POLL_CURSOR=1),
// the 100 ms poll Timer1. Also the start, a display change, the end of the pause before
// docking and the end of a press, the menu or the About window.
#include "watcher/watcher.h"

#include <algorithm>

#include "frame/scale.h"
#include "frame/text.h"
#include "frame/units.h"
#include "menu/frm_menu.h"
#include "panel/form1.h"
#include "probe/point_look.h"
#include "shaping/shaping.h"
#include "watcher/decision.h"
#include "watcher/input_thread.h"
#include "watcher/served_windows.h"

#include <optional>

namespace ep {

namespace {

// ---- The decision -------------------------------------------------------------------------

// The class, strip and height tests; the edges are those of the top-level window's visible
// frame, so that the strip begins where the window is drawn, not in the invisible resize
// border beside it. The classes come first, and a window that is not served costs no frame
// and no look at the monitor's scale. The strip is decided in the cursor's own pixels, as
// wide as the scale of the cursor's monitor makes it, so that no pixel falls on the wrong side
// of an edge at any scale.
bool cursorInHotZone(Sight& sight, const WatcherMemory& memory, const WatcherRules& rules,
                     Point cursor, Scale& scale) {
    if (!isServedWindow(sight.className(true), sight.className(false), *rules.servedWindows))
        return false;
    const Rect frame = sight.visibleFrame();
    if (!(frame.top <= cursor.y && cursor.y <= frame.bottom)) return false;
    // Half-open: the window's left edge is in the strip, left + strip width is not. The strip
    // is never narrower than at the least scale nor wider than at the most, so only a cursor
    // between the two needs its monitor's scale, and so does a docking, which lays the panel
    // out at it; a docked panel's decision in the strip asks nothing more.
    const int offset = cursor.x - frame.left;
    if (offset < 0 || offset >= Scale(kMostDpi).px(stripWidthPx)) return false;
    const bool docking = memory.prevMark != kMarkShown;
    if (!docking && offset < Scale(kLeastDpi).px(stripWidthPx)) return true;
    scale = sight.monitorScale(cursor);
    return offset < scale.px(stripWidthPx);
}

// The pause before docking (DOCK_DELAY) starts again: the hand left, held a button or came
// onto the panel.
void restartDockPause(Decision& decision) {
    WatcherMemory& memory = decision.memory;
    if (memory.pauseWindow) decision.pause = Decision::PauseTimer::Cancel;
    memory.pauseWindow = 0;
    memory.pauseOver = false;
}

// True while the pause holds the panel back. The pause starts at the first decision that sees
// the cursor in a window's strip and ends when its timer fires; the decision after that docks
// if the cursor is still in that strip. Another window's strip starts it again. A panel docked
// at one window moves on to the next without one: the hand is already at work there.
bool dockPauseRuns(Decision& decision, const WatcherRules& rules, Hwnd window) {
    WatcherMemory& memory = decision.memory;
    const bool docked = memory.prevMark == kMarkShown && memory.panelMode == kModeDocked;
    if (docked || !rules.dockPause) return false;
    if (memory.pauseWindow != window) {
        memory.pauseWindow = window;
        memory.pauseOver = false;
        decision.pause = Decision::PauseTimer::Arm;
        return true;
    }
    if (!memory.pauseOver) return true;
    memory.pauseWindow = 0;
    memory.pauseOver = false;
    return false;
}

} // namespace

Decision decide(Sight& sight, const WatcherMemory& before, const WatcherRules& rules) {
    Decision decision;
    decision.memory = before;
    WatcherMemory& memory = decision.memory;

    // A cursor that cannot be read (the lock screen, the secure desktop) is no position: the
    // panel, the markers, the served window and the pause all stay as they are.
    Point cursor;
    if (!sight.cursor(&cursor)) return decision;

    // The displays changed: park beyond the new desktop's right edge and forget what was
    // shown, so that this decision decides afresh.
    if (memory.displayChanged) {
        memory.displayChanged = false;
        memory.prevMark = kMarkNothing;
        decision.parkFirst = true;
    }
    memory.cursor = cursor;
    memory.curMark = kMarkNothing;

    // Over the panel itself (or the exit bar): nothing changes, not even the markers; a pause
    // before docking starts again.
    if (sight.window(true) == rules.panel) {
        restartDockPause(decision);
        return decision;
    }

    Scale scale;
    const bool showing = memory.prevMark == kMarkShown;
    // A decision of the pause shows nothing: not even the exit bar of a window whose strip
    // takes in the corner.
    bool pausing = false;
    if (cursorInHotZone(sight, memory, rules, cursor, scale)) {
        // During a drag (a file on its way to the folder tree, a browser's tab) a panel that
        // is not showing does not come up to catch the drop, and the decision leaves no trace
        // but a restarted pause, so that the first one after the release docks as it would
        // have without the drag; a docked panel stays where it stands.
        if (!showing && sight.buttonHeld()) {
            restartDockPause(decision);
            return decision;
        }
        pausing = dockPauseRuns(decision, rules, sight.window(true));
        if (!pausing) {
            memory.panelMode = kModeDocked;
            memory.curMark = kMarkShown;
            memory.targetHwnd = sight.window(true);
            if (memory.prevMark == kMarkNothing) {
                decision.act = Decision::Act::Dock;
                decision.frame = sight.visibleFrame();
                decision.scale = scale;
            }
        }
    } else {
        restartDockPause(decision);
    }

    // The corner counts unless the taskbar stands there (along the top or the left edge),
    // where the hand throws the cursor to reach Start. No exit bar during a drag: a panel that
    // is not showing stays as it is, a shown one parks below.
    const bool inExitCorner = !pausing && memory.curMark == kMarkNothing && cursor.x == 0 &&
                              cursor.y == 0 && sight.className(true) != kTaskbarClass;
    if (inExitCorner && sight.buttonHeld()) {
        if (!showing) return decision;
    } else if (inExitCorner) {
        memory.curMark = kMarkShown;
        memory.panelMode = kModeExitBar;
        if (memory.prevMark == kMarkNothing) decision.act = Decision::Act::ExitBar;
    }

    // Parking moves the panel just beyond the right edge and leaves its shape, height and
    // top as they are until the next entry reshapes it.
    if (memory.prevMark == kMarkShown && memory.curMark == kMarkNothing)
        decision.act = Decision::Act::Park;
    memory.prevMark = memory.curMark;
    return decision;
}

namespace {

// ---- What the decision sees, read from the desktop -------------------------------------------

class DesktopSight final : public Sight {
  public:
    bool cursor(Point* pixel) override {
        Point at;
        if (!os().GetCursorPos(&at)) return false;
        look_.emplace(at);
        *pixel = at;
        return true;
    }
    Hwnd window(bool topLevel) override { return look_->handle(topLevel ? vbTrue : vbFalse); }
    std::wstring className(bool topLevel) override {
        return look_->className(topLevel ? vbTrue : vbFalse);
    }
    Rect visibleFrame() override { return look_->visibleFrame(); }
    Scale monitorScale(Point pixel) override { return scaleOfMonitorAt(pixel); }
    // The physical buttons, so that swapped buttons change nothing.
    bool buttonHeld() override {
        return os().GetAsyncKeyState(VK_LBUTTON) < 0 || os().GetAsyncKeyState(VK_RBUTTON) < 0 ||
               os().GetAsyncKeyState(VK_MBUTTON) < 0;
    }

  private:
    std::optional<PointLook> look_;
};

// ---- Carrying it out ----------------------------------------------------------------------

// Shows the button column at the served window's left edge, centred on the cursor's height,
// laid out at the scale of the cursor's monitor.
void dockAtWindow(Form1& panel, const Rect& frame, const Scale& scale) {
    panel.setLayoutScale(scale);
    mod_RGN_UserFunction::shapeForm(kShapeButtonColumn, panel, vbTrue);
    panel.Picture2.setVisible(false);
    const int buttons = form<frmMenu>().uc.Checked() ? 4 : 3;
    panel.setHeight(mod_RGN_UserFunction::pixelsToTwipsY(scale.px(buttons * buttonPitchPx)));
    panel.Picture1.layOut(scale, kUserButtonBox);
    panel.setLeft(mod_RGN_UserFunction::pixelsToTwipsX(frame.left));
    panel.setTop(panel.cursorY - roundHalfEven(panel.Height()) / 2);
}

// Shows the exit bar one pixel beyond the corner, so its close cell covers pixel (0, 0), at the
// primary monitor's scale.
void showExitBar(Form1& panel) {
    const Scale scale = scaleOfPrimaryMonitor();
    panel.setLayoutScale(scale);
    mod_RGN_UserFunction::shapeForm(kShapeExitBar, panel, vbTrue);
    panel.Picture2.setVisible(false);
    panel.setLeft(mod_RGN_UserFunction::pixelsToTwipsX(scale.px(-1)));
    panel.setTop(mod_RGN_UserFunction::pixelsToTwipsY(scale.px(-1)));
}

// A message the watcher posts itself: decide once, outside the handler that asked.
constexpr std::uint32_t WM_WATCHER_WAKE = WM_APP + 3;

} // namespace

int parseDockDelay(std::wstring_view setting) {
    constexpr int kMostMs = 2000;
    if (setting.empty()) return 0;
    int ms = 0;
    for (const wchar_t c : setting) {
        if (c < L'0' || c > L'9') return 0;
        ms = ms * 10 + (c - L'0');
        if (ms > kMostMs) return 0;
    }
    return ms;
}

WatcherMemory Form1::watcherMemory() const {
    WatcherMemory memory;
    memory.curMark = curMark;
    memory.prevMark = prevMark;
    memory.panelMode = panelMode;
    memory.targetHwnd = targetHwnd;
    memory.cursor = lastCursorPixel;
    memory.displayChanged = displayChanged;
    memory.pauseWindow = pauseWindow;
    memory.pauseOver = pauseOver;
    return memory;
}

void Form1::decideNow() {
    ++decisions;
    lastDecisionAt = os().GetTickCount();
    decidedOnce = true;
    const Screen::FactorsHeld oneLook;
    DesktopSight sight;
    const WatcherRules rules{hWnd(), &servedWindows, dockDelayMs > 0};
    const Decision decision = decide(sight, watcherMemory(), rules);
    const WatcherMemory& memory = decision.memory;
    curMark = memory.curMark;
    prevMark = memory.prevMark;
    panelMode = memory.panelMode;
    targetHwnd = memory.targetHwnd;
    displayChanged = memory.displayChanged;
    pauseWindow = memory.pauseWindow;
    pauseOver = memory.pauseOver;
    lastCursorPixel = memory.cursor;
    cursorX = mod_RGN_UserFunction::pixelsToTwipsX(memory.cursor.x);
    cursorY = mod_RGN_UserFunction::pixelsToTwipsY(memory.cursor.y);

    if (decision.parkFirst) park(*this);
    switch (decision.act) {
    case Decision::Act::Dock:
        dockAtWindow(*this, decision.frame, decision.scale);
        break;
    case Decision::Act::ExitBar:
        showExitBar(*this);
        break;
    case Decision::Act::Park:
        park(*this);
        break;
    case Decision::Act::Nothing:
        break;
    }
    switch (decision.pause) {
    case Decision::PauseTimer::Arm:
        pauseTimer.start(static_cast<std::uint32_t>(dockDelayMs));
        break;
    case Decision::PauseTimer::Cancel:
        pauseTimer.stop();
        break;
    case Decision::PauseTimer::Leave:
        break;
    }
}

void Form1::Timer1_Timer() {
    // Off for the whole tick, so that nothing inside it can start another tick.
    Timer1.setEnabled(false);
    decideNow();
    if (inputSource == InputSource::None) Timer1.setEnabled(true);
}

void Form1::startWatcher(bool pollCursor) {
    decisionTimer.Fire = [this] { onDecisionTimer(); };
    pauseTimer.Fire = [this] {
        if (pauseWindow) pauseOver = true;
        if (!watcherHeld) decideNow();
    };
    // The poll runs until the input thread says it hears the mouse, and for good where it
    // cannot or is not wanted.
    Timer1.setEnabled(true);
    if (!pollCursor && startInputThread(hWnd())) whenEnding(stopInputThread);
}

void Form1::holdWatcher() {
    if (watcherHeld++ == 0) Timer1.setEnabled(false);
}

void Form1::releaseWatcher() {
    if (watcherHeld == 0 || --watcherHeld > 0) return;
    if (inputSource == InputSource::None)
        Timer1.setEnabled(true);
    else
        os().PostMessageW(hWnd(), WM_WATCHER_WAKE, 0, 0);
}

void Form1::onDisplayChange() {
    displayChanged = true;
    if (inputSource != InputSource::None) os().PostMessageW(hWnd(), WM_WATCHER_WAKE, 0, 0);
}

// A move decides at once unless the last decision is less than 16 ms old; then the timer
// decides when those 16 ms are over. Either way the timer comes once more 16 ms after the
// last move, so that the burst's last position is decided, also where the cursor's reading
// lagged the move, and once more when the mouse has rested a while.
void Form1::onMouseNews() {
    const std::uint32_t now = os().GetTickCount();
    lastNewsAt = now;
    restingLookDue = true;
    if (decisionTimer.running() && !awaitingRestingLook) return;
    awaitingRestingLook = false;
    const std::uint32_t since = now - lastDecisionAt;
    if (!decidedOnce || since >= decisionSpacingMs) {
        decideNow();
        decisionTimer.start(decisionSpacingMs);
    } else {
        decisionTimer.start(decisionSpacingMs - since);
    }
}

void Form1::onDecisionTimer() {
    if (watcherHeld) return; // the end of the hold decides
    awaitingRestingLook = false;
    const auto sinceNews = [this](std::uint32_t at) {
        return static_cast<std::int32_t>(at - lastNewsAt);
    };
    // The burst's last position: a decision 16 ms or more after the last move.
    if (sinceNews(lastDecisionAt) < decisionSpacingMs) {
        decideNow();
        if (sinceNews(lastDecisionAt) < decisionSpacingMs) {
            decisionTimer.start(decisionSpacingMs);
            return;
        }
    } else if (restingLookDue && sinceNews(os().GetTickCount()) >= restingLookMs) {
        restingLookDue = false;
        decideNow();
        return;
    }
    if (!restingLookDue) return;
    awaitingRestingLook = true;
    decisionTimer.start(
        static_cast<std::uint32_t>(std::max(1, restingLookMs - sinceNews(os().GetTickCount()))));
}

void Form1::onAppMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t) {
    switch (msg) {
    case WM_MOUSE_NEWS:
        inputNewsTaken();
        if (!watcherHeld && inputSource != InputSource::None) onMouseNews();
        break;
    case WM_INPUT_READY:
        inputSource = static_cast<InputSource>(wParam);
        if (inputSource == InputSource::None) break;
        Timer1.setEnabled(false);
        if (!watcherHeld) decideNow(); // the start's decision
        break;
    case WM_WATCHER_WAKE:
        if (!watcherHeld) decideNow();
        break;
    default:
        break;
    }
}

} // namespace ep
