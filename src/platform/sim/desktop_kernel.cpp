// kernel32 of the simulated desktop: the drives mapped onto a real temporary folder, profile
// files with the platform's rules, the single-instance mutex, text conversion and the clock.
//
// The ANSI code page (CP_ACP) is UTF-8 by default, Shift-JIS on request: titles and class
// names from the W calls are held in it, and the A calls and CP_ACP conversions use it.
#include "platform/sim/desktop_state.h"

#include <iconv.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace ep::sim {

namespace {

constexpr std::uint32_t ERROR_FILE_NOT_FOUND = 2;
constexpr std::uint32_t ERROR_INVALID_HANDLE = 6;
constexpr std::uint32_t ERROR_INVALID_PARAMETER = 87;
constexpr std::uint32_t ERROR_INSUFFICIENT_BUFFER = 122;
constexpr std::uint32_t FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr std::uint32_t ERROR_PATH_NOT_FOUND = 3;
constexpr std::uint32_t ERROR_FILE_EXISTS = 80;
constexpr std::uint32_t ERROR_INVALID_NAME = 123;
constexpr std::uint32_t CREATE_ALWAYS = 2;
constexpr std::uint32_t TRUNCATE_EXISTING = 5;

// '?' and '*' are no part of a file name: an A call given a path whose characters the code
// page lacks (each one '?') fails on it.
bool invalidName(const std::wstring& path) { return path.find_first_of(L"?*") != path.npos; }

std::string trim(const std::string& text) {
    std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    std::size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool sameText(const std::string& a, const std::string& b) { return lower(a) == lower(b); }

bool ownerWritable(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && (info.st_mode & S_IWUSR);
}

// ---- profile files

struct ProfileFile {
    bool exists = false;
    std::vector<std::string> lines; // without line ends
};

ProfileFile readProfile(const std::filesystem::path& path) {
    ProfileFile file;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return file;
    std::ifstream in(path, std::ios::binary);
    if (!in) return file;
    file.exists = true;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        std::string line =
            text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        file.lines.push_back(line);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return file;
}

bool isSectionLine(const std::string& line) {
    std::string t = trim(line);
    return !t.empty() && t[0] == '[';
}

std::string sectionName(const std::string& line) {
    std::string t = trim(line);
    std::size_t close = t.find(']');
    return trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
}

// [first line of the section's body, end) or {-1, -1} when the section is missing.
std::pair<long, long> findSection(const std::vector<std::string>& lines, const std::string& name) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!isSectionLine(lines[i]) || !sameText(sectionName(lines[i]), name)) continue;
        std::size_t end = i + 1;
        while (end < lines.size() && !isSectionLine(lines[end]))
            ++end;
        return {long(i) + 1, long(end)};
    }
    return {-1, -1};
}

bool keyOf(const std::string& line, std::string* key, std::string* value) {
    std::size_t eq = line.find('=');
    if (eq == std::string::npos) return false;
    *key = trim(line.substr(0, eq));
    *value = trim(line.substr(eq + 1));
    return true;
}

long findKey(const std::vector<std::string>& lines, std::pair<long, long> section,
             const std::string& name, std::string* value) {
    std::string key, v;
    for (long i = section.first; i < section.second; ++i)
        if (keyOf(lines[std::size_t(i)], &key, &v) && !key.empty() && sameText(key, name)) {
            if (value) *value = v;
            return i;
        }
    return -1;
}

std::uint32_t copyOut(const std::string& value, char* out, std::uint32_t size) {
    std::uint32_t n = std::min<std::uint32_t>(std::uint32_t(value.size()), size - 1);
    std::memcpy(out, value.data(), n);
    out[n] = '\0';
    return n;
}

// A list of names, each ended by NUL, the list by another NUL; cut as Windows cuts it.
std::uint32_t copyList(const std::vector<std::string>& names, char* out, std::uint32_t size) {
    std::string list;
    for (const std::string& name : names)
        list += name + '\0';
    if (list.size() + 1 <= size) {
        std::memcpy(out, list.data(), list.size());
        out[list.size()] = '\0';
        return std::uint32_t(list.size());
    }
    if (size < 2) {
        out[0] = '\0';
        return 0;
    }
    std::memcpy(out, list.data(), size - 2);
    out[size - 2] = out[size - 1] = '\0';
    return size - 2;
}

} // namespace

