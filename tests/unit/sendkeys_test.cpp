#include "frame/sendkeys.h"

#include "platform/platform.h"
#include "platform/sim/desktop.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace ep {
namespace {

// A US keyboard, as VkKeyScanExW reports it there.
std::int16_t usLayout(wchar_t ch) {
    if (ch >= L'a' && ch <= L'z') return std::int16_t(ch - L'a' + 'A');
    if (ch >= L'A' && ch <= L'Z') return std::int16_t(0x100 | ch);
    if (ch >= L'0' && ch <= L'9') return std::int16_t(ch);
    const std::wstring_view shiftedDigits = L")!@#$%^&*(";
    if (auto at = shiftedDigits.find(ch); at != std::wstring_view::npos)
        return std::int16_t(0x100 | ('0' + at));
    struct Oem {
        wchar_t plain, shifted;
        std::int16_t vk;
    };
    static constexpr Oem oem[] = {{L'`', L'~', 0xC0}, {L'-', L'_', 0xBD},  {L'=', L'+', 0xBB},
                                  {L'[', L'{', 0xDB}, {L']', L'}', 0xDD},  {L'\\', L'|', 0xDC},
                                  {L';', L':', 0xBA}, {L'\'', L'"', 0xDE}, {L',', L'<', 0xBC},
                                  {L'.', L'>', 0xBE}, {L'/', L'?', 0xBF}};
    for (const Oem& key : oem) {
        if (ch == key.plain) return key.vk;
        if (ch == key.shifted) return std::int16_t(0x100 | key.vk);
    }
    if (ch == L' ') return VK_SPACE;
    return -1;
}

// Strokes as text: "v" down, "^" up, then the key; "*" marks an extended key, U+ a Unicode
// unit. Shift+5 on a US keyboard reads "vShift v5 ^5 ^Shift".
std::string describe(const std::vector<KeyboardInput>& strokes) {
    std::string out;
    for (const KeyboardInput& s : strokes) {
        if (!out.empty()) out += ' ';
        out += (s.dwFlags & KEYEVENTF_KEYUP) ? '^' : 'v';
        char name[16];
        if (s.dwFlags & KEYEVENTF_UNICODE) {
            std::snprintf(name, sizeof name, "U+%04X", unsigned(s.wScan));
        } else if ((s.wVk >= '0' && s.wVk <= '9') || (s.wVk >= 'A' && s.wVk <= 'Z')) {
            std::snprintf(name, sizeof name, "%c", char(s.wVk));
        } else if (s.wVk >= VK_F1 && s.wVk <= VK_F16) {
            std::snprintf(name, sizeof name, "F%d", s.wVk - VK_F1 + 1);
        } else {
            const char* known = nullptr;
            switch (s.wVk) {
            case VK_SHIFT:
                known = "Shift";
                break;
            case VK_CONTROL:
                known = "Ctrl";
                break;
            case VK_MENU:
                known = "Alt";
                break;
            case VK_RETURN:
                known = "Enter";
                break;
            case VK_SPACE:
                known = "Space";
                break;
            case VK_LEFT:
                known = "Left";
                break;
            default:
                break;
            }
            if (known)
                std::snprintf(name, sizeof name, "%s", known);
            else
                std::snprintf(name, sizeof name, "x%02X", unsigned(s.wVk));
        }
        out += name;
        if (s.dwFlags & KEYEVENTF_EXTENDEDKEY) out += '*';
    }
    return out;
}

std::string typed(std::wstring_view text, const KeyboardLayout& layout = usLayout) {
    const ParsedKeyString parsed = parseKeyString(text, layout);
    if (!parsed) return "rejected";
    return describe(parsed.strokes);
}

struct Accepted {
    const wchar_t* text;
    const char* strokes;
};

TEST(SendKeysParse, TypesKeysInPlatformOrder) {
    const Accepted cases[] = {
        // The default user command: Alt held over Space then N.
        {L"%( n)", "vAlt vSpace ^Space vN ^N ^Alt"},
        // A group holds its modifier for every key; a prefix only for the next one.
        {L"+(ec)", "vShift vE ^E vC ^C ^Shift"},
        {L"+ec", "vShift vE ^E ^Shift vC ^C"},
        {L"ab{ENTER}", "vA ^A vB ^B vEnter ^Enter"},
        {L"~", "vEnter ^Enter"},
        {L"{F16}", "vF16 ^F16"},
        {L"%{F4}", "vAlt vF4 ^F4 ^Alt"},
        {L"{left}", "vLeft* ^Left*"},
        {L"", ""},
        // Combined modifiers, released in reverse order.
        {L"+^a", "vShift vCtrl vA ^A ^Ctrl ^Shift"},
        {L"^%(ab)", "vCtrl vAlt vA ^A vB ^B ^Alt ^Ctrl"},
        {L"+(a^(b)c)", "vShift vA ^A vCtrl vB ^B ^Ctrl vC ^C ^Shift"},
        {L"(ab)", "vA ^A vB ^B"},
        {L"()", ""},
        // The Shift a character needs wraps that character only, and is not pressed twice.
        {L"A", "vShift vA ^A ^Shift"},
        {L"aB", "vA ^A vShift vB ^B ^Shift"},
        {L"^A", "vCtrl vShift vA ^A ^Shift ^Ctrl"},
        {L"+A", "vShift vA ^A ^Shift"},
        {L"+(A!b)", "vShift vA ^A v1 ^1 vB ^B ^Shift"},
        // Braces make the special characters plain; brackets are plain anyway.
        {L"{+}", "vShift vxBB ^xBB ^Shift"},
        {L"{^}{%}", "vShift v6 ^6 ^Shift vShift v5 ^5 ^Shift"},
        {L"{~}", "vShift vxC0 ^xC0 ^Shift"},
        {L"{(}{)}", "vShift v9 ^9 ^Shift vShift v0 ^0 ^Shift"},
        {L"{{}", "vShift vxDB ^xDB ^Shift"},
        {L"{}}", "vShift vxDD ^xDD ^Shift"},
        {L"{[}{]}", "vxDB ^xDB vxDD ^xDD"},
        {L"[x]", "vxDB ^xDB vX ^X vxDD ^xDD"},
        {L" ", "vSpace ^Space"},
        // Repeats, also of characters; a Shift the layout needs wraps the whole run.
        {L"{a 3}", "vA ^A vA ^A vA ^A"},
        {L"{A 2}", "vShift vA ^A vA ^A ^Shift"},
        {L"{{ 2}", "vShift vxDB ^xDB vxDB ^xDB ^Shift"},
        {L"{} 2}", "vShift vxDD ^xDD vxDD ^xDD ^Shift"},
        {L"{Enter 2}", "vEnter ^Enter vEnter ^Enter"},
        {L"{F1   02}", "vF1 ^F1 vF1 ^F1"},
        {L"{a 0}b", "vB ^B"},
        {L"+{a 0}", "vShift ^Shift"},
        {L"+{TAB 2}", "vShift vx09 ^x09 vx09 ^x09 ^Shift"},
        // A character no key produces goes as Unicode, a surrogate pair unit by unit (the
        // pairs are spelt as UTF-16 units, as Windows holds the text).
        {L"\u00e9", "vU+00E9 ^U+00E9"},
        {L"+\u00e9", "vShift vU+00E9 ^U+00E9 ^Shift"},
        {L"{\u00e9 2}", "vU+00E9 ^U+00E9 vU+00E9 ^U+00E9"},
        {L"\xD83D\xDE00", "vU+D83D ^U+D83D vU+DE00 ^U+DE00"},
        {L"{\xD83D\xDE00}", "vU+D83D ^U+D83D vU+DE00 ^U+DE00"},
    };
    for (const Accepted& c : cases)
        EXPECT_EQ(typed(c.text), c.strokes) << "text: " << c.text;
}

TEST(SendKeysParse, NamedKeysAreCaseInsensitiveWithTheirKeysAndExtendedBit) {
    struct Named {
        const wchar_t* name;
        std::uint8_t vk;
        bool extended;
    };
    const Named cases[] = {
        {L"BACKSPACE", VK_BACK, false},
        {L"bs", VK_BACK, false},
        {L"Bksp", VK_BACK, false},
        {L"BREAK", VK_CANCEL, true},
        {L"CAPSLOCK", VK_CAPITAL, false},
        {L"DELETE", VK_DELETE, true},
        {L"del", VK_DELETE, true},
        {L"DOWN", VK_DOWN, true},
        {L"END", VK_END, true},
        {L"ENTER", VK_RETURN, false},
        {L"ESC", VK_ESCAPE, false},
        {L"HELP", VK_HELP, false},
        {L"HOME", VK_HOME, true},
        {L"INSERT", VK_INSERT, true},
        {L"ins", VK_INSERT, true},
        {L"LEFT", VK_LEFT, true},
        {L"NUMLOCK", VK_NUMLOCK, true},
        {L"PGDN", VK_NEXT, true},
        {L"PgUp", VK_PRIOR, true},
        {L"PRTSC", VK_SNAPSHOT, true},
        {L"RIGHT", VK_RIGHT, true},
        {L"SCROLLLOCK", VK_SCROLL, false},
        {L"TAB", VK_TAB, false},
        {L"UP", VK_UP, true},
        {L"F1", VK_F1, false},
        {L"f10", VK_F1 + 9, false},
        {L"F16", VK_F16, false},
        {L"ADD", VK_ADD, false},
        {L"SUBTRACT", VK_SUBTRACT, false},
        {L"MULTIPLY", VK_MULTIPLY, false},
        {L"DIVIDE", VK_DIVIDE, true},
    };
    for (const Named& c : cases) {
        const std::wstring text = L"{" + std::wstring(c.name) + L"}";
        const ParsedKeyString parsed = parseKeyString(text, usLayout);
        ASSERT_TRUE(parsed) << "name: " << text;
        const std::uint32_t ext = c.extended ? KEYEVENTF_EXTENDEDKEY : 0;
        const std::vector<KeyboardInput> expected{{c.vk, 0, ext}, {c.vk, 0, ext | KEYEVENTF_KEYUP}};
        EXPECT_EQ(parsed.strokes, expected) << "name: " << text;
    }
}

TEST(SendKeysParse, RepeatsUpToTheCap) {
    const ParsedKeyString left = parseKeyString(L"{LEFT 42}", usLayout);
    ASSERT_TRUE(left);
    ASSERT_EQ(left.strokes.size(), 84u);
    for (std::size_t i = 0; i < left.strokes.size(); ++i) {
        const std::uint32_t up = i % 2 ? KEYEVENTF_KEYUP : 0;
        EXPECT_EQ(left.strokes[i], (KeyboardInput{VK_LEFT, 0, KEYEVENTF_EXTENDEDKEY | up}));
    }
    const std::wstring atCap = L"{a " + std::to_wstring(kMaxRepeat) + L"}";
    const std::wstring overCap = L"{a " + std::to_wstring(kMaxRepeat + 1) + L"}";
    EXPECT_EQ(parseKeyString(atCap, usLayout).strokes.size(), 2 * kMaxRepeat);
    EXPECT_FALSE(parseKeyString(overCap, usLayout));

    // Many runs within the cap each still must not add up to a flood.
    std::wstring many;
    while (many.size() * 2 < kMaxKeyStrokes)
        many += atCap;
    const ParsedKeyString flood = parseKeyString(many, usLayout);
    ASSERT_FALSE(flood);
    EXPECT_EQ(flood.rejection->error, KeyStringError::TooManyKeys);
    EXPECT_TRUE(flood.strokes.empty());
}

TEST(SendKeysParse, LayoutModifiersBeyondShift) {
    // A German keyboard: "@" is AltGr+Q (Ctrl+Alt), "ä" has its own key; the 8 bit of the
    // high byte is a layout state no key press reaches.
    const KeyboardLayout german = [](wchar_t ch) -> std::int16_t {
        if (ch == L'@') return 0x0600 | 'Q';
        if (ch == L'\u00e4') return 0xDE;
        if (ch == L'q') return 'Q';
        if (ch == L'x') return 0x0800 | 'X';
        return -1;
    };
    EXPECT_EQ(typed(L"@", german), "vCtrl vAlt vQ ^Q ^Alt ^Ctrl");
    EXPECT_EQ(typed(L"^@", german), "vCtrl vAlt vQ ^Q ^Alt ^Ctrl");
    EXPECT_EQ(typed(L"%(@q)", german), "vAlt vCtrl vQ ^Q ^Ctrl vQ ^Q ^Alt");
    EXPECT_EQ(typed(L"\u00e4", german), "vxDE ^xDE");
    EXPECT_EQ(typed(L"x", german), "vU+0078 ^U+0078");
}

TEST(SendKeysParse, RejectsMalformedStringsWholly) {
    struct Rejected {
        const wchar_t* text;
        KeyStringError error;
        std::size_t position;
    };
    using E = KeyStringError;
    const Rejected cases[] = {
        {L"{", E::UnbalancedBrace, 0},
        {L"ab{ENTER", E::UnbalancedBrace, 2},
        {L"a}", E::UnbalancedBrace, 1},
        {L"{}}}", E::UnbalancedBrace, 3},
        {L"(", E::UnbalancedParenthesis, 0},
        {L"x(a(b)", E::UnbalancedParenthesis, 1},
        {L"a)", E::UnbalancedParenthesis, 1},
        {L"%( n))", E::UnbalancedParenthesis, 5},
        {L"{SPACE}", E::UnknownKeyName, 0},
        {L"{FOO}", E::UnknownKeyName, 0},
        {L"{F17}", E::UnknownKeyName, 0},
        {L"{F0}", E::UnknownKeyName, 0},
        {L"{ab}", E::UnknownKeyName, 0},
        {L"{}", E::UnknownKeyName, 0},
        {L"{ }", E::UnknownKeyName, 0},
        {L"{ 3}", E::UnknownKeyName, 0},
        {L"{{a}", E::UnknownKeyName, 0},
        {L"a{LEFT x}", E::BadRepeatCount, 1},
        {L"{LEFT -1}", E::BadRepeatCount, 0},
        {L"{LEFT }", E::BadRepeatCount, 0},
        {L"{LEFT 1x}", E::BadRepeatCount, 0},
        {L"{LEFT 1 }", E::BadRepeatCount, 0},
        {L"{LEFT 99999999999999999999}", E::BadRepeatCount, 0},
        {L"+", E::DanglingModifier, 0},
        {L"ab^", E::DanglingModifier, 2},
        {L"(%)", E::DanglingModifier, 1},
        {L"+()", E::DanglingModifier, 0},
        {L"+(())", E::DanglingModifier, 0},
        {L"++a", E::RepeatedModifier, 1},
        {L"+(+a)", E::RepeatedModifier, 2},
        {L"^%^a", E::RepeatedModifier, 2},
    };
    for (const Rejected& c : cases) {
        const ParsedKeyString parsed = parseKeyString(c.text, usLayout);
        ASSERT_FALSE(parsed) << "text: " << c.text;
        EXPECT_EQ(parsed.rejection->error, c.error) << "text: " << c.text;
        EXPECT_EQ(parsed.rejection->position, c.position) << "text: " << c.text;
        EXPECT_TRUE(parsed.strokes.empty()) << "text: " << c.text;
    }
}

TEST(SendKeysOnDesktop, RejectedStringBeepsAndTypesNothing) {
    sim::Desktop desktop;
    const Hwnd target = desktop.addWindow("CabinetWClass", "Files", Rect{100, 100, 600, 500});
    desktop.activate(target);

    EXPECT_FALSE(SendKeys(L"ab{ENTER", true));
    EXPECT_EQ(desktop.beeps, std::vector<std::uint32_t>{MB_ICONWARNING});
    EXPECT_TRUE(desktop.keyEvents().empty());
    EXPECT_TRUE(desktop.keysReceivedBy(target).empty());
}

TEST(SendKeysOnDesktop, AcceptedStringArrivesAsParsedAndTheWaitIsBounded) {
    sim::Desktop desktop;
    const Hwnd target = desktop.addWindow("CabinetWClass", "Files", Rect{100, 100, 600, 500});
    desktop.activate(target);
    const int handlesBefore = desktop.liveKernelHandles();

    const std::wstring_view keys = L"+(ec)A{LEFT 2}\u00e9~";
    const ParsedKeyString parsed = parseKeyString(
        keys, [&desktop](wchar_t ch) { return desktop.VkKeyScanExW(ch, sim::usLayout); });
    ASSERT_TRUE(parsed);
    ASSERT_TRUE(SendKeys(keys, true));

    EXPECT_TRUE(desktop.beeps.empty());
    EXPECT_EQ(desktop.liveKernelHandles(), handlesBefore);
    const std::vector<sim::KeyEvent> received = desktop.keysReceivedBy(target);
    ASSERT_EQ(received.size(), parsed.strokes.size());
    for (std::size_t i = 0; i < received.size(); ++i) {
        const KeyboardInput& stroke = parsed.strokes[i];
        EXPECT_TRUE(received[i].viaSendInput) << i;
        EXPECT_EQ(received[i].vk, stroke.wVk) << i;
        EXPECT_EQ(received[i].up, (stroke.dwFlags & KEYEVENTF_KEYUP) != 0) << i;
        EXPECT_EQ(received[i].flags, stroke.dwFlags) << i;
        EXPECT_EQ(std::uint16_t(received[i].unicode), stroke.wScan) << i;
    }
    EXPECT_FALSE(desktop.keyIsDown(VK_SHIFT));
    EXPECT_EQ(desktop.callCounts()["SendInput"], 1u);
    // One round trip to the target per key event, and one more.
    EXPECT_EQ(desktop.callCounts()["SendMessageTimeoutW"], received.size() + 1);

    // Without the wait, the keys still arrive, and nothing waits for the target.
    ASSERT_TRUE(SendKeys(L"~", false));
    EXPECT_EQ(desktop.keysReceivedBy(target).size(), received.size() + 2);
    EXPECT_EQ(desktop.callCounts()["SendMessageTimeoutW"], received.size() + 1);
}

// "v" or "^", the virtual key in hex, the scan code the window reads, "*" for the extended
// bit; "U+" and the character for a Unicode event.
std::string describeReceived(const std::vector<sim::KeyEvent>& keys) {
    std::string out;
    for (const sim::KeyEvent& key : keys) {
        char one[24];
        if (key.flags & KEYEVENTF_UNICODE)
            std::snprintf(one, sizeof one, "%cU+%04X", key.up ? '^' : 'v', unsigned(key.unicode));
        else
            std::snprintf(one, sizeof one, "%c%02X:%02X%s", key.up ? '^' : 'v', unsigned(key.vk),
                          unsigned(key.scanCode()), key.extended() ? "*" : "");
        out += (out.empty() ? "" : " ") + std::string(one);
    }
    return out;
}

// Each key as a keyboard with the served window's layout makes it, whatever the program's own
// layout: on a German window z is the key where US Y is, ü and AltGr+Q (@) are keys, and é,
// which only a dead key makes there, goes as its character.
TEST(SendKeysOnDesktop, KeysAreMadeAsTheForegroundWindowsLayoutMakesThem) {
    sim::Desktop desktop;
    const Hwnd files = desktop.addWindow("CabinetWClass", "Files", Rect{100, 100, 600, 500});
    const Hwnd dateien = desktop.addWindow("CabinetWClass", "Dateien", Rect{100, 100, 600, 500});
    desktop.setKeyboardLayout(dateien, sim::germanLayout);

    desktop.activate(files);
    ASSERT_TRUE(SendKeys(L"ab{LEFT}\u00fc", true));
    EXPECT_EQ(describeReceived(desktop.keysReceivedBy(files)),
              "v41:1E ^41:1E v42:30 ^42:30 v25:4B* ^25:4B* vU+00FC ^U+00FC");

    desktop.activate(dateien);
    ASSERT_TRUE(SendKeys(L"zy\u00fc@{LEFT}\u00e9", true));
    EXPECT_EQ(describeReceived(desktop.keysReceivedBy(dateien)),
              "v5A:15 ^5A:15 v59:2C ^59:2C vBA:1A ^BA:1A "
              "v11:1D v12:38 v51:10 ^51:10 ^12:38 ^11:1D "
              "v25:4B* ^25:4B* vU+00E9 ^U+00E9");
    EXPECT_FALSE(desktop.keyIsDown(VK_CONTROL));
    EXPECT_FALSE(desktop.keyIsDown(VK_MENU));
}

TEST(SendKeysOnDesktop, DefaultUserCommandMinimisesThroughTheWindowMenu) {
    sim::Desktop desktop;
    const Hwnd target = desktop.addWindow("CabinetWClass", "Files", Rect{100, 100, 600, 500});
    desktop.activate(target);

    ASSERT_TRUE(SendKeys(L"%( n)", true));
    EXPECT_TRUE(desktop.windowIconic(target));
    EXPECT_EQ(desktop.keyEvents().size(), 6u);
    EXPECT_FALSE(desktop.keyIsDown(VK_MENU));
}

} // namespace
} // namespace ep
