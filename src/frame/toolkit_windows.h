// Inside the toolkit only: its window classes, the one window procedure that hands each
// message to the form or control owning the window, the hidden application window, what the
// toolkit keeps between calls, and the conversions its rooms share.
#pragma once

#include "frame/toolkit.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <typeindex>
#include <unordered_map>
#include <vector>

namespace ep::toolkit {

constexpr wchar_t kFormClass[] = L"EdgepadForm";
constexpr wchar_t kPictureBoxClass[] = L"EdgepadPictureBox";

struct LoadedForm {
    std::type_index type;
    std::unique_ptr<Form> form;
};

// Everything the toolkit keeps between calls, in one place so that a test can start afresh.
struct State {
    bool classesRegistered = false;
    Hwnd applicationWindow = 0;
    std::vector<LoadedForm> loaded;
    std::vector<std::unique_ptr<Form>> unloaded; // freed once no handler can be using them
    std::unordered_map<Hwnd, WindowOwner*> windows;
    WindowOwner* creating = nullptr;
    std::uintptr_t nextTimerId = 1;
    std::vector<std::function<void()>> endingTasks;
    OwnedDC screenInformation; // a memory DC of the display, kept to read its factors
    int factorHolds = 0;       // live Screen::FactorsHeld
    float heldTwipsPerPixelX = 0, heldTwipsPerPixelY = 0;
};

State& state();

// Makes a window of one of the toolkit's classes for its owner, which answers its messages
// from the first one on; 0 when the window cannot be made.
Hwnd makeWindow(WindowOwner& owner, std::uint32_t exStyle, const wchar_t* className,
                const wchar_t* caption, std::uint32_t style, const Rect& at, Hwnd parent);
// The window is gone or going: its messages go to nobody any more.
void forgetWindow(Hwnd hwnd);
// The hidden window that owns forms without a taskbar button of their own.
Hwnd applicationWindow();

std::int32_t toPixelsX(double twips);
std::int32_t toPixelsY(double twips);
// A mouse message's position in twips of the window it came to.
float twipsX(std::intptr_t lParam);
float twipsY(std::intptr_t lParam);
// The shift state a mouse message's key flags report, Alt read from the keyboard.
int shiftState(std::uintptr_t keys);
// The button a press message reports, or 0 for a message that is no press.
int pressedButton(std::uint32_t msg);
// A COLORREF as a 32-bit DIB section's pixel.
std::uint32_t bgraOf(ColorRef color);

} // namespace ep::toolkit
