#include "frame/toolkit.h"
#include "panel/form1.h"

namespace ep {

void park(Form1& panel) {
    // The desktop's right edge in pixels; with a single screen it is the screen's width. A
    // screen to the left of the primary one has negative coordinates, so the edge is the
    // left edge of the whole desktop plus its width.
    const int rightEdge =
        os().GetSystemMetrics(SM_XVIRTUALSCREEN) + os().GetSystemMetrics(SM_CXVIRTUALSCREEN);
    panel.setLeft(rightEdge * static_cast<double>(Screen::TwipsPerPixelX()));
}

} // namespace ep
