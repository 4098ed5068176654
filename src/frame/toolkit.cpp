#include "frame/toolkit.h"

#include "frame/settings.h"
#include "frame/text.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_map>
#include <utility>

namespace ep {

namespace {

constexpr wchar_t kFormClass[] = L"EdgepadForm";
constexpr wchar_t kPictureBoxClass[] = L"EdgepadPictureBox";
constexpr wchar_t kApplicationClass[] = L"EdgepadApplication";

struct LoadedForm {
    std::type_index type;
    std::unique_ptr<Form> form;
};

// Everything the toolkit keeps between calls, in one place so that a test can start afresh.
struct ToolkitState {
    bool classesRegistered = false;
    Hwnd applicationWindow = 0;
    std::vector<LoadedForm> loaded;
    std::vector<std::unique_ptr<Form>> unloaded; // freed once no handler can be using them
    std::unordered_map<Hwnd, Form*> forms;
    std::unordered_map<Hwnd, PictureBox*> pictureBoxes;
    Form* creatingForm = nullptr;
    PictureBox* creatingPictureBox = nullptr;
    std::uintptr_t nextTimerId = 1;
    std::vector<std::function<void()>> endingTasks;
    Hdc screenInformation = 0; // a memory DC of the display, kept to read its factors
    int factorHolds = 0;        // live Screen::FactorsHeld
    float heldTwipsPerPixelX = 0, heldTwipsPerPixelY = 0;
};

ToolkitState& state() {
    static ToolkitState instance;
    return instance;
}

std::int32_t toPixelsX(double twips) { return roundHalfEven(twips / Screen::TwipsPerPixelX()); }
std::int32_t toPixelsY(double twips) { return roundHalfEven(twips / Screen::TwipsPerPixelY()); }

std::int16_t lowWord(std::intptr_t value) { return static_cast<std::int16_t>(value & 0xFFFF); }
std::int16_t highWord(std::intptr_t value) { return static_cast<std::int16_t>((value >> 16) & 0xFFFF); }

int shiftState(std::uintptr_t keys) {
    int shift = 0;
    if (keys & MK_SHIFT) shift |= vbShiftMask;
    if (keys & MK_CONTROL) shift |= vbCtrlMask;
    if (os().GetKeyState(VK_MENU) < 0) shift |= vbAltMask;
    return shift;
}

// The button a press message reports, or 0 for a message that is no press. The classes take
// double-clicks, so a quick second press arrives as a double-click message; it is a press all
// the same, of whichever button.
int pressedButton(std::uint32_t msg) {
    switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: return vbLeftButton;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK: return vbRightButton;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK: return vbMiddleButton;
    default: return 0;
    }
}

std::uint32_t bgraOf(ColorRef color) {
    return ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
}

std::intptr_t formProc(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    auto& s = state();
    auto found = s.forms.find(hwnd);
    if (found == s.forms.end()) {
        if (!s.creatingForm) return os().DefWindowProcW(hwnd, msg, wParam, lParam);
        // The first messages arrive before CreateWindowExW returns the handle.
        found = s.forms.emplace(hwnd, s.creatingForm).first;
        s.creatingForm->attachWindow(hwnd);
    }
    return found->second->handleMessage(msg, wParam, lParam);
}

std::intptr_t pictureBoxProc(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                             std::intptr_t lParam) {
    auto& s = state();
    auto found = s.pictureBoxes.find(hwnd);
    if (found == s.pictureBoxes.end()) {
        if (!s.creatingPictureBox) return os().DefWindowProcW(hwnd, msg, wParam, lParam);
        found = s.pictureBoxes.emplace(hwnd, s.creatingPictureBox).first;
        s.creatingPictureBox->attachWindow(hwnd);
    }
    return found->second->handleMessage(msg, wParam, lParam);
}

std::intptr_t applicationProc(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                              std::intptr_t lParam) {
    return os().DefWindowProcW(hwnd, msg, wParam, lParam);
}

void registerClasses() {
    auto& s = state();
    if (s.classesRegistered) return;
    Hicon icon = os().LoadIconW(1);
    WindowClass form;
    form.style = CS_DBLCLKS;
    form.lpfnWndProc = formProc;
    form.hIcon = icon;
    form.lpszClassName = kFormClass;
    os().RegisterClassExW(form);
    WindowClass box;
    box.style = CS_DBLCLKS;
    box.lpfnWndProc = pictureBoxProc;
    box.lpszClassName = kPictureBoxClass;
    os().RegisterClassExW(box);
    WindowClass application;
    application.lpfnWndProc = applicationProc;
    application.hIcon = icon;
    application.lpszClassName = kApplicationClass;
    os().RegisterClassExW(application);
    s.classesRegistered = true;
}

// The hidden window that owns forms without a taskbar button of their own.
Hwnd applicationWindow() {
    auto& s = state();
    if (!s.applicationWindow) {
        registerClasses();
        s.applicationWindow = os().CreateWindowExW(0, kApplicationClass, L"", WS_POPUP, 0, 0, 0,
                                                   0, 0, 0);
    }
    return s.applicationWindow;
}

} // namespace

