// The user-interface texts, one table per language: Japanese where the user's Windows speaks
// Japanese, English everywhere else.
#pragma once

namespace ep {

struct UiTexts {
    bool japanese;
    const wchar_t* useUserButton; // the menu's user-button switch
    const wchar_t* about;         // the menu's version item
    const wchar_t* exit;          // the menu's exit item
    const wchar_t* aboutCaption;  // the About window's title bar
};

// The table for the user's interface language, asked of the system each time.
const UiTexts& uiTexts();

} // namespace ep
