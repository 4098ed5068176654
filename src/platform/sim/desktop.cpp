// Windows, messages, input, foreground and time of the simulated desktop.
#include "platform/sim/desktop_state.h"

#include <algorithm>
#include <cstdlib>
#include <system_error>

namespace ep::sim {

namespace {

bool contains(const Rect& r, Point pt) {
    return pt.x >= r.left && pt.x < r.right && pt.y >= r.top && pt.y < r.bottom;
}

std::uintptr_t makeWParam(std::uintptr_t lo, std::uintptr_t hi) {
    return (lo & 0xFFFF) | ((hi & 0xFFFF) << 16);
}

bool isKeyMessage(std::uint32_t msg) { return msg >= WM_KEYDOWN && msg <= 0x0109; }

std::uint16_t plainKey(std::uint16_t vk) {
    switch (vk) {
    case 0xA0:
    case 0xA1:
        return VK_SHIFT;
    case 0xA2:
    case 0xA3:
        return VK_CONTROL;
    case 0xA4:
    case 0xA5:
        return VK_MENU;
    default:
        return vk;
    }
}

// The character a key makes on a US keyboard, 0 for none.
wchar_t charForKey(std::uint16_t vk, bool shift, bool ctrl) {
    if (vk >= 'A' && vk <= 'Z') {
        if (ctrl) return wchar_t(vk - 'A' + 1);
        return shift ? wchar_t(vk) : wchar_t(vk - 'A' + 'a');
    }
    if (ctrl) return 0;
    if (vk >= '0' && vk <= '9') return shift ? L")!@#$%^&*("[vk - '0'] : wchar_t(vk);
    switch (vk) {
    case VK_SPACE:
        return L' ';
    case VK_RETURN:
        return L'\r';
    case VK_BACK:
        return L'\b';
    case VK_TAB:
        return L'\t';
    case VK_ESCAPE:
        return 0x1B;
    case 0xBA:
        return shift ? L':' : L';';
    case 0xBB:
        return shift ? L'+' : L'=';
    case 0xBC:
        return shift ? L'<' : L',';
    case 0xBD:
        return shift ? L'_' : L'-';
    case 0xBE:
        return shift ? L'>' : L'.';
    case 0xBF:
        return shift ? L'?' : L'/';
    case 0xC0:
        return shift ? L'~' : L'`';
    case 0xDB:
        return shift ? L'{' : L'[';
    case 0xDC:
        return shift ? L'|' : L'\\';
    case 0xDD:
        return shift ? L'}' : L']';
    case 0xDE:
        return shift ? L'"' : L'\'';
    default:
        return 0;
    }
}

std::uint32_t buttonMessage(int button, bool up, bool dbl) {
    std::uint32_t base = button == 2   ? WM_RBUTTONDOWN
                         : button == 4 ? WM_MBUTTONDOWN
                                       : WM_LBUTTONDOWN;
    return up ? base + 1 : dbl ? base + 2 : base;
}

} // namespace

// ---------------------------------------------------------------- construction

Desktop::Desktop(int screenWidth, int screenHeight) : s_(std::make_unique<State>(*this)) {
    s_->monitors.push_back({0, 0, screenWidth, screenHeight});
    s_->monitorDpi.push_back(96);
    std::string pattern = (std::filesystem::temp_directory_path() / "edgepad-sim-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("sim: cannot create a temporary folder");
    s_->rootFolder = pattern;
    std::filesystem::create_directories(s_->hostPath(L"C:\\Tools"));
    std::filesystem::create_directories(s_->hostPath(L"C:\\Windows"));
    std::filesystem::create_directories(s_->hostPath(s_->roamingAppData));

    GdiObject bitmap;
    bitmap.kind = GdiKind::Bitmap;
    bitmap.stock = true;
    bitmap.width = bitmap.height = 1;
    bitmap.pixels.assign(1, 0);
    s_->stockBitmap = s_->addGdi(std::move(bitmap));
    GdiObject brush;
    brush.kind = GdiKind::Brush;
    brush.stock = true;
    brush.color = RGB(255, 255, 255);
    s_->stockBrush = s_->addGdi(std::move(brush));
    GdiObject font;
    font.kind = GdiKind::Font;
    font.stock = true;
    s_->stockFont = s_->addGdi(std::move(font));
    setPlatform(this);
}

Desktop::~Desktop() {
    setPlatform(nullptr);
    std::error_code ignored;
    std::filesystem::remove_all(s_->rootFolder, ignored);
}

// ---------------------------------------------------------------- model helpers

Window* Desktop::State::find(Hwnd hwnd) const {
    auto it = windows.find(hwnd);
    return it == windows.end() ? nullptr : it->second.get();
}

Window* Desktop::State::root(Window* w) const {
    while (w && w->parent)
        w = find(w->parent);
    return w;
}

bool Desktop::State::isAncestor(Hwnd ancestor, Hwnd hwnd) const {
    for (Window* w = find(hwnd); w; w = w->parent ? find(w->parent) : nullptr)
        if (w->hwnd == ancestor) return true;
    return false;
}

Insets Desktop::State::frame(std::uint32_t style, std::uint32_t exStyle, int dpi) const {
    // A simple fixed frame: 3 px border, 20 px caption at 96 DPI, each scaled with the DPI as
    // MulDiv does it.
    const auto scaled = [dpi](int v) { return (v * dpi + 48) / 96; };
    Insets in;
    if ((style & (WS_BORDER | WS_DLGFRAME | WS_THICKFRAME)) || (exStyle & WS_EX_DLGMODALFRAME))
        in = {scaled(3), scaled(3), scaled(3), scaled(3)};
    if ((style & WS_CAPTION) == WS_CAPTION) in.top += scaled(20);
    return in;
}

Rect Desktop::State::screenRect(const Window& w) const {
    if (!w.parent) return w.rect;
    Window* parent = find(w.parent);
    Point origin = parent ? clientOrigin(*parent) : Point{};
    return {w.rect.left + origin.x, w.rect.top + origin.y, w.rect.right + origin.x,
            w.rect.bottom + origin.y};
}

Point Desktop::State::clientOrigin(const Window& w) const {
    Rect r = screenRect(w);
    Insets in = frame(w.style, w.exStyle, w.dpi);
    return {r.left + in.left, r.top + in.top};
}

Rect Desktop::State::clientRect(const Window& w) const {
    Insets in = frame(w.style, w.exStyle, w.dpi);
    return {0, 0, std::max(0, w.rect.right - w.rect.left - in.left - in.right),
            std::max(0, w.rect.bottom - w.rect.top - in.top - in.bottom)};
}

bool Desktop::State::visible(const Window& w) const {
    for (const Window* p = &w; p; p = p->parent ? find(p->parent) : nullptr)
        if (!(p->style & WS_VISIBLE)) return false;
    return true;
}

bool Desktop::State::enabled(const Window& w) const {
    for (const Window* p = &w; p; p = p->parent ? find(p->parent) : nullptr)
        if (p->style & WS_DISABLED) return false;
    return true;
}

std::vector<Hwnd>& Desktop::State::siblings(Window& w) {
    if (w.parent)
        if (Window* parent = find(w.parent)) return parent->children;
    return topLevel;
}

void Desktop::State::placeTopLevel(Hwnd hwnd, bool topmost) {
    Window* w = find(hwnd);
    if (!w) return;
    std::erase(topLevel, hwnd);
    if (topmost)
        w->exStyle |= WS_EX_TOPMOST;
    else
        w->exStyle &= ~WS_EX_TOPMOST;
    auto at = topLevel.begin();
    if (!topmost)
        at = std::find_if(topLevel.begin(), topLevel.end(), [this](Hwnd h) {
            Window* other = find(h);
            return !other || !(other->exStyle & WS_EX_TOPMOST);
        });
    topLevel.insert(at, hwnd);
}

void Desktop::State::raise(Hwnd hwnd) {
    Window* w = find(hwnd);
    if (!w) return;
    if (w->parent) {
        auto& list = siblings(*w);
        std::erase(list, hwnd);
        list.insert(list.begin(), hwnd);
    } else {
        placeTopLevel(hwnd, w->exStyle & WS_EX_TOPMOST);
    }
}

void Desktop::State::resizeSurface(Window& w) {
    Rect client = clientRect(w);
    int width = client.right, height = client.bottom;
    if (width == w.surfaceWidth && height == w.surfaceHeight) return;
    std::vector<std::uint32_t> surface(std::size_t(width) * std::size_t(height), 0);
    for (int y = 0; y < std::min(height, w.surfaceHeight); ++y)
        for (int x = 0; x < std::min(width, w.surfaceWidth); ++x)
            surface[std::size_t(y) * width + x] = w.surface[std::size_t(y) * w.surfaceWidth + x];
    w.surface = std::move(surface);
    w.surfaceWidth = width;
    w.surfaceHeight = height;
    w.invalid = w.erase = true;
}

Hwnd Desktop::State::hitTest(Point pt) const {
    auto regionAllows = [this](const Window& w, const Rect& r, Point p) {
        if (!w.region) return true;
        const GdiObject* rgn = gdiObject(w.region, GdiKind::Region);
        return rgn && rgn->region.contains(p.x - r.left, p.y - r.top);
    };
    for (Hwnd h : topLevel) {
        Window* w = find(h);
        if (!w || !(w->style & WS_VISIBLE) || (w->style & WS_MINIMIZE)) continue;
        Rect r = screenRect(*w);
        if (!contains(r, pt) || !regionAllows(*w, r, pt)) continue;
        Window* current = w;
        for (;;) {
            Window* next = nullptr;
            for (Hwnd c : current->children) {
                Window* child = find(c);
                if (!child || !(child->style & WS_VISIBLE) || (child->style & WS_DISABLED))
                    continue;
                Rect cr = screenRect(*child);
                if (contains(cr, pt) && regionAllows(*child, cr, pt)) {
                    next = child;
                    break;
                }
            }
            if (!next) break;
            current = next;
        }
        return current->hwnd;
    }
    return 0;
}

bool Desktop::State::canActivate(const Window& w) const {
    return (w.style & WS_VISIBLE) && !(w.style & (WS_DISABLED | WS_MINIMIZE)) &&
           !(w.exStyle & (WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE));
}

Hwnd Desktop::State::nextActivatable(Hwnd except) const {
    if (Window* w = find(except))
        if (Window* owner = find(w->owner); owner && canActivate(*owner)) return owner->hwnd;
    for (Hwnd h : topLevel) {
        Window* w = find(h);
        if (h != except && w && canActivate(*w)) return h;
    }
    return 0;
}

// ---------------------------------------------------------------- messages

std::intptr_t Desktop::State::send(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                                   std::intptr_t lParam) {
    Window* w = find(hwnd);
    if (!w) return 0;
    ++activity;
    switch (w->kind) {
    case WindowKind::Foreign:
        receiveForeign(*w, msg, wParam, lParam);
        return 0;
    case WindowKind::Native:
        return nativeProc(hwnd, msg, wParam, lParam);
    case WindowKind::Program:
        if (!w->proc) return defProc(hwnd, msg, wParam, lParam);
        return w->proc(hwnd, msg, wParam, lParam);
    }
    return 0;
}

bool Desktop::State::post(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                          std::intptr_t lParam) {
    if (hwnd) {
        Window* w = find(hwnd);
        if (!w) return false;
        if (w->kind == WindowKind::Foreign) {
            receiveForeign(*w, msg, wParam, lParam);
            return true;
        }
    }
    queue.push_back(Msg{hwnd, msg, wParam, lParam, std::uint32_t(clock), cursorPos});
    ++activity;
    // Another thread waiting in its loop takes it at once.
    if (const std::uint32_t thread = threadOf(hwnd); hwnd && thread != currentThread)
        runThreadMessages(thread);
    return true;
}

void Desktop::State::receiveForeign(Window& w, std::uint32_t msg, std::uintptr_t wParam,
                                    std::intptr_t lParam) {
    Hwnd hwnd = w.hwnd;
    w.received.push_back(Msg{hwnd, msg, wParam, lParam, std::uint32_t(clock), cursorPos});
    // What the other program's default window procedure would do.
    if (msg == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE) {
        w.received.push_back(Msg{hwnd, WM_CLOSE, 0, 0, std::uint32_t(clock), cursorPos});
        closeForeign(hwnd);
    } else if (msg == WM_CLOSE) {
        closeForeign(hwnd);
    }
}

void Desktop::State::closeForeign(Hwnd hwnd) {
    if (Window* w = find(hwnd); w && !w->ignoresClose) destroy(hwnd);
}

std::intptr_t Desktop::State::defProc(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                                      std::intptr_t lParam) {
    Window* w = find(hwnd);
    if (!w) return 0;
    switch (msg) {
    case WM_CLOSE:
        destroy(hwnd);
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) send(hwnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_MOUSEACTIVATE:
        if (w->parent)
            if (std::intptr_t r = send(w->parent, msg, wParam, lParam)) return r;
        return MA_ACTIVATE_;
    case WM_PAINT: {
        PaintStruct ps;
        beginPaint(hwnd, &ps);
        endPaint(ps);
        return 0;
    }
    case WM_ERASEBKGND: {
        if (!w->background) return 0;
        Hbrush brush = w->background;
        ColorRef color = brush <= 31 ? sysColor(int(brush) - 1) : 0;
        if (brush > 31) {
            const GdiObject* b = gdiObject(brush, GdiKind::Brush);
            if (!b) return 0;
            color = b->color;
        }
        fillWindow(*w, rgbOf(color));
        return 1;
    }
    case WM_SYSKEYDOWN:
        if (wParam == VK_F4 && (lParam & (1 << 29)))
            if (Window* top = root(w)) send(top->hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    case WM_CTLCOLORSTATIC:
        return sysBrush(COLOR_BTNFACE);
    case WM_SETICON: {
        Hicon& slot = wParam == ICON_SMALL ? w->smallIcon : w->bigIcon;
        return std::exchange(slot, Hicon(lParam));
    }
    case WM_SETTEXT_:
        w->title = lParam ? toAnsi(reinterpret_cast<const wchar_t*>(lParam)) : std::string();
        return 1;
    default:
        return 0;
    }
}

std::intptr_t Desktop::State::nativeProc(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                                         std::intptr_t lParam) {
    Window* w = find(hwnd);
    if (!w) return 0;
    auto clicked = [this, hwnd] {
        Window* button = find(hwnd);
        if (!button) return;
        Hwnd parent = button->parent ? button->parent : button->owner;
        send(parent, WM_COMMAND, makeWParam(std::uintptr_t(button->id), BN_CLICKED), hwnd);
    };
    if (lower(w->className) == "button") {
        switch (msg) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            w->buttonPressed = true;
            focusWindow = hwnd;
            return 0;
        case WM_LBUTTONUP:
            if (!w->buttonPressed) return 0;
            w->buttonPressed = false;
            clicked();
            return 0;
        case WM_KEYDOWN:
            if (wParam == VK_SPACE) w->buttonPressed = true;
            return 0;
        case WM_KEYUP:
            if (wParam != VK_SPACE || !w->buttonPressed) return 0;
            w->buttonPressed = false;
            clicked();
            return 0;
        case BM_CLICK:
            clicked();
            return 0;
        default:
            break;
        }
    }
    switch (msg) {
    case STM_SETICON: {
        std::uintptr_t previous = w->controlIcon;
        w->controlIcon = wParam;
        w->invalid = true;
        return std::intptr_t(previous);
    }
    case WM_SETFONT:
        w->font = wParam;
        return 0;
    case WM_PAINT:
        w->invalid = w->erase = false;
        return 0;
    case WM_ERASEBKGND:
        fillWindow(*w, rgbOf(sysColor(COLOR_BTNFACE)));
        return 1;
    default:
        return defProc(hwnd, msg, wParam, lParam);
    }
}

std::intptr_t Desktop::State::dispatch(const Msg& msg) {
    ++activity;
    if (!msg.hwnd || !find(msg.hwnd)) return 0;
    std::intptr_t result = send(msg.hwnd, msg.message, msg.wParam, msg.lParam);
    // A WM_PAINT handler that does not validate would be sent WM_PAINT forever.
    if (msg.message == WM_PAINT)
        if (Window* w = find(msg.hwnd)) w->invalid = w->erase = false;
    return result;
}

bool Desktop::State::matches(const Msg& msg, Hwnd hwnd, std::uint32_t min,
                             std::uint32_t max) const {
    if (msg.hwnd ? threadOf(msg.hwnd) != currentThread : currentThread != firstThreadId)
        return false;
    if (hwnd == -1 && msg.hwnd != 0) return false;
    if (hwnd != 0 && hwnd != -1 && !isAncestor(hwnd, msg.hwnd)) return false;
    return (min == 0 && max == 0) || (msg.message >= min && msg.message <= max);
}

Hwnd Desktop::State::paintPending(Hwnd filter) const {
    for (const auto& [hwnd, w] : windows)
        if (w->invalid && w->kind != WindowKind::Foreign && visible(*w) &&
            (filter == 0 || isAncestor(filter, hwnd)))
            return hwnd;
    return 0;
}

bool Desktop::State::takeMessage(Msg* msg, Hwnd hwnd, std::uint32_t min, std::uint32_t max,
                                 bool remove) {
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        if (!matches(*it, hwnd, min, max)) continue;
        *msg = *it;
        if (remove) queue.erase(it);
        return true;
    }
    bool anyRange = min == 0 && max == 0;
    if (currentThread != firstThreadId) return false; // its quit is the loop's to see
    if (quit && (anyRange || (WM_QUIT >= min && WM_QUIT <= max))) {
        *msg = Msg{0, WM_QUIT, std::uintptr_t(quitExitCode), 0, std::uint32_t(clock), cursorPos};
        if (remove) quit = false;
        return true;
    }
    if (anyRange || (WM_PAINT >= min && WM_PAINT <= max)) {
        if (Hwnd p = paintPending(hwnd == -1 ? 0 : hwnd); p && hwnd != -1) {
            *msg = Msg{p, WM_PAINT, 0, 0, std::uint32_t(clock), cursorPos};
            return true;
        }
    }
    return false;
}

void Desktop::State::pumpAll() {
    // The test plays the main loop; a quit request stays visible to it (quitPosted).
    for (long guard = 0;; ++guard) {
        if (guard > 1000000) throw std::runtime_error("sim: the message queue never empties");
        Msg msg;
        auto first = std::find_if(queue.begin(), queue.end(),
                                  [&](const Msg& m) { return threadOf(m.hwnd) == firstThreadId; });
        if (first != queue.end()) {
            msg = *first;
            queue.erase(first);
        } else if (Hwnd hwnd = paintPending(0)) {
            msg = Msg{hwnd, WM_PAINT, 0, 0, std::uint32_t(clock), cursorPos};
        } else {
            return;
        }
        translate(msg);
        dispatch(msg);
    }
}

void Desktop::State::paintNow(Hwnd hwnd) {
    Window* w = find(hwnd);
    if (w && w->invalid && w->kind != WindowKind::Foreign && visible(*w))
        dispatch(Msg{hwnd, WM_PAINT, 0, 0, std::uint32_t(clock), cursorPos});
}

void Desktop::State::removeQueued(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                                  bool anyWParam) {
    std::erase_if(queue, [&](const Msg& m) {
        return m.hwnd == hwnd && (msg == 0 || m.message == msg) &&
               (anyWParam || m.wParam == wParam);
    });
}

bool Desktop::State::translate(const Msg& msg) {
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return isKeyMessage(msg.message);
    wchar_t ch = 0;
    if (msg.wParam == VK_PACKET_)
        ch = wchar_t((std::uint32_t(msg.lParam) >> 16) & 0xFFFF);
    else
        ch = charForKey(std::uint16_t(msg.wParam), down[VK_SHIFT], down[VK_CONTROL]);
    if (ch) {
        std::uint32_t charMsg = msg.message == WM_SYSKEYDOWN ? 0x0106 : WM_CHAR; // WM_SYSCHAR
        queue.push_front(Msg{msg.hwnd, charMsg, std::uintptr_t(ch), msg.lParam, msg.time, msg.pt});
    }
    return true;
}

// ---------------------------------------------------------------- window life

void Desktop::State::hide(Hwnd hwnd) {
    Window* w = find(hwnd);
    if (!w) return;
    w->style &= ~WS_VISIBLE;
    if (focusWindow && isAncestor(hwnd, focusWindow)) focusWindow = 0;
    if (fg == hwnd) {
        Hwnd next = nextActivatable(hwnd);
        fg = 0;
        if (next) setForeground(next, false);
    }
}

void Desktop::State::destroy(Hwnd hwnd) {
    Window* w = find(hwnd);
    if (!w) return;
    if (w->kind != WindowKind::Foreign) send(hwnd, WM_DESTROY, 0, 0);
    if (Window* again = find(hwnd)) {
        std::vector<Hwnd> children = again->children;
        for (Hwnd child : children)
            destroy(child);
    }
    std::vector<Hwnd> owned;
    for (const auto& [h, other] : windows)
        if (other->owner == hwnd) owned.push_back(h);
    for (Hwnd h : owned)
        destroy(h);
    w = find(hwnd);
    if (!w) return;
    if (w->kind != WindowKind::Foreign) send(hwnd, WM_NCDESTROY_, 0, 0);
    w = find(hwnd);
    if (!w) return;
    std::erase_if(timers, [hwnd](const auto& t) { return t.first.first == hwnd; });
    removeQueued(hwnd, 0, 0, true);
    if (w->region) systemDeletesRegion(w->region);
    w->region = 0;
    if (w->kind == WindowKind::Foreign) closedLogs.emplace_back(hwnd, w->received);
    Hwnd next = fg == hwnd ? nextActivatable(hwnd) : 0;
    bool wasForeground = fg == hwnd;
    std::erase(siblings(*w), hwnd);
    if (focusWindow == hwnd) focusWindow = 0;
    if (pendingFg == hwnd) pendingFg = 0;
    for (Hwnd& target : pressTarget)
        if (target == hwnd) target = 0;
    windows.erase(hwnd);
    if (wasForeground) {
        fg = 0;
        if (next) setForeground(next, false);
    }
}

void Desktop::State::minimize(Hwnd hwnd) {
    Window* w = find(hwnd);
    if (!w || (w->style & WS_MINIMIZE)) return;
    w->restoreRect = w->rect;
    w->rect = {iconicPosition, iconicPosition, iconicPosition + 160, iconicPosition + 28};
    w->style |= WS_MINIMIZE;
    w->windowMenuOpen = false;
    // The next window takes the activation; with none (this desktop has no shell window to
    // take it) the minimised window keeps it.
    if (fg == hwnd)
        if (Hwnd next = nextActivatable(hwnd)) setForeground(next, false);
}

void Desktop::State::restore(Hwnd hwnd) {
    Window* w = find(hwnd);
    if (!w || !(w->style & WS_MINIMIZE)) return;
    w->rect = w->restoreRect;
    w->style &= ~WS_MINIMIZE;
    w->invalid = w->erase = true;
}

// ---------------------------------------------------------------- foreground

void Desktop::State::setForeground(Hwnd hwnd, bool byClick) {
    pendingFg = 0;
    if (hwnd == fg) return;
    Hwnd old = fg;
    fg = hwnd;
    if (Window* w = find(old); w && w->kind == WindowKind::Program)
        send(old, WM_ACTIVATE, WA_INACTIVE_, hwnd);
    if (Window* w = find(hwnd); w && w->kind != WindowKind::Foreign) {
        if (!focusWindow || !isAncestor(hwnd, focusWindow)) focusWindow = hwnd;
        send(hwnd, WM_ACTIVATE, byClick ? WA_CLICKACTIVE_ : WA_ACTIVE_, old);
    }
}

void Desktop::State::resolvePendingForeground() {
    if (pendingFg && clock >= pendingDue) {
        Hwnd h = pendingFg;
        pendingFg = 0;
        if (find(h)) setForeground(h, false);
    }
}

void Desktop::State::resolveCrossingNews() {
    if (!crossingNewsPending || clock < crossingNewsDue) return;
    crossingNewsPending = false;
    lastInput = crossingNewsDue;
    for (int vk = 0; vk < 256; ++vk)
        if (!heldByUser[vk]) down[vk] = false;
}

bool Desktop::State::requestForeground(Hwnd hwnd) {
    Window* w = root(find(hwnd));
    if (!w || refuse) return false;
    hwnd = w->hwnd;
    raise(hwnd); // a minimised window stays minimised
    if (lostForegroundChanges > 0) {
        --lostForegroundChanges;
        return true;
    }
    if (lag == 0) {
        setForeground(hwnd, false);
    } else if (pendingFg != hwnd) { // asking again does not put off a switch under way
        pendingFg = hwnd;
        pendingDue = clock + lag;
    }
    return true;
}

// ---------------------------------------------------------------- time

void Desktop::State::postDueTimers() {
    for (auto& entry : timers) {
        // Named apart, not bound: clang before 16 cannot capture a structured binding.
        const auto& key = entry.first;
        auto& timer = entry.second;
        if (timer.due > clock) continue;
        bool pending = std::any_of(queue.begin(), queue.end(), [&](const Msg& m) {
            return m.hwnd == key.first && m.message == WM_TIMER && m.wParam == key.second;
        });
        if (!pending)
            queue.push_back(
                Msg{key.first, WM_TIMER, key.second, 0, std::uint32_t(clock), cursorPos});
        while (timer.due <= clock)
            timer.due += timer.interval;
    }
}

void Desktop::State::runDueHandActs() {
    while (!handActs.empty() && handActs.begin()->first <= clock) {
        const std::function<void()> act = std::move(handActs.begin()->second);
        handActs.erase(handActs.begin());
        const bool wasIdle = inIdle;
        inIdle = true; // queued for the program, not dispatched from inside its wait
        try {
            act();
        } catch (...) {
            inIdle = wasIdle;
            throw;
        }
        inIdle = wasIdle;
    }
}

void Desktop::State::runTo(std::uint64_t target, bool dispatchNow) {
    for (;;) {
        tellUnseenMove();
        resolvePendingForeground();
        runDueHandActs();
        postDueTimers();
        if (dispatchNow) pumpAll();
        if (clock >= target) return;
        std::uint64_t next = target;
        for (const auto& [key, timer] : timers)
            if (timer.due > clock) next = std::min(next, timer.due);
        if (pendingFg && pendingDue > clock) next = std::min(next, pendingDue);
        if (!handActs.empty()) next = std::min(next, std::max(clock, handActs.begin()->first));
        clock = next;
    }
}

// ---------------------------------------------------------------- input

void Desktop::State::keyEvent(std::uint16_t vk, bool up, wchar_t unicode, std::uint16_t scan,
                              std::uint32_t flags, bool viaSendInput, bool injectedByProgram) {
    resolvePendingForeground();
    resolveCrossingNews();
    Hwnd target = find(fg) ? fg : 0;
    std::uint32_t lParam = 1;
    if (unicode)
        lParam |= std::uint32_t(unicode & 0xFFFF) << 16;
    else
        lParam |= std::uint32_t(scan & 0xFF) << 16;
    if (flags & KEYEVENTF_EXTENDEDKEY) lParam |= 1u << 24;
    // Input a program injects into a window of a process that runs at a higher integrity level
    // is dropped, and the program is not told.
    lastInput = clock;
    if (injectedByProgram && target &&
        integrityOf(find(target)->processId) > integrityOf(ownProcessId)) {
        injected.push_back(KeyEvent{target, vk, up, unicode, flags, viaSendInput, lParam});
        return;
    }
    std::uint16_t key = plainKey(vk);
    bool wasDown = key && down[key & 0xFF];
    if (key) {
        if (!up && !down[key & 0xFF]) toggled[key & 0xFF] = !toggled[key & 0xFF];
        down[key & 0xFF] = !up;
        down[vk & 0xFF] = !up;
    }
    bool alt = down[VK_MENU] || key == VK_MENU;
    if (alt) lParam |= 1u << 29;
    if (up || wasDown) lParam |= 1u << 30;
    if (up) lParam |= 1u << 31;
    KeyEvent event{target, vk, up, unicode, flags, viaSendInput, lParam};
    if (injectedByProgram) injected.push_back(event);
    allKeys.push_back(event);
    Window* w = find(target);
    if (!w) return;
    if (w->kind == WindowKind::Foreign) {
        // The other program's default handling of the keys Edgepad sends it.
        if (up || key == VK_MENU || key == VK_SHIFT || key == VK_CONTROL) return;
        if (w->windowMenuOpen) {
            w->windowMenuOpen = false;
            if (key == 'N') minimize(target);
            if (key == 'C') receiveForeign(*w, WM_SYSCOMMAND, SC_CLOSE, 0);
            return;
        }
        if (alt && key == VK_F4) {
            receiveForeign(*w, WM_CLOSE, 0, 0);
        } else if (alt && key == VK_SPACE) {
            w->windowMenuOpen = true;
        }
        return;
    }
    Hwnd dest = focusWindow && isAncestor(target, focusWindow) ? focusWindow : target;
    bool sys = (alt || key == VK_F1 + 9) && !down[VK_CONTROL];
    std::uint32_t msg = up ? (sys ? WM_SYSKEYUP : WM_KEYUP) : (sys ? WM_SYSKEYDOWN : WM_KEYDOWN);
    post(dest, msg, vk ? vk : VK_PACKET_, std::intptr_t(lParam));
}

void Desktop::State::mouse(int button, int x, int y, bool up, bool dbl) {
    self.setCursor(x, y);
    int index = button == 2 ? 1 : button == 4 ? 2 : 0;
    std::uint8_t vk = button == 2 ? 0x02 : button == 4 ? 0x04 : 0x01;
    down[vk] = !up;
    heldByUser[vk] = !up;
    tellInput(buttonMessage(button, up, false));
    Hwnd hwnd = hitTest(cursorPos);
    if (up && pressTarget[index] && find(pressTarget[index])) {
        Window* pressed = find(pressTarget[index]);
        if (pressed->kind == WindowKind::Native) hwnd = pressed->hwnd; // buttons capture
    }
    pressTarget[index] = up ? 0 : hwnd;
    Window* w = find(hwnd);
    if (!w) return;
    Window* top = root(w);
    bool useDbl = dbl && (w->classStyle & CS_DBLCLKS);
    std::uint32_t msg = buttonMessage(button, up, useDbl);
    Point origin = clientOrigin(*w);
    std::uintptr_t keys = (down[0x01] ? MK_LBUTTON : 0) | (down[0x02] ? MK_RBUTTON : 0) |
                          (down[0x04] ? MK_MBUTTON : 0) | (down[VK_SHIFT] ? MK_SHIFT : 0) |
                          (down[VK_CONTROL] ? MK_CONTROL : 0);
    std::intptr_t lParam = makeLParam(cursorPos.x - origin.x, cursorPos.y - origin.y);
    if (w->kind == WindowKind::Foreign) {
        if (!up) {
            restore(top->hwnd);
            raise(top->hwnd);
            setForeground(top->hwnd, true);
        }
        if ((w = find(hwnd))) receiveForeign(*w, msg, keys, lParam);
        return;
    }
    if (!enabled(*w)) return;
    if (!up && !useDbl && top->hwnd != fg) {
        Hwnd topHwnd = top->hwnd;
        std::intptr_t r = send(hwnd, WM_MOUSEACTIVATE, topHwnd, makeLParam(1, int(msg)));
        Window* t = find(topHwnd);
        bool activate = r != MA_NOACTIVATE && r != MA_NOACTIVATEANDEAT_;
        if (t && activate && !(t->exStyle & WS_EX_NOACTIVATE)) {
            raise(topHwnd);
            setForeground(topHwnd, true);
        }
        if (r == MA_ACTIVATEANDEAT_ || r == MA_NOACTIVATEANDEAT_ || !find(hwnd)) return;
    }
    post(hwnd, msg, keys, lParam);
    pumpIfAllowed();
}

// ---------------------------------------------------------------- test-facing API

void Desktop::setTwipsPerPixel(int twips) { setDpi(1440 / twips); }

void Desktop::setDpi(int dpi) {
    s_->systemDpi = dpi;
    s_->newMonitorDpi = dpi;
    for (int& each : s_->monitorDpi) each = dpi;
}

void Desktop::setSystemDpi(int dpi) { s_->systemDpi = dpi; }

// The user changes the scale of one monitor: each of the program's top-level windows on it
// is told with WM_DPICHANGED, its frame already drawn at the new DPI, and suggested a
// rectangle at the same place whose client area is scaled with the DPI.
void Desktop::setMonitorDpi(int index, int dpi) {
    s_->monitorDpi.at(std::size_t(index)) = dpi;
    if (!s_->processAware) return;
    const std::vector<Hwnd> windows = s_->topLevel;
    for (Hwnd hwnd : windows) {
        Window* w = s_->find(hwnd);
        if (!w || w->kind != WindowKind::Program || w->dpi == dpi) continue;
        const Point centre{(w->rect.left + w->rect.right) / 2, (w->rect.top + w->rect.bottom) / 2};
        if (s_->monitorIndex(centre, MONITOR_DEFAULTTONEAREST) != index) continue;
        const Rect client = s_->clientRect(*w);
        const int oldDpi = w->dpi;
        const auto scaled = [&](int v) { return (v * dpi + oldDpi / 2) / oldDpi; };
        w->dpi = dpi;
        s_->resizeSurface(*w);
        const Insets in = s_->frame(w->style, w->exStyle, dpi);
        const Rect suggested{w->rect.left, w->rect.top,
                             w->rect.left + in.left + scaled(client.right) + in.right,
                             w->rect.top + in.top + scaled(client.bottom) + in.bottom};
        s_->send(hwnd, WM_DPICHANGED, makeWParam(std::uintptr_t(dpi), std::uintptr_t(dpi)),
                 reinterpret_cast<std::intptr_t>(&suggested));
    }
}

void Desktop::setProcessAwareAtStart(bool aware) { s_->processAware = aware; }
bool Desktop::processDpiAware() const { return s_->processAware; }
void Desktop::setDpiFunctionsMissing(bool missing) { s_->dpiFunctionsMissing = missing; }
void Desktop::setAwarenessContextV2Refused(bool refused) {
    s_->awarenessContextV2Refused = refused;
}
const std::vector<std::string>& Desktop::awarenessCalls() const { return s_->awarenessCalls; }

void Desktop::setScreenSize(int width, int height) { s_->monitors[0] = {0, 0, width, height}; }

void Desktop::addMonitorRight(int width, int height) {
    int right = 0;
    for (const Rect& m : s_->monitors)
        right = std::max(right, m.right);
    addMonitor({right, 0, right + width, height});
}

void Desktop::addMonitor(Rect screenRect) {
    s_->monitors.push_back(screenRect);
    s_->monitorDpi.push_back(s_->newMonitorDpi);
}

Hwnd Desktop::addWindow(const std::string& className, const std::string& title, Rect screenRect,
                        Hwnd parent, std::uint32_t style, std::uint32_t exStyle) {
    auto w = std::make_unique<Window>();
    Hwnd hwnd = s_->newHandle();
    w->hwnd = hwnd;
    w->kind = WindowKind::Foreign;
    w->className = className;
    w->title = title;
    w->style = style;
    w->exStyle = exStyle;
    Window* p = s_->find(parent);
    if (parent && !p)
        throw std::invalid_argument("sim: addWindow under a window that does not exist");
    if (p) {
        w->style |= WS_CHILD;
        w->parent = parent;
        w->processId = p->processId;
        w->dpi = p->dpi;
        Point origin = s_->clientOrigin(*p);
        w->rect = {screenRect.left - origin.x, screenRect.top - origin.y,
                   screenRect.right - origin.x, screenRect.bottom - origin.y};
        p->children.insert(p->children.begin(), hwnd);
        s_->windows[hwnd] = std::move(w);
    } else {
        w->processId = s_->nextProcessId++;
        w->rect = screenRect;
        w->dpi = s_->dpiAt(screenRect);
        s_->windows[hwnd] = std::move(w);
        s_->placeTopLevel(hwnd, exStyle & WS_EX_TOPMOST);
    }
    s_->resizeSurface(*s_->find(hwnd));
    return hwnd;
}

void Desktop::closeWindow(Hwnd hwnd) { s_->destroy(hwnd); }

void Desktop::setIgnoresClose(Hwnd hwnd, bool ignores) {
    if (Window* w = s_->find(hwnd)) w->ignoresClose = ignores;
}

void Desktop::setWindowTitle(Hwnd hwnd, const std::string& title) {
    if (Window* w = s_->find(hwnd)) w->title = title;
}

void Desktop::setWindowStyle(Hwnd hwnd, std::uint32_t style) {
    if (Window* w = s_->find(hwnd)) {
        w->style = style;
        s_->resizeSurface(*w);
    }
}

void Desktop::setOwner(Hwnd hwnd, Hwnd owner) {
    if (Window* w = s_->find(hwnd); w && !w->parent) w->owner = owner;
}

void Desktop::setVisibleFrameInsets(Hwnd hwnd, Rect insets) {
    if (Window* w = s_->find(hwnd)) w->frameInsets = insets;
}

void Desktop::setCloaked(Hwnd hwnd, std::uint32_t reason) {
    if (Window* w = s_->find(hwnd)) w->cloaked = reason;
}

void Desktop::setUserUiLanguage(std::uint16_t langId) { s_->uiLanguage = langId; }
void Desktop::setMessageFontFace(const std::wstring& face) { s_->messageFontFace = face; }
void Desktop::setTextWidthPercent(const std::wstring& face, int percent) {
    s_->textWidthPercent[face] = percent;
}

void Desktop::setDwmUnavailable(bool unavailable) { s_->dwmUnavailable = unavailable; }

void Desktop::broadcastDisplayChange() {
    const std::vector<Hwnd> windows = s_->topLevel;
    for (Hwnd hwnd : windows)
        if (s_->find(hwnd)) s_->send(hwnd, WM_DISPLAYCHANGE, 32, 0);
    s_->pumpIfAllowed();
}

void Desktop::moveWindow(Hwnd hwnd, Rect screenRect) {
    Window* w = s_->find(hwnd);
    if (!w) return;
    if (Window* p = s_->find(w->parent)) {
        Point origin = s_->clientOrigin(*p);
        screenRect = {screenRect.left - origin.x, screenRect.top - origin.y,
                      screenRect.right - origin.x, screenRect.bottom - origin.y};
    }
    w->rect = screenRect;
    s_->resizeSurface(*w);
}

Hwnd Desktop::findWindow(const std::string& className, const std::string& title) const {
    std::vector<Hwnd> pending = s_->topLevel;
    for (std::size_t i = 0; i < pending.size(); ++i) {
        Window* w = s_->find(pending[i]);
        if (!w) continue;
        if ((className.empty() || w->className == className) &&
            (title.empty() || w->title == title))
            return w->hwnd;
        pending.insert(pending.end(), w->children.begin(), w->children.end());
    }
    return 0;
}

std::vector<Hwnd> Desktop::topLevelWindows() const { return s_->topLevel; }

std::vector<Hwnd> Desktop::childWindows(Hwnd parent) const {
    Window* w = s_->find(parent);
    return w ? w->children : std::vector<Hwnd>{};
}

bool Desktop::windowExists(Hwnd hwnd) const { return s_->find(hwnd) != nullptr; }

std::vector<std::uint32_t> Desktop::messagesReceived(Hwnd hwnd) const {
    std::vector<std::uint32_t> ids;
    for (const Msg& m : messageLog(hwnd))
        ids.push_back(m.message);
    return ids;
}

std::vector<Msg> Desktop::messageLog(Hwnd hwnd) const {
    // Kept after the window is gone, so a test can see the WM_CLOSE that ended it.
    for (const auto& [h, log] : s_->closedLogs)
        if (h == hwnd) return log;
    Window* w = s_->find(hwnd);
    return w ? w->received : std::vector<Msg>{};
}

Rect Desktop::windowRect(Hwnd hwnd) const {
    Window* w = s_->find(hwnd);
    return w ? s_->screenRect(*w) : Rect{};
}

Hicon Desktop::windowIcon(Hwnd hwnd, std::uintptr_t type) const {
    Window* w = s_->find(hwnd);
    return !w ? 0 : type == ICON_SMALL ? w->smallIcon : w->bigIcon;
}

Hicon Desktop::controlIcon(Hwnd hwnd) const {
    Window* w = s_->find(hwnd);
    return w ? Hicon(w->controlIcon) : 0;
}

Point Desktop::iconSize(Hicon icon) const {
    auto it = s_->iconObjects.find(icon);
    return it == s_->iconObjects.end() ? Point{} : Point{it->second.width, it->second.height};
}

int Desktop::liveIcons() const {
    int n = 0;
    for (const auto& [icon, model] : s_->iconObjects)
        n += !model.shared;
    return n;
}

Hfont Desktop::windowFont(Hwnd hwnd) const {
    Window* w = s_->find(hwnd);
    return w ? Hfont(w->font) : 0;
}

int Desktop::fontHeight(Hfont font) const {
    const GdiObject* f = s_->gdiObject(font, GdiKind::Font);
    return f ? f->fontHeight : 0;
}

int Desktop::fontWeight(Hfont font) const {
    const GdiObject* f = s_->gdiObject(font, GdiKind::Font);
    return f ? f->fontWeight : 0;
}

std::wstring Desktop::fontFace(Hfont font) const {
    const GdiObject* f = s_->gdiObject(font, GdiKind::Font);
    return f ? f->faceName : std::wstring();
}

std::string Desktop::windowTitle(Hwnd hwnd) const {
    Window* w = s_->find(hwnd);
    return w ? w->title : std::string();
}

std::string Desktop::windowClass(Hwnd hwnd) const {
    Window* w = s_->find(hwnd);
    return w ? w->className : std::string();
}

std::uint32_t Desktop::windowStyle(Hwnd hwnd) const {
    Window* w = s_->find(hwnd);
    return w ? w->style : 0;
}

std::uint32_t Desktop::windowExStyle(Hwnd hwnd) const {
    Window* w = s_->find(hwnd);
    return w ? w->exStyle : 0;
}

bool Desktop::windowVisible(Hwnd hwnd) const {
    Window* w = s_->find(hwnd);
    return w && s_->visible(*w);
}

bool Desktop::windowIconic(Hwnd hwnd) const {
    Window* w = s_->find(hwnd);
    return w && (w->style & WS_MINIMIZE);
}

void Desktop::setCursor(int x, int y) {
    s_->cursorPos = {x, y};
    s_->callsUntilCursorMove = 0;
    s_->handMovedUnseen = false;
    s_->lastInput = s_->clock;
    s_->tellInput(WM_MOUSEMOVE);
}

Point Desktop::cursor() const { return s_->cursorPos; }

void Desktop::failCursorReads(bool fail) { s_->failCursor = fail; }
void Desktop::failWindowCreation(bool fail) { s_->failWindows = fail; }

void Desktop::moveCursorAfterCalls(std::uint64_t calls, int x, int y) {
    s_->callsUntilCursorMove = calls;
    s_->pendingCursor = {x, y};
    if (calls == 0) s_->cursorPos = {x, y};
}

void Desktop::press(int button, int x, int y) { s_->mouse(button, x, y, false, false); }

void Desktop::release(int button, int x, int y) { s_->mouse(button, x, y, true, false); }

void Desktop::click(int button, int x, int y) {
    press(button, x, y);
    release(button, x, y);
}

void Desktop::doubleClick(int x, int y) {
    click(1, x, y);
    secondClick(x, y);
}

void Desktop::secondClick(int x, int y) {
    s_->mouse(1, x, y, false, true);
    s_->mouse(1, x, y, true, false);
}

void Desktop::during(std::uint32_t afterMs, std::function<void()> act) {
    s_->handActs.emplace(s_->clock + afterMs, std::move(act));
}

void Desktop::State::userKey(std::uint16_t vk, bool up) {
    resolvePendingForeground();
    const Window* w = find(fg);
    const Hkl layout = layoutOfThread(mainThreadOf(w ? w->processId : ownProcessId));
    const std::uint32_t flags =
        (up ? KEYEVENTF_KEYUP : 0) | (sentWithE0(vk) ? KEYEVENTF_EXTENDEDKEY : 0);
    keyEvent(vk, up, 0, scanCodeOf(vk, layout), flags, false, false);
}

void Desktop::pressKey(std::uint16_t vk) {
    s_->userKey(vk, false);
    s_->userKey(vk, true);
    s_->pumpIfAllowed();
}

void Desktop::holdKey(std::uint16_t vk) {
    s_->heldByUser[vk & 0xFF] = true;
    s_->userKey(vk, false);
    s_->pumpIfAllowed();
}

void Desktop::releaseKey(std::uint16_t vk) {
    s_->heldByUser[vk & 0xFF] = false;
    s_->userKey(vk, true);
    s_->pumpIfAllowed();
}

void Desktop::runUnderWine(int crossingNewsMs) {
    s_->underWine = true;
    s_->crossingNewsMs = crossingNewsMs;
}

std::uint32_t Desktop::lastInputTime() const { return std::uint32_t(s_->lastInput); }

void Desktop::advance(std::uint32_t ms) { s_->runTo(s_->clock + ms, !s_->inIdle); }

void Desktop::pump() {
    s_->resolvePendingForeground();
    s_->postDueTimers();
    s_->pumpIfAllowed();
}

std::uint32_t Desktop::now() const { return std::uint32_t(s_->clock); }

bool Desktop::timerArmed(Hwnd hwnd, std::uintptr_t id) const {
    return s_->timers.count({hwnd, id}) != 0;
}

std::uint32_t Desktop::timerInterval(Hwnd hwnd, std::uintptr_t id) const {
    auto it = s_->timers.find({hwnd, id});
    return it == s_->timers.end() ? 0 : it->second.interval;
}

std::size_t Desktop::queuedMessages() const { return s_->queue.size(); }

bool Desktop::quitPosted() const { return s_->quit; }

int Desktop::quitCode() const { return s_->quitExitCode; }

Hwnd Desktop::foreground() const {
    s_->resolvePendingForeground();
    return s_->find(s_->fg) ? s_->fg : 0;
}

Hwnd Desktop::focus() const { return s_->focusWindow; }

void Desktop::activate(Hwnd hwnd) {
    Window* w = s_->root(s_->find(hwnd));
    if (!w) return;
    s_->restore(w->hwnd);
    s_->raise(w->hwnd);
    s_->setForeground(w->hwnd, false);
    s_->pumpIfAllowed();
}

void Desktop::refuseForegroundChanges(bool refuse) { s_->refuse = refuse; }

void Desktop::setForegroundLag(std::uint32_t ms) { s_->lag = ms; }

void Desktop::loseForegroundChanges(int count) { s_->lostForegroundChanges = count; }

const std::vector<KeyEvent>& Desktop::keyEvents() const { return s_->injected; }

std::vector<KeyEvent> Desktop::keysReceivedBy(Hwnd hwnd) const {
    std::vector<KeyEvent> result;
    for (const KeyEvent& e : s_->allKeys)
        if (e.target == hwnd) result.push_back(e);
    return result;
}

bool Desktop::keyIsDown(std::uint16_t vk) const { return s_->down[vk & 0xFF]; }

int Desktop::liveMenus() const { return int(s_->menus.size()); }

std::uint64_t Desktop::callCount() const {
    std::uint64_t total = 0;
    for (const auto& [name, n] : s_->calls)
        total += n;
    return total;
}

std::map<std::string, std::uint64_t> Desktop::callCounts() const {
    std::map<std::string, std::uint64_t> result;
    for (const auto& [name, n] : s_->calls)
        if (n) result[name] = n;
    return result;
}

void Desktop::resetCallCounts() { s_->calls.clear(); }

// ---------------------------------------------------------------- user32: windows

std::uint16_t Desktop::RegisterClassExW(const WindowClass& wc) {
    s_->count("RegisterClassExW");
    if (!wc.lpszClassName) return 0;
    std::string name = s_->toAnsi(wc.lpszClassName);
    std::string key = lower(name);
    if (s_->classes.count(key) || key == "button" || key == "static") return 0;
    WindowClassInfo info;
    info.name = name;
    info.wc = wc;
    info.wc.lpszClassName = nullptr;
    info.atom = s_->nextAtom++;
    s_->classes[key] = info;
    return info.atom;
}

Hwnd Desktop::CreateWindowExW(std::uint32_t exStyle, const wchar_t* className,
                              const wchar_t* windowName, std::uint32_t style, int x, int y,
                              int width, int height, Hwnd parent, std::intptr_t menuOrId) {
    s_->count("CreateWindowExW");
    if (!className || s_->failWindows) return 0;
    std::string key = lower(narrow(className));
    auto w = std::make_unique<Window>();
    if (auto it = s_->classes.find(key); it != s_->classes.end()) {
        w->kind = WindowKind::Program;
        w->className = it->second.name;
        w->classStyle = it->second.wc.style;
        w->proc = it->second.wc.lpfnWndProc;
        w->background = it->second.wc.hbrBackground;
    } else if (key == "button" || key == "static") {
        w->kind = WindowKind::Native;
        w->className = s_->toAnsi(className);
        w->classStyle = key == "button" ? CS_DBLCLKS : 0;
    } else {
        s_->lastError = 1407; // ERROR_CANNOT_FIND_WND_CLASS
        return 0;
    }
    const bool messageOnly = parent == HWND_MESSAGE;
    if (messageOnly) parent = 0, style &= ~(WS_VISIBLE | WS_CHILD);
    bool child = style & WS_CHILD;
    Window* p = s_->find(parent);
    if ((child && !p) || (parent && !p)) {
        s_->lastError = 1400; // ERROR_INVALID_WINDOW_HANDLE
        return 0;
    }
    constexpr int useDefault = int(0x80000000u);
    if (x == useDefault) x = y = 0;
    if (width == useDefault) width = 400, height = 300;
    Hwnd hwnd = s_->newHandle();
    w->hwnd = hwnd;
    w->title = windowName ? s_->toAnsi(windowName) : std::string();
    w->style = style;
    w->exStyle = exStyle;
    w->rect = {x, y, x + width, y + height};
    w->processId = ownProcessId;
    w->threadId = s_->currentThread;
    w->messageOnly = messageOnly;
    w->dpi = child ? p->dpi : s_->dpiAt(w->rect);
    if (messageOnly) {
        s_->windows[hwnd] = std::move(w); // in no z-order: no point, no enumeration finds it
    } else if (child) {
        w->parent = parent;
        w->id = menuOrId;
        p->children.insert(p->children.begin(), hwnd);
        s_->windows[hwnd] = std::move(w);
    } else {
        if (p) w->owner = s_->root(p)->hwnd;
        s_->windows[hwnd] = std::move(w);
        s_->placeTopLevel(hwnd, exStyle & WS_EX_TOPMOST);
    }
    Window* created = s_->find(hwnd);
    s_->resizeSurface(*created);
    created->invalid = created->erase = true;
    if (created->kind == WindowKind::Program && s_->send(hwnd, WM_CREATE, 0, 0) == -1) {
        s_->destroy(hwnd);
        return 0;
    }
    created = s_->find(hwnd);
    if (!created) return 0;
    if (!child && (style & WS_VISIBLE) && !(exStyle & WS_EX_NOACTIVATE))
        s_->requestForeground(hwnd);
    return hwnd;
}

bool Desktop::DestroyWindow(Hwnd hwnd) {
    s_->count("DestroyWindow");
    Window* w = s_->find(hwnd);
    if (!w || w->kind == WindowKind::Foreign) return false; // another thread's window
    s_->destroy(hwnd);
    return true;
}

std::intptr_t Desktop::DefWindowProcW(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                                      std::intptr_t lParam) {
    s_->count("DefWindowProcW");
    return s_->defProc(hwnd, msg, wParam, lParam);
}

std::intptr_t Desktop::SendMessageW(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                                    std::intptr_t lParam) {
    s_->count("SendMessageW");
    return s_->send(hwnd, msg, wParam, lParam);
}

// One thread and no hung programs here: a message to a window that exists is answered at once.
std::intptr_t Desktop::SendMessageTimeoutW(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                                           std::intptr_t lParam, std::uint32_t, std::uint32_t,
                                           std::uintptr_t* result) {
    s_->count("SendMessageTimeoutW");
    if (!windowExists(hwnd)) return 0;
    const std::intptr_t answer = s_->send(hwnd, msg, wParam, lParam);
    if (result) *result = static_cast<std::uintptr_t>(answer);
    return 1;
}

bool Desktop::PostMessageW(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                           std::intptr_t lParam) {
    s_->count("PostMessageW");
    return s_->post(hwnd, msg, wParam, lParam);
}

int Desktop::GetMessageW(Msg* msg, Hwnd hwnd, std::uint32_t filterMin, std::uint32_t filterMax) {
    s_->count("GetMessageW");
    if (!msg) return -1;
    if (s_->currentThread != firstThreadId) {
        ThreadModel& thread = s_->threads[s_->currentThread];
        if (s_->takeMessage(msg, hwnd, filterMin, filterMax, true)) return 1;
        if (thread.quit) {
            *msg = Msg{0, WM_QUIT, 0, 0, std::uint32_t(s_->clock), s_->cursorPos};
            return 0;
        }
        throw ThreadWaits{};
    }
    s_->tellUnseenMove();
    for (int rounds = 0;; ++rounds) {
        s_->resolvePendingForeground();
        s_->postDueTimers();
        if (s_->takeMessage(msg, hwnd, filterMin, filterMax, true))
            return msg->message == WM_QUIT ? 0 : 1;
        if (!onIdle || rounds > 10000)
            throw SimStalled("sim: GetMessageW waits with an empty queue and nothing to do");
        std::uint64_t activityBefore = s_->activity;
        std::uint64_t clockBefore = s_->clock;
        bool wasIdle = s_->inIdle;
        s_->inIdle = true;
        try {
            onIdle();
        } catch (...) {
            s_->inIdle = wasIdle;
            throw;
        }
        s_->inIdle = wasIdle;
        Msg probe;
        if (s_->takeMessage(&probe, hwnd, filterMin, filterMax, false)) continue;
        if (s_->activity == activityBefore && s_->clock == clockBefore)
            throw SimStalled("sim: GetMessageW waits and onIdle gave it nothing to do");
    }
}

bool Desktop::PeekMessageW(Msg* msg, Hwnd hwnd, std::uint32_t filterMin, std::uint32_t filterMax,
                           std::uint32_t removeMsg) {
    s_->count("PeekMessageW");
    if (!msg) return false;
    s_->tellUnseenMove();
    s_->resolvePendingForeground();
    s_->postDueTimers();
    return s_->takeMessage(msg, hwnd, filterMin, filterMax, removeMsg & PM_REMOVE);
}

bool Desktop::TranslateMessage(const Msg* msg) {
    s_->count("TranslateMessage");
    return msg && s_->translate(*msg);
}

std::intptr_t Desktop::DispatchMessageW(const Msg* msg) {
    s_->count("DispatchMessageW");
    return msg ? s_->dispatch(*msg) : 0;
}

bool Desktop::IsDialogMessageW(Hwnd dialog, Msg* msg) {
    s_->count("IsDialogMessageW");
    if (!msg || !s_->find(dialog) || !msg->hwnd || !s_->isAncestor(dialog, msg->hwnd)) return false;
    auto descendants = [this](Hwnd top) {
        std::vector<Hwnd> all{top};
        for (std::size_t i = 0; i < all.size(); ++i)
            if (Window* w = s_->find(all[i])) {
                // Tab order is creation order: the oldest sibling is last in z-order.
                all.insert(all.end(), w->children.rbegin(), w->children.rend());
            }
        all.erase(all.begin());
        return all;
    };
    auto isPushButton = [this](Hwnd h) {
        Window* w = s_->find(h);
        return w && w->kind == WindowKind::Native && lower(w->className) == "button" &&
               (w->style & 0xF) <= BS_DEFPUSHBUTTON;
    };
    if (msg->message == WM_KEYDOWN) {
        switch (msg->wParam) {
        case VK_RETURN: {
            Hwnd button = 0;
            std::intptr_t id = IDOK;
            if (isPushButton(s_->focusWindow) && s_->isAncestor(dialog, s_->focusWindow)) {
                button = s_->focusWindow;
            } else {
                for (Hwnd h : descendants(dialog))
                    if (isPushButton(h) && (s_->find(h)->style & 0xF) == BS_DEFPUSHBUTTON) {
                        button = h;
                        break;
                    }
            }
            if (button) id = s_->find(button)->id;
            s_->send(dialog, WM_COMMAND, makeWParam(std::uintptr_t(id), BN_CLICKED), button);
            return true;
        }
        case VK_ESCAPE: {
            Hwnd cancel = 0;
            for (Hwnd h : descendants(dialog))
                if (s_->find(h)->id == IDCANCEL) cancel = h;
            s_->send(dialog, WM_COMMAND, makeWParam(IDCANCEL, BN_CLICKED), cancel);
            return true;
        }
        case VK_TAB: {
            std::vector<Hwnd> stops;
            for (Hwnd h : descendants(dialog)) {
                Window* w = s_->find(h);
                if ((w->style & WS_TABSTOP) && s_->visible(*w) && s_->enabled(*w))
                    stops.push_back(h);
            }
            if (stops.empty()) return true;
            auto at = std::find(stops.begin(), stops.end(), s_->focusWindow);
            std::size_t i = at == stops.end() ? stops.size() - 1 : std::size_t(at - stops.begin());
            std::size_t n = stops.size();
            s_->focusWindow = stops[s_->down[VK_SHIFT] ? (i + n - 1) % n : (i + 1) % n];
            return true;
        }
        default:
            break;
        }
    }
    if (msg->message == WM_CHAR &&
        (msg->wParam == L'\r' || msg->wParam == 0x1B || msg->wParam == L'\t'))
        return true;
    if (isKeyMessage(msg->message)) s_->translate(*msg);
    s_->dispatch(*msg);
    return true;
}

void Desktop::PostQuitMessage(int exitCode) {
    s_->count("PostQuitMessage");
    if (s_->currentThread != firstThreadId) {
        s_->threads[s_->currentThread].quit = true;
        return;
    }
    s_->quit = true;
    s_->quitExitCode = exitCode;
}

bool Desktop::ShowWindow(Hwnd hwnd, int cmdShow) {
    s_->count("ShowWindow");
    Window* w = s_->find(hwnd);
    if (!w) return false;
    bool wasVisible = w->style & WS_VISIBLE;
    bool topLevelWindow = !w->parent;
    switch (cmdShow) {
    case SW_HIDE:
        s_->hide(hwnd);
        break;
    case SW_SHOWNORMAL:
    case SW_SHOW:
    case SW_RESTORE:
        s_->restore(hwnd);
        w->style |= WS_VISIBLE;
        w->invalid = w->erase = true;
        if (topLevelWindow && !(w->exStyle & WS_EX_NOACTIVATE)) s_->requestForeground(hwnd);
        break;
    case SW_SHOWNA:
    case SW_SHOWNOACTIVATE:
        if (cmdShow == SW_SHOWNOACTIVATE) s_->restore(hwnd);
        w->style |= WS_VISIBLE;
        w->invalid = w->erase = true;
        break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
        w->style |= WS_VISIBLE;
        s_->minimize(hwnd);
        break;
    default:
        break;
    }
    return wasVisible;
}

bool Desktop::SetWindowPos(Hwnd hwnd, Hwnd insertAfter, int x, int y, int cx, int cy,
                           std::uint32_t flags) {
    s_->count("SetWindowPos");
    Window* w = s_->find(hwnd);
    if (!w) return false;
    const auto cursorOver = [this, hwnd] {
        Window* under = s_->root(s_->find(s_->hitTest(s_->cursorPos)));
        return under && under->hwnd == hwnd;
    };
    const bool wasUnderCursor = cursorOver();
    Rect& r = (w->style & WS_MINIMIZE) ? w->restoreRect : w->rect;
    if (!(flags & SWP_NOMOVE)) {
        r = {x, y, x + (r.right - r.left), y + (r.bottom - r.top)};
    }
    if (!(flags & SWP_NOSIZE)) {
        r.right = r.left + std::max(0, cx);
        r.bottom = r.top + std::max(0, cy);
        s_->resizeSurface(*w);
    }
    if (!(flags & SWP_NOZORDER)) {
        if (w->parent) {
            auto& list = s_->siblings(*w);
            std::erase(list, hwnd);
            if (insertAfter == HWND_BOTTOM) {
                list.push_back(hwnd);
            } else if (auto at = std::find(list.begin(), list.end(), insertAfter);
                       at != list.end()) {
                list.insert(at + 1, hwnd);
            } else {
                list.insert(list.begin(), hwnd);
            }
        } else if (insertAfter == HWND_TOPMOST) {
            s_->placeTopLevel(hwnd, true);
        } else if (insertAfter == HWND_NOTOPMOST) {
            s_->placeTopLevel(hwnd, false);
        } else if (insertAfter == HWND_TOP) {
            s_->placeTopLevel(hwnd, w->exStyle & WS_EX_TOPMOST);
        } else if (insertAfter == HWND_BOTTOM) {
            w->exStyle &= ~WS_EX_TOPMOST;
            std::erase(s_->topLevel, hwnd);
            s_->topLevel.push_back(hwnd);
        } else if (Window* after = s_->find(insertAfter); after && !after->parent && after != w) {
            bool afterTopmost = after->exStyle & WS_EX_TOPMOST;
            if (afterTopmost && !(w->exStyle & WS_EX_TOPMOST)) {
                s_->placeTopLevel(hwnd, false);
            } else {
                if (!afterTopmost) w->exStyle &= ~WS_EX_TOPMOST;
                std::erase(s_->topLevel, hwnd);
                auto at = std::find(s_->topLevel.begin(), s_->topLevel.end(), insertAfter);
                s_->topLevel.insert(at + 1, hwnd);
            }
        }
    }
    if (flags & SWP_SHOWWINDOW) {
        w->style |= WS_VISIBLE;
        w->invalid = w->erase = true;
    }
    if (flags & SWP_HIDEWINDOW) s_->hide(hwnd);
    if (s_->underWine && s_->crossingNewsMs >= 0 && wasUnderCursor && !cursorOver()) {
        s_->crossingNewsPending = true;
        s_->crossingNewsDue = s_->clock + std::uint64_t(s_->crossingNewsMs);
    }
    w = s_->find(hwnd);
    // Without SWP_NOACTIVATE the platform activates the window, as far as it may.
    if (w && !w->parent && !(flags & SWP_NOACTIVATE) && (w->style & WS_VISIBLE) &&
        !(w->exStyle & WS_EX_NOACTIVATE) && s_->fg != hwnd)
        s_->requestForeground(hwnd);
    return true;
}

} // namespace ep::sim
