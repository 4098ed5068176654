// A small form toolkit: forms with twip geometry and a retained image, picture boxes, a timer,
// menu items, implicit loading, Unload with its query, the screen and application objects and
// the few global operations the program needs. It sits above the platform seam and owns every
// window and GDI object it creates.
#pragma once

#include "frame/scale.h"
#include "platform/platform.h"

#include <functional>
#include <memory>
#include <string>
#include <typeindex>
#include <vector>

namespace ep {

// ---- Pictures ---------------------------------------------------------------------------

// A bitmap the toolkit owns: a 32-bit DIB section, deleted with the picture.
class Picture {
  public:
    Picture() = default;
    // bits: the DIB section's pixels, where known; a picture without them cannot be scaled.
    Picture(Hbitmap bitmap, int width, int height, const std::uint32_t* bits = nullptr)
        : bitmap_(bitmap), width_(width), height_(height), bits_(bits) {}
    // A picture made from 0x00RRGGBB pixels, row by row from the top.
    static Picture fromPixels(int width, int height, const std::vector<std::uint32_t>& rgb);
    // This picture, drawn for 96 DPI with its top-left pixel at placement (panel pixels), as
    // the scale shows it: each pixel one solid block from (S(x), S(y)) to (S(x + 1), S(y + 1)),
    // relative to S(placement). Nearest neighbour: no colour the picture lacks.
    Picture scaled(Point placement, const Scale& scale) const;
    Picture(Picture&& other) noexcept;
    Picture& operator=(Picture&& other) noexcept;
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;
    ~Picture();

    Hbitmap handle() const { return bitmap_; }
    int width() const { return width_; }
    int height() const { return height_; }
    explicit operator bool() const { return bitmap_ != 0; }

  private:
    Hbitmap bitmap_ = 0;
    int width_ = 0;
    int height_ = 0;
    const std::uint32_t* bits_ = nullptr;
};

// A 96-DPI picture's copies for the scales asked so far, each drawn once and kept; at 96 DPI
// the picture itself.
class ScaledCopies {
  public:
    const Picture& at(const Picture& design, Point placement, const Scale& scale);
    void clear() { copies_.clear(); }

  private:
    struct Copy {
        int dpi;
        Point placement;
        Picture picture;
    };
    std::vector<Copy> copies_;
};

// A memory DC with one bitmap selected, restored and deleted on scope exit.
class MemoryDC {
  public:
    explicit MemoryDC(Hbitmap bitmap);
    ~MemoryDC();
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    Hdc get() const { return dc_; }

  private:
    Hdc dc_ = 0;
    Hgdiobj previous_ = 0;
};

class Form;

// ---- Controls ---------------------------------------------------------------------------

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
class PictureBox {
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
    double Width() const { return width_; }
    double Height() const { return height_; }
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
    void attachWindow(Hwnd hwnd) { hwnd_ = hwnd; }
    void forgetWindow();
    std::intptr_t handleMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);

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

// ---- Forms ------------------------------------------------------------------------------

// How a form's window is made. Sizes are outer sizes in twips unless clientSize is set.
struct FormDesign {
    std::wstring caption;
    std::uint32_t style = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    std::uint32_t exStyle = WS_EX_TOOLWINDOW;
    double left = 0, top = 0, width = 0, height = 0;
    bool clientSize = false;     // width and height give the client area
    bool centreOnScreen = false; // start position: centred on the primary screen
    // Laid out at the scale of the monitor it opens on (the primary, for a form centred on the
    // screen): width and height are its 96-DPI figures, 15 twips a pixel, mapped through that
    // scale, with the frame for that DPI. layoutScale() tells the scale to its controls.
    bool scaledToMonitor = false;
    bool ownedByApplication = false; // owned by the hidden application window: no taskbar button
    bool noActivate = false;     // presses do not activate it
    ColorRef backColor = RGB(212, 208, 200);
    int iconResource = 0;
};

class Form {
  public:
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    const std::string& Name() const { return name_; }
    Hwnd hWnd() const { return hwnd_; }
    // The drawing surface: the retained image while AutoRedraw is on, else 0.
    Hdc hdc() const { return imageDc_; }

    double Left() const { return left_; }
    double Top() const { return top_; }
    double Width() const { return width_; }
    double Height() const { return height_; }
    void setLeft(double twips);
    void setTop(double twips);
    void setWidth(double twips);
    void setHeight(double twips);

    ColorRef BackColor() const { return design_.backColor; }
    // The scale the form's look was last laid out at; its shape, pictures and press cells
    // follow it until the next layout.
    const Scale& layoutScale() const { return layoutScale_; }
    void setLayoutScale(const Scale& scale) { layoutScale_ = scale; }
    bool AutoRedraw() const { return autoRedraw_; }
    void setAutoRedraw(bool on);
    // Clears the retained image to the background colour.
    void Cls();
    // Copies a whole picture, at its own size, to a twip position of the retained image;
    // honours the clip region selected into hdc().
    void PaintPicture(const Picture& picture, double x, double y);

    void Show();
    void Hide();
    bool isUnloaded() const { return unloaded_; }