// ---------------------------------------------------------------- text

std::string narrow(const std::wstring& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = std::uint32_t(text[i]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() &&
            std::uint32_t(text[i + 1]) >= 0xDC00 && std::uint32_t(text[i + 1]) <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (std::uint32_t(text[i + 1]) - 0xDC00);
            ++i;
        } else if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::wstring widen(const std::string& text) {
    std::wstring out;
    for (std::size_t i = 0; i < text.size();) {
        unsigned char b = static_cast<unsigned char>(text[i]);
        int extra = b < 0x80             ? 0
                    : (b & 0xE0) == 0xC0 ? 1
                    : (b & 0xF0) == 0xE0 ? 2
                    : (b & 0xF8) == 0xF0 ? 3
                                         : -1;
        std::uint32_t c = extra == 0   ? b
                          : extra == 1 ? (b & 0x1F)
                          : extra == 2 ? (b & 0x0F)
                                       : (b & 0x07);
        bool ok = extra >= 0 && i + std::size_t(extra) < text.size() + (extra == 0 ? 1 : 0);
        for (int k = 1; ok && k <= extra; ++k) {
            if (i + std::size_t(k) >= text.size()) {
                ok = false;
                break;
            }
            unsigned char next = static_cast<unsigned char>(text[i + std::size_t(k)]);
            if ((next & 0xC0) != 0x80) ok = false;
            c = (c << 6) | (next & 0x3F);
        }
        if (!ok) {
            out += wchar_t(0xFFFD);
            ++i;
            continue;
        }
        out += wchar_t(c);
        i += std::size_t(extra) + 1;
    }
    return out;
}

std::string lower(std::string text) {
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The system code page: UTF-8, or Shift-JIS (932) as on a Japanese Windows. Characters the
// code page lacks become '?', as WideCharToMultiByte's default character.
std::string Desktop::State::toAnsi(const std::wstring& text) const {
    if (ansiCodePage != 932) return narrow(text);
    std::string out;
    iconv_t cd = iconv_open("CP932", "WCHAR_T");
    if (cd == iconv_t(-1)) return narrow(text);
    for (wchar_t ch : text) {
        char in[sizeof(wchar_t)];
        std::memcpy(in, &ch, sizeof ch);
        char buffer[8];
        char* from = in;
        char* to = buffer;
        std::size_t inLeft = sizeof in, outLeft = sizeof buffer;
        if (iconv(cd, &from, &inLeft, &to, &outLeft) == std::size_t(-1))
            out += '?';
        else
            out.append(buffer, std::size_t(to - buffer));
    }
    iconv_close(cd);
    return out;
}

std::wstring Desktop::State::fromAnsi(const std::string& text) const {
    if (ansiCodePage != 932) return widen(text);
    iconv_t cd = iconv_open("WCHAR_T", "CP932");
    if (cd == iconv_t(-1)) return widen(text);
    std::wstring out;
    std::size_t at = 0;
    while (at < text.size()) {
        // One or two bytes make a character: try the shortest that converts.
        bool done = false;
        for (std::size_t length = 1; length <= 2 && at + length <= text.size() && !done; ++length) {
            std::string piece = text.substr(at, length);
            char* from = piece.data();
            wchar_t ch = 0;
            char* to = reinterpret_cast<char*>(&ch);
            std::size_t inLeft = length, outLeft = sizeof ch;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd, &from, &inLeft, &to, &outLeft) != std::size_t(-1) && inLeft == 0) {
                out += ch;
                at += length;
                done = true;
            }
        }
        if (!done) {
            out += L'?';
            ++at;
        }
    }
    iconv_close(cd);
    return out;
}

void Desktop::setAnsiCodePage(std::uint32_t codePage) { s_->ansiCodePage = codePage; }

// ---------------------------------------------------------------- files

