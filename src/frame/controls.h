// The controls a form carries: the picture box, the image, the timers and the menu items.
#pragma once

#include "frame/forms.h"
#include "frame/picture.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ep {

// Mouse buttons and shift state as the press events report them.
constexpr int vbLeftButton = 1;
constexpr int vbRightButton = 2;
constexpr int vbMiddleButton = 4;
constexpr int vbShiftMask = 1;
constexpr int vbCtrlMask = 2;
constexpr int vbAltMask = 4;

using MouseHandler = std::function<void(int button, int shift, float x, float y)>;

// A child window that shows its picture unscaled from the top-left corner, the rest in the
// button face colour, and reports presses in its own twips.
class PictureBox : public WindowOwner {
  public:
    PictureBox(Form& owner, double left, double top, double width, double height, Picture picture);
    ~PictureBox();
    PictureBox(const PictureBox&) = delete;
    PictureBox& operator=(const PictureBox&) = delete;

    Hwnd hWnd() const { return hwnd_; }
    // The picture as drawn for 96 DPI; the box shows it at the scale it was last laid out at.
    const Picture& picture() const { return picture_; }
    void setPicture(Picture picture);
    double Left() const { return left_; }
    double Top() const { return top_; }
    void setLeft(double twips);
    void setTop(double twips);
    // Places the box at a rectangle of the owner given in its 96-DPI pixels, mapped through
    // the scale, and shows its picture at that scale, laid out in the box as at 96 DPI.
    void layOut(const Scale& scale, const Rect& designPixels);
    bool Visible() const { return visible_; }
    void setVisible(bool visible);

    MouseHandler MouseDown;

    // Toolkit internals.
    void create();
    void attachWindow(Hwnd hwnd) override { hwnd_ = hwnd; }
    void forgetWindow();
    std::intptr_t handleMessage(std::uint32_t msg, std::uintptr_t wParam,
                                std::intptr_t lParam) override;

  private:
    void move();
    Form& owner_;
    Hwnd hwnd_ = 0;
    double left_, top_, width_, height_;
    bool visible_ = true;
    Picture picture_;
    Scale scale_;
    Point placement_; // the box's top-left corner in the owner's 96-DPI pixels
    ScaledCopies copies_;
};

// A windowless holder of a picture (the image control).
class Image {
  public:
    Image() = default;
    explicit Image(Picture picture) : picture_(std::move(picture)) {}
    const Picture& picture() const { return picture_; }
    // The picture at a scale, drawn once per DPI and kept.
    const Picture& pictureAt(const Scale& scale) { return copies_.at(picture_, Point{}, scale); }
    void setPicture(Picture picture) {
        picture_ = std::move(picture);
        copies_.clear();
    }

  private:
    Picture picture_;
    ScaledCopies copies_;
};

// The timer: ticks on the user-interface thread through the owner form's window. Switching it
// off stops its ticks at once; the system's timer itself is stopped only when it next comes
// while the switch is still off. So a handler that switches it off and on again around a
// short piece of work costs no system call, and the next tick keeps the usual beat.
class Timer {
  public:
    Timer(Form& owner, std::uint32_t intervalMs, bool enabled);
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    bool Enabled() const { return enabled_; }
    void setEnabled(bool enabled);
    std::uint32_t Interval() const { return interval_; }

    std::function<void()> Tick;

    // Toolkit internals.
    void arm();
    // The system's timer came while the switch is off: it goes now, and comes back at the next
    // switch on.
    void disarm();
    bool armed() const { return armed_; }
    std::uintptr_t id() const { return id_; }

  private:
    Form& owner_;
    std::uint32_t interval_;
    bool enabled_;
    bool armed_ = false; // the system's timer runs
    std::uintptr_t id_;
};

// A timer that fires once, the given time after it was started; starting it while it runs
// starts the count anew. Stopped, it costs nothing.
class OneShotTimer {
  public:
    explicit OneShotTimer(Form& owner);
    ~OneShotTimer();
    OneShotTimer(const OneShotTimer&) = delete;
    OneShotTimer& operator=(const OneShotTimer&) = delete;

    void start(std::uint32_t ms);
    void stop();
    bool running() const { return running_; }

    std::function<void()> Fire;

    // Toolkit internals.
    std::uintptr_t id() const { return id_; }
    void fired();

  private:
    Form& owner_;
    bool running_ = false;
    std::uintptr_t id_;
};

// A menu item: a top-level item holds children; a child is a command or a separator.
class MenuItem {
  public:
    explicit MenuItem(std::wstring caption, bool separator = false)
        : caption_(std::move(caption)), separator_(separator) {}

    const std::wstring& Caption() const { return caption_; }
    bool IsSeparator() const { return separator_; }
    bool Checked() const { return checked_; }
    void setChecked(bool checked) { checked_ = checked; }

    std::vector<MenuItem*> children;
    std::function<void()> Click;
    // The click handler chooses the foreground window itself (a modal window followed by a
    // focus return): the popup menu leaves the foreground as the handler left it.
    bool choosesForeground = false;

  private:
    std::wstring caption_;
    bool separator_;
    bool checked_ = false;
};

} // namespace ep
