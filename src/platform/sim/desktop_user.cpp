// The remaining user32 calls of the simulated desktop: window queries, focus and
// foreground, timers, message boxes, menus and the keyboard.
#include "platform/sim/desktop_state.h"

#include <algorithm>
#include <cstring>

namespace ep::sim {

namespace {

int copyText(const std::string& text, char* buffer, int maxCount) {
    if (!buffer || maxCount <= 0) return 0;
    int n = std::min(int(text.size()), maxCount - 1);
    std::memcpy(buffer, text.data(), std::size_t(n));
    buffer[n] = '\0';
    return n;
}

} // namespace

bool Desktop::GetWindowRect(Hwnd hwnd, Rect* rect) {
    s_->count("GetWindowRect");
    Window* w = s_->find(hwnd);
    if (!w || !rect) return false;
    *rect = s_->screenRect(*w);
    return true;
}

std::int32_t Desktop::DwmGetWindowAttribute(Hwnd hwnd, std::uint32_t attribute, void* value,
                                            std::uint32_t size) {
    s_->count("DwmGetWindowAttribute");
    if (s_->dwmUnavailable) return E_NOTIMPL;
    constexpr auto invalidArgument = static_cast<std::int32_t>(0x80070057u); // E_INVALIDARG
    Window* w = s_->find(hwnd);
    if (w && !w->parent && attribute == DWMWA_CLOAKED && value && size == sizeof(std::uint32_t)) {
        *static_cast<std::uint32_t*>(value) = w->cloaked;
        return S_OK;
    }
    if (!w || w->parent || attribute != DWMWA_EXTENDED_FRAME_BOUNDS || !value ||
        size != sizeof(Rect))
        return invalidArgument;
    const Rect outer = s_->screenRect(*w);
    const Rect& in = w->frameInsets;
    *static_cast<Rect*>(value) =
        Rect{outer.left + in.left, outer.top + in.top, outer.right - in.right, outer.bottom - in.bottom};
    return S_OK;
}

bool Desktop::GetClientRect(Hwnd hwnd, Rect* rect) {
    s_->count("GetClientRect");
    Window* w = s_->find(hwnd);
    if (!w || !rect) return false;
    *rect = s_->clientRect(*w);
    return true;
}

bool Desktop::AdjustWindowRectEx(Rect* rect, std::uint32_t style, bool menu,
                                 std::uint32_t exStyle) {
    s_->count("AdjustWindowRectEx");
    if (!rect) return false;
    // The frame at the system DPI, whatever the monitor's.
    Insets in = s_->frame(style, exStyle, s_->seenSystemDpi());
    rect->left -= in.left;
    rect->top -= in.top + (menu ? 20 : 0);
    rect->right += in.right;
    rect->bottom += in.bottom;
    return true;
}

Hwnd Desktop::WindowFromPoint(Point point) {
    s_->count("WindowFromPoint");
    return s_->hitTest(point);
}

Hwnd Desktop::GetParent(Hwnd hwnd) {
    s_->count("GetParent");
    Window* w = s_->find(hwnd);
    if (!w) return 0;
    if (w->parent) return w->parent;
    // A top-level window reports its owner only when it is a popup, as on Windows.
    return (w->style & WS_POPUP) ? w->owner : 0;
}

int Desktop::GetClassNameA(Hwnd hwnd, char* buffer, int maxCount) {
    s_->count("GetClassNameA");
    Window* w = s_->find(hwnd);
    std::string name = w ? w->className : std::string();
    // System classes report their registered spelling, whatever spelling created them.
    if (w && w->kind == WindowKind::Native) name = lower(name) == "button" ? "Button" : "Static";
    return copyText(name, buffer, maxCount);
}

int Desktop::GetWindowTextA(Hwnd hwnd, char* buffer, int maxCount) {
    s_->count("GetWindowTextA");
    Window* w = s_->find(hwnd);
    return copyText(w ? w->title : std::string(), buffer, maxCount);
}

bool Desktop::SetWindowTextW(Hwnd hwnd, const wchar_t* text) {
    s_->count("SetWindowTextW");
    Window* w = s_->find(hwnd);
    if (!w) return false;
    w->title = text ? s_->toAnsi(text) : std::string();
    w->invalid = true;
    return true;
}

std::int32_t Desktop::GetWindowLongA(Hwnd hwnd, int index) {
    s_->count("GetWindowLongA");
    Window* w = s_->find(hwnd);
    if (!w) return 0;
    switch (index) {
    case GWL_STYLE:
        return std::int32_t(w->style);
    case GWL_EXSTYLE:
        return std::int32_t(w->exStyle);
    case GWL_ID_:
        return std::int32_t(w->id);
    default:
        return 0;
    }
}

bool Desktop::IsWindow(Hwnd hwnd) {
    s_->count("IsWindow");
    return s_->find(hwnd) != nullptr;
}

bool Desktop::IsWindowVisible(Hwnd hwnd) {
    s_->count("IsWindowVisible");
    Window* w = s_->find(hwnd);
    return w && s_->visible(*w);
}

bool Desktop::IsIconic(Hwnd hwnd) {
    s_->count("IsIconic");
    Window* w = s_->find(hwnd);
    return w && (w->style & WS_MINIMIZE);
}

bool Desktop::EnableWindow(Hwnd hwnd, bool enable) {
    s_->count("EnableWindow");
    Window* w = s_->find(hwnd);
    if (!w) return false;
    bool wasDisabled = w->style & WS_DISABLED;
    if (enable) {
        w->style &= ~WS_DISABLED;
    } else {
        w->style |= WS_DISABLED;
        if (s_->focusWindow && s_->isAncestor(hwnd, s_->focusWindow)) s_->focusWindow = 0;
    }
    return wasDisabled;
}

Hwnd Desktop::SetFocus(Hwnd hwnd) {
    s_->count("SetFocus");
    Hwnd previous = s_->focusWindow;
    if (!hwnd) {
        s_->focusWindow = 0;
        return previous;
    }
    Window* w = s_->find(hwnd);
    if (!w || w->kind == WindowKind::Foreign) return 0; // another thread's window
    s_->focusWindow = hwnd;
    return previous;
}

Hwnd Desktop::GetForegroundWindow() {
    s_->count("GetForegroundWindow");
    s_->resolvePendingForeground();
    return s_->find(s_->fg) ? s_->fg : 0;
}

bool Desktop::SetForegroundWindow(Hwnd hwnd) {
    s_->count("SetForegroundWindow");
    return s_->requestForeground(hwnd);
}

bool Desktop::EnumWindows(WndEnumProc proc, std::intptr_t lParam) {
    s_->count("EnumWindows");
    if (!proc) return false;
    std::vector<Hwnd> snapshot = s_->topLevel;
    for (Hwnd hwnd : snapshot)
        if (s_->find(hwnd) && !proc(hwnd, lParam)) return false;
    return true;
}

std::uint32_t Desktop::GetWindowThreadProcessId(Hwnd hwnd, std::uint32_t* processId) {
    s_->count("GetWindowThreadProcessId");
    Window* w = s_->find(hwnd);
    if (!w) return 0;
    if (processId) *processId = w->processId;
    return mainThreadOf(w->processId);
}

bool Desktop::InvalidateRect(Hwnd hwnd, const Rect*, bool erase) {
    s_->count("InvalidateRect");
    if (!hwnd) {
        for (auto& [h, w] : s_->windows)
            if (w->kind != WindowKind::Foreign) {
                w->invalid = true;
                w->erase = w->erase || erase;
            }
        return true;
    }
    Window* w = s_->find(hwnd);
    if (!w) return false;
    w->invalid = true;
    w->erase = w->erase || erase;
    return true;
}

bool Desktop::UpdateWindow(Hwnd hwnd) {
    s_->count("UpdateWindow");
    if (!s_->find(hwnd)) return false;
    s_->paintNow(hwnd);
    return true;
}

namespace {

// The metrics that follow the DPI, at 96 DPI; 0 for the others.
int metricAt96(int index) {
    switch (index) {
    case SM_CXICON:
    case SM_CYICON:
        return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    default:
        return 0;
    }
}

int scaledMetric(int index, int dpi) { return (metricAt96(index) * dpi + 48) / 96; }

} // namespace

int Desktop::State::metric(int index, int dpi) const {
    if (metricAt96(index)) return scaledMetric(index, dpi);
    const Rect& primary = monitors[0];
    Rect box = primary;
    for (const Rect& m : monitors) {
        box.left = std::min(box.left, m.left);
        box.top = std::min(box.top, m.top);
        box.right = std::max(box.right, m.right);
        box.bottom = std::max(box.bottom, m.bottom);
    }
    switch (index) {
    case SM_CXSCREEN:
        return primary.right - primary.left;
    case SM_CYSCREEN:
        return primary.bottom - primary.top;
    case SM_XVIRTUALSCREEN:
        return box.left;
    case SM_YVIRTUALSCREEN:
        return box.top;
    case SM_CXVIRTUALSCREEN:
        return box.right - box.left;
    case SM_CYVIRTUALSCREEN:
        return box.bottom - box.top;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
        return 4;
    default:
        return 0;
    }
}

int Desktop::GetSystemMetrics(int index) {
    s_->count("GetSystemMetrics");
    return s_->metric(index, s_->seenSystemDpi());
}

// Monitor handles are the monitor's index plus this, so that 0 stays "none".
constexpr Hmonitor kFirstMonitor = 0x10001;

int Desktop::State::monitorIndex(Point point, std::uint32_t flags) const {
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        const Rect& m = monitors[i];
        if (point.x >= m.left && point.x < m.right && point.y >= m.top && point.y < m.bottom)
            return int(i);
    }
    if (flags == MONITOR_DEFAULTTOPRIMARY) return 0;
    if (flags != MONITOR_DEFAULTTONEAREST) return -1;
    // The nearest: the least distance from the point to the monitor's rectangle.
    int best = 0;
    long long bestDistance = -1;
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        const Rect& m = monitors[i];
        const long long dx = point.x < m.left ? m.left - point.x : point.x >= m.right ? point.x - m.right + 1 : 0;
        const long long dy = point.y < m.top ? m.top - point.y : point.y >= m.bottom ? point.y - m.bottom + 1 : 0;
        const long long distance = dx * dx + dy * dy;
        if (bestDistance < 0 || distance < bestDistance) {
            bestDistance = distance;
            best = int(i);
        }
    }
    return best;
}