std::filesystem::path Desktop::State::hostPath(const std::wstring& windowsPath) const {
    std::string p = narrow(windowsPath);
    std::replace(p.begin(), p.end(), '/', '\\');
    std::filesystem::path result = rootFolder;
    std::string rest;
    if (p.size() >= 2 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':') {
        result /= std::string(1, char(std::toupper(static_cast<unsigned char>(p[0]))));
        rest = p.substr(2); // "C:x" is taken from the drive's root
    } else if (p.rfind("\\\\", 0) == 0) {
        result /= "UNC";
        rest = p.substr(2);
    } else if (!p.empty() && p[0] == '\\') {
        result /= "C";
        rest = p;
    } else {
        // Relative to the current folder, which is the executable's.
        std::wstring folder = exePath.substr(0, exePath.find_last_of(L'\\'));
        return hostPath(folder + L"\\" + windowsPath);
    }
    std::vector<std::string> parts;
    std::stringstream stream(rest);
    for (std::string part; std::getline(stream, part, '\\');) {
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    // Windows file names ignore letter case: follow an existing entry spelled otherwise.
    for (const std::string& part : parts) {
        std::filesystem::path exact = result / part;
        std::error_code ec;
        if (!std::filesystem::exists(exact, ec) && std::filesystem::is_directory(result, ec)) {
            for (const auto& entry : std::filesystem::directory_iterator(result, ec))
                if (sameText(entry.path().filename().string(), part)) {
                    exact = entry.path();
                    break;
                }
        }
        result = exact;
    }
    return result;
}

bool Desktop::State::writable(const std::filesystem::path& path) const {
    std::error_code ec;
    auto key = path.lexically_normal().string();
    if (std::filesystem::exists(path, ec)) return !readOnly.count(key) && ownerWritable(path);
    std::filesystem::path folder = path.parent_path();
    return std::filesystem::is_directory(folder, ec) &&
           !readOnly.count(folder.lexically_normal().string()) && ownerWritable(folder);
}

std::filesystem::path Desktop::root() const { return s_->rootFolder; }

std::filesystem::path Desktop::hostPath(const std::wstring& windowsPath) const {
    return s_->hostPath(windowsPath);
}

void Desktop::setExePath(const std::wstring& windowsPath) {
    s_->exePath = windowsPath;
    std::filesystem::create_directories(s_->hostPath(windowsPath).parent_path());
}

void Desktop::setHidden(const std::wstring& windowsPath, bool hidden) {
    auto key = s_->hostPath(windowsPath).lexically_normal().string();
    if (hidden)
        s_->hidden.insert(key);
    else
        s_->hidden.erase(key);
}

void Desktop::setSystem(const std::wstring& windowsPath, bool system) {
    auto key = s_->hostPath(windowsPath).lexically_normal().string();
    if (system)
        s_->system.insert(key);
    else
        s_->system.erase(key);
}

void Desktop::setReadOnly(const std::wstring& windowsPath, bool readOnly) {
    auto key = s_->hostPath(windowsPath).lexically_normal().string();
    if (readOnly)
        s_->readOnly.insert(key);
    else
        s_->readOnly.erase(key);
}

void Desktop::setOtherInstanceRunning(bool running) { s_->otherInstance = running; }

int Desktop::liveKernelHandles() const { return int(s_->kernel.size()); }

// ---------------------------------------------------------------- profile files

namespace {

std::wstring profileFileName(const std::wstring& name) {
    // A bare file name lives in the Windows folder.
    if (name.find(L'\\') == std::wstring::npos && name.find(L'/') == std::wstring::npos)
        return L"C:\\Windows\\" + name;
    return name;
}

} // namespace

std::uint32_t Desktop::State::readProfileString(const char* appName, const char* keyName,
                                                const char* defaultValue, char* returned,
                                                std::uint32_t size, const std::wstring& fileName) {
    if (!returned || size == 0) return 0;
    std::string fallback = defaultValue ? defaultValue : "";
    fallback.erase(fallback.find_last_not_of(' ') + 1); // trailing blanks of the default go
    if (fileName.empty() || invalidName(fileName)) return copyOut(fallback, returned, size);
    ProfileFile file = readProfile(hostPath(profileFileName(fileName)));
    if (!appName) {
        std::vector<std::string> names;
        for (const std::string& line : file.lines)
            if (isSectionLine(line)) names.push_back(sectionName(line));
        return copyList(names, returned, size);
    }
    auto section = findSection(file.lines, appName);
    if (!keyName) {
        std::vector<std::string> names;
        std::string key, value;
        for (long i = section.first; section.first >= 0 && i < section.second; ++i)
            if (keyOf(file.lines[std::size_t(i)], &key, &value) && !key.empty())
                names.push_back(key);
        return copyList(names, returned, size);
    }
    std::string value;
    if (section.first < 0 || findKey(file.lines, section, keyName, &value) < 0)
        return copyOut(fallback, returned, size);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return copyOut(value, returned, size);
}

bool Desktop::State::writeProfileString(const char* appName, const char* keyName, const char* value,
                                        const std::wstring& fileName) {
    if (!appName || fileName.empty()) return false;
    if (invalidName(fileName)) {
        lastError = ERROR_INVALID_NAME;
        return false;
    }
    std::filesystem::path path = hostPath(profileFileName(fileName));
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec) || !writable(path)) {
        lastError = ERROR_ACCESS_DENIED;
        return false;
    }
    ProfileFile file = readProfile(path);
    auto& lines = file.lines;
    auto section = findSection(lines, appName);
    if (!keyName) {
        if (section.first >= 0)
            lines.erase(lines.begin() + section.first - 1, lines.begin() + section.second);
    } else if (section.first < 0) {
        if (!value) return true;
        lines.push_back(std::string("[") + appName + "]");
        lines.push_back(std::string(keyName) + "=" + value);
    } else {
        long at = findKey(lines, section, keyName, nullptr);
        if (!value) {
            if (at >= 0) lines.erase(lines.begin() + at);
        } else if (at >= 0) {
            std::string key, old;
            keyOf(lines[std::size_t(at)], &key, &old);
            lines[std::size_t(at)] = key + "=" + value;
        } else {
            long insertAt = section.first;
            for (long i = section.first; i < section.second; ++i)
                if (!trim(lines[std::size_t(i)]).empty()) insertAt = i + 1;
            lines.insert(lines.begin() + insertAt, std::string(keyName) + "=" + value);
        }
    }
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << text;
    return bool(out);
}

