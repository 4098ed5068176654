#include "frame/forms.h"

#include "frame/controls.h"
#include "frame/toolkit_windows.h"

#include <algorithm>
#include <utility>

namespace ep {

using namespace toolkit;

Form::Form(std::string name, FormDesign design)
    : name_(std::move(name)), design_(std::move(design)), left_(design_.left), top_(design_.top),
      width_(design_.width), height_(design_.height) {}

Form::~Form() { destroyWindow(); }

void Form::createWindow() {
    if (hwnd_) return;
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
    const Hwnd owner = design_.ownedByApplication ? applicationWindow() : 0;
    hwnd_ = makeWindow(*this, design_.exStyle, kFormClass, design_.caption.c_str(), style,
                       Rect{x, y, x + width, y + height}, owner);
    // A form without its window would leave a resident process with nothing on the screen and
    // nothing that runs: the program says so and ends, as it does when a region fails.
    if (!hwnd_) {
        MsgBox(L"It failed in making of a window.");
        End();
    }
    createControls();
    for (PictureBox* box : pictureBoxes_)
        box->create();
    for (Timer* timer : timers_)
        timer->arm();
}

void Form::destroyWindow() {
    imageDc_ = MemoryDC();
    image_ = Picture();
    if (!hwnd_) return;
    for (Timer* timer : timers_)
        timer->disarm();
    for (PictureBox* box : pictureBoxes_)
        box->forgetWindow();
    const Hwnd going = std::exchange(hwnd_, 0);
    os().DestroyWindow(going);
    forgetWindow(going);
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
    } else {
        imageDc_ = MemoryDC();
        image_ = Picture();
    }
}

// The retained image covers the window and only grows, keeping what was drawn.
void Form::resizeImage() {
    if (!autoRedraw_ || !hwnd_) return;
    Rect client;
    os().GetClientRect(hwnd_, &client);
    const int width = std::max({client.right - client.left, image_.width(), 1});
    const int height = std::max({client.bottom - client.top, image_.height(), 1});
    if (imageDc_ && width == image_.width() && height == image_.height()) return;
    void* bits = nullptr;
    const Hbitmap bitmap = os().CreateDIBSection(0, width, height, &bits);
    Picture grown(bitmap, width, height, static_cast<std::uint32_t*>(bits));
    if (!grown || !grown.bits()) return;
    std::fill(grown.bits(), grown.bits() + static_cast<std::size_t>(width) * height,
              bgraOf(design_.backColor));
    MemoryDC dc(grown.handle());
    if (imageDc_) {
        os().SelectClipRgn(imageDc_.get(), 0);
        os().BitBlt(dc.get(), 0, 0, image_.width(), image_.height(), imageDc_.get(), 0, 0, SRCCOPY);
    }
    imageDc_ = std::move(dc);
    image_ = std::move(grown);
}

void Form::Cls() {
    if (std::uint32_t* bits = image_.bits()) {
        os().GdiFlush();
        std::fill(bits, bits + static_cast<std::size_t>(image_.width()) * image_.height(),
                  bgraOf(design_.backColor));
    }
    invalidate();
}

void Form::PaintPicture(const Picture& picture, double x, double y) {
    if (!picture || !imageDc_) return;
    MemoryDC source(picture.handle());
    os().BitBlt(imageDc_.get(), toPixelsX(x), toPixelsY(y), picture.width(), picture.height(),
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
    return os().CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, toPixelsX(left),
                                toPixelsY(top), toPixelsX(width), toPixelsY(height), hwnd_, id);
}

std::intptr_t Form::handleMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    Hwnd hwnd = hwnd_;
    if (int button = pressedButton(msg)) {
        Form_MouseDown(button, shiftState(wParam), twipsX(lParam), twipsY(lParam));
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
    case WM_CLOSE:
        Unload(*this, vbFormControlMenu);
        return 0;
    case WM_DISPLAYCHANGE:
        onDisplayChange();
        break;
    default:
        if (msg >= WM_APP && msg <= 0xBFFF) {
            onAppMessage(msg, wParam, lParam);
            return 0;
        }
        break;
    case WM_DPICHANGED:
        if (lParam)
            onDpiChanged(static_cast<int>(wParam & 0xFFFF), *reinterpret_cast<const Rect*>(lParam));
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PaintStruct paint;
        Hdc dc = os().BeginPaint(hwnd, &paint);
        Rect client;
        os().GetClientRect(hwnd, &client);
        if (imageDc_) {
            os().BitBlt(dc, 0, 0, client.right, client.bottom, imageDc_.get(), 0, 0, SRCCOPY);
        } else {
            const OwnedGdiObject brush(os().CreateSolidBrush(design_.backColor));
            os().FillRect(dc, &client, brush.get());
        }
        onPaint(dc);
        os().EndPaint(hwnd, &paint);
        return 0;
    }
    }
    return os().DefWindowProcW(hwnd, msg, wParam, lParam);
}

} // namespace ep
