// One owner for every handle the program makes: the handle goes with its owner, through the
// call that frees its kind, unless release() hands it on (a region given to a window, which
// the system frees from then on). Owners move and never copy.
#pragma once

#include "platform/platform.h"

#include <utility>

namespace ep {

template <class H, void (*Free)(H)> class Owned {
  public:
    Owned() = default;
    explicit Owned(H handle) : handle_(handle) {}
    Owned(Owned&& other) noexcept : handle_(other.release()) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() { reset(); }

    H get() const { return handle_; }
    // A file that cannot be opened comes back as INVALID_HANDLE_VALUE, everything else as 0.
    explicit operator bool() const { return handle_ != 0 && handle_ != INVALID_HANDLE_VALUE; }
    H release() { return std::exchange(handle_, H{}); }
    void reset(H handle = H{}) {
        const H going = std::exchange(handle_, handle);
        if (going != 0 && going != INVALID_HANDLE_VALUE) Free(going);
    }

  private:
    H handle_{};
};

namespace freeing {
inline void gdiObject(Hgdiobj object) { os().DeleteObject(object); }
inline void dc(Hdc dc) { os().DeleteDC(dc); }
inline void icon(Hicon icon) { os().DestroyIcon(icon); }
inline void menu(Hmenu menu) { os().DestroyMenu(menu); }
inline void hook(Hhook hook) { os().UnhookWindowsHookEx(hook); }
inline void kernelObject(Handle handle) { os().CloseHandle(handle); }
} // namespace freeing

// Bitmaps, brushes, fonts and regions.
using OwnedGdiObject = Owned<Hgdiobj, freeing::gdiObject>;
using OwnedRegion = OwnedGdiObject;
// A memory DC (never a window's DC, which goes back with ReleaseDC).
using OwnedDC = Owned<Hdc, freeing::dc>;
using OwnedIcon = Owned<Hicon, freeing::icon>;
using OwnedMenu = Owned<Hmenu, freeing::menu>;
using OwnedHook = Owned<Hhook, freeing::hook>;
// Files, processes, tokens and threads.
using OwnedKernelHandle = Owned<Handle, freeing::kernelObject>;

} // namespace ep
