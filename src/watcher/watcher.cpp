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

void settleTick(Form1& panel, PointLook& look) {
    Scale scale;
    const bool showing = panel.prevMark == kMarkShown;
    if (cursorInHotZone(panel, look, scale)) {
        // During a drag a panel that is not showing does not come, and the tick leaves no
        // trace, so that the first tick after the release docks as usual; a docked panel
        // stays where it stands.
        if (!showing && mouseButtonHeld()) return;
        panel.panelMode = kModeDocked;
        panel.curMark = kMarkShown;
        panel.targetHwnd = look.handle(vbTrue);
        if (panel.prevMark == kMarkNothing) dockAtWindow(panel, look, scale);
    }

    // A failed cursor read also lands here, as (0, 0). No exit bar during a drag: a panel that
    // is not showing stays as it is, a shown one parks below.
    const bool inExitCorner =
        panel.curMark == kMarkNothing && panel.cursorX == 0 && panel.cursorY == 0;
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

// The displays changed: park beyond the new desktop's right edge and forget what was shown,
// so that this tick decides afresh.
void followDisplayChange(Form1& panel) {
    if (!panel.displayChanged) return;
    panel.displayChanged = false;
    park(panel);
    panel.prevMark = kMarkNothing;
}

void Form1::onDisplayChange() { displayChanged = true; }

void Form1::Timer1_Timer() {
    // Off for the whole tick, so that nothing inside it can start another tick.
    Timer1.setEnabled(false);
    followDisplayChange(*this);
    {
        const Screen::FactorsHeld oneLook;
        const CursorTwips cursor = mod_RGN_UserFunction::getCursorTwips();
        cursorX = cursor.x;
        cursorY = cursor.y;
        curMark = kMarkNothing;
        PointLook look(Point{mod_RGN_UserFunction::twipsToPixelsX(cursorX),
                             mod_RGN_UserFunction::twipsToPixelsY(cursorY)});

        // Over the panel itself (or the exit bar): nothing changes, not even the markers.
        if (look.handle(vbTrue) != hWnd()) settleTick(*this, look);
    }
    Timer1.setEnabled(true);
}

} // namespace ep
