// Forms: windows with twip geometry and a retained image, their loading on first use, their
// unloading with its query, modal showing and popup menus.
#pragma once

#include "frame/picture.h"
#include "frame/scale.h"
#include "platform/platform.h"

#include <cstdint>
#include <memory>
#include <string>
#include <typeindex>
#include <vector>

namespace ep {

class MenuItem;
class OneShotTimer;
class PictureBox;
class Timer;

// A window the toolkit made for a form or a control, which answers its messages.
class WindowOwner {
  public:
    virtual std::intptr_t handleMessage(std::uint32_t msg, std::uintptr_t wParam,
                                        std::intptr_t lParam) = 0;
    // The window's handle, known from its first message on, before CreateWindowExW returns.
    virtual void attachWindow(Hwnd hwnd) = 0;

  protected:
    ~WindowOwner() = default;
};

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
    bool noActivate = false;         // presses do not activate it
    ColorRef backColor = RGB(212, 208, 200);
    int iconResource = 0;
};

class Form : public WindowOwner {
  public:
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    const std::string& Name() const { return name_; }
    Hwnd hWnd() const { return hwnd_; }
    // The drawing surface: the retained image while AutoRedraw is on, else 0.
    Hdc hdc() const { return imageDc_.get(); }

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
    std::intptr_t handleMessage(std::uint32_t msg, std::uintptr_t wParam,
                                std::intptr_t lParam) override;
    void createWindow();
    void attachWindow(Hwnd hwnd) override { hwnd_ = hwnd; }
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
    Picture image_;
    MemoryDC imageDc_; // image_ selected
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

} // namespace ep