int Desktop::State::dpiAt(const Rect& rect) const {
    if (!processAware) return 96;
    const Point centre{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    return monitorDpi[std::size_t(monitorIndex(centre, MONITOR_DEFAULTTONEAREST))];
}

Hmonitor Desktop::MonitorFromPoint(Point point, std::uint32_t flags) {
    s_->count("MonitorFromPoint");
    const int index = s_->monitorIndex(point, flags);
    return index < 0 ? 0 : kFirstMonitor + index;
}

bool Desktop::IsProcessDPIAware() {
    s_->count("IsProcessDPIAware");
    return s_->processAware;
}

bool Desktop::SetProcessDpiAwarenessContext(std::intptr_t context) {
    s_->count("SetProcessDpiAwarenessContext");
    s_->awarenessCalls.push_back("SetProcessDpiAwarenessContext");
    if (s_->dpiFunctionsMissing || s_->processAware) return false; // missing, or already set
    if (context != DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2 || s_->awarenessContextV2Refused)
        return false;
    s_->processAware = true;
    return true;
}

std::int32_t Desktop::SetProcessDpiAwareness(int value) {
    s_->count("SetProcessDpiAwareness");
    s_->awarenessCalls.push_back("SetProcessDpiAwareness");
    if (s_->dpiFunctionsMissing) return E_NOTIMPL;
    if (s_->processAware) return static_cast<std::int32_t>(0x80070005u); // E_ACCESSDENIED
    if (value != PROCESS_PER_MONITOR_DPI_AWARE) return static_cast<std::int32_t>(0x80070057u);
    s_->processAware = true;
    return S_OK;
}

bool Desktop::SetProcessDPIAware() {
    s_->count("SetProcessDPIAware");
    s_->awarenessCalls.push_back("SetProcessDPIAware");
    s_->processAware = true;
    return true;
}

std::int32_t Desktop::GetDpiForMonitor(Hmonitor monitor, int dpiType, std::uint32_t* dpiX,
                                       std::uint32_t* dpiY) {
    s_->count("GetDpiForMonitor");
    if (s_->dpiFunctionsMissing) return E_NOTIMPL;
    const std::size_t index = std::size_t(monitor - kFirstMonitor);
    if (monitor < kFirstMonitor || index >= s_->monitors.size() || dpiType != MDT_EFFECTIVE_DPI || !dpiX || !dpiY)
        return static_cast<std::int32_t>(0x80070057u); // E_INVALIDARG
    const int dpi = s_->processAware ? s_->monitorDpi[index] : 96;
    *dpiX = *dpiY = std::uint32_t(dpi);
    return S_OK;
}

bool Desktop::AdjustWindowRectExForDpi(Rect* rect, std::uint32_t style, bool menu,
                                       std::uint32_t exStyle, std::uint32_t dpi) {
    s_->count("AdjustWindowRectExForDpi");
    if (s_->dpiFunctionsMissing || !rect || dpi == 0) return false;
    Insets in = s_->frame(style, exStyle, int(dpi));
    rect->left -= in.left;
    rect->top -= in.top + (menu ? (20 * int(dpi) + 48) / 96 : 0);
    rect->right += in.right;
    rect->bottom += in.bottom;
    return true;
}

int Desktop::GetSystemMetricsForDpi(int index, std::uint32_t dpi) {
    s_->count("GetSystemMetricsForDpi");
    if (s_->dpiFunctionsMissing || dpi == 0) return 0;
    return s_->metric(index, int(dpi));
}

namespace {
void fillMessageFont(const std::wstring& face, int dpi, void* value) {
    LogFont& font = static_cast<NonClientMetrics*>(value)->lfMessageFont;
    font = LogFont{};
    font.lfHeight = -((9 * dpi + 36) / 72); // 9 points
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    for (std::size_t i = 0; i < face.size() && i + 1 < std::size(font.lfFaceName); ++i)
        font.lfFaceName[i] = face[i];
}
} // namespace

bool Desktop::SystemParametersInfoForDpi(std::uint32_t action, std::uint32_t, void* value,
                                         std::uint32_t, std::uint32_t dpi) {
    s_->count("SystemParametersInfoForDpi");
    if (s_->dpiFunctionsMissing || action != SPI_GETNONCLIENTMETRICS || !value || dpi == 0)
        return false;
    fillMessageFont(s_->messageFontFace, int(dpi), value);
    return true;
}

bool Desktop::SystemParametersInfoW(std::uint32_t action, std::uint32_t, void* value,
                                    std::uint32_t) {
    s_->count("SystemParametersInfoW");
    if (action != SPI_GETNONCLIENTMETRICS || !value) return false;
    fillMessageFont(s_->messageFontFace, s_->processAware ? s_->systemDpi : 96, value);
    return true;
}

bool Desktop::GetCursorPos(Point* point) {
    s_->count("GetCursorPos");
    if (s_->failCursor || !point) return false;
    *point = s_->cursorPos;
    return true;
}

bool Desktop::GetLastInputInfo(LastInputInfo* info) {
    s_->count("GetLastInputInfo");
    if (!info) return false;
    s_->resolveCrossingNews();
    info->dwTime = std::uint32_t(s_->lastInput);
    return true;
}

std::uintptr_t Desktop::SetTimer(Hwnd hwnd, std::uintptr_t id, std::uint32_t elapseMs) {
    s_->count("SetTimer");
    if (hwnd) {
        Window* w = s_->find(hwnd);
        if (!w || w->kind == WindowKind::Foreign) return 0;
    } else {
        id = s_->nextThreadTimerId++;
    }
    // USER_TIMER_MINIMUM: shorter intervals are raised to 10 ms.
    std::uint32_t interval = std::max<std::uint32_t>(elapseMs, 10);
    s_->timers[{hwnd, id}] = TimerModel{interval, s_->clock + interval};
    return id ? id : 1;
}

bool Desktop::KillTimer(Hwnd hwnd, std::uintptr_t id) {
    s_->count("KillTimer");
    s_->removeQueued(hwnd, WM_TIMER, id, false);
    return s_->timers.erase({hwnd, id}) != 0;
}

int Desktop::MessageBoxW(Hwnd owner, const wchar_t* text, const wchar_t* caption,
                         std::uint32_t type) {
    s_->count("MessageBoxW");
    MessageBoxRecord record{owner, text ? text : L"", caption ? caption : L"Error", type};
    messageBoxes.push_back(record);
    return onMessageBox ? onMessageBox(record) : IDOK;
}

bool Desktop::MessageBeep(std::uint32_t type) {
    s_->count("MessageBeep");
    beeps.push_back(type);
    return true;
}

Hicon Desktop::LoadIconW(int resourceId) {
    s_->count("LoadIconW");
    // Icons from the module are shared: the same handle each time, never destroyed.
    auto it = s_->icons.find(resourceId);
    if (it != s_->icons.end()) return it->second;
    const int size = scaledMetric(SM_CXICON, s_->seenSystemDpi());
    const Hicon icon = s_->newHandle();
    s_->iconObjects[icon] = IconModel{resourceId, size, size, true};
    return s_->icons[resourceId] = icon;
}

// The module's icon resources have every size, so an icon comes at the size asked; a size of
// 0 is the resource's first image, 32 x 32.
Handle Desktop::LoadImageW(int resourceId, std::uint32_t type, int cx, int cy,
                           std::uint32_t flags) {
    s_->count("LoadImageW");
    if (type != IMAGE_ICON || resourceId <= 0 || cx < 0 || cy < 0) return 0;
    if (flags & LR_DEFAULTSIZE) {
        if (cx == 0) cx = scaledMetric(SM_CXICON, s_->seenSystemDpi());
        if (cy == 0) cy = scaledMetric(SM_CYICON, s_->seenSystemDpi());
    }
    const Hicon icon = s_->newHandle();
    s_->iconObjects[icon] = IconModel{resourceId, cx ? cx : 32, cy ? cy : 32, false};
    return icon;
}

std::int32_t Desktop::LoadIconWithScaleDown(int resourceId, int cx, int cy, Hicon* icon) {
    s_->count("LoadIconWithScaleDown");
    if (!icon) return static_cast<std::int32_t>(0x80004003u); // E_POINTER
    *icon = 0;
    if (resourceId <= 0 || cx <= 0 || cy <= 0) return static_cast<std::int32_t>(0x80070057u);
    *icon = s_->newHandle();
    s_->iconObjects[*icon] = IconModel{resourceId, cx, cy, false};
    return S_OK;
}

bool Desktop::DestroyIcon(Hicon icon) {
    s_->count("DestroyIcon");
    auto it = s_->iconObjects.find(icon);
    if (it == s_->iconObjects.end()) {
        s_->error("DestroyIcon with a handle that names no live icon");
        return false;
    }
    if (it->second.shared) {
        s_->error("DestroyIcon of a shared icon");
        return false;
    }
    for (const auto& [hwnd, w] : s_->windows)
        if (w->smallIcon == icon || w->bigIcon == icon || w->controlIcon == std::uintptr_t(icon))
            s_->error("DestroyIcon of an icon a window still shows");
    s_->iconObjects.erase(it);
    return true;
}

// ---------------------------------------------------------------- menus

Hmenu Desktop::CreatePopupMenu() {
    s_->count("CreatePopupMenu");
    Hmenu menu = s_->newHandle();
    s_->menus[menu] = {};
    return menu;
}

bool Desktop::AppendMenuW(Hmenu menu, std::uint32_t flags, std::uintptr_t id, const wchar_t* text) {
    s_->count("AppendMenuW");
    auto it = s_->menus.find(menu);
    if (it == s_->menus.end()) return false;
    std::wstring label = (flags & MF_SEPARATOR) || !text ? L"" : text;
    it->second.items.push_back({label, flags, (flags & MF_SEPARATOR) ? 0 : id});
    return true;
}

std::uint32_t Desktop::CheckMenuItem(Hmenu menu, std::uint32_t id, std::uint32_t check) {
    s_->count("CheckMenuItem");
    auto it = s_->menus.find(menu);
    if (it == s_->menus.end()) return 0xFFFFFFFF;
    auto& items = it->second.items;
    MenuItemRecord* item = nullptr;
    if (check & MF_BYPOSITION_) {
        if (id < items.size()) item = &items[id];
    } else {
        for (auto& candidate : items)
            if (!(candidate.flags & MF_SEPARATOR) && candidate.id == id) {
                item = &candidate;
                break;
            }
    }
    if (!item) return 0xFFFFFFFF;
    std::uint32_t previous = item->flags & MF_CHECKED;
    item->flags = (item->flags & ~MF_CHECKED) | (check & MF_CHECKED);
    return previous;
}

int Desktop::TrackPopupMenu(Hmenu menu, std::uint32_t flags, int x, int y, Hwnd owner) {
    s_->count("TrackPopupMenu");
    auto it = s_->menus.find(menu);
    if (it == s_->menus.end() || !s_->find(owner)) return 0;
    MenuRecord record{it->second.items, {x, y}, flags, owner};
    menusShown.push_back(record);
    std::uintptr_t chosen = onPopupMenu ? onPopupMenu(record) : 0;
    if (chosen) {
        bool offered = std::any_of(record.items.begin(), record.items.end(), [&](const auto& item) {
            return !(item.flags & (MF_SEPARATOR | MF_GRAYED_ | MF_DISABLED_)) && item.id == chosen;
        });
        if (!offered)
            throw std::invalid_argument("sim: onPopupMenu chose an id the menu does not offer: " +
                                        std::to_string(chosen));
    }
    if (flags & TPM_RETURNCMD) return int(chosen);
    if (chosen) s_->post(owner, WM_COMMAND, chosen & 0xFFFF, 0);
    return 1;
}

bool Desktop::DestroyMenu(Hmenu menu) {
    s_->count("DestroyMenu");
    return s_->menus.erase(menu) != 0;
}

// ---------------------------------------------------------------- keyboard

std::uint32_t Desktop::SendInput(std::uint32_t count, const KeyboardInput* inputs) {
    s_->count("SendInput");
    if (!inputs) return 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const KeyboardInput& in = inputs[i];
        bool up = in.dwFlags & KEYEVENTF_KEYUP;
        if (in.dwFlags & KEYEVENTF_UNICODE)
            s_->keyEvent(0, up, wchar_t(in.wScan), 0, in.dwFlags, true, true);
        else
            s_->keyEvent(in.wVk, up, 0, in.wScan, in.dwFlags, true, true);
    }
    return count;
}

// The physical state now, as GetAsyncKeyState reports it: the top bit while the key or mouse
// button is down (the mouse's physical buttons, whichever of them is swapped to be primary).
std::int16_t Desktop::GetAsyncKeyState(int vk) {
    s_->count("GetAsyncKeyState");
    if (vk < 0 || vk > 255) return 0;
    return std::int16_t(s_->down[vk] ? 0x8000 : 0);
}

std::int16_t Desktop::GetKeyState(int vk) {
    s_->count("GetKeyState");
    if (vk < 0 || vk > 255) return 0;
    std::uint16_t state = (s_->down[vk] ? 0x8000 : 0) | (s_->toggled[vk] ? 1 : 0);
    return std::int16_t(state);
}

} // namespace ep::sim
