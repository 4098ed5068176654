#include "frame/sendkeys.h"

#include <array>

namespace ep {

namespace {

// Modifier bits as VkKeyScanExW's high byte gives them.
constexpr std::uint8_t kShiftBit = 1;
constexpr std::uint8_t kCtrlBit = 2;
constexpr std::uint8_t kAltBit = 4;

struct ModifierKey {
    std::uint8_t bit;
    std::uint8_t vk;
};
// Pressed in this order when a character needs several (Ctrl before Alt for AltGr).
constexpr std::array<ModifierKey, 3> kModifierKeys{{
    {kShiftBit, VK_SHIFT},
    {kCtrlBit, VK_CONTROL},
    {kAltBit, VK_MENU},
}};

struct NamedKey {
    std::string_view name;
    std::uint8_t vk;
};

constexpr NamedKey kNamedKeys[] = {
    {"BACKSPACE", VK_BACK},    {"BS", VK_BACK},          {"BKSP", VK_BACK},
    {"BREAK", VK_CANCEL},      {"CAPSLOCK", VK_CAPITAL}, {"DELETE", VK_DELETE},
    {"DEL", VK_DELETE},        {"DOWN", VK_DOWN},        {"END", VK_END},
    {"ENTER", VK_RETURN},      {"ESC", VK_ESCAPE},       {"HELP", VK_HELP},
    {"HOME", VK_HOME},         {"INSERT", VK_INSERT},    {"INS", VK_INSERT},
    {"LEFT", VK_LEFT},         {"NUMLOCK", VK_NUMLOCK},  {"PGDN", VK_NEXT},
    {"PGUP", VK_PRIOR},        {"PRTSC", VK_SNAPSHOT},   {"RIGHT", VK_RIGHT},
    {"SCROLLLOCK", VK_SCROLL}, {"TAB", VK_TAB},          {"UP", VK_UP},
    {"F1", VK_F1 + 0},         {"F2", VK_F1 + 1},        {"F3", VK_F1 + 2},
    {"F4", VK_F1 + 3},         {"F5", VK_F1 + 4},        {"F6", VK_F1 + 5},
    {"F7", VK_F1 + 6},         {"F8", VK_F1 + 7},        {"F9", VK_F1 + 8},
    {"F10", VK_F1 + 9},        {"F11", VK_F1 + 10},      {"F12", VK_F1 + 11},
    {"F13", VK_F1 + 12},       {"F14", VK_F1 + 13},      {"F15", VK_F1 + 14},
    {"F16", VK_F1 + 15},       {"ADD", VK_ADD},          {"SUBTRACT", VK_SUBTRACT},
    {"MULTIPLY", VK_MULTIPLY}, {"DIVIDE", VK_DIVIDE},
};

const NamedKey* findNamedKey(std::wstring_view name) {
    for (const NamedKey& key : kNamedKeys) {
        if (key.name.size() != name.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i) {
            wchar_t ch = name[i];
            if (ch >= L'a' && ch <= L'z') ch = wchar_t(ch - L'a' + L'A');
            same = ch == wchar_t(key.name[i]);
        }
        if (same) return &key;
    }
    return nullptr;
}

bool isHighSurrogate(wchar_t ch) { return ch >= 0xD800 && ch <= 0xDBFF; }
bool isLowSurrogate(wchar_t ch) { return ch >= 0xDC00 && ch <= 0xDFFF; }

// A modifier pressed by the text: by a prefix still waiting for its key, or by a group.
struct Held {
    std::vector<std::uint8_t> vks; // in the order pressed
    std::uint8_t bits = 0;
    std::size_t position = 0; // where the first of them was written
};

struct Group {
    Held modifiers;
    std::uint8_t heldWithin = 0; // modifier bits held by this group and those around it
    std::size_t open = 0;        // position of its "("
    bool hasKey = false;
};

class Parser {
  public:
    Parser(std::wstring_view text, const KeyboardLayout& layout) : text_(text), layout_(layout) {}