std::uint32_t Desktop::GetPrivateProfileStringA(const char* appName, const char* keyName,
                                                const char* defaultValue, char* returned,
                                                std::uint32_t size, const char* fileName) {
    s_->count("GetPrivateProfileStringA");
    return s_->readProfileString(appName, keyName, defaultValue, returned, size,
                                 fileName ? s_->fromAnsi(fileName) : std::wstring());
}

bool Desktop::WritePrivateProfileStringA(const char* appName, const char* keyName,
                                         const char* value, const char* fileName) {
    s_->count("WritePrivateProfileStringA");
    return s_->writeProfileString(appName, keyName, value,
                                  fileName ? s_->fromAnsi(fileName) : std::wstring());
}

// The W calls take any path, and keep the file's text in the ANSI code page: a file that
// does not start with a UTF-16 byte-order mark (and the program never makes one) is read
// and written as the A calls do, its text converted on the way; a value is cut to fit in
// characters, not bytes. Characters the code page lacks are stored as '?'.
std::uint32_t Desktop::GetPrivateProfileStringW(const wchar_t* appName, const wchar_t* keyName,
                                                const wchar_t* defaultValue, wchar_t* returned,
                                                std::uint32_t size, const wchar_t* fileName) {
    s_->count("GetPrivateProfileStringW");
    if (!returned || size == 0) return 0;
    auto ansi = [&](const wchar_t* text) { return text ? s_->toAnsi(text) : std::string(); };
    const std::string section = ansi(appName), key = ansi(keyName), fallback = ansi(defaultValue);
    // Room for size characters of any code page; the cut to size - 1 characters comes after.
    std::vector<char> buffer(std::size_t(size) * 4 + 4);
    s_->readProfileString(appName ? section.c_str() : nullptr, keyName ? key.c_str() : nullptr,
                          defaultValue ? fallback.c_str() : nullptr, buffer.data(),
                          std::uint32_t(buffer.size()), fileName ? fileName : L"");
    if (!appName || !keyName) {
        s_->lastError = ERROR_INVALID_PARAMETER; // the program never lists names through W
        returned[0] = L'\0';
        return 0;
    }
    std::wstring value = s_->fromAnsi(buffer.data());
    if (value.size() > size - 1) value.resize(size - 1);
    std::copy(value.begin(), value.end(), returned);
    returned[value.size()] = L'\0';
    return std::uint32_t(value.size());
}

