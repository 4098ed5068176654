#include "frame/settings.h"

#include "frame/text.h"
#include "frame/toolkit.h"

#include <algorithm>
#include <array>

namespace ep {

namespace mod_RGN_Proc {

std::wstring settingsFilePath() {
    std::wstring path = App::Path();
    if (path.empty() || path.back() != L'\\') path += L'\\';
    return path + App::EXEName() + L".ini";
}

std::wstring readIniValue(const std::wstring& section, const std::wstring& key) {
    // The platform cuts a value to fit 511 and ends it with a NUL; the spaces the buffer
    // starts with stand for a read that wrote nothing.
    std::array<char, 512> buffer;
    buffer.fill(' ');
    os().GetPrivateProfileStringA(toAnsi(section).c_str(), toAnsi(key).c_str(), nullptr,
                                  buffer.data(), 511, toAnsi(settingsFilePath()).c_str());
    auto end = std::find(buffer.begin(), buffer.end(), '\0');
    return Trim(fromAnsi(std::string_view(buffer.data(), static_cast<std::size_t>(end - buffer.begin()))));
}

void writeIniValue(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
    os().WritePrivateProfileStringA(toAnsi(section).c_str(), toAnsi(key).c_str(),
                                    toAnsi(value).c_str(), toAnsi(settingsFilePath()).c_str());
}

} // namespace mod_RGN_Proc

namespace mod_RGN_UserFunction {

std::wstring readIniValue(const std::wstring& section, const std::wstring& key) {
    return mod_RGN_Proc::readIniValue(section, key);
}

void writeIniValue(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
    mod_RGN_Proc::writeIniValue(section, key, value);
}

} // namespace mod_RGN_UserFunction

} // namespace ep
