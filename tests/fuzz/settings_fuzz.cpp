// Arbitrary bytes as the settings file, on the simulated desktop: the two reads and the whole
// start-up sequence must not crash or trip a sanitizer, a read never returns more than the
// 510 bytes the platform keeps, and start-up leaves the file as it was unless a key read empty
// (then it seeds that key).
//
// The file is the whole input. Its first byte's lowest bit also picks the system code page of
// the run: clear UTF-8, set Shift-JIS, as under the Japanese locale.
#include "frame/settings.h"
#include "frame/toolkit.h"
#include "panel/form1.h"
#include "platform/sim/desktop.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

namespace {

constexpr wchar_t kSettingsFile[] = L"C:\\Tools\\edgepad.ini";

void check(bool condition) {
    if (!condition) std::abort();
}

std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The platform call as the settings read makes it, with a guard byte past the 511 it may fill.
void checkRawRead(const char* key) {
    char buffer[513];
    std::memset(buffer, 0x5A, sizeof buffer);
    ep::os().GetPrivateProfileStringA("DATA", key, nullptr, buffer, 511, "C:\\Tools\\edgepad.ini");
    check(buffer[511] == 0x5A && buffer[512] == 0x5A);
    check(std::memchr(buffer, '\0', 511) != nullptr);
    check(std::strlen(buffer) <= 510);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    ep::sim::Desktop desktop;
    if (size > 0 && (data[0] & 1)) desktop.setAnsiCodePage(932);
    const std::filesystem::path file = desktop.hostPath(kSettingsFile);
    std::ofstream(file, std::ios::binary) << bytes;

    checkRawRead("USER_COMMAND");
    checkRawRead("USER_COMMAND_ON");
    using ep::mod_RGN_UserFunction::readIniValue;
    const std::wstring userCommand = readIniValue(L"DATA", L"USER_COMMAND");
    const std::wstring userCommandOn = readIniValue(L"DATA", L"USER_COMMAND_ON");
    // Each byte becomes at most one UTF-16 unit in either code page.
    check(userCommand.size() <= 510 && userCommandOn.size() <= 510);
    check(readBytes(file) == bytes);

    ep::form<ep::Form1>();
    const bool seeded = userCommand.empty() || userCommandOn.empty();
    if (!seeded) check(readBytes(file) == bytes);
    // Whatever start-up wrote, both keys now read as something.
    check(!readIniValue(L"DATA", L"USER_COMMAND").empty());
    check(!readIniValue(L"DATA", L"USER_COMMAND_ON").empty());
    ep::resetToolkit();
    return 0;
}
