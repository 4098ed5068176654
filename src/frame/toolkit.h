// A small form toolkit: forms with twip geometry and a retained image, picture boxes, timers,
// menu items, implicit loading, Unload with its query, the screen and application objects and
// the few global operations the program needs. It sits above the platform seam and owns every
// window and GDI object it creates. Its rooms:
//   owned.h     one owner for every handle
//   picture.h   pictures, their scaled copies, memory DCs, pictures loaded from files
//   forms.h     forms; loading, unloading, modal showing, popup menus (forms.cpp,
//   form_registry.cpp) controls.h  the picture box, the image, the timers, menu items app.h Screen,
//   App, the message loop, DoEvents, End, message boxes
// toolkit_windows.h, inside the toolkit only, holds its window classes, its one window
// procedure and what it keeps between calls.
#pragma once

#include "frame/app.h"
#include "frame/controls.h"
#include "frame/forms.h"
#include "frame/owned.h"
#include "frame/picture.h"