    ParsedKeyString run() {
        std::size_t pos = 0;
        while (pos < text_.size() && !result_.rejection)
            pos = step(pos);
        if (!result_.rejection) {
            if (!pending_.vks.empty())
                reject(KeyStringError::DanglingModifier, pending_.position);
            else if (!groups_.empty())
                reject(KeyStringError::UnbalancedParenthesis, groups_.back().open);
        }
        if (result_.rejection) result_.strokes.clear();
        return std::move(result_);
    }

  private:
    // Parses the item at pos; returns where the next one starts.
    std::size_t step(std::size_t pos) {
        switch (text_[pos]) {
        case L'+':
            modifier(VK_SHIFT, kShiftBit, pos);
            return pos + 1;
        case L'^':
            modifier(VK_CONTROL, kCtrlBit, pos);
            return pos + 1;
        case L'%':
            modifier(VK_MENU, kAltBit, pos);
            return pos + 1;
        case L'(':
            openGroup(pos);
            return pos + 1;
        case L')':
            closeGroup(pos);
            return pos + 1;
        case L'~':
            namedKey(VK_RETURN, 1, pos);
            return pos + 1;
        case L'{':
            return braced(pos);
        case L'}':
            reject(KeyStringError::UnbalancedBrace, pos);
            return pos + 1;
        default: {
            const std::size_t length = codePointLength(pos);
            character(text_.substr(pos, length), 1, pos);
            return pos + length;
        }
        }
    }

    std::size_t codePointLength(std::size_t pos) const {
        return isHighSurrogate(text_[pos]) && pos + 1 < text_.size() &&
                       isLowSurrogate(text_[pos + 1])
                   ? 2
                   : 1;
    }

    std::uint8_t heldBits() const {
        return (groups_.empty() ? 0 : groups_.back().heldWithin) | pending_.bits;
    }

    void reject(KeyStringError error, std::size_t position) {
        result_.rejection = KeyStringRejection{error, position};
    }

    // At most three modifiers are ever held, so reserving room for their releases with every
    // addition keeps the whole list within kMaxKeyStrokes.
    bool reserve(std::size_t count, std::size_t position) {
        if (result_.strokes.size() + count + kModifierKeys.size() > kMaxKeyStrokes) {
            reject(KeyStringError::TooManyKeys, position);
            return false;
        }
        return true;
    }

    void add(std::uint16_t vk, std::uint16_t scan, std::uint32_t flags) {
        if (!(flags & KEYEVENTF_UNICODE) && isExtendedKey(std::uint8_t(vk)))
            flags |= KEYEVENTF_EXTENDEDKEY;
        result_.strokes.push_back(KeyboardInput{vk, scan, flags});
    }
    void press(std::uint8_t vk) {
        add(vk, 0, 0);
        add(vk, 0, KEYEVENTF_KEYUP);
    }
    void releaseAll(const Held& held) {
        for (auto vk = held.vks.rbegin(); vk != held.vks.rend(); ++vk)
            add(*vk, 0, KEYEVENTF_KEYUP);
    }

    void modifier(std::uint8_t vk, std::uint8_t bit, std::size_t pos) {
        if (heldBits() & bit) return reject(KeyStringError::RepeatedModifier, pos);
        if (!reserve(1, pos)) return;
        add(vk, 0, 0);
        if (pending_.vks.empty()) pending_.position = pos;
        pending_.vks.push_back(vk);
        pending_.bits |= bit;
    }

    void openGroup(std::size_t pos) {
        Group group;
        group.heldWithin = heldBits();
        group.open = pos;
        group.modifiers = std::move(pending_);
        pending_ = Held{};
        groups_.push_back(std::move(group));
    }

