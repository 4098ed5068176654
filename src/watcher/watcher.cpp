// The polling tick: docks the panel at a served window's left edge, turns it into the exit
// bar in the screen's top-left corner, or parks it. It reshapes and moves the panel only on a
// change between ticks; the markers are the only memory of what the last tick showed.
//
// A tick samples the cursor once and answers every question (the window there, its top-level
// window, both class names, the edges) for that one point: a hand crossing from the strip onto
// the panel while a tick runs must settle as either spot would, never as a mix of the two.
#include "watcher/watcher.h"

#include "frame/text.h"
#include "frame/units.h"
#include "menu/frm_menu.h"
#include "panel/form1.h"
#include "probe/point_look.h"
#include "shaping/shaping.h"
#include "watcher/served_windows.h"

namespace ep {

namespace {

// The class, strip and height tests; the edges are those of the top-level window's outer
// rectangle, frame included. All answers come from one look, so their order changes nothing
// but the cost: the classes come first, and a window that is not served costs no rectangle.
bool cursorInHotZone(Form1& panel, PointLook& look) {
    if (!isServedWindow(look.className(vbTrue), look.className(vbFalse), panel.servedWindows))
        return false;

    // Half-open: the window's left edge is in the strip, left + strip width is not.
    const std::int32_t stripLeft = look.left();
    const std::int32_t stripRight = stripLeft + mod_RGN_UserFunction::pixelsToTwipsX(stripWidthPx);
    if (!(stripLeft <= panel.cursorX && panel.cursorX < stripRight)) return false;

    return look.top() <= panel.cursorY && panel.cursorY <= look.bottom();
}

// Shows the button column at the served window's left edge, centred on the cursor's height.
void dockAtWindow(Form1& panel, PointLook& look) {
    mod_RGN_UserFunction::shapeForm(kShapeButtonColumn, panel, vbTrue);
    panel.Picture2.setVisible(false);
    const int buttons = form<frmMenu>().uc.Checked() ? 4 : 3;
    panel.setHeight(buttons * mod_RGN_UserFunction::pixelsToTwipsY(buttonPitchPx));
    panel.setLeft(look.left());
    panel.setTop(panel.cursorY - roundHalfEven(panel.Height()) / 2);
}

// Shows the exit bar one pixel beyond the corner, so its close cell covers pixel (0, 0).
void showExitBar(Form1& panel) {
    mod_RGN_UserFunction::shapeForm(kShapeExitBar, panel, vbTrue);
    panel.Picture2.setVisible(false);
    panel.setLeft(-mod_RGN_UserFunction::pixelsToTwipsX(1));
    panel.setTop(-mod_RGN_UserFunction::pixelsToTwipsY(1));
}

void settleTick(Form1& panel, PointLook& look) {
    if (cursorInHotZone(panel, look)) {
        panel.panelMode = kModeDocked;
        panel.curMark = kMarkShown;
        panel.targetHwnd = look.handle(vbTrue);
        if (panel.prevMark == kMarkNothing) dockAtWindow(panel, look);
    }

    // A failed cursor read also lands here, as (0, 0).
    if (panel.curMark == kMarkNothing && panel.cursorX == 0 && panel.cursorY == 0) {
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

void Form1::Timer1_Timer() {
    // Off for the whole tick, so that nothing inside it can start another tick.
    Timer1.setEnabled(false);
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