// ---- Picture ----------------------------------------------------------------------------

Picture Picture::fromPixels(int width, int height, const std::vector<std::uint32_t>& rgb) {
    void* bits = nullptr;
    Hbitmap bitmap = os().CreateDIBSection(0, width, height, &bits);
    if (!bitmap || !bits) {
        if (bitmap) os().DeleteObject(bitmap);
        return {};
    }
    auto* out = static_cast<std::uint32_t*>(bits);
    std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    for (std::size_t i = 0; i < count && i < rgb.size(); ++i) out[i] = rgb[i] & 0x00FFFFFF;
    return Picture(bitmap, width, height, out);
}

// No StretchBlt mode gives these blocks at a fractional factor, so they are drawn one by one;
// a picture is scaled once per DPI and kept, so this never runs per paint.
Picture Picture::scaled(Point placement, const Scale& scale) const {
    if (!bitmap_ || !bits_ || width_ <= 0 || height_ <= 0) return {};
    const int originX = scale.px(placement.x), originY = scale.px(placement.y);
    const int width = scale.px(placement.x + width_) - originX;
    const int height = scale.px(placement.y + height_) - originY;
    if (width <= 0 || height <= 0) return {};
    os().GdiFlush(); // drawing into the source must have reached its bits
    std::vector<std::uint32_t> blocks(static_cast<std::size_t>(width) * height);
    for (int row = 0; row < height_; ++row) {
        const int top = scale.px(placement.y + row) - originY;
        const int bottom = scale.px(placement.y + row + 1) - originY;
        for (int column = 0; column < width_; ++column) {
            const int left = scale.px(placement.x + column) - originX;
            const int right = scale.px(placement.x + column + 1) - originX;
            const std::uint32_t colour = bits_[static_cast<std::size_t>(row) * width_ + column];
            for (int y = top; y < bottom; ++y)
                std::fill_n(blocks.begin() + static_cast<std::ptrdiff_t>(y) * width + left,
                            right - left, colour);
        }
    }
    return fromPixels(width, height, blocks);
}

const Picture& ScaledCopies::at(const Picture& design, Point placement, const Scale& scale) {
    if (scale.dpi() == kDesignDpi || !design) return design;
    for (const Copy& copy : copies_)
        if (copy.dpi == scale.dpi() && copy.placement.x == placement.x &&
            copy.placement.y == placement.y)
            return copy.picture;
    Picture made = design.scaled(placement, scale);
    if (!made) return design; // out of memory: the unscaled picture is better than none
    copies_.push_back(Copy{scale.dpi(), placement, std::move(made)});
    return copies_.back().picture;
}

Picture::Picture(Picture&& other) noexcept
    : bitmap_(std::exchange(other.bitmap_, 0)), width_(other.width_), height_(other.height_),
      bits_(std::exchange(other.bits_, nullptr)) {}

Picture& Picture::operator=(Picture&& other) noexcept {
    if (this != &other) {
        if (bitmap_) os().DeleteObject(bitmap_);
        bitmap_ = std::exchange(other.bitmap_, 0);
        width_ = other.width_;
        height_ = other.height_;
        bits_ = std::exchange(other.bits_, nullptr);
    }
    return *this;
}

Picture::~Picture() {
    if (bitmap_) os().DeleteObject(bitmap_);
}

MemoryDC::MemoryDC(Hbitmap bitmap) : dc_(os().CreateCompatibleDC(0)) {
    if (dc_) previous_ = os().SelectObject(dc_, bitmap);
}

MemoryDC::~MemoryDC() {
    if (!dc_) return;
    os().SelectObject(dc_, previous_);
    os().DeleteDC(dc_);
}

// ---- PictureBox -------------------------------------------------------------------------

PictureBox::PictureBox(Form& owner, double left, double top, double width, double height,
                       Picture picture)
    : owner_(owner), left_(left), top_(top), width_(width), height_(height),
      picture_(std::move(picture)) {
    owner_.registerPictureBox(this);
}

PictureBox::~PictureBox() { forgetWindow(); }

// The window goes with its parent; only the toolkit's note of it is dropped here.
void PictureBox::forgetWindow() {
    if (hwnd_) state().pictureBoxes.erase(std::exchange(hwnd_, 0));
}

