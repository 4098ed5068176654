// The settings file: a profile file beside the executable, named after it with ".ini", or,
// where that folder takes no writes (Program Files, a read-only medium), a file of the same
// name in the user's own %APPDATA%\Edgepad. Start-up chooses the one file the run uses.
// Forms reach it through the forwarding entries of mod_RGN_UserFunction.
#pragma once

#include <string>

namespace ep {

namespace mod_RGN_Proc {
// The file beside the executable, computed afresh from the executable's folder and name.
std::wstring settingsFilePath();
// %APPDATA%\Edgepad\<executable's name>.ini, the Edgepad folder made where it is missing;
// empty where the user's folder cannot be found.
std::wstring userSettingsFilePath();
// At start-up: the file beside the executable where it opens for writing (made empty where
// it is missing, for the seeding to fill), else the user's own file, made as a copy of the
// file beside the executable where it is missing.
void chooseSettingsFile();
// The file this run reads and writes: the file beside the executable until start-up chooses.
std::wstring settingsFile();
// The next start chooses again.
void forgetSettingsFile();
// The value of key in section, trimmed of spaces; empty when anything is missing.
std::wstring readIniValue(const std::wstring& section, const std::wstring& key);
// Stores value under key in section. Where the file beside the executable refuses the write,
// the user's own file takes it, and every later one; where that refuses too, nothing happens.
void writeIniValue(const std::wstring& section, const std::wstring& key, const std::wstring& value);
} // namespace mod_RGN_Proc

namespace mod_RGN_UserFunction {
std::wstring readIniValue(const std::wstring& section, const std::wstring& key);
void writeIniValue(const std::wstring& section, const std::wstring& key, const std::wstring& value);
} // namespace mod_RGN_UserFunction

} // namespace ep
