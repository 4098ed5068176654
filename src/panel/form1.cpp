#include "panel/form1.h"

#include "resources/pictures.h"
#include "watcher/watcher.h"

namespace ep {

namespace {
FormDesign panelDesign() {
    FormDesign design;
    design.caption = L"Form1";
    // No border, title bar or taskbar button, and never activated by a press.
    design.style = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    // A press brings the served window forward, never the panel: a press that activated the
    // panel could land after the switch to the served window and undo it.
    design.exStyle = WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
    design.left = 3780;
    design.top = 3660;
    design.width = 1725;
    design.height = 2085;
    design.noActivate = true;
    return design;
}
} // namespace

// The panel lives from start to end: a close request to its window (an Alt+F4 that reaches
// it, a task list's Close) is refused, or the program would run on with nothing on screen.
void Form1::Form_QueryUnload(int& cancel, int unloadMode) {
    if (unloadMode == vbFormControlMenu) cancel = 1;
}

Form1::Form1()
    : Form("Form1", panelDesign()),
      Picture1(*this, 1320, 1200, 255, 255, makeSingleButtonPicture()),
      Picture2(*this, 0, 0, 255, 495, makeTwoCellPicture()), Timer1(*this, tickMs, false),
      decisionTimer(*this), pauseTimer(*this) {
    Picture1.MouseDown = [this](int button, int shift, float x, float y) {
        Picture1_MouseDown(button, shift, x, y);
    };
    Picture2.MouseDown = [this](int button, int shift, float x, float y) {
        Picture2_MouseDown(button, shift, x, y);
    };
    Timer1.Tick = [this] { Timer1_Timer(); };
}

} // namespace ep
