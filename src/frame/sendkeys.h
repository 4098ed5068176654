// Key strings: the text a user writes to stand for keystrokes ("%( n)", "ab{ENTER}",
// "+(ec)"), turned into keyboard input records and typed into the foreground window.
//
// Syntax: a plain character types itself; "+", "^" and "%" hold Shift, Ctrl and Alt for the
// key or parenthesised group that follows ("+ec" shifts only e, "+(ec)" both); "~" is Enter;
// braces hold one character ("{+}", "{{}", "{}}"), or a key name (case-insensitive), either
// followed by a space and a repeat count ("{LEFT 42}", "{a 3}"). "[" and "]" type
// themselves. Anything else is rejected as a whole: nothing of a rejected string is typed.
#pragma once

#include "platform/platform.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace ep {

// The keyboard layout as VkKeyScanExW reports it: low byte the virtual key, high byte the
// modifiers it needs (1 Shift, 2 Ctrl, 4 Alt), -1 when no key produces the character.
using KeyboardLayout = std::function<std::int16_t(wchar_t)>;

enum class KeyStringError {
    UnbalancedBrace,       // a "{" without its "}", or a "}" outside braces
    UnbalancedParenthesis, // a "(" without its ")", or a ")" without its "("
    UnknownKeyName,        // "{SPACE}", "{}", "{ab}"
    BadRepeatCount,        // "{a x}", "{a -1}", "{a }", a count above kMaxRepeat
    DanglingModifier,      // "+", "a^", "(%)", "+()": a modifier with no key to act on
    RepeatedModifier,      // "++a", "+(+a)": a modifier that is already held
    TooManyKeys,           // the string expands to more than kMaxKeyStrokes records
};

struct KeyStringRejection {
    KeyStringError error;
    std::size_t position; // index into the text where the offending construct starts
};

struct ParsedKeyString {
    // SendInput's records, scan codes 0 (a Unicode record carries its UTF-16 unit there);
    // empty when rejected.
    std::vector<KeyboardInput> strokes;
    std::optional<KeyStringRejection> rejection; // set when rejected
    explicit operator bool() const { return !rejection; }
};

// A settings-file value must not be able to flood the keyboard.
constexpr unsigned kMaxRepeat = 1000;
constexpr std::size_t kMaxKeyStrokes = 16384;

// Pure: the records that type `text` on `layout`, in order, or why the text is rejected.
// Keys a keyboard sends with the E0 prefix carry KEYEVENTF_EXTENDEDKEY; scan codes are left
// to keyInput.
ParsedKeyString parseKeyString(std::wstring_view text, const KeyboardLayout& layout);

// The keys a keyboard sends with the E0 prefix: the arrows, Insert, Delete, Home, End, Page Up
// and Page Down, right Ctrl and right Alt, Num Lock, the keypad's Divide, the Windows keys,
// Apps, Print Screen and Break. The receiving window sees them with the extended bit set.
bool isExtendedKey(std::uint8_t vk);

// The keyboard layout of the thread that owns `window`, which reads the keys sent to it; the
// program's own where there is no such window.
Hkl keyboardLayoutOf(Hwnd window);

// A key event as a keyboard makes it on `layout`: the virtual key, its scan code there, and the
// extended bit on the E0 keys. Programs that read scan codes (browsers, terminals,
// remote-desktop clients) see an unidentified key without one.
KeyboardInput keyInput(std::uint8_t vk, std::uint32_t flags, Hkl layout);

// Types `keys` into the foreground window, each key as a keyboard with that window's layout
// makes it. A rejected string types nothing and gives the standard warning beep; the result
// says whether the string was accepted. With `wait`, returns once the foreground window's
// process has taken the keys in, or after one second at most.
bool SendKeys(std::wstring_view keys, bool wait);

} // namespace ep
