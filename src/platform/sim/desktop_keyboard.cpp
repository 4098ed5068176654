// The keyboard of the simulated desktop: the layouts each thread types with, what
// MapVirtualKeyExW and VkKeyScanExW answer for them, and the keys a keyboard sends with the E0
// prefix.
#include "platform/sim/desktop_state.h"

#include <stdexcept>

namespace ep::sim {

namespace {

// One key of a layout's typing block: its scan code, its virtual key, and the characters it
// makes plain, with Shift and with AltGr (Ctrl+Alt); 0 for none.
struct KeyCap {
    std::uint8_t scan;
    std::uint8_t vk;
    wchar_t plain, shifted, altGr;
};

constexpr std::uint8_t VK_OEM_1 = 0xBA, VK_OEM_PLUS = 0xBB, VK_OEM_COMMA = 0xBC,
                       VK_OEM_MINUS = 0xBD, VK_OEM_PERIOD = 0xBE, VK_OEM_2 = 0xBF, VK_OEM_3 = 0xC0,
                       VK_OEM_4 = 0xDB, VK_OEM_5 = 0xDC, VK_OEM_6 = 0xDD, VK_OEM_7 = 0xDE,
                       VK_OEM_102 = 0xE2;

constexpr KeyCap kUsKeys[] = {
    {0x02, '1', L'1', L'!', 0},          {0x03, '2', L'2', L'@', 0},
    {0x04, '3', L'3', L'#', 0},          {0x05, '4', L'4', L'$', 0},
    {0x06, '5', L'5', L'%', 0},          {0x07, '6', L'6', L'^', 0},
    {0x08, '7', L'7', L'&', 0},          {0x09, '8', L'8', L'*', 0},
    {0x0A, '9', L'9', L'(', 0},          {0x0B, '0', L'0', L')', 0},
    {0x0C, VK_OEM_MINUS, L'-', L'_', 0}, {0x0D, VK_OEM_PLUS, L'=', L'+', 0},
    {0x10, 'Q', L'q', L'Q', 0},          {0x11, 'W', L'w', L'W', 0},
    {0x12, 'E', L'e', L'E', 0},          {0x13, 'R', L'r', L'R', 0},
    {0x14, 'T', L't', L'T', 0},          {0x15, 'Y', L'y', L'Y', 0},
    {0x16, 'U', L'u', L'U', 0},          {0x17, 'I', L'i', L'I', 0},
    {0x18, 'O', L'o', L'O', 0},          {0x19, 'P', L'p', L'P', 0},
    {0x1A, VK_OEM_4, L'[', L'{', 0},     {0x1B, VK_OEM_6, L']', L'}', 0},
    {0x1E, 'A', L'a', L'A', 0},          {0x1F, 'S', L's', L'S', 0},
    {0x20, 'D', L'd', L'D', 0},          {0x21, 'F', L'f', L'F', 0},
    {0x22, 'G', L'g', L'G', 0},          {0x23, 'H', L'h', L'H', 0},
    {0x24, 'J', L'j', L'J', 0},          {0x25, 'K', L'k', L'K', 0},
    {0x26, 'L', L'l', L'L', 0},          {0x27, VK_OEM_1, L';', L':', 0},
    {0x28, VK_OEM_7, L'\'', L'"', 0},    {0x29, VK_OEM_3, L'`', L'~', 0},
    {0x2B, VK_OEM_5, L'\\', L'|', 0},    {0x2C, 'Z', L'z', L'Z', 0},
    {0x2D, 'X', L'x', L'X', 0},          {0x2E, 'C', L'c', L'C', 0},
    {0x2F, 'V', L'v', L'V', 0},          {0x30, 'B', L'b', L'B', 0},
    {0x31, 'N', L'n', L'N', 0},          {0x32, 'M', L'm', L'M', 0},
    {0x33, VK_OEM_COMMA, L',', L'<', 0}, {0x34, VK_OEM_PERIOD, L'.', L'>', 0},
    {0x35, VK_OEM_2, L'/', L'?', 0},
};

// German (QWERTZ): Y and Z trade places, the umlauts and ß have keys of their own, and AltGr
// makes @, €, the brackets and the backslash. The accent keys are dead keys: they make no
// character alone.
constexpr KeyCap kGermanKeys[] = {
    {0x02, '1', L'1', L'!', 0},
    {0x03, '2', L'2', L'"', L'\u00B2'},
    {0x04, '3', L'3', L'\u00A7', L'\u00B3'},
    {0x05, '4', L'4', L'$', 0},
    {0x06, '5', L'5', L'%', 0},
    {0x07, '6', L'6', L'&', 0},
    {0x08, '7', L'7', L'/', L'{'},
    {0x09, '8', L'8', L'(', L'['},
    {0x0A, '9', L'9', L')', L']'},
    {0x0B, '0', L'0', L'=', L'}'},
    {0x0C, VK_OEM_4, L'\u00DF', L'?', L'\\'},
    {0x0D, VK_OEM_6, 0, 0, 0},
    {0x10, 'Q', L'q', L'Q', L'@'},
    {0x11, 'W', L'w', L'W', 0},
    {0x12, 'E', L'e', L'E', L'\u20AC'},
    {0x13, 'R', L'r', L'R', 0},
    {0x14, 'T', L't', L'T', 0},
    {0x15, 'Z', L'z', L'Z', 0},
    {0x16, 'U', L'u', L'U', 0},
    {0x17, 'I', L'i', L'I', 0},
    {0x18, 'O', L'o', L'O', 0},
    {0x19, 'P', L'p', L'P', 0},
    {0x1A, VK_OEM_1, L'\u00FC', L'\u00DC', 0},
    {0x1B, VK_OEM_PLUS, L'+', L'*', L'~'},
    {0x1E, 'A', L'a', L'A', 0},
    {0x1F, 'S', L's', L'S', 0},
    {0x20, 'D', L'd', L'D', 0},
    {0x21, 'F', L'f', L'F', 0},
    {0x22, 'G', L'g', L'G', 0},
    {0x23, 'H', L'h', L'H', 0},
    {0x24, 'J', L'j', L'J', 0},
    {0x25, 'K', L'k', L'K', 0},
    {0x26, 'L', L'l', L'L', 0},
    {0x27, VK_OEM_3, L'\u00F6', L'\u00D6', 0},
    {0x28, VK_OEM_7, L'\u00E4', L'\u00C4', 0},
    {0x29, VK_OEM_5, 0, L'\u00B0', 0},
    {0x2B, VK_OEM_2, L'#', L'\'', 0},
    {0x2C, 'Y', L'y', L'Y', 0},
    {0x2D, 'X', L'x', L'X', 0},
    {0x2E, 'C', L'c', L'C', 0},
    {0x2F, 'V', L'v', L'V', 0},
    {0x30, 'B', L'b', L'B', 0},
    {0x31, 'N', L'n', L'N', 0},
    {0x32, 'M', L'm', L'M', L'\u00B5'},
    {0x33, VK_OEM_COMMA, L',', L';', 0},
    {0x34, VK_OEM_PERIOD, L'.', L':', 0},
    {0x35, VK_OEM_MINUS, L'-', L'_', 0},
    {0x56, VK_OEM_102, L'<', L'>', L'|'},
};

const KeyCap* typingKey(Hkl layout, std::uint32_t vk) {
    const auto find = [vk](const auto& caps) -> const KeyCap* {
        for (const KeyCap& cap : caps)
            if (cap.vk == vk) return &cap;
        return nullptr;
    };
    if (layout == usLayout) return find(kUsKeys);
    if (layout == germanLayout) return find(kGermanKeys);
    return nullptr;
}

// The keys outside the typing block, where every layout the desktop knows puts them.
struct FixedKey {
    std::uint8_t vk;
    std::uint8_t scan;
};
constexpr FixedKey kFixedKeys[] = {
    {VK_CANCEL, 0x46},   {VK_BACK, 0x0E},    {VK_TAB, 0x0F},      {VK_RETURN, 0x1C},
    {VK_SHIFT, 0x2A},    {VK_CONTROL, 0x1D}, {VK_MENU, 0x38},     {VK_CAPITAL, 0x3A},
    {VK_ESCAPE, 0x01},   {VK_SPACE, 0x39},   {VK_PRIOR, 0x49},    {VK_NEXT, 0x51},
    {VK_END, 0x4F},      {VK_HOME, 0x47},    {VK_LEFT, 0x4B},     {VK_UP, 0x48},
    {VK_RIGHT, 0x4D},    {VK_DOWN, 0x50},    {VK_SNAPSHOT, 0x54}, {VK_INSERT, 0x52},
    {VK_DELETE, 0x53},   {VK_LWIN, 0x5B},    {VK_RWIN, 0x5C},     {VK_APPS, 0x5D},
    {0x60, 0x52},        {0x61, 0x4F},       {0x62, 0x50},        {0x63, 0x51},
    {0x64, 0x4B},        {0x65, 0x4C},       {0x66, 0x4D},        {0x67, 0x47},
    {0x68, 0x48},        {0x69, 0x49},       {VK_MULTIPLY, 0x37}, {VK_ADD, 0x4E},
    {VK_SUBTRACT, 0x4A}, {0x6E, 0x53},       {VK_DIVIDE, 0x35},   {VK_F1 + 0, 0x3B},
    {VK_F1 + 1, 0x3C},   {VK_F1 + 2, 0x3D},  {VK_F1 + 3, 0x3E},   {VK_F1 + 4, 0x3F},
    {VK_F1 + 5, 0x40},   {VK_F1 + 6, 0x41},  {VK_F1 + 7, 0x42},   {VK_F1 + 8, 0x43},
    {VK_F1 + 9, 0x44},   {VK_F1 + 10, 0x57}, {VK_F1 + 11, 0x58},  {VK_F1 + 12, 0x64},
    {VK_F1 + 13, 0x65},  {VK_F1 + 14, 0x66}, {VK_F1 + 15, 0x67},  {VK_NUMLOCK, 0x45},
    {VK_SCROLL, 0x46},   {0xA0, 0x2A},       {0xA1, 0x36},        {0xA2, 0x1D},
    {VK_RCONTROL, 0x1D}, {0xA4, 0x38},       {VK_RMENU, 0x38},
};

bool knownLayout(Hkl layout) { return layout == usLayout || layout == germanLayout; }

} // namespace

std::uint8_t scanCodeOf(std::uint32_t vk, Hkl layout) {
    if (!knownLayout(layout)) return 0;
    if (const KeyCap* cap = typingKey(layout, vk)) return cap->scan;
    for (const FixedKey& key : kFixedKeys)
        if (key.vk == vk) return key.scan;
    return 0;
}

bool sentWithE0(std::uint32_t vk) {
    switch (vk) {
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
    case VK_INSERT:
    case VK_DELETE:
    case VK_HOME:
    case VK_END:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_RCONTROL:
    case VK_RMENU:
    case VK_NUMLOCK:
    case VK_DIVIDE:
    case VK_LWIN:
    case VK_RWIN:
    case VK_APPS:
    case VK_SNAPSHOT:
    case VK_CANCEL:
        return true;
    default:
        return false;
    }
}

Hkl Desktop::State::layoutOfThread(std::uint32_t threadId) const {
    const auto it = threadLayouts.find(threadId);
    return it == threadLayouts.end() ? usLayout : it->second;
}

void Desktop::setKeyboardLayout(Hwnd window, Hkl layout) {
    std::uint32_t process = ownProcessId;
    if (window) {
        const Window* w = s_->find(window);
        if (!w)
            throw std::invalid_argument("sim: setKeyboardLayout of a window that does not exist");
        process = w->processId;
    }
    s_->threadLayouts[mainThreadOf(process)] = layout;
}

// A thread id the desktop knows is the program's or that of a window's process; 0 is the
// caller's own.
Hkl Desktop::GetKeyboardLayout(std::uint32_t threadId) {
    s_->count("GetKeyboardLayout");
    const std::uint32_t own = mainThreadOf(ownProcessId);
    if (threadId == 0 || threadId == own) return s_->layoutOfThread(own);
    bool known = false;
    for (const auto& [hwnd, w] : s_->windows)
        known = known || mainThreadOf(w->processId) == threadId;
    if (!known) return 0;
    return s_->layoutOfThread(s_->underWine ? own : threadId);
}

std::uint32_t Desktop::MapVirtualKeyExW(std::uint32_t code, std::uint32_t mapType, Hkl layout) {
    s_->count("MapVirtualKeyExW");
    if (mapType != MAPVK_VK_TO_VSC) return 0; // the other translations are not modelled
    return scanCodeOf(code, layout ? layout : s_->layoutOfThread(mainThreadOf(ownProcessId)));
}

// Low byte the virtual key, high byte the shift state it needs (1 Shift, 2 Ctrl, 4 Alt, so 6
// for AltGr); -1 when no key of the layout makes the character.
std::int16_t Desktop::VkKeyScanExW(wchar_t ch, Hkl layout) {
    s_->count("VkKeyScanExW");
    if (!knownLayout(layout)) return -1;
    constexpr std::int16_t shift = 0x100, ctrl = 0x200, altGr = 0x600;
    switch (ch) {
    case L' ':
        return VK_SPACE;
    case L'\r':
        return VK_RETURN;
    case L'\n':
        return ctrl | VK_RETURN;
    case L'\t':
        return VK_TAB;
    case L'\b':
        return VK_BACK;
    case 0x1B:
        return VK_ESCAPE;
    case 0x7F:
        return ctrl | VK_BACK;
    default:
        break;
    }
    const auto scan = [&](const auto& caps) -> std::int16_t {
        for (const KeyCap& cap : caps) {
            if (ch == 0) break;
            if (ch == cap.plain) return cap.vk;
            if (ch == cap.shifted) return std::int16_t(shift | cap.vk);
            if (ch == cap.altGr) return std::int16_t(altGr | cap.vk);
        }
        // Ctrl+letter makes the control characters 1 to 26, by the letter's key.
        if (ch >= 1 && ch <= 26)
            for (const KeyCap& cap : caps)
                if (cap.shifted == wchar_t('A' + ch - 1)) return std::int16_t(ctrl | cap.vk);
        return -1;
    };
    return layout == usLayout ? scan(kUsKeys) : scan(kGermanKeys);
}

} // namespace ep::sim
