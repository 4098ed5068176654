// The input thread: a thread of its own hears every move of the mouse and every change of a
// button, and wakes the watcher on the user-interface thread with one posted message. While
// the mouse rests nothing runs at all.
#pragma once

#include "platform/platform.h"

#include <cstdint>

namespace ep {

// How the input thread hears the mouse. None: it could not, and the watcher polls.
enum class InputSource : std::uintptr_t { None = 0, RawInput = 1, MouseHook = 2 };

// Posted to the watcher's window: the mouse moved or a button changed. At most one waits at
// a time; the watcher calls inputNewsTaken when it takes it.
constexpr std::uint32_t WM_MOUSE_NEWS = WM_APP + 1;
// Posted once when the thread is ready, wParam the InputSource it hears the mouse with.
constexpr std::uint32_t WM_INPUT_READY = WM_APP + 2;

// Starts the thread, which posts to the window `watcher`. False where no thread starts; the
// watcher then hears nothing from it, not even WM_INPUT_READY.
bool startInputThread(Hwnd watcher);
// The watcher has taken WM_MOUSE_NEWS: the next move may post again.
void inputNewsTaken();
// Tells the thread to end: its window closes and its loop ends. It never waits.
void stopInputThread();

} // namespace ep
