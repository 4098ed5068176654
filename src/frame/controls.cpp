#include "frame/controls.h"

#include "frame/toolkit_windows.h"

#include <utility>

namespace ep {

using namespace toolkit;

PictureBox::PictureBox(Form& owner, double left, double top, double width, double height,
                       Picture picture)
    : owner_(owner), left_(left), top_(top), width_(width), height_(height),
      picture_(std::move(picture)) {
    owner_.registerPictureBox(this);
}

PictureBox::~PictureBox() { forgetWindow(); }

// The window goes with its parent; only the toolkit's note of it is dropped here.
void PictureBox::forgetWindow() {
    if (hwnd_) toolkit::forgetWindow(std::exchange(hwnd_, 0));
}

void PictureBox::create() {
    const std::uint32_t style = WS_CHILD | WS_CLIPSIBLINGS | (visible_ ? WS_VISIBLE : 0);
    const int left = toPixelsX(left_), top = toPixelsY(top_);
    hwnd_ = makeWindow(*this, 0, kPictureBoxClass, L"", style,
                       Rect{left, top, left + toPixelsX(width_), top + toPixelsY(height_)},
                       owner_.hWnd());
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
        if (MouseDown) MouseDown(button, shiftState(wParam), twipsX(lParam), twipsY(lParam));
        return 0;
    }
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PaintStruct paint;
        Hdc dc = os().BeginPaint(hwnd_, &paint);
        Rect client;
        os().GetClientRect(hwnd_, &client);
        // Where the picture does not reach, the box shows the form's background, the same
        // face colour as the cells, whatever the system's colours are.
        const OwnedGdiObject background(os().CreateSolidBrush(owner_.BackColor()));
        os().FillRect(dc, &client, background.get());
        if (const Picture& shown = copies_.at(picture_, placement_, scale_)) {
            MemoryDC source(shown.handle());
            os().BitBlt(dc, 0, 0, shown.width(), shown.height(), source.get(), 0, 0, SRCCOPY);
        }
        os().EndPaint(hwnd_, &paint);
        return 0;
    }
    default:
        return os().DefWindowProcW(hwnd_, msg, wParam, lParam);
    }
}

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

} // namespace ep
