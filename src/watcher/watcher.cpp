// The polling tick: docks the panel at a served window's left edge, turns it into the exit
// bar in the screen's top-left corner, or parks it. It reshapes and moves the panel only on a
// change between ticks; the markers are the only memory of what the last tick showed.
//
// A tick samples the cursor once and answers every question (the window there, its top-level
// window, both class names, the edges) for that one point: a hand crossing from the strip onto
// the panel while a tick runs must settle as either spot would, never as a mix of the two.
#include "watcher/watcher.h"

#include "frame/scale.h"
#include "frame/text.h"
#include "frame/units.h"
#include "menu/frm_menu.h"
#include "panel/form1.h"
#include "probe/point_look.h"
#include "shaping/shaping.h"
#include "watcher/served_windows.h"

namespace ep {

namespace {

// The class, strip and height tests; the edges are those of the top-level window's visible
// frame, so that the strip begins where the window is drawn, not in the invisible resize
// border beside it. All answers come from one look, so their order changes nothing but the
// cost: the classes come first, and a window that is not served costs no frame and no look at
// the monitor's scale. The strip is decided in the cursor's own pixels, as wide
// as the scale of the cursor's monitor makes it, so that no pixel falls on the wrong side of
// an edge at any scale.
bool cursorInHotZone(Form1& panel, PointLook& look, Scale& scale) {
    if (!isServedWindow(look.className(vbTrue), look.className(vbFalse), panel.servedWindows))
        return false;

    const Point cursor = look.pixel();
    const Rect& frame = look.visibleFrame();
    if (!(frame.top <= cursor.y && cursor.y <= frame.bottom)) return false;
    // Half-open: the window's left edge is in the strip, left + strip width is not. The strip
    // is never narrower than at the least scale nor wider than at the most, so only a cursor
    // between the two needs its monitor's scale, and so does a docking, which lays the panel
    // out at it; a docked panel's tick in the strip asks nothing more.
    const int offset = cursor.x - frame.left;
    if (offset < 0 || offset >= Scale(kMostDpi).px(stripWidthPx)) return false;
    const bool docking = panel.prevMark != kMarkShown;
    if (!docking && offset < Scale(kLeastDpi).px(stripWidthPx)) return true;
    scale = scaleOfMonitorAt(cursor);
    return offset < scale.px(stripWidthPx);
}

// Shows the button column at the served window's left edge, centred on the cursor's height,
// laid out at the scale of the cursor's monitor.
void dockAtWindow(Form1& panel, PointLook& look, const Scale& scale) {
    panel.setLayoutScale(scale);
    mod_RGN_UserFunction::shapeForm(kShapeButtonColumn, panel, vbTrue);
    panel.Picture2.setVisible(false);
    const int buttons = form<frmMenu>().uc.Checked() ? 4 : 3;
    panel.setHeight(mod_RGN_UserFunction::pixelsToTwipsY(scale.px(buttons * buttonPitchPx)));
    panel.Picture1.layOut(scale, kUserButtonBox);
    panel.setLeft(mod_RGN_UserFunction::pixelsToTwipsX(look.visibleFrame().left));
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

// A mouse button is held: a drag (a file on its way to the folder tree, a browser's tab) is
// passing through, and the panel must not come up under it to catch the drop. The physical
// buttons, so that swapped buttons change nothing.
bool mouseButtonHeld() {
    return os().GetAsyncKeyState(VK_LBUTTON) < 0 || os().GetAsyncKeyState(VK_RBUTTON) < 0 ||
           os().GetAsyncKeyState(VK_MBUTTON) < 0;
}

// The pause before docking (DOCK_DELAY): the panel comes only once the cursor has stayed in one
// window's strip for the pause's ticks; the tick after them docks. The pause restarts whenever a
// tick does not see the cursor in that strip. A panel docked at one window moves on to the next
// without one: the hand is already at work there.
void restartDockPause(Form1& panel) {
    panel.pauseWindow = 0;
    panel.pauseTicksSeen = 0;
}

bool dockPauseRuns(Form1& panel, Hwnd window) {
    const bool docked = panel.prevMark == kMarkShown && panel.panelMode == kModeDocked;
    if (docked || panel.dockPauseTicks == 0) return false;
    if (panel.pauseWindow != window) {
        panel.pauseWindow = window;
        panel.pauseTicksSeen = 0;
    }
    if (panel.pauseTicksSeen == panel.dockPauseTicks) {
        restartDockPause(panel);
        return false;
    }
    ++panel.pauseTicksSeen;
    return true;
}

// A taskbar along the top or the left edge puts Start in the top-left corner, where the hand
// throws the cursor to hit it: the exit bar must not come up there and swallow the click.
bool overTaskbar(PointLook& look) { return look.className(vbTrue) == kTaskbarClass; }

void settleTick(Form1& panel, PointLook& look) {
    Scale scale;
    const bool showing = panel.prevMark == kMarkShown;
    // A tick of the pause shows nothing: not even the exit bar of a window whose strip takes
    // in the corner.
    bool pausing = false;
    if (cursorInHotZone(panel, look, scale)) {
        // During a drag a panel that is not showing does not come, and the tick leaves no
        // trace but a restarted pause, so that the first tick after the release docks as it
        // would have without the drag; a docked panel stays where it stands.
        if (!showing && mouseButtonHeld()) {
            restartDockPause(panel);
            return;
        }
        pausing = dockPauseRuns(panel, look.handle(vbTrue));
        if (!pausing) {
            panel.panelMode = kModeDocked;
            panel.curMark = kMarkShown;
            panel.targetHwnd = look.handle(vbTrue);
            if (panel.prevMark == kMarkNothing) dockAtWindow(panel, look, scale);
        }
    } else {
        restartDockPause(panel);
    }

    // No exit bar during a drag: a panel that is not showing stays as it is, a shown one parks
    // below.
    const bool inExitCorner = !pausing && panel.curMark == kMarkNothing && panel.cursorX == 0 &&
                              panel.cursorY == 0 && !overTaskbar(look);
    if (inExitCorner && mouseButtonHeld()) {
        if (!showing) return;
    } else if (inExitCorner) {
        panel.curMark = kMarkShown;
        panel.panelMode = kModeExitBar;
        if (panel.prevMark == kMarkNothing) showExitBar(panel);
    }

    // Parking moves the panel just beyond the right edge and leaves its shape, height and
    // top as they are until the next entry reshapes it.
    if (panel.prevMark == kMarkShown && panel.curMark == kMarkNothing) {
        park(panel);
    }
    panel.prevMark = panel.curMark;
}

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
    return (ms + tickMs - 1) / tickMs;
}

// The displays changed: park beyond the new desktop's right edge and forget what was shown,
// so that this tick decides afresh.
void followDisplayChange(Form1& panel) {
    if (!panel.displayChanged) return;
    panel.displayChanged = false;
    park(panel);
    panel.prevMark = kMarkNothing;
}

void Form1::onDisplayChange() { displayChanged = true; }

namespace {

void settleCursor(Form1& panel) {
    const Screen::FactorsHeld oneLook;
    const CursorTwips cursor = mod_RGN_UserFunction::getCursorTwips();
    // No cursor while the lock screen or a secure-desktop prompt is up: nothing is known, so
    // nothing changes, not even a display change's parking, until the cursor can be read again.
    if (!cursor.read) return;
    followDisplayChange(panel);
    panel.cursorX = cursor.x;
    panel.cursorY = cursor.y;
    panel.curMark = kMarkNothing;
    PointLook look(Point{mod_RGN_UserFunction::twipsToPixelsX(panel.cursorX),
                         mod_RGN_UserFunction::twipsToPixelsY(panel.cursorY)});

    // Over the panel itself (or the exit bar): nothing changes, not even the markers; a pause
    // before docking starts again.
    if (look.handle(vbTrue) != panel.hWnd())
        settleTick(panel, look);
    else
        restartDockPause(panel);
}

} // namespace

void Form1::Timer1_Timer() {
    // Off for the whole tick, so that nothing inside it can start another tick.
    Timer1.setEnabled(false);
    settleCursor(*this);
    Timer1.setEnabled(true);
}

} // namespace ep
