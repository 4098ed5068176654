// Which windows the panel serves: the built-in file manager and browser rules, and the pairs
// the user adds in the setting SERVED_WINDOWS ("TOP:HIT;TOP:HIT ...").
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ep {

// One user entry. The top-level class is compared exactly; the window under the cursor must
// have exactly hitClass, begin with it (an entry ending in "*"), or be any window ("*" alone).
struct ServedWindowRule {
    enum class Hit { Exact, Prefix, Any };
    std::wstring topLevelClass;
    Hit hit = Hit::Exact;
    std::wstring hitClass; // empty for Any
};
using ServedWindowRules = std::vector<ServedWindowRule>;

// Entries are separated by ";"; blanks around an entry and around its ":" do not count. An
// entry without ":" or with an empty side is skipped, and the others still apply.
ServedWindowRules parseServedWindows(std::wstring_view setting);

// True when the built-in rules or one of userRules serve a window of class topLevelClass
// while the cursor is over a window of class hitClass.
bool isServedWindow(std::wstring_view topLevelClass, std::wstring_view hitClass,
                    const ServedWindowRules& userRules);

} // namespace ep
