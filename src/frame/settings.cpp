#include "frame/settings.h"

#include "frame/text.h"
#include "frame/toolkit.h"

#include <algorithm>
#include <array>
#include <optional>

namespace ep {

namespace mod_RGN_Proc {

namespace {

// The file start-up chose; empty before it has, which stands for the file beside the exe.
std::wstring chosenFile;

bool fileExists(const std::wstring& path) {
    const std::uint32_t attributes = os().GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Whether the profile functions may write the file: it opens for writing, or is made empty
// where it is missing. An existing file is opened and closed again, unchanged; an empty one
// is written by the profile functions as a new one would be.
bool opensForWriting(const std::wstring& path) {
    const OwnedKernelHandle file(os().CreateFileW(path.c_str(), GENERIC_WRITE,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_ALWAYS));
    return static_cast<bool>(file);
}

// A byte-for-byte copy into a new file; a copy cut short is removed again, so that no half
// file ever passes for the user's settings.
bool copyFile(const std::wstring& from, const std::wstring& to) {
    const OwnedKernelHandle source(os().CreateFileW(
        from.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING));
    if (!source) return false;
    bool copied = false;
    {
        const OwnedKernelHandle target(os().CreateFileW(to.c_str(), GENERIC_WRITE, 0, CREATE_NEW));
        if (!target) return false;
        std::array<char, 4096> chunk;
        for (;;) {
            std::uint32_t read = 0, written = 0;
            if (!os().ReadFile(source.get(), chunk.data(), chunk.size(), &read)) break;
            if (read == 0) {
                copied = true;
                break;
            }
            if (!os().WriteFile(target.get(), chunk.data(), read, &written) || written != read)
                break;
        }
    }
    if (!copied) os().DeleteFileW(to.c_str());
    return copied;
}

std::wstring roamingAppData() {
    wchar_t* known = nullptr;
    const bool found =
        os().SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, 0, &known) == S_OK && known && *known;
    std::wstring folder = found ? known : L"";
    // Freed whether the call succeeded or not.
    os().CoTaskMemFree(known);
    if (found) return folder;
    std::array<wchar_t, MAX_PATH> path{};
    if (os().SHGetFolderPathW(0, CSIDL_APPDATA, 0, SHGFP_TYPE_CURRENT, path.data()) == S_OK)
        return path.data();
    return {};
}

// Makes the user's own file ready to take writes: where it is missing, a copy of the file
// beside the exe, or an empty file where there is none. Whether it takes writes.
bool prepareUserFile(const std::wstring& userFile) {
    if (userFile.empty()) return false;
    const std::wstring beside = settingsFilePath();
    if (!fileExists(userFile) && fileExists(beside) && !copyFile(beside, userFile)) return false;
    return opensForWriting(userFile);
}

// The path as the ANSI profile functions take it, where the ANSI code page spells it
// exactly; a character it lacks would become '?' or a look-alike and name another file.
std::optional<std::string> ansiSpelling(const std::wstring& path) {
    std::string ansi = toAnsi(path);
    if (fromAnsi(ansi) != path) return std::nullopt;
    return ansi;
}

// The ANSI profile functions where the path allows, as the file was always read and written;
// else the W functions, which keep an ANSI file ANSI.
bool writeProfileString(const std::wstring& file, const std::wstring& section,
                        const std::wstring& key, const std::wstring& value) {
    if (const auto ansiFile = ansiSpelling(file))
        return os().WritePrivateProfileStringA(toAnsi(section).c_str(), toAnsi(key).c_str(),
                                               toAnsi(value).c_str(), ansiFile->c_str());
    return os().WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(),
                                           file.c_str());
}

} // namespace

std::wstring settingsFilePath() {
    std::wstring path = App::Path();
    if (path.empty() || path.back() != L'\\') path += L'\\';
    return path + App::EXEName() + L".ini";
}

std::wstring userSettingsFilePath() {
    std::wstring folder = roamingAppData();
    if (folder.empty()) return {};
    if (folder.back() != L'\\') folder += L'\\';
    folder += L"Edgepad";
    os().CreateDirectoryW(folder.c_str()); // there already, or made now
    return folder + L'\\' + App::EXEName() + L".ini";
}

void chooseSettingsFile() {
    const std::wstring beside = settingsFilePath();
    chosenFile = beside;
    if (opensForWriting(beside)) return;
    // Where neither takes writes, the user's own file is read where it exists, else the one
    // beside the exe.
    const std::wstring userFile = userSettingsFilePath();
    if (prepareUserFile(userFile) || (!userFile.empty() && fileExists(userFile)))
        chosenFile = userFile;
}

std::wstring settingsFile() { return chosenFile.empty() ? settingsFilePath() : chosenFile; }

void forgetSettingsFile() { chosenFile.clear(); }

std::wstring readIniValue(const std::wstring& section, const std::wstring& key) {
    const std::wstring file = settingsFile();
    const auto ansiFile = ansiSpelling(file);
    if (!ansiFile) {
        // The W function cuts a value at 510 characters rather than bytes.
        std::array<wchar_t, 512> buffer;
        buffer.fill(L' ');
        os().GetPrivateProfileStringW(section.c_str(), key.c_str(), nullptr, buffer.data(), 511,
                                      file.c_str());
        auto end = std::find(buffer.begin(), buffer.end(), L'\0');
        return Trim(
            std::wstring_view(buffer.data(), static_cast<std::size_t>(end - buffer.begin())));
    }
    // The platform cuts a value to fit 511 and ends it with a NUL; the spaces the buffer
    // starts with stand for a read that wrote nothing.
    std::array<char, 512> buffer;
    buffer.fill(' ');
    os().GetPrivateProfileStringA(toAnsi(section).c_str(), toAnsi(key).c_str(), nullptr,
                                  buffer.data(), 511, ansiFile->c_str());
    auto end = std::find(buffer.begin(), buffer.end(), '\0');
    return Trim(fromAnsi(std::string_view(buffer.data(), static_cast<std::size_t>(end - buffer.begin()))));
}

void writeIniValue(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
    const std::wstring file = settingsFile();
    if (writeProfileString(file, section, key, value)) return;
    // The file beside the exe stopped taking writes (made read-only meanwhile): the user's
    // own file takes this write and the rest of the run's, as it would from the next start.
    if (file != settingsFilePath()) return;
    const std::wstring userFile = userSettingsFilePath();
    if (!prepareUserFile(userFile)) return;
    chosenFile = userFile;
    writeProfileString(userFile, section, key, value);
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