bool Desktop::WritePrivateProfileStringW(const wchar_t* appName, const wchar_t* keyName,
                                         const wchar_t* value, const wchar_t* fileName) {
    s_->count("WritePrivateProfileStringW");
    auto ansi = [&](const wchar_t* text) { return text ? s_->toAnsi(text) : std::string(); };
    const std::string section = ansi(appName), key = ansi(keyName), text = ansi(value);
    return s_->writeProfileString(appName ? section.c_str() : nullptr,
                                  keyName ? key.c_str() : nullptr, value ? text.c_str() : nullptr,
                                  fileName ? fileName : L"");
}

// ---------------------------------------------------------------- the rest of kernel32

void Desktop::Sleep(std::uint32_t ms) {
    s_->count("Sleep");
    s_->runTo(s_->clock + ms, false);
}

const char* Desktop::wine_get_version() {
    s_->count("wine_get_version");
    return s_->underWine ? "8.0" : nullptr;
}

void Desktop::OutputDebugStringW(const wchar_t* text) {
    s_->count("OutputDebugStringW");
    debugLines.push_back(text ? text : L"");
}

std::uint16_t Desktop::GetUserDefaultUILanguage() {
    s_->count("GetUserDefaultUILanguage");
    return s_->uiLanguage;
}

std::uint32_t Desktop::GetTickCount() {
    s_->count("GetTickCount");
    return std::uint32_t(s_->clock);
}

std::uint32_t Desktop::GetModuleFileNameW(wchar_t* buffer, std::uint32_t size) {
    s_->count("GetModuleFileNameW");
    if (!buffer || size == 0) return 0;
    const std::wstring& path = s_->exePath;
    if (path.size() < size) {
        std::copy(path.begin(), path.end(), buffer);
        buffer[path.size()] = L'\0';
        return std::uint32_t(path.size());
    }
    std::copy(path.begin(), path.begin() + (size - 1), buffer);
    buffer[size - 1] = L'\0';
    s_->lastError = ERROR_INSUFFICIENT_BUFFER;
    return size;
}

std::uint32_t Desktop::GetFileAttributesW(const wchar_t* path) {
    s_->count("GetFileAttributesW");
    if (!path || !*path || std::wcspbrk(path, L"*?")) {
        s_->lastError = ERROR_INVALID_PARAMETER;
        return INVALID_FILE_ATTRIBUTES;
    }
    std::wstring text = path;
    std::filesystem::path host = s_->hostPath(text);
    std::error_code ec;
    auto status = std::filesystem::status(host, ec);
    bool trailingSlash = text.back() == L'\\' || text.back() == L'/';
    if (ec || !std::filesystem::exists(status) ||
        (trailingSlash && !std::filesystem::is_directory(status))) {
        s_->lastError = ERROR_FILE_NOT_FOUND;
        return INVALID_FILE_ATTRIBUTES;
    }
    auto key = host.lexically_normal().string();
    std::uint32_t attributes =
        std::filesystem::is_directory(status) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if (s_->readOnly.count(key) || !ownerWritable(host)) attributes |= FILE_ATTRIBUTE_READONLY;
    if (s_->hidden.count(key)) attributes |= FILE_ATTRIBUTE_HIDDEN;
    if (s_->system.count(key)) attributes |= FILE_ATTRIBUTE_SYSTEM;
    return attributes;
}

// Files open for reading, or for writing with the platform's creation rules: a folder that
// takes no new files refuses to make one, a read-only file refuses to be opened for writing.
// Opening an existing file leaves its bytes as they were.
Handle Desktop::CreateFileW(const wchar_t* path, std::uint32_t access, std::uint32_t,
                            std::uint32_t creationDisposition) {
    s_->count("CreateFileW");
    std::error_code ec;
    const bool reading = access == GENERIC_READ, writing = access == GENERIC_WRITE;
    if (!path || !*path || invalidName(path) || (!reading && !writing) ||
        creationDisposition < CREATE_NEW || creationDisposition > TRUNCATE_EXISTING) {
        s_->lastError = path && invalidName(path) ? ERROR_INVALID_NAME : ERROR_INVALID_PARAMETER;
        return INVALID_HANDLE_VALUE;
    }
    const std::filesystem::path file = s_->hostPath(path);
    const bool exists = std::filesystem::exists(file, ec);
    auto fail = [&](std::uint32_t error) {
        s_->lastError = error;
        return INVALID_HANDLE_VALUE;
    };
    if (exists && !std::filesystem::is_regular_file(file, ec)) return fail(ERROR_ACCESS_DENIED);
    if (exists && creationDisposition == CREATE_NEW) return fail(ERROR_FILE_EXISTS);
    if (!exists &&
        (creationDisposition == OPEN_EXISTING || creationDisposition == TRUNCATE_EXISTING))
        return fail(std::filesystem::is_directory(file.parent_path(), ec) ? ERROR_FILE_NOT_FOUND
                                                                          : ERROR_PATH_NOT_FOUND);
    if (!exists && !std::filesystem::is_directory(file.parent_path(), ec))
        return fail(ERROR_PATH_NOT_FOUND);
    const bool truncates =
        creationDisposition == CREATE_ALWAYS || creationDisposition == TRUNCATE_EXISTING;
    if ((writing || !exists || truncates) && !s_->writable(file)) return fail(ERROR_ACCESS_DENIED);
    if (!exists || truncates) std::ofstream(file, std::ios::binary | std::ios::trunc);
    Handle handle = s_->newHandle();
    s_->kernel[handle] = KernelObject{false, L"", file, 0, 0, false, writing};
    s_->lastError =
        exists && (creationDisposition == OPEN_ALWAYS || creationDisposition == CREATE_ALWAYS)
            ? ERROR_ALREADY_EXISTS
            : 0;
    return handle;
}