void PictureBox::create() {
    auto& s = state();
    registerClasses();
    s.creatingPictureBox = this;
    std::uint32_t style = WS_CHILD | WS_CLIPSIBLINGS | (visible_ ? WS_VISIBLE : 0);
    hwnd_ = os().CreateWindowExW(0, kPictureBoxClass, L"", style, toPixelsX(left_),
                                 toPixelsY(top_), toPixelsX(width_), toPixelsY(height_),
                                 owner_.hWnd(), 0);
    s.creatingPictureBox = nullptr;
    if (hwnd_) s.pictureBoxes[hwnd_] = this;
}

void PictureBox::setPicture(Picture picture) {
    picture_ = std::move(picture);
    copies_.clear();
    if (hwnd_) os().InvalidateRect(hwnd_, nullptr, false);
}

void PictureBox::layOut(const Scale& scale, const Rect& designPixels) {
    scale_ = scale;
    placement_ = Point{designPixels.left, designPixels.top};
    const Rect box = scale.rect(designPixels);
    left_ = box.left * static_cast<double>(Screen::TwipsPerPixelX());
    top_ = box.top * static_cast<double>(Screen::TwipsPerPixelY());
    width_ = (box.right - box.left) * static_cast<double>(Screen::TwipsPerPixelX());
    height_ = (box.bottom - box.top) * static_cast<double>(Screen::TwipsPerPixelY());
    if (!hwnd_) return;
    os().SetWindowPos(hwnd_, 0, box.left, box.top, box.right - box.left, box.bottom - box.top,
                      SWP_NOZORDER | SWP_NOACTIVATE);
    os().InvalidateRect(hwnd_, nullptr, false);
}

void PictureBox::setLeft(double twips) {
    left_ = twips;
    move();
}

void PictureBox::setTop(double twips) {
    top_ = twips;
    move();
}

void PictureBox::move() {
    if (hwnd_)
        os().SetWindowPos(hwnd_, 0, toPixelsX(left_), toPixelsY(top_), 0, 0,
                          SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void PictureBox::setVisible(bool visible) {
    visible_ = visible;
    if (hwnd_) os().ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
}

std::intptr_t PictureBox::handleMessage(std::uint32_t msg, std::uintptr_t wParam,
                                        std::intptr_t lParam) {
    if (int button = pressedButton(msg)) {
        if (MouseDown)
            MouseDown(button, shiftState(wParam),
                      static_cast<float>(lowWord(lParam) * Screen::TwipsPerPixelX()),
                      static_cast<float>(highWord(lParam) * Screen::TwipsPerPixelY()));
        return 0;
    }
    switch (msg) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        PaintStruct paint;
        Hdc dc = os().BeginPaint(hwnd_, &paint);
        Rect client;
        os().GetClientRect(hwnd_, &client);
        // Where the picture does not reach, the box shows the form's background, the same
        // face colour as the cells, whatever the system's colours are.
        Hbrush background = os().CreateSolidBrush(owner_.BackColor());
        os().FillRect(dc, &client, background);
        os().DeleteObject(background);
        if (const Picture& shown = copies_.at(picture_, placement_, scale_)) {
            MemoryDC source(shown.handle());
            os().BitBlt(dc, 0, 0, shown.width(), shown.height(), source.get(), 0, 0, SRCCOPY);
        }
        os().EndPaint(hwnd_, &paint);
        return 0;
    }
    default: return os().DefWindowProcW(hwnd_, msg, wParam, lParam);
    }
}

// ---- Timer ------------------------------------------------------------------------------

Timer::Timer(Form& owner, std::uint32_t intervalMs, bool enabled)
    : owner_(owner), interval_(intervalMs), enabled_(enabled), id_(state().nextTimerId++) {
    owner_.registerTimer(this);
}

Timer::~Timer() {
    if (armed_ && owner_.hWnd()) os().KillTimer(owner_.hWnd(), id_);
}

void Timer::setEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    if (enabled_ && !armed_) arm();
}

void Timer::arm() {
    if (enabled_ && owner_.hWnd() && interval_ > 0)
        armed_ = os().SetTimer(owner_.hWnd(), id_, interval_) != 0;
}

void Timer::disarm() {
    if (armed_ && owner_.hWnd()) os().KillTimer(owner_.hWnd(), id_);
    armed_ = false;
}

OneShotTimer::OneShotTimer(Form& owner) : owner_(owner), id_(state().nextTimerId++) {
    owner_.registerOneShot(this);
}

OneShotTimer::~OneShotTimer() { stop(); }

void OneShotTimer::start(std::uint32_t ms) {
    if (owner_.hWnd()) running_ = os().SetTimer(owner_.hWnd(), id_, ms) != 0;
}

void OneShotTimer::stop() {
    if (running_ && owner_.hWnd()) os().KillTimer(owner_.hWnd(), id_);
    running_ = false;
}

void OneShotTimer::fired() {
    stop();
    if (Fire) Fire();
}