    void closeGroup(std::size_t pos) {
        if (groups_.empty()) return reject(KeyStringError::UnbalancedParenthesis, pos);
        if (!pending_.vks.empty())
            return reject(KeyStringError::DanglingModifier, pending_.position);
        Group& group = groups_.back();
        if (!group.hasKey && !group.modifiers.vks.empty())
            return reject(KeyStringError::DanglingModifier, group.modifiers.position);
        releaseAll(group.modifiers);
        const bool hadKey = group.hasKey;
        groups_.pop_back();
        if (hadKey && !groups_.empty()) groups_.back().hasKey = true;
    }

    // A key has been typed: the prefix modifiers waiting for it are released after it.
    void keyDone() {
        if (!groups_.empty()) groups_.back().hasKey = true;
        releaseAll(pending_);
        pending_ = Held{};
    }

    void namedKey(std::uint8_t vk, unsigned repeat, std::size_t pos) {
        if (!reserve(2 * std::size_t(repeat), pos)) return;
        for (unsigned i = 0; i < repeat; ++i)
            press(vk);
        keyDone();
    }

    // A character goes through the layout's key, wrapped in the modifiers the layout needs and
    // the text does not already hold; one that no key produces goes as its UTF-16 units.
    void character(std::wstring_view units, unsigned repeat, std::size_t pos) {
        if (units.size() == 1) {
            const auto code = std::uint16_t(layout_(units[0]));
            const std::uint8_t vk = code & 0xFF;
            const std::uint8_t needs = code >> 8;
            // High-byte bits beyond Shift, Ctrl and Alt are layout states (Hankaku and the
            // like) that a key press alone cannot reach.
            if (vk != 0 && vk != 0xFF && (needs & ~(kShiftBit | kCtrlBit | kAltBit)) == 0) {
                if (repeat == 0) return keyDone();
                Held wrap;
                for (const ModifierKey& m : kModifierKeys) {
                    if ((needs & m.bit) && !(heldBits() & m.bit)) wrap.vks.push_back(m.vk);
                }
                if (!reserve(2 * (std::size_t(repeat) + wrap.vks.size()), pos)) return;
                for (std::uint8_t m : wrap.vks)
                    add(m, 0, 0);
                for (unsigned i = 0; i < repeat; ++i)
                    press(vk);
                releaseAll(wrap);
                return keyDone();
            }
        }
        if (!reserve(2 * units.size() * repeat, pos)) return;
        for (unsigned i = 0; i < repeat; ++i) {
            for (wchar_t unit : units) {
                add(0, std::uint16_t(unit), KEYEVENTF_UNICODE);
                add(0, std::uint16_t(unit), KEYEVENTF_UNICODE | KEYEVENTF_KEYUP);
            }
        }
        keyDone();
    }

    // "{name}" or "{name count}". The name runs to the first space or "}", except that a
    // "}" right after the "{" is itself the name when a space or "}" follows it: "{}}",
    // "{} 3}".
    std::size_t braced(std::size_t open) {
        const std::size_t nameStart = open + 1;
        std::size_t nameEnd = nameStart;
        if (nameStart + 1 < text_.size() && text_[nameStart] == L'}' &&
            (text_[nameStart + 1] == L'}' || text_[nameStart + 1] == L' ')) {
            nameEnd = nameStart + 1;
        } else {
            while (nameEnd < text_.size() && text_[nameEnd] != L'}' && text_[nameEnd] != L' ')
                ++nameEnd;
        }
        std::size_t close = nameEnd;
        while (close < text_.size() && text_[close] != L'}')
            ++close;
        if (close == text_.size()) {
            reject(KeyStringError::UnbalancedBrace, open);
            return close;
        }

        const std::wstring_view name = text_.substr(nameStart, nameEnd - nameStart);
        const bool isCharacter = !name.empty() && name.size() == codePointLength(nameStart);
        const NamedKey* key = isCharacter ? nullptr : findNamedKey(name);
        if (!isCharacter && !key) {
            reject(KeyStringError::UnknownKeyName, open);
            return close + 1;
        }

        unsigned repeat = 1;
        if (close != nameEnd) {
            std::size_t pos = nameEnd;
            while (pos < close && text_[pos] == L' ')
                ++pos;
            if (pos == close) {
                reject(KeyStringError::BadRepeatCount, open);
                return close + 1;
            }
            repeat = 0;
            for (; pos < close; ++pos) {
                const wchar_t digit = text_[pos];
                if (digit < L'0' || digit > L'9' || repeat * 10 + (digit - L'0') > kMaxRepeat) {
                    reject(KeyStringError::BadRepeatCount, open);
                    return close + 1;
                }
                repeat = repeat * 10 + unsigned(digit - L'0');
            }
        }

        if (isCharacter)
            character(name, repeat, open);
        else
            namedKey(key->vk, repeat, open);
        return close + 1;
    }