bool Desktop::ReadFile(Handle file, void* buffer, std::uint32_t count, std::uint32_t* bytesRead) {
    s_->count("ReadFile");
    if (bytesRead) *bytesRead = 0;
    auto found = s_->kernel.find(file);
    if (found == s_->kernel.end() || found->second.file.empty() || (!buffer && count)) {
        s_->lastError = ERROR_INVALID_HANDLE;
        return false;
    }
    if (found->second.writing) {
        s_->lastError = ERROR_ACCESS_DENIED;
        return false;
    }
    std::ifstream in(found->second.file, std::ios::binary);
    in.seekg(std::streamoff(found->second.position));
    in.read(static_cast<char*>(buffer), std::streamsize(count));
    const auto read = std::uint32_t(std::max<std::streamsize>(in.gcount(), 0));
    found->second.position += read;
    if (bytesRead) *bytesRead = read;
    return true;
}

bool Desktop::GetFileSizeEx(Handle file, std::int64_t* size) {
    s_->count("GetFileSizeEx");
    auto found = s_->kernel.find(file);
    std::error_code ec;
    if (found == s_->kernel.end() || found->second.file.empty()) {
        s_->lastError = ERROR_INVALID_HANDLE;
        return false;
    }
    const auto bytes = std::filesystem::file_size(found->second.file, ec);
    if (ec) return false;
    if (size) *size = std::int64_t(bytes);
    return true;
}

bool Desktop::WriteFile(Handle file, const void* buffer, std::uint32_t count,
                        std::uint32_t* written) {
    s_->count("WriteFile");
    if (written) *written = 0;
    auto found = s_->kernel.find(file);
    if (found == s_->kernel.end() || found->second.file.empty() || (!buffer && count)) {
        s_->lastError = ERROR_INVALID_HANDLE;
        return false;
    }
    if (!found->second.writing) {
        s_->lastError = ERROR_ACCESS_DENIED;
        return false;
    }
    std::fstream out(found->second.file, std::ios::binary | std::ios::in | std::ios::out);
    out.seekp(std::streamoff(found->second.position));
    out.write(static_cast<const char*>(buffer), std::streamsize(count));
    if (!out) return false;
    found->second.position += count;
    if (written) *written = count;
    return true;
}

bool Desktop::CreateDirectoryW(const wchar_t* path) {
    s_->count("CreateDirectoryW");
    std::error_code ec;
    if (!path || !*path || invalidName(path)) {
        s_->lastError = ERROR_INVALID_NAME;
        return false;
    }
    const std::filesystem::path folder = s_->hostPath(path);
    if (std::filesystem::exists(folder, ec)) {
        s_->lastError = ERROR_ALREADY_EXISTS;
        return false;
    }
    if (!std::filesystem::is_directory(folder.parent_path(), ec)) {
        s_->lastError = ERROR_PATH_NOT_FOUND;
        return false;
    }
    if (!s_->writable(folder) || !std::filesystem::create_directory(folder, ec)) {
        s_->lastError = ERROR_ACCESS_DENIED;
        return false;
    }
    return true;
}