// ---- Form -------------------------------------------------------------------------------

Form::Form(std::string name, FormDesign design)
    : name_(std::move(name)), design_(std::move(design)), left_(design_.left),
      top_(design_.top), width_(design_.width), height_(design_.height) {}

Form::~Form() { destroyWindow(); }

void Form::createWindow() {
    if (hwnd_) return;
    auto& s = state();
    registerClasses();
    int x = toPixelsX(left_), y = toPixelsY(top_);
    int width = toPixelsX(width_), height = toPixelsY(height_);
    std::uint32_t style = design_.style & ~WS_VISIBLE;
    if (design_.scaledToMonitor) {
        layoutScale_ = design_.centreOnScreen ? scaleOfPrimaryMonitor() : scaleOfMonitorAt({x, y});
        const Rect size{0, 0, layoutScale_.px(designPixelsOfTwips(static_cast<int>(width_))),
                        layoutScale_.px(designPixelsOfTwips(static_cast<int>(height_)))};
        const Rect frame = design_.clientSize
                               ? windowRectAround(size, style, design_.exStyle, layoutScale_)
                               : size;
        width = frame.right - frame.left;
        height = frame.bottom - frame.top;
        width_ = width * Screen::TwipsPerPixelX();
        height_ = height * Screen::TwipsPerPixelY();
    } else if (design_.clientSize) {
        Rect frame{0, 0, width, height};
        os().AdjustWindowRectEx(&frame, style, false, design_.exStyle);
        width = frame.right - frame.left;
        height = frame.bottom - frame.top;
        width_ = width * Screen::TwipsPerPixelX();
        height_ = height * Screen::TwipsPerPixelY();
    }
    if (design_.centreOnScreen) {
        x = (os().GetSystemMetrics(SM_CXSCREEN) - width) / 2;
        y = (os().GetSystemMetrics(SM_CYSCREEN) - height) / 2;
        left_ = x * Screen::TwipsPerPixelX();
        top_ = y * Screen::TwipsPerPixelY();
    }
    Hwnd owner = design_.ownedByApplication ? applicationWindow() : 0;
    s.creatingForm = this;
    hwnd_ = os().CreateWindowExW(design_.exStyle, kFormClass, design_.caption.c_str(), style, x, y,
                                 width, height, owner, 0);
    s.creatingForm = nullptr;
    // A form without its window would leave a resident process with nothing on the screen and
    // nothing that runs: the program says so and ends, as it does when a region fails.
    if (!hwnd_) {
        MsgBox(L"It failed in making of a window.");
        End();
    }
    s.forms[hwnd_] = this;
    createControls();
    for (PictureBox* box : pictureBoxes_) box->create();
    for (Timer* timer : timers_) timer->arm();
}

void Form::destroyWindow() {
    auto& s = state();
    if (imageDc_) {
        os().SelectObject(imageDc_, imagePrevious_);
        os().DeleteDC(imageDc_);
        imageDc_ = 0;
    }
    if (image_) {
        os().DeleteObject(image_);
        image_ = 0;
        imageBits_ = nullptr;
    }
    if (!hwnd_) return;
    for (Timer* timer : timers_) timer->disarm();
    for (PictureBox* box : pictureBoxes_) box->forgetWindow();
    Hwnd going = std::exchange(hwnd_, 0);
    os().DestroyWindow(going);
    s.forms.erase(going);
}

