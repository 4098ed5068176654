// The settings file: a profile file beside the executable, named after it with ".ini".
// Forms reach it through the forwarding entries of mod_RGN_UserFunction.
#pragma once

#include <string>

namespace ep {

namespace mod_RGN_Proc {
// The settings file's full path, computed afresh from the executable's folder and name.
std::wstring settingsFilePath();
// The value of key in section, trimmed of spaces; empty when anything is missing.
std::wstring readIniValue(const std::wstring& section, const std::wstring& key);
// Stores value under key in section; a refused write goes unnoticed.
void writeIniValue(const std::wstring& section, const std::wstring& key, const std::wstring& value);
} // namespace mod_RGN_Proc

namespace mod_RGN_UserFunction {
std::wstring readIniValue(const std::wstring& section, const std::wstring& key);
void writeIniValue(const std::wstring& section, const std::wstring& key, const std::wstring& value);
} // namespace mod_RGN_UserFunction

} // namespace ep