    std::wstring_view text_;
    const KeyboardLayout& layout_;
    ParsedKeyString result_;
    Held pending_;
    std::vector<Group> groups_;
};

// SendInput only queues the keys. A message sent to the target's thread is answered the next
// time it looks at its queue, and each look takes at most one queued input message, so one
// round trip per key event (and one more) outlasts them all. A second at most in total, and
// no waiting on a hung target.
void waitForKeysProcessed(Platform& platform, Hwnd foreground, std::size_t keyEvents) {
    if (!foreground) return;
    constexpr std::uint32_t kLimitMs = 1000;
    const std::uint32_t start = platform.GetTickCount();
    for (std::size_t round = 0; round <= keyEvents; ++round) {
        const std::uint32_t elapsed = platform.GetTickCount() - start;
        if (elapsed >= kLimitMs) return;
        std::uintptr_t answer = 0;
        if (!platform.SendMessageTimeoutW(foreground, WM_NULL, 0, 0, SMTO_ABORTIFHUNG,
                                          kLimitMs - elapsed, &answer))
            return;
    }
}

} // namespace

ParsedKeyString parseKeyString(std::wstring_view text, const KeyboardLayout& layout) {
    return Parser(text, layout).run();
}

bool isExtendedKey(std::uint8_t vk) {
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

Hkl keyboardLayoutOf(Hwnd window) {
    return os().GetKeyboardLayout(window ? os().GetWindowThreadProcessId(window, nullptr) : 0);
}

KeyboardInput keyInput(std::uint8_t vk, std::uint32_t flags, Hkl layout) {
    if (isExtendedKey(vk)) flags |= KEYEVENTF_EXTENDEDKEY;
    const auto scan = std::uint16_t(os().MapVirtualKeyExW(vk, MAPVK_VK_TO_VSC, layout));
    return KeyboardInput{vk, scan, flags};
}

bool SendKeys(std::wstring_view keys, bool wait) {
    Platform& platform = os();
    const Hwnd foreground = platform.GetForegroundWindow();
    const Hkl layout = keyboardLayoutOf(foreground);
    const ParsedKeyString parsed = parseKeyString(
        keys, [&platform, layout](wchar_t ch) { return platform.VkKeyScanExW(ch, layout); });
    if (!parsed) {
        platform.MessageBeep(MB_ICONWARNING);
        return false;
    }
    if (parsed.strokes.empty()) return true;

    std::vector<KeyboardInput> inputs;
    inputs.reserve(parsed.strokes.size());
    for (const KeyboardInput& stroke : parsed.strokes) {
        if (stroke.dwFlags & KEYEVENTF_UNICODE)
            inputs.push_back(stroke);
        else
            inputs.push_back(keyInput(std::uint8_t(stroke.wVk), stroke.dwFlags, layout));
    }
    platform.SendInput(std::uint32_t(inputs.size()), inputs.data());
    if (wait) waitForKeysProcessed(platform, foreground, inputs.size());
    return true;
}

} // namespace ep