// A file goes where its folder lets it and it is not itself read-only.
bool Desktop::DeleteFileW(const wchar_t* path) {
    s_->count("DeleteFileW");
    std::error_code ec;
    const std::filesystem::path file = path ? s_->hostPath(path) : std::filesystem::path();
    if (!path || !std::filesystem::is_regular_file(file, ec)) {
        s_->lastError = ERROR_FILE_NOT_FOUND;
        return false;
    }
    const auto folder = file.parent_path().lexically_normal().string();
    if (!s_->writable(file) || s_->readOnly.count(folder) || !ownerWritable(file.parent_path()) ||
        !std::filesystem::remove(file, ec)) {
        s_->lastError = ERROR_ACCESS_DENIED;
        return false;
    }
    return true;
}

Handle Desktop::CreateMutexW(bool, const wchar_t* name) {
    s_->count("CreateMutexW");
    // Only another process holds the name: a test that starts the program again on the same
    // desktop plays a new process, whose mutexes start afresh.
    Handle handle = s_->newHandle();
    s_->kernel[handle] = KernelObject{true, name ? name : L"", {}, 0, 0, false};
    s_->lastError = name && s_->otherInstance ? ERROR_ALREADY_EXISTS : 0;
    return handle;
}

std::uint32_t Desktop::GetLastError() {
    s_->count("GetLastError");
    return s_->lastError;
}

Handle Desktop::OpenProcess(std::uint32_t, bool, std::uint32_t processId) {
    s_->count("OpenProcess");
    if (s_->queryFails("OpenProcess")) return 0;
    bool known = processId == ownProcessId;
    for (const auto& [h, w] : s_->windows)
        known = known || w->processId == processId;
    if (!known) {
        s_->lastError = ERROR_INVALID_PARAMETER;
        return 0;
    }
    Handle handle = s_->newHandle();
    s_->kernel[handle] = KernelObject{false, L"", {}, 0, processId, false};
    return handle;
}

// ---------------------------------------------------------------- process tokens

namespace {

constexpr Handle kCurrentProcess = -1;
constexpr std::uint32_t SE_GROUP_INTEGRITY = 0x20;
// A SID as Windows lays it out: revision, sub-authority count, a six-byte authority, then the
// sub-authorities. A mandatory label has one: the integrity level.
constexpr std::uint32_t kLabelSidSize = 8 + 4;

} // namespace

bool Desktop::State::queryFails(const char* call) {
    if (!failingProcessQueries.count(call)) return false;
    lastError = 5; // ERROR_ACCESS_DENIED
    return true;
}

std::uint32_t Desktop::State::integrityOf(std::uint32_t processId) const {
    const auto it = integrityLevels.find(processId);
    return it == integrityLevels.end() ? SECURITY_MANDATORY_MEDIUM_RID : it->second;
}

void Desktop::setIntegrityLevel(Hwnd window, std::uint32_t rid) {
    std::uint32_t process = ownProcessId;
    if (window) {
        const Window* w = s_->find(window);
        if (!w)
            throw std::invalid_argument("sim: setIntegrityLevel of a window that does not exist");
        process = w->processId;
    }
    s_->integrityLevels[process] = rid;
}

void Desktop::failProcessQuery(const std::string& call, bool fail) {
    if (fail)
        s_->failingProcessQueries.insert(call);
    else
        s_->failingProcessQueries.erase(call);
}

Handle Desktop::GetCurrentProcess() {
    s_->count("GetCurrentProcess");
    return kCurrentProcess;
}

bool Desktop::OpenProcessToken(Handle process, std::uint32_t, Handle* token) {
    s_->count("OpenProcessToken");
    if (!token) {
        s_->lastError = ERROR_INVALID_PARAMETER;
        return false;
    }
    *token = 0;
    if (s_->queryFails("OpenProcessToken")) return false;
    std::uint32_t processId = ownProcessId;
    if (process != kCurrentProcess) {
        const auto it = s_->kernel.find(process);
        if (it == s_->kernel.end() || !it->second.process || it->second.token) {
            s_->lastError = ERROR_INVALID_HANDLE;
            return false;
        }
        processId = it->second.process;
    }
    *token = s_->newHandle();
    s_->kernel[*token] = KernelObject{false, L"", {}, 0, processId, true};
    return true;
}

