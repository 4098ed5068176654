// The panel form: the program's start-up form and its only window on screen. It carries the
// watcher's timers and fields, the user button and the probe methods.
//
// Where Form1's members are defined:
//   panel/form1.cpp       the constructor (controls, timers) and Form_QueryUnload
//   frame/startup.cpp     Form_Load: settings, the user button, the first shape and the watcher
//   watcher/watcher.cpp   the watcher: Timer1_Timer, decideNow, the input thread's news, the
//                         holds around presses and the display change
//   panel/actions.cpp     the presses: Form_MouseDown, Picture1_/Picture2_MouseDown, Form_DblClick
//   probe/probe.cpp       the probe methods getPointWindow* and m_getPointWindowInfo
//   panel/parking.cpp     park(), which moves the panel beyond the desktop's right edge
#pragma once

#include "frame/toolkit.h"
#include "watcher/decision.h"
#include "watcher/input_thread.h"
#include "watcher/served_windows.h"

#include <cstdint>
#include <string>

namespace ep {

// Markers of what a tick shows: nothing, or the panel or exit bar.
inline const std::wstring kMarkNothing = L"\u25CB";
inline const std::wstring kMarkShown = L"\u25CF";
inline const std::wstring kModeDocked = L"D";
inline const std::wstring kModeExitBar = L"E";

// Buttons are stacked at this pitch, in pixels.
constexpr int buttonPitchPx = 15;
// The user button's box covers the fourth cell; the start-up strip covers the first two cells
// and the top two rows of the third. Panel pixels at 96 DPI.
constexpr Rect kUserButtonBox{0, 45, 18, 61};
constexpr Rect kStartupStripBox{0, 0, 17, 33};

class Form1 : public Form {
  public:
    Form1();

    PictureBox Picture1; // the user button, the fourth cell
    PictureBox Picture2; // close and minimise cells over the top until the first showing
    Timer Timer1;        // the 100 ms poll, where the input thread does not wake the watcher
    // Decides at the end of 16 ms when the mouse moves faster; and the end of the pause
    // before docking.
    OneShotTimer decisionTimer;
    OneShotTimer pauseTimer;

    // The key string the user button types, read once at start-up.
    std::wstring userCommand;
    // The windows the user adds to the built-in ones, read once at start-up.
    ServedWindowRules servedWindows;

    // What the watcher settled; the button handlers act on it.
    std::wstring curMark;
    std::wstring prevMark;
    std::int32_t cursorX = 0;
    std::int32_t cursorY = 0;
    std::wstring panelMode;
    Hwnd targetHwnd = 0;
    // The displays changed since the last decision: the next one parks the panel first.
    bool displayChanged = false;
    // The pause before docking: its length in milliseconds (DOCK_DELAY, read once at
    // start-up), the window whose strip the cursor is in and whether its time is over.
    int dockDelayMs = 0;
    Hwnd pauseWindow = 0;
    bool pauseOver = false;
    // What wakes the watcher, and when it last decided and last heard of the mouse (tick
    // counts); the cursor's pixel at the last decision.
    InputSource inputSource = InputSource::None;
    std::uint32_t lastDecisionAt = 0;
    std::uint32_t lastNewsAt = 0;
    bool decidedOnce = false;
    // The look once the mouse has rested is still to come, and the timer waits for it.
    bool restingLookDue = false;
    bool awaitingRestingLook = false;
    Point lastCursorPixel;
    // Presses, the menu and the About window hold the watcher: no decision runs inside them,
    // and one runs when they end.
    int watcherHeld = 0;

    // Starts the watcher: the input thread, unless pollCursor, and the poll until it is ready.
    void startWatcher(bool pollCursor);
    void holdWatcher();
    void releaseWatcher();
    // Nothing holds the watcher, and the input thread or the poll wakes it.
    bool watcherRuns() const {
        return watcherHeld == 0 && (inputSource != InputSource::None || Timer1.Enabled());
    }
    // Decisions made so far.
    std::uint64_t decisions = 0;
    // One decision, now: what lies under the cursor, and the panel docked, shown as the exit
    // bar or parked accordingly.
    void decideNow();
    WatcherMemory watcherMemory() const;

    // What lies under the cursor, sampled afresh on every call.
    Hwnd getPointWindowHandle(int PhWnd);
    std::wstring getPointWindowClassName(int PhWnd);
    std::wstring getPointWindowTitle();
    std::int32_t getPointWindowLeft();
    std::int32_t getPointWindowTop();
    std::int32_t getPointWindowRight();
    std::int32_t getPointWindowBottom();
    std::wstring m_getPointWindowInfo(int nFunc);

    // Events.
    void Form_Load() override;
    void Form_QueryUnload(int& cancel, int unloadMode) override;
    void Form_MouseDown(int button, int shift, float x, float y) override;
    void Form_DblClick() override;
    void Timer1_Timer();
    void onDisplayChange() override;
    void onAppMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override;
    void onMouseNews();
    void onDecisionTimer();
    void Picture1_MouseDown(int button, int shift, float x, float y);
    void Picture2_MouseDown(int button, int shift, float x, float y);
};

// Parks the panel just beyond the right edge of the whole desktop, every monitor included, so
// that no screen shows it. Only its left edge changes.
void park(Form1& panel);

} // namespace ep