void Form::placeWindow() {
    if (!hwnd_) return;
    os().SetWindowPos(hwnd_, 0, toPixelsX(left_), toPixelsY(top_), toPixelsX(width_),
                      toPixelsY(height_), SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::placeWindowAt(const Rect& screenPixels) {
    left_ = screenPixels.left * Screen::TwipsPerPixelX();
    top_ = screenPixels.top * Screen::TwipsPerPixelY();
    width_ = (screenPixels.right - screenPixels.left) * Screen::TwipsPerPixelX();
    height_ = (screenPixels.bottom - screenPixels.top) * Screen::TwipsPerPixelY();
    if (!hwnd_) return;
    os().SetWindowPos(hwnd_, 0, screenPixels.left, screenPixels.top,
                      screenPixels.right - screenPixels.left,
                      screenPixels.bottom - screenPixels.top, SWP_NOZORDER | SWP_NOACTIVATE);
    resizeImage();
}

void Form::setLeft(double twips) {
    left_ = twips;
    if (hwnd_)
        os().SetWindowPos(hwnd_, 0, toPixelsX(left_), toPixelsY(top_), 0, 0,
                          SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::setTop(double twips) {
    top_ = twips;
    if (hwnd_)
        os().SetWindowPos(hwnd_, 0, toPixelsX(left_), toPixelsY(top_), 0, 0,
                          SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::setWidth(double twips) {
    width_ = twips;
    placeWindow();
    resizeImage();
}

void Form::setHeight(double twips) {
    height_ = twips;
    placeWindow();
    resizeImage();
}

void Form::setAutoRedraw(bool on) {
    autoRedraw_ = on;
    if (on) {
        resizeImage();
    } else if (imageDc_) {
        os().SelectObject(imageDc_, imagePrevious_);
        os().DeleteDC(std::exchange(imageDc_, 0));
        os().DeleteObject(std::exchange(image_, 0));
        imageBits_ = nullptr;
        imageWidth_ = imageHeight_ = 0;
    }
}

// The retained image covers the window and only grows, keeping what was drawn.
void Form::resizeImage() {
    if (!autoRedraw_ || !hwnd_) return;
    Rect client;
    os().GetClientRect(hwnd_, &client);
    int width = std::max({client.right - client.left, imageWidth_, 1});
    int height = std::max({client.bottom - client.top, imageHeight_, 1});
    if (imageDc_ && width == imageWidth_ && height == imageHeight_) return;
    void* bits = nullptr;
    Hbitmap grown = os().CreateDIBSection(0, width, height, &bits);
    if (!grown || !bits) {
        if (grown) os().DeleteObject(grown);
        return;
    }
    auto* pixels = static_cast<std::uint32_t*>(bits);
    std::fill(pixels, pixels + static_cast<std::size_t>(width) * height, bgraOf(design_.backColor));
    Hdc dc = os().CreateCompatibleDC(0);
    Hgdiobj previous = os().SelectObject(dc, grown);
    if (imageDc_) {
        os().SelectClipRgn(imageDc_, 0);
        os().BitBlt(dc, 0, 0, imageWidth_, imageHeight_, imageDc_, 0, 0, SRCCOPY);
        os().SelectObject(imageDc_, imagePrevious_);
        os().DeleteDC(imageDc_);
        os().DeleteObject(image_);
    }
    image_ = grown;
    imageDc_ = dc;
    imagePrevious_ = previous;
    imageBits_ = pixels;
    imageWidth_ = width;
    imageHeight_ = height;
}

void Form::Cls() {
    if (imageBits_) {
        os().GdiFlush();
        std::fill(imageBits_, imageBits_ + static_cast<std::size_t>(imageWidth_) * imageHeight_,
                  bgraOf(design_.backColor));
    }
    invalidate();
}

void Form::PaintPicture(const Picture& picture, double x, double y) {
    if (!picture || !imageDc_) return;
    MemoryDC source(picture.handle());
    os().BitBlt(imageDc_, toPixelsX(x), toPixelsY(y), picture.width(), picture.height(),
                source.get(), 0, 0, SRCCOPY);
    invalidate();
}

void Form::invalidate() {
    if (hwnd_) os().InvalidateRect(hwnd_, nullptr, false);
}

void Form::Show() {
    if (hwnd_) os().ShowWindow(hwnd_, design_.noActivate ? SW_SHOWNA : SW_SHOW);
}

void Form::Hide() {
    if (hwnd_) os().ShowWindow(hwnd_, SW_HIDE);
}

Hwnd Form::createChild(const wchar_t* className, const wchar_t* text, std::uint32_t style,
                       double left, double top, double width, double height, int id) {
    if (!hwnd_) return 0;
    return os().CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style,
                                toPixelsX(left), toPixelsY(top), toPixelsX(width),
                                toPixelsY(height), hwnd_, id);
}

std::intptr_t Form::handleMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    Hwnd hwnd = hwnd_;
    if (int button = pressedButton(msg)) {
        Form_MouseDown(button, shiftState(wParam),
                       static_cast<float>(lowWord(lParam) * Screen::TwipsPerPixelX()),
                       static_cast<float>(highWord(lParam) * Screen::TwipsPerPixelY()));
        // The double-click's own event follows the press it also is.
        if (msg == WM_LBUTTONDBLCLK) Form_DblClick();
        return 0;
    }
    switch (msg) {
    case WM_MOUSEACTIVATE:
        if (design_.noActivate) return MA_NOACTIVATE;
        break;
    case WM_TIMER:
        for (Timer* timer : timers_)
            if (timer->id() == wParam) {
                if (!timer->Enabled())
                    timer->disarm();
                else if (timer->Tick)
                    timer->Tick();
                return 0;
            }
        for (OneShotTimer* timer : oneShots_)
            if (timer->id() == wParam) {
                timer->fired();
                return 0;
            }
        return 0;
    case WM_COMMAND:
        onCommand(static_cast<int>(wParam & 0xFFFF), static_cast<int>((wParam >> 16) & 0xFFFF));
        return 0;
    case WM_CLOSE: Unload(*this, vbFormControlMenu); return 0;
    case WM_DISPLAYCHANGE: onDisplayChange(); break;
    default:
        if (msg >= WM_APP && msg <= 0xBFFF) {
            onAppMessage(msg, wParam, lParam);
            return 0;
        }
        break;
    case WM_DPICHANGED:
        if (lParam) onDpiChanged(static_cast<int>(wParam & 0xFFFF), *reinterpret_cast<const Rect*>(lParam));
        return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        PaintStruct paint;
        Hdc dc = os().BeginPaint(hwnd, &paint);
        Rect client;
        os().GetClientRect(hwnd, &client);
        if (imageDc_) {
            os().BitBlt(dc, 0, 0, client.right, client.bottom, imageDc_, 0, 0, SRCCOPY);
        } else {
            Hbrush brush = os().CreateSolidBrush(design_.backColor);
            os().FillRect(dc, &client, brush);
            os().DeleteObject(brush);
        }
        onPaint(dc);
        os().EndPaint(hwnd, &paint);
        return 0;
    }
    }
    return os().DefWindowProcW(hwnd, msg, wParam, lParam);
}

// ---- Loading and unloading --------------------------------------------------------------

namespace detail {

Form* findLoaded(std::type_index type) {
    for (auto& entry : state().loaded)
        if (entry.type == type) return entry.form.get();
    return nullptr;
}

void adopt(std::type_index type, std::unique_ptr<Form> form) {
    state().loaded.push_back(LoadedForm{type, std::move(form)});
}

} // namespace detail

std::vector<Form*> Forms() {
    std::vector<Form*> forms;
    for (auto& entry : state().loaded) forms.push_back(entry.form.get());
    return forms;
}

void Unload(Form& form, int unloadMode) {
    if (form.unloaded_) return;
    int cancel = 0;
    form.Form_QueryUnload(cancel, unloadMode);
    if (cancel || form.unloaded_) return;
    form.Form_Unload();
    form.unloaded_ = true;
    form.destroyWindow();
    auto& loaded = state().loaded;
    auto found = std::find_if(loaded.begin(), loaded.end(),
                              [&](const LoadedForm& entry) { return entry.form.get() == &form; });
    if (found != loaded.end()) {
        state().unloaded.push_back(std::move(found->form));
        loaded.erase(found);
    }
}

void collectUnloadedForms() { state().unloaded.clear(); }

void resetToolkit() {
    auto& s = state();
    for (auto& entry : s.loaded) entry.form->destroyWindow();
    s.loaded.clear();
    s.unloaded.clear();
    if (s.applicationWindow) os().DestroyWindow(s.applicationWindow);
    if (s.screenInformation) os().DeleteDC(s.screenInformation);
    s = ToolkitState{};
    mod_RGN_Proc::forgetSettingsFile();
}

void ShowModal(Form& form) {
    // The program's other windows take no input while the form is up.
    std::vector<Hwnd> disabled;
    for (Form* other : Forms()) {
        if (other == &form || !other->hWnd()) continue;
        if (os().EnableWindow(other->hWnd(), false) == false) disabled.push_back(other->hWnd());
    }
    Hwnd hwnd = form.hWnd();
    os().ShowWindow(hwnd, SW_SHOW);
    os().SetForegroundWindow(hwnd);
    if (Hwnd focus = form.initialFocus()) os().SetFocus(focus);
    while (!form.isUnloaded()) {
        Msg msg;
        int got = os().GetMessageW(&msg, 0, 0, 0);
        if (got <= 0) {
            if (got == 0) os().PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!form.isUnloaded() && os().IsDialogMessageW(hwnd, &msg)) continue;
        os().TranslateMessage(&msg);
        os().DispatchMessageW(&msg);
    }
    for (Hwnd window : disabled)
        if (os().IsWindow(window)) os().EnableWindow(window, true);
}

namespace {

// Once the menu is gone the program has nothing to type into: while its own window still
// holds the foreground, the window that had it before gets it back, if it still exists. The
// user may have clicked another program meanwhile; that choice stands.
void giveKeyboardBack(Form& owner, Hwnd hadKeyboard) {
    std::uint32_t ours = 0, foregrounds = 0;
    os().GetWindowThreadProcessId(owner.hWnd(), &ours);
    const Hwnd foreground = os().GetForegroundWindow();
    if (foreground) os().GetWindowThreadProcessId(foreground, &foregrounds);
    if (foreground && foregrounds == ours && os().IsWindow(hadKeyboard))
        os().SetForegroundWindow(hadKeyboard);
}

} // namespace

void PopupMenu(Form& owner, MenuItem& menu) {
    Hmenu popup = os().CreatePopupMenu();
    if (!popup) return;
    for (std::size_t i = 0; i < menu.children.size(); ++i) {
        MenuItem* item = menu.children[i];
        if (item->IsSeparator())
            os().AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
        else
            os().AppendMenuW(popup, MF_STRING | (item->Checked() ? MF_CHECKED : MF_UNCHECKED),
                             i + 1, item->Caption().c_str());
    }
    Point cursor;
    os().GetCursorPos(&cursor);
    // A popup menu closes on a click elsewhere, and takes Escape and the arrow keys, only when
    // its owner is the foreground window; the WM_NULL afterwards lets the menu's own loop end
    // cleanly. WS_EX_NOACTIVATE does not keep SetForegroundWindow from activating the owner, so
    // the keyboard goes back afterwards to the window that had it.
    const Hwnd hadKeyboard = os().GetForegroundWindow();
    os().SetForegroundWindow(owner.hWnd());
    int chosen = os().TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD |
                                                TPM_NONOTIFY,
                                     cursor.x, cursor.y, owner.hWnd());
    os().PostMessageW(owner.hWnd(), WM_NULL, 0, 0);
    os().DestroyMenu(popup);
    MenuItem* item = nullptr;
    if (chosen > 0 && static_cast<std::size_t>(chosen) <= menu.children.size())
        item = menu.children[static_cast<std::size_t>(chosen) - 1];
    if (item && item->Click) item->Click();
    if (!(item && item->choosesForeground)) giveKeyboardBack(owner, hadKeyboard);
}

// ---- Screen, App and global operations --------------------------------------------------

namespace Screen {

namespace {
// Read from the display on every call; the display-compatible DC it asks is made once and
// kept for the program's life, so a read costs one call instead of three.
float twipsPerPixel(int index) {
    auto& s = state();
    if (!s.screenInformation) s.screenInformation = os().CreateCompatibleDC(0);
    int dpi = os().GetDeviceCaps(s.screenInformation, index);
    return dpi > 0 ? 1440.0f / static_cast<float>(dpi) : 15.0f;
}
} // namespace

float TwipsPerPixelX() {
    return state().factorHolds ? state().heldTwipsPerPixelX : twipsPerPixel(LOGPIXELSX);
}
float TwipsPerPixelY() {
    return state().factorHolds ? state().heldTwipsPerPixelY : twipsPerPixel(LOGPIXELSY);
}

FactorsHeld::FactorsHeld() {
    auto& s = state();
    if (s.factorHolds == 0) {
        s.heldTwipsPerPixelX = twipsPerPixel(LOGPIXELSX);
        s.heldTwipsPerPixelY = twipsPerPixel(LOGPIXELSY);
    }
    ++s.factorHolds;
}

FactorsHeld::~FactorsHeld() {
    if (state().factorHolds > 0) --state().factorHolds;
}
double Width() { return os().GetSystemMetrics(SM_CXSCREEN) * static_cast<double>(TwipsPerPixelX()); }
double Height() { return os().GetSystemMetrics(SM_CYSCREEN) * static_cast<double>(TwipsPerPixelY()); }

} // namespace Screen

namespace App {

namespace {
std::wstring modulePath() {
    std::wstring path(32768, L'\0');
    std::uint32_t length = os().GetModuleFileNameW(path.data(), static_cast<std::uint32_t>(path.size()));
    path.resize(std::min<std::size_t>(length, path.size()));
    return path;
}
} // namespace

bool PrevInstance() {
    // The mutex lives as long as the process; the system closes it at the end.
    Handle mutex = os().CreateMutexW(false, L"Local\\Edgepad.SingleInstance");
    return mutex != 0 && os().GetLastError() == ERROR_ALREADY_EXISTS;
}

std::wstring Path() {
    std::wstring path = modulePath();
    std::size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos) return {};
    std::wstring folder = path.substr(0, slash);
    // A drive's root keeps its backslash.
    if (folder.size() == 2 && folder[1] == L':') folder += L'\\';
    return folder;
}

std::wstring EXEName() {
    std::wstring path = modulePath();
    std::size_t slash = path.find_last_of(L'\\');
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    std::size_t dot = name.find_last_of(L'.');
    return dot == std::wstring::npos ? name : name.substr(0, dot);
}

std::wstring Title() { return L"Edgepad"; }

} // namespace App

bool Dir(const std::wstring& path) {
    std::uint32_t attributes = os().GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                          FILE_ATTRIBUTE_DEVICE)) == 0;
}

