#include "menu/ui_texts.h"

#include "platform/platform.h"

namespace ep {

namespace {

constexpr UiTexts kJapanese{
    true,
    L"\uFF95\uFF70\uFF7B\uFF9E\uFF8E\uFF9E\uFF80\uFF9D\u3092\u4F7F\u3046", // ﾕｰｻﾞﾎﾞﾀﾝを使う
    L"\u30D0\u30FC\u30B8\u30E7\u30F3\u60C5\u5831",                         // バージョン情報
    L"\u7D42\u4E86",                                                       // 終了
    L"\u30D0\u30FC\u30B8\u30E7\u30F3\u60C5\u5831",                         // バージョン情報
};

constexpr UiTexts kEnglish{false, L"Use the user button", L"About Edgepad", L"Exit",
                           L"About Edgepad"};

// The primary language of a LANGID, and Japanese's.
constexpr std::uint16_t primaryLanguage(std::uint16_t langId) { return langId & 0x3FF; }
constexpr std::uint16_t kLangJapanese = 0x11;

} // namespace

const UiTexts& uiTexts() {
    return primaryLanguage(os().GetUserDefaultUILanguage()) == kLangJapanese ? kJapanese : kEnglish;
}

} // namespace ep