bool Desktop::GetTokenInformation(Handle token, int infoClass, void* info, std::uint32_t length,
                                  std::uint32_t* returnLength) {
    s_->count("GetTokenInformation");
    if (s_->queryFails("GetTokenInformation")) return false;
    const auto it = s_->kernel.find(token);
    if (it == s_->kernel.end() || !it->second.token) {
        s_->lastError = ERROR_INVALID_HANDLE;
        return false;
    }
    if (infoClass != TokenIntegrityLevel || !returnLength) {
        s_->lastError = ERROR_INVALID_PARAMETER;
        return false;
    }
    const std::uint32_t needed = sizeof(TokenMandatoryLabel) + kLabelSidSize;
    *returnLength = needed;
    if (!info || length < needed) {
        s_->lastError = ERROR_INSUFFICIENT_BUFFER;
        return false;
    }
    auto* bytes = static_cast<std::uint8_t*>(info);
    std::uint8_t* sid = bytes + sizeof(TokenMandatoryLabel);
    const TokenMandatoryLabel label{sid, SE_GROUP_INTEGRITY};
    std::memcpy(bytes, &label, sizeof label);
    const std::uint8_t head[8] = {1, 1, 0, 0, 0, 0, 0, 16}; // SECURITY_MANDATORY_LABEL_AUTHORITY
    std::memcpy(sid, head, sizeof head);
    const std::uint32_t level = s_->integrityOf(it->second.process);
    std::memcpy(sid + 8, &level, sizeof level);
    return true;
}

std::uint8_t* Desktop::GetSidSubAuthorityCount(void* sid) {
    s_->count("GetSidSubAuthorityCount");
    return static_cast<std::uint8_t*>(sid) + 1;
}

std::uint32_t* Desktop::GetSidSubAuthority(void* sid, std::uint32_t subAuthority) {
    s_->count("GetSidSubAuthority");
    return reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(sid) + 8 + 4 * subAuthority);
}

bool Desktop::CloseHandle(Handle handle) {
    s_->count("CloseHandle");
    if (s_->kernel.erase(handle)) return true;
    s_->lastError = ERROR_INVALID_HANDLE;
    return false;
}

int Desktop::WideCharToMultiByte(std::uint32_t codePage, const wchar_t* wide, int wideCount,
                                 char* narrowOut, int narrowSize) {
    s_->count("WideCharToMultiByte");
    constexpr std::uint32_t CP_UTF8 = 65001;
    if (!wide || wideCount == 0 || narrowSize < 0 || (codePage > 3 && codePage != CP_UTF8)) {
        s_->lastError = ERROR_INVALID_PARAMETER;
        return 0;
    }
    std::wstring text = wideCount < 0 ? std::wstring(wide, std::wcslen(wide) + 1)
                                      : std::wstring(wide, std::size_t(wideCount));
    std::string bytes = codePage == CP_UTF8 ? narrow(text) : s_->toAnsi(text);
    if (narrowSize == 0) return int(bytes.size());
    if (int(bytes.size()) > narrowSize) {
        s_->lastError = ERROR_INSUFFICIENT_BUFFER;
        return 0;
    }
    std::memcpy(narrowOut, bytes.data(), bytes.size());
    return int(bytes.size());
}

int Desktop::MultiByteToWideChar(std::uint32_t codePage, const char* narrowIn, int narrowCount,
                                 wchar_t* wide, int wideSize) {
    s_->count("MultiByteToWideChar");
    constexpr std::uint32_t CP_UTF8 = 65001;
    if (!narrowIn || narrowCount == 0 || wideSize < 0 || (codePage > 3 && codePage != CP_UTF8)) {
        s_->lastError = ERROR_INVALID_PARAMETER;
        return 0;
    }
    std::string bytes = narrowCount < 0 ? std::string(narrowIn, std::strlen(narrowIn) + 1)
                                        : std::string(narrowIn, std::size_t(narrowCount));
    std::wstring text = codePage == CP_UTF8 ? widen(bytes) : s_->fromAnsi(bytes);
    if (wideSize == 0) return int(text.size());
    if (int(text.size()) > wideSize) {
        s_->lastError = ERROR_INSUFFICIENT_BUFFER;
        return 0;
    }
    std::copy(text.begin(), text.end(), wide);
    return int(text.size());
}

void Desktop::ExitProcess(std::uint32_t exitCode) {
    s_->count("ExitProcess");
    throw ProgramEnded{exitCode};
}

} // namespace ep::sim