namespace {

// The platform's loader maps a bitmap file and reads as many bytes as its headers declare, so
// a file cut short is read past its end (under Wine the process faults). A file is handed to
// it only when it holds everything its headers promise.
bool bitmapFileComplete(const std::wstring& path) {
    const Handle file = os().CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE || file == 0) return false;
    unsigned char head[54] = {};
    std::uint32_t read = 0;
    std::int64_t size = 0;
    const bool ok = os().ReadFile(file, head, sizeof head, &read) && os().GetFileSizeEx(file, &size);
    os().CloseHandle(file);
    if (!ok || read < 26 || head[0] != 'B' || head[1] != 'M') return false;
    auto u16 = [&](int at) { return std::uint32_t(head[at] | (head[at + 1] << 8)); };
    auto u32 = [&](int at) { return u16(at) | (u16(at + 2) << 16); };

    const std::int64_t offBits = u32(10);
    const std::int64_t headerSize = u32(14);
    std::int64_t width = 0, height = 0, bitCount = 0, compression = 0, sizeImage = 0, colours = 0;
    if (headerSize == 12) { // the old core header: 16-bit sizes, three-byte palette entries
        width = u16(18);
        height = std::int16_t(u16(20));
        bitCount = u16(24);
    } else {
        if (headerSize < 40 || read < 54) return false;
        width = std::int32_t(u32(18));
        height = std::int32_t(u32(22));
        bitCount = u16(28);
        compression = u32(30);
        sizeImage = u32(34);
        colours = u32(46);
    }
    if (height < 0) height = -height;
    if (width <= 0 || height == 0 || bitCount == 0 || bitCount > 32) return false;