    // Events.
    virtual void Form_Load() {}
    virtual void Form_QueryUnload(int& cancel, int unloadMode) { (void)cancel, (void)unloadMode; }
    virtual void Form_Unload() {}
    // Every press, the second press of a double-click included.
    virtual void Form_MouseDown(int button, int shift, float x, float y) {
        (void)button, (void)shift, (void)x, (void)y;
    }
    // A left double-click, raised after the press of its second click.
    virtual void Form_DblClick() {}
    // WM_DISPLAYCHANGE: a monitor came or went, or a resolution changed.
    virtual void onDisplayChange() {}
    // A message of the program's own, WM_APP and above, posted to the form's window.
    virtual void onAppMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
        (void)msg, (void)wParam, (void)lParam;
    }

    // Toolkit internals.
    std::intptr_t handleMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);
    void createWindow();
    void attachWindow(Hwnd hwnd) { hwnd_ = hwnd; }
    void destroyWindow();
    void registerTimer(Timer* timer) { timers_.push_back(timer); }
    void registerOneShot(OneShotTimer* timer) { oneShots_.push_back(timer); }
    void registerPictureBox(PictureBox* box) { pictureBoxes_.push_back(box); }

  protected:
    Form(std::string name, FormDesign design);
    // Native child windows (buttons, labels) of forms that have them.
    virtual void createControls() {}
    // The control that takes the keyboard focus when the form is shown modally.
    virtual Hwnd initialFocus() const { return 0; }
    // WM_COMMAND from a child control or a dialog key (IDOK, IDCANCEL).
    virtual void onCommand(int id, int code) { (void)id, (void)code; }
    // WM_PAINT after the retained image has been drawn.
    virtual void onPaint(Hdc dc) { (void)dc; }
    // WM_DPICHANGED: the window moved to a monitor of another scale, or the scale changed. A
    // form that lays itself out anew at every showing (the panel) does nothing: the suggested
    // rectangle would pull a parked panel onto a screen.
    virtual void onDpiChanged(int dpi, const Rect& suggested) { (void)dpi, (void)suggested; }
    // Moves and sizes the window to a rectangle of screen pixels.
    void placeWindowAt(const Rect& screenPixels);
    // Makes a native child window at twip coordinates of the client area.
    Hwnd createChild(const wchar_t* className, const wchar_t* text, std::uint32_t style,
                     double left, double top, double width, double height, int id);
    const FormDesign& design() const { return design_; }

  private:
    friend void ShowModal(Form& form);
    void placeWindow();
    void resizeImage();
    void invalidate();
    std::string name_;
    FormDesign design_;
    Hwnd hwnd_ = 0;
    double left_, top_, width_, height_;
    bool autoRedraw_ = false;
    Scale layoutScale_;
    Hbitmap image_ = 0;
    Hdc imageDc_ = 0;
    Hgdiobj imagePrevious_ = 0;
    std::uint32_t* imageBits_ = nullptr;
    int imageWidth_ = 0, imageHeight_ = 0;
    bool unloaded_ = false;
    std::vector<Timer*> timers_;
    std::vector<OneShotTimer*> oneShots_;
    std::vector<PictureBox*> pictureBoxes_;
    friend void Unload(Form& form, int unloadMode);
};

// Loaded forms in load order.
std::vector<Form*> Forms();
// Why a form is being unloaded: a close request to its window (its close box, Alt+F4, a task
// list's Close), or the program's own code.
constexpr int vbFormControlMenu = 0;
constexpr int vbFormCode = 1;
// Unload: raises Form_QueryUnload; unless cancelled, Form_Unload, then the window goes and the
// form is freed once control is back in the message loop.
void Unload(Form& form, int unloadMode = vbFormCode);
// Frees forms unloaded earlier; the message loop calls it between messages.
void collectUnloadedForms();
// Drops every form and window silently, and the choice of settings file, for a test that
// starts the program afresh.
void resetToolkit();

namespace detail {
Form* findLoaded(std::type_index type);
void adopt(std::type_index type, std::unique_ptr<Form> form);
} // namespace detail

// The first reference to a form loads it (hidden) and runs its Form_Load.
template <class F> F& form() {
    if (Form* loaded = detail::findLoaded(typeid(F))) return static_cast<F&>(*loaded);
    auto made = std::make_unique<F>();
    F& ref = *made;
    detail::adopt(typeid(F), std::move(made));
    ref.createWindow();
    ref.Form_Load();
    return ref;
}
template <class F> bool isLoaded() { return detail::findLoaded(typeid(F)) != nullptr; }

// Shows a form modally: the program's other windows take no input until it is unloaded.
void ShowModal(Form& form);
// Shows a top-level menu item's children at the cursor as a popup menu of owner; returns
// after the menu has closed and the chosen item's Click has run.
void PopupMenu(Form& owner, MenuItem& menu);

// ---- Screen, App and global operations --------------------------------------------------

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
// A picture loaded from a bitmap file, at most maxWidth x maxHeight pixels of it from the
// top-left corner; an empty picture when the file is not a loadable bitmap.
Picture LoadPicture(const std::wstring& path, int maxWidth, int maxHeight);
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
