#include "watcher/served_windows.h"

#include "watcher/watcher.h"

#include <algorithm>

namespace ep {

namespace {

constexpr std::wstring_view kBlanks = L" \t";

std::wstring_view trimBlanks(std::wstring_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::wstring_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool builtInServes(std::wstring_view topLevelClass, std::wstring_view hitClass) {
    const bool servedTop = std::find(kServedTopLevelClasses.begin(), kServedTopLevelClasses.end(),
                                     topLevelClass) != kServedTopLevelClasses.end();
    return servedTop &&
           (hitClass.starts_with(kServedHitClassPrefix) || hitClass == kBrowserViewClass);
}

bool ruleServes(const ServedWindowRule& rule, std::wstring_view topLevelClass,
                std::wstring_view hitClass) {
    if (topLevelClass != rule.topLevelClass) return false;
    switch (rule.hit) {
    case ServedWindowRule::Hit::Exact:
        return hitClass == rule.hitClass;
    case ServedWindowRule::Hit::Prefix:
        return hitClass.starts_with(rule.hitClass);
    case ServedWindowRule::Hit::Any:
        return true;
    }
    return false;
}

} // namespace

ServedWindowRules parseServedWindows(std::wstring_view setting) {
    ServedWindowRules rules;
    while (!setting.empty()) {
        const std::size_t end = setting.find(L';');
        const std::wstring_view entry = setting.substr(0, end);
        setting = end == std::wstring_view::npos ? std::wstring_view() : setting.substr(end + 1);

        // Blanks inside a class name stay ("Internet Explorer_Server"). The entry splits at
        // its first ":"; anything after it, a further ":" too, belongs to the hit class.
        const std::size_t colon = entry.find(L':');
        if (colon == std::wstring_view::npos) continue;
        const std::wstring_view top = trimBlanks(entry.substr(0, colon));
        std::wstring_view hit = trimBlanks(entry.substr(colon + 1));
        if (top.empty() || hit.empty()) continue;

        ServedWindowRule rule;
        rule.topLevelClass = top;
        if (hit == L"*") {
            rule.hit = ServedWindowRule::Hit::Any;
        } else if (hit.ends_with(L'*')) {
            rule.hit = ServedWindowRule::Hit::Prefix;
            hit.remove_suffix(1);
            rule.hitClass = hit;
        } else {
            rule.hitClass = hit;
        }
        rules.push_back(std::move(rule));
    }
    return rules;
}

bool isServedWindow(std::wstring_view topLevelClass, std::wstring_view hitClass,
                    const ServedWindowRules& userRules) {
    if (builtInServes(topLevelClass, hitClass)) return true;
    return std::any_of(userRules.begin(), userRules.end(), [&](const ServedWindowRule& rule) {
        return ruleServes(rule, topLevelClass, hitClass);
    });
}

} // namespace ep