    std::int64_t palette = 0;
    if (bitCount <= 8) palette = (colours ? colours : std::int64_t(1) << bitCount) * (headerSize == 12 ? 3 : 4);
    constexpr std::int64_t biRgb = 0, biBitfields = 3;
    if (compression == biBitfields && headerSize == 40) palette += 12;
    std::int64_t pixels = sizeImage;
    if (compression == biRgb || compression == biBitfields) {
        const std::int64_t stride = (width * bitCount + 31) / 32 * 4;
        if (height > size / stride) return false;
        pixels = stride * height;
    }
    const std::int64_t start = std::max(offBits, 14 + headerSize + palette);
    return start <= size && pixels <= size - start;
}

} // namespace

Picture LoadPicture(const std::wstring& path, int maxWidth, int maxHeight) {
    if (!bitmapFileComplete(path)) return {};
    Handle loaded = os().LoadImageW(path.c_str(), IMAGE_BITMAP, 0, 0,
                                    LR_LOADFROMFILE | LR_CREATEDIBSECTION);
    if (!loaded) return {};
    // Keep only the part that can ever show, so a huge file costs nothing after start-up.
    Picture whole(loaded, 0, 0);
    Bitmap info;
    if (os().GetObjectW(loaded, sizeof info, &info) == 0) return {};
    int width = std::min(info.bmWidth, maxWidth);
    int height = std::min(info.bmHeight < 0 ? -info.bmHeight : info.bmHeight, maxHeight);
    if (width <= 0 || height <= 0) return {};
    void* bits = nullptr;
    Hbitmap part = os().CreateDIBSection(0, width, height, &bits);
    if (!part) return {};
    Picture result(part, width, height, static_cast<const std::uint32_t*>(bits));
    MemoryDC source(loaded);
    MemoryDC target(part);
    os().BitBlt(target.get(), 0, 0, width, height, source.get(), 0, 0, SRCCOPY);
    return result;
}

