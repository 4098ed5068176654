// The application-wide operations: the screen and application objects, the message loop,
// DoEvents, End, message boxes and files.
#pragma once

#include "platform/platform.h"

#include <functional>
#include <string>

namespace ep {

// The truth values the toolkit's calls take and give.
constexpr int vbTrue = -1;
constexpr int vbFalse = 0;

namespace Screen {
// Read from the display on every call, except while a FactorsHeld lives.
float TwipsPerPixelX();
float TwipsPerPixelY();
// For its lifetime the display's factors are read once: one look at the desktop converts
// every position it takes with the same factors, and costs two reads instead of one per
// conversion. Nesting is allowed; nothing is kept once the outermost one ends.
class FactorsHeld {
  public:
    FactorsHeld();
    ~FactorsHeld();
    FactorsHeld(const FactorsHeld&) = delete;
    FactorsHeld& operator=(const FactorsHeld&) = delete;
};
double Width();  // primary screen, twips
double Height(); // primary screen, twips
} // namespace Screen

namespace App {
bool PrevInstance();
std::wstring Path();    // folder of the executable; ends with a backslash only at a root
std::wstring EXEName(); // file name without folder and extension
std::wstring Title();
} // namespace App

// True when path names an ordinary file (not a folder; hidden and system files count as absent).
bool Dir(const std::wstring& path);
// A modal message with an OK button only, no icon, and the application's title.
void MsgBox(const std::wstring& text);
// Runs the program's pending events to completion.
void DoEvents();
// Ends the process at once: no further handler, no unload event, nothing saved. What was
// asked with whenEnding runs first, in the order asked; it must not wait for anything.
[[noreturn]] void End();
void whenEnding(std::function<void()> task);
// The path of an error no handler catches: the toolkit's message, then the end.
[[noreturn]] void raiseError(int number, const std::wstring& description);
// The program's message loop, used by the entry point.
int runMessageLoop();

} // namespace ep
