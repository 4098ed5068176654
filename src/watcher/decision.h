// The watcher's decision: from what one wake saw under the cursor and what the watcher
// remembers, what to do with the panel and what to remember afterwards. Every wake (a move of
// the mouse, the poll, the end of the pause, a display change, the end of a press) gathers
// what the decision asks for and carries out what it returns.
#pragma once

#include "frame/scale.h"
#include "platform/platform.h"
#include "watcher/served_windows.h"

#include <cstdint>
#include <string>

namespace ep {

// What lies under the cursor, read only when the decision asks, at most once per wake.
class Sight {
  public:
    virtual ~Sight() = default;
    // The cursor's pixel; false when it cannot be read (a locked session, the secure desktop).
    virtual bool cursor(Point* pixel) = 0;
    // The window under the cursor, or (topLevel) its top-level ancestor, and their classes.
    virtual Hwnd window(bool topLevel) = 0;
    virtual std::wstring className(bool topLevel) = 0;
    // The top-level window's visible frame, in pixels.
    virtual Rect visibleFrame() = 0;
    // The scale of the monitor that holds the pixel.
    virtual Scale monitorScale(Point pixel) = 0;
    // A mouse button is held down.
    virtual bool buttonHeld() = 0;
};

// What the watcher remembers between wakes; the panel form keeps it in its fields.
struct WatcherMemory {
    std::wstring curMark, prevMark, panelMode;
    Hwnd targetHwnd = 0;
    Point cursor;                // the pixel the last decision saw
    bool displayChanged = false; // since the last decision
    Hwnd pauseWindow = 0;        // the window whose strip the pause before docking is for
    bool pauseOver = false;      // its time has run out
};

// The fixed rules: the panel's own window, the windows served, whether there is a pause.
struct WatcherRules {
    Hwnd panel = 0;
    const ServedWindowRules* servedWindows = nullptr;
    bool dockPause = false;
};

struct Decision {
    enum class Act { Nothing, Dock, ExitBar, Park };
    enum class PauseTimer { Leave, Arm, Cancel };
    Act act = Act::Nothing;
    // The displays changed: park beyond the new desktop first, then act.
    bool parkFirst = false;
    // Dock: the served window's visible frame and the scale to lay the panel out at.
    Rect frame;
    Scale scale;
    PauseTimer pause = PauseTimer::Leave;
    WatcherMemory memory;
};

Decision decide(Sight& sight, const WatcherMemory& memory, const WatcherRules& rules);

} // namespace ep
