// What the watcher looks for: the hot strip along a served window's left edge and the
// classes of the windows it serves; and how often it may look.
#pragma once

#include <array>
#include <string_view>

namespace ep {

// Width of the hot strip along a window's left edge, in pixels.
constexpr int stripWidthPx = 30;

// The poll's beat, in milliseconds, where the watcher polls.
constexpr int tickMs = 100;

// While the mouse moves, decisions come at most this often: one a frame at 60 Hz.
constexpr int decisionSpacingMs = 16;

// Once the mouse has rested this long after a move, one more look. Wine answers GetCursorPos
// from its own record while the cursor changed within the last 100 ms, and asks the X server
// only after that; its record can keep a spot the pointer has already left (a warp's late
// echo), which only the look at rest corrects. On Windows it finds what the last decision
// found.
constexpr int restingLookMs = 120;

// The pause before docking, in milliseconds, from the setting DOCK_DELAY: 0 to 2000, digits
// only. Anything else (nothing, a sign, a blank inside, a larger number) is no pause.
int parseDockDelay(std::wstring_view setting);

// Top-level windows that get the panel: the file manager, the explorer and the browser frame.
constexpr std::array<std::wstring_view, 3> kServedTopLevelClasses = {L"CabinetWClass",
                                                                     L"ExploreWClass", L"IEFrame"};

// Under the cursor there must be a common control ("Sys" classes) or the browser's view.
constexpr std::wstring_view kServedHitClassPrefix = L"Sys";
constexpr std::wstring_view kBrowserViewClass = L"Internet Explorer_Server";

// The taskbar's top-level window.
constexpr std::wstring_view kTaskbarClass = L"Shell_TrayWnd";

} // namespace ep