void MsgBox(const std::wstring& text) {
    os().MessageBoxW(0, text.c_str(), App::Title().c_str(), MB_OK | MB_TASKMODAL | MB_SETFOREGROUND);
}

void DoEvents() {
    Msg msg;
    while (os().PeekMessageW(&msg, 0, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            os().PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        os().TranslateMessage(&msg);
        os().DispatchMessageW(&msg);
    }
}

void whenEnding(std::function<void()> task) { state().endingTasks.push_back(std::move(task)); }

void End() {
    const std::vector<std::function<void()>> tasks = std::move(state().endingTasks);
    for (const auto& task : tasks)
        task();
    os().ExitProcess(0);
    std::abort(); // a backend's ExitProcess never returns
}

void raiseError(int number, const std::wstring& description) {
    std::wstring digits;
    for (unsigned n = static_cast<unsigned>(number < 0 ? -number : number); digits.empty() || n;
         n /= 10)
        digits.insert(digits.begin(), static_cast<wchar_t>(L'0' + n % 10));
    std::wstring text = L"Run-time error '" + digits + L"':\n\n" + description;
    os().MessageBoxW(0, text.c_str(), App::Title().c_str(), MB_OK | MB_ICONERROR | MB_TASKMODAL);
    End();
}

int runMessageLoop() {
    Msg msg;
    while (os().GetMessageW(&msg, 0, 0, 0) > 0) {
        os().TranslateMessage(&msg);
        os().DispatchMessageW(&msg);
        collectUnloadedForms();
    }
    return static_cast<int>(msg.wParam);
}

} // namespace ep
