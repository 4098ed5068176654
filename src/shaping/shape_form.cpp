#include "shaping/shaping.h"

namespace ep::mod_RGN_UserFunction {

void shapeForm(int index, Form& form, int paint) {
    const int flags =
        paint == vbTrue ? SHAPE_SIZE + SHAPE_REGION + SHAPE_PAINT : SHAPE_SIZE + SHAPE_REGION;
    mod_RGN_Proc::shapeWindow(index, form, flags, 0, 0, 0);
}

// Shown and above every ordinary window, but not activated: the panel must never take the
// keyboard from the window the user was typing into.
void makeTopmost(Form& form) {
    os().SetWindowPos(form.hWnd(), HWND_TOPMOST, 0, 0, 0, 0,
                      SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

} // namespace ep::mod_RGN_UserFunction
