// Arbitrary text into the key-string parser: it must not crash, hang or grow without bound,
// and whatever it accepts must be a list a keyboard could send.
//
// The first input byte picks how the rest is read and which layout maps the characters:
//   bit 0 clear: each byte is one character (the syntax is ASCII, so mutations reach it fast)
//   bit 0 set:   byte pairs are UTF-16 units, little-endian (surrogates, any unit at all)
//   (byte >> 1) % 3: 0 a US keyboard, 1 no key for any character, 2 a scrambled layout
// So a corpus file "0%( n)" is the default user command on a US keyboard.
#include "frame/sendkeys.h"

#include "platform/platform.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

std::int16_t usLayout(wchar_t ch) {
    if (ch >= L'a' && ch <= L'z') return std::int16_t(ch - L'a' + 'A');
    if (ch >= L'A' && ch <= L'Z') return std::int16_t(0x100 | ch);
    if (ch >= L'0' && ch <= L'9') return std::int16_t(ch);
    switch (ch) {
    case L' ': return 0x20;
    case L'+': return 0x1BB;
    case L'^': return 0x136;
    case L'%': return 0x135;
    case L'~': return 0x1C0;
    case L'(': return 0x139;
    case L')': return 0x130;
    case L'{': return 0x1DB;
    case L'}': return 0x1DD;
    case L'[': return 0xDB;
    case L']': return 0xDD;
    case L'\t': return 0x09;
    case L'\r': return 0x0D;
    case L'\n': return 0x20D;
    default: return -1;
    }
}

std::int16_t noKeys(wchar_t) { return -1; }

// Any 16-bit answer at all, including high bytes no real layout gives.
std::int16_t scrambledLayout(wchar_t ch) {
    std::uint32_t h = std::uint32_t(ch) * 2654435761u;
    h ^= h >> 15;
    return std::int16_t(h & 0xFFFF);
}

void check(bool condition) {
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t mode = data[0];
    ++data;
    --size;

    std::wstring text;
    if (mode & 1) {
        for (std::size_t i = 0; i + 1 < size; i += 2)
            text.push_back(wchar_t(data[i] | (data[i + 1] << 8)));
    } else {
        for (std::size_t i = 0; i < size; ++i) text.push_back(wchar_t(data[i]));
    }

    static const ep::KeyboardLayout layouts[] = {usLayout, noKeys, scrambledLayout};
    const ep::KeyboardLayout& layout = layouts[(mode >> 1) % 3];
    const ep::ParsedKeyString parsed = ep::parseKeyString(text, layout);

    if (!parsed) {
        check(parsed.strokes.empty());
        check(parsed.rejection->position < text.size());
        return 0;
    }
    check(parsed.strokes.size() <= ep::kMaxKeyStrokes);

    // Every key that goes down comes up again, and nothing is left held.
    int down[256] = {};
    for (const ep::KeyboardInput& stroke : parsed.strokes) {
        const bool up = stroke.dwFlags & ep::KEYEVENTF_KEYUP;
        if (stroke.dwFlags & ep::KEYEVENTF_UNICODE) {
            check(stroke.wVk == 0);
            continue;
        }
        check(stroke.wVk != 0 && stroke.wVk < 256 && stroke.wScan == 0);
        down[stroke.wVk] += up ? -1 : 1;
        check(down[stroke.wVk] >= 0);
    }
    for (int count : down) check(count == 0);
    return 0;
}
