// The simulated desktop's kernel32: profile files with the platform's reading and writing
// rules on real files, file attributes, the module path, the single-instance mutex and the
// text conversions.
#include "platform/sim/desktop.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace ep {
namespace {

constexpr char kIni[] = "C:\\Tools\\edgepad.ini";

class SimProfileTest : public ::testing::Test {
  protected:
    std::filesystem::path file() const { return desk.hostPath(L"C:\\Tools\\edgepad.ini"); }
    void write(const std::string& bytes) { std::ofstream(file(), std::ios::binary) << bytes; }
    std::string contents() const {
        std::ifstream in(file(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::string read(const char* section, const char* key, const char* fallback = nullptr,
                     std::uint32_t size = 511, std::uint32_t* count = nullptr) {
        std::string buffer(512, ' ');
        std::uint32_t n =
            desk.GetPrivateProfileStringA(section, key, fallback, buffer.data(), size, kIni);
        if (count) *count = n;
        return buffer.substr(0, buffer.find('\0'));
    }
    bool store(const char* section, const char* key, const char* value) {
        return desk.WritePrivateProfileStringA(section, key, value, kIni);
    }

    sim::Desktop desk;
};

TEST_F(SimProfileTest, AnythingMissingReadsAsTheDefault) {
    std::uint32_t count = 99;
    EXPECT_EQ(read("DATA", "USER_COMMAND", nullptr, 511, &count), "");
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(read("DATA", "USER_COMMAND", "dflt  "), "dflt")
        << "trailing blanks of the default go";
    write("[OTHER]\r\nUSER_COMMAND=x\r\n[DATA]\r\nKEY=1\r\n");
    EXPECT_EQ(read("DATA", "USER_COMMAND", "none"), "none");
    EXPECT_EQ(read("NOSECTION", "KEY", "none"), "none");
    EXPECT_FALSE(std::filesystem::exists(desk.hostPath(L"C:\\Tools\\other.ini")));
}

TEST_F(SimProfileTest, LookUpIgnoresCaseSpacesAndMatchingQuotes) {
    write("; settings\r\n"
          "  [ data ]  \r\n"
          "  user_command  =  %( n)  \r\n"
          "USER_COMMAND_ON=  1 \r\n"
          "QUOTED=\"  spaced  \"\r\n"
          "SINGLE='x'\r\n"
          "HALF=\"open\r\n"
          "EMPTY=\r\n"
          "NOEQUALS\r\n"
          "[NEXT]\r\n"
          "USER_COMMAND=wrong\r\n");
    EXPECT_EQ(read("DATA", "USER_COMMAND"), "%( n)");
    EXPECT_EQ(read("Data", "user_command_on"), "1");
    EXPECT_EQ(read("DATA", "QUOTED"), "  spaced  ");
    EXPECT_EQ(read("DATA", "SINGLE"), "x");
    EXPECT_EQ(read("DATA", "HALF"), "\"open");
    EXPECT_EQ(read("DATA", "EMPTY", "dflt"), "") << "an empty value is a value";
    EXPECT_EQ(read("DATA", "NOEQUALS", "dflt"), "dflt");
    EXPECT_EQ(read("NEXT", "USER_COMMAND"), "wrong");
    write("[DATA]\nUSER_COMMAND=lf only\n");
    EXPECT_EQ(read("DATA", "USER_COMMAND"), "lf only");
}

TEST_F(SimProfileTest, LongValuesAreCutToTheBuffer) {
    write("[DATA]\r\nUSER_COMMAND=" + std::string(600, 'a') +
          "b\r\nLONGLINE=" + std::string(100000, 'z') + "\r\nAFTER=ok\r\n");
    std::uint32_t count = 0;
    EXPECT_EQ(read("DATA", "USER_COMMAND", nullptr, 511, &count), std::string(510, 'a'));
    EXPECT_EQ(count, 510u);
    EXPECT_EQ(read("DATA", "USER_COMMAND", nullptr, 4, &count), "aaa");
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(read("DATA", "AFTER"), "ok");
    EXPECT_EQ(read("DATA", "MISSING", "0123456789", 5), "0123") << "the default is cut alike";
}

TEST_F(SimProfileTest, WritesCreateTheFileAppendSectionsAndReplaceKeysInPlace) {
    ASSERT_TRUE(store("DATA", "USER_COMMAND", "%( n)"));
    EXPECT_EQ(contents(), "[DATA]\r\nUSER_COMMAND=%( n)\r\n");
    ASSERT_TRUE(store("DATA", "USER_COMMAND_ON", "0"));
    EXPECT_EQ(contents(), "[DATA]\r\nUSER_COMMAND=%( n)\r\nUSER_COMMAND_ON=0\r\n");
    ASSERT_TRUE(store("data", "user_command", "^w"));
    EXPECT_EQ(contents(), "[DATA]\r\nUSER_COMMAND=^w\r\nUSER_COMMAND_ON=0\r\n")
        << "the line is replaced where it stands";

    write("[DATA]\r\nA = 1\r\n\r\n[OTHER]\r\nB=2\r\n");
    ASSERT_TRUE(store("DATA", "C", "3"));
    EXPECT_EQ(contents(), "[DATA]\r\nA = 1\r\nC=3\r\n\r\n[OTHER]\r\nB=2\r\n")
        << "a new key goes to the end of its section";
    ASSERT_TRUE(store("NEW", "D", "4"));
    EXPECT_EQ(contents(), "[DATA]\r\nA = 1\r\nC=3\r\n\r\n[OTHER]\r\nB=2\r\n[NEW]\r\nD=4\r\n");
    ASSERT_TRUE(store("DATA", "A", nullptr));
    EXPECT_EQ(contents(), "[DATA]\r\nC=3\r\n\r\n[OTHER]\r\nB=2\r\n[NEW]\r\nD=4\r\n")
        << "null deletes";
    EXPECT_EQ(read("DATA", "C"), "3");
}

TEST_F(SimProfileTest, RefusedWritesChangeNothing) {
    EXPECT_FALSE(desk.WritePrivateProfileStringA("DATA", "K", "v", "C:\\Missing\\edgepad.ini"));
    EXPECT_FALSE(std::filesystem::exists(desk.hostPath(L"C:\\Missing")));

    desk.setReadOnly(L"C:\\Tools", true);
    EXPECT_FALSE(store("DATA", "K", "v")) << "a folder without write access";
    EXPECT_FALSE(std::filesystem::exists(file()));
    desk.setReadOnly(L"C:\\Tools", false);

    write("[DATA]\r\nK=old\r\n");
    desk.setReadOnly(L"C:\\Tools\\edgepad.ini", true);
    EXPECT_FALSE(store("DATA", "K", "new"));
    EXPECT_EQ(contents(), "[DATA]\r\nK=old\r\n");
    EXPECT_EQ(desk.GetFileAttributesW(L"C:\\Tools\\edgepad.ini") & FILE_ATTRIBUTE_READONLY,
              FILE_ATTRIBUTE_READONLY);
}

TEST_F(SimProfileTest, FilesOpenForWritingWhereTheFolderAndTheFileAllowIt) {
    const auto open = [&](const wchar_t* path, std::uint32_t disposition) {
        const Handle h = desk.CreateFileW(path, GENERIC_WRITE, 0, disposition);
        if (h != INVALID_HANDLE_VALUE) desk.CloseHandle(h);
        return h != INVALID_HANDLE_VALUE;
    };
    write("[DATA]\r\nK=v\r\n");
    EXPECT_TRUE(open(L"C:\\Tools\\edgepad.ini", OPEN_ALWAYS));
    EXPECT_EQ(contents(), "[DATA]\r\nK=v\r\n") << "opened and closed, unchanged";
    EXPECT_FALSE(open(L"C:\\Tools\\edgepad.ini", CREATE_NEW));

    desk.setReadOnly(L"C:\\Tools\\edgepad.ini", true);
    EXPECT_FALSE(open(L"C:\\Tools\\edgepad.ini", OPEN_EXISTING)) << "a read-only file";
    EXPECT_EQ(desk.GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(desk.DeleteFileW(L"C:\\Tools\\edgepad.ini"));
    desk.setReadOnly(L"C:\\Tools", true);
    EXPECT_FALSE(open(L"C:\\Tools\\new.ini", OPEN_ALWAYS)) << "a read-only folder";
    EXPECT_FALSE(desk.CreateDirectoryW(L"C:\\Tools\\Sub"));
    EXPECT_FALSE(std::filesystem::exists(desk.hostPath(L"C:\\Tools\\new.ini")));

    // Written through a handle, byte for byte; a handle opened to read refuses to write.
    ASSERT_TRUE(desk.CreateDirectoryW(L"C:\\Users\\user\\AppData\\Roaming\\Edgepad"));
    const wchar_t* copy = L"C:\\Users\\user\\AppData\\Roaming\\Edgepad\\x.ini";
    const Handle out = desk.CreateFileW(copy, GENERIC_WRITE, 0, CREATE_NEW);
    std::uint32_t written = 0;
    ASSERT_TRUE(desk.WriteFile(out, "a\nb", 3, &written));
    EXPECT_EQ(written, 3u);
    desk.CloseHandle(out);
    const Handle in = desk.CreateFileW(copy, GENERIC_READ, 0, OPEN_EXISTING);
    EXPECT_FALSE(desk.WriteFile(in, "c", 1, &written));
    desk.CloseHandle(in);
    std::ifstream bytes(desk.hostPath(copy), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(bytes), {}), "a\nb");
    EXPECT_TRUE(desk.DeleteFileW(copy));
    EXPECT_EQ(desk.liveKernelHandles(), 0);
}

TEST_F(SimProfileTest, TheWideCallsTakeAnyPathAndKeepTheFileAnsi) {
    desk.setAnsiCodePage(932);
    const std::wstring folder = L"C:\\Users\\Zo\u00EB";
    std::filesystem::create_directories(desk.hostPath(folder));
    const std::wstring path = folder + L"\\s.ini";
    EXPECT_TRUE(desk.WritePrivateProfileStringW(L"DATA", L"K", L"\u65E5\u00EB", path.c_str()));
    std::ifstream in(desk.hostPath(path), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "[DATA]\r\nK=\x93\xfa?\r\n")
        << "Shift-JIS, and '?' for what it lacks";
    wchar_t value[3] = {};
    EXPECT_EQ(desk.GetPrivateProfileStringW(L"DATA", L"K", nullptr, value, 3, path.c_str()), 2u);
    EXPECT_EQ(std::wstring(value), L"\u65E5?");
    EXPECT_EQ(desk.GetPrivateProfileStringW(L"DATA", L"K", nullptr, value, 2, path.c_str()), 1u)
        << "cut in characters";

    // The ANSI name of that folder is "Zo?", which names no file.
    const std::string ansiPath = "C:\\Users\\Zo?\\s.ini";
    EXPECT_FALSE(desk.WritePrivateProfileStringA("DATA", "K", "v", ansiPath.c_str()));
}

TEST(SimShellTest, TheRoamingFolderFromEitherCallAndNeitherWhereMissing) {
    sim::Desktop desk;
    wchar_t* known = nullptr;
    ASSERT_EQ(desk.SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, 0, &known), S_OK);
    EXPECT_EQ(std::wstring(known), L"C:\\Users\\user\\AppData\\Roaming");
    EXPECT_TRUE(std::filesystem::is_directory(desk.hostPath(known)));
    EXPECT_EQ(desk.liveTaskAllocations(), 1);
    desk.CoTaskMemFree(known);
    EXPECT_EQ(desk.liveTaskAllocations(), 0);

    wchar_t path[MAX_PATH] = {};
    desk.setKnownFolderPathMissing(true);
    EXPECT_EQ(desk.SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, 0, &known), E_NOTIMPL);
    ASSERT_EQ(desk.SHGetFolderPathW(0, CSIDL_APPDATA, 0, SHGFP_TYPE_CURRENT, path), S_OK);
    EXPECT_EQ(std::wstring(path), L"C:\\Users\\user\\AppData\\Roaming");
    desk.setFolderPathMissing(true);
    EXPECT_EQ(desk.SHGetFolderPathW(0, CSIDL_APPDATA, 0, SHGFP_TYPE_CURRENT, path), E_NOTIMPL);
}

TEST(SimKernelTest, FilesModulePathMutexAndText) {
    sim::Desktop desk;
    EXPECT_EQ(desk.hostPath(L"c:\\tools\\x.ini"), desk.hostPath(L"C:\\Tools\\x.ini"))
        << "an existing folder is found whatever the letter case";
    EXPECT_EQ(desk.hostPath(L"D:\\a\\b"), desk.root() / "D" / "a" / "b");

    wchar_t path[260];
    EXPECT_EQ(desk.GetModuleFileNameW(path, 260), 20u);
    EXPECT_EQ(std::wstring(path), L"C:\\Tools\\edgepad.exe");
    EXPECT_EQ(desk.GetModuleFileNameW(path, 8), 8u);
    EXPECT_EQ(std::wstring(path), L"C:\\Tool") << "cut and ended";
    desk.setExePath(L"D:\\edgepad.exe");
    EXPECT_EQ(desk.GetFileAttributesW(L"D:\\"), FILE_ATTRIBUTE_DIRECTORY);

    EXPECT_EQ(desk.GetFileAttributesW(L"C:\\Tools\\userbutton.bmp"), INVALID_FILE_ATTRIBUTES);
    std::ofstream(desk.hostPath(L"C:\\Tools\\userbutton.bmp")) << "x";
    const std::uint32_t plain = desk.GetFileAttributesW(L"C:\\Tools\\userbutton.bmp");
    EXPECT_NE(plain, INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(plain & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
              0u);
    desk.setHidden(L"C:\\Tools\\userbutton.bmp", true);
    desk.setSystem(L"C:\\Tools\\userbutton.bmp", true);
    EXPECT_EQ(desk.GetFileAttributesW(L"C:\\Tools\\userbutton.bmp") &
                  (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
              FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    EXPECT_EQ(desk.GetFileAttributesW(L"C:\\Tools\\userbutton.bmp\\"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(desk.GetFileAttributesW(L"C:\\Tools") & FILE_ATTRIBUTE_DIRECTORY,
              FILE_ATTRIBUTE_DIRECTORY);

    const Handle first = desk.CreateMutexW(false, L"Local\\Edgepad");
    EXPECT_NE(first, 0);
    EXPECT_EQ(desk.GetLastError(), 0u);
    desk.setOtherInstanceRunning(true);
    desk.CreateMutexW(false, L"Local\\Edgepad");
    EXPECT_EQ(desk.GetLastError(), ERROR_ALREADY_EXISTS);
    desk.CreateMutexW(false, nullptr);
    EXPECT_EQ(desk.GetLastError(), 0u) << "an unnamed mutex is always new";
    EXPECT_TRUE(desk.CloseHandle(first));
    EXPECT_FALSE(desk.CloseHandle(first));

    const wchar_t* caption = L"バージョン情報";
    const int bytes = desk.WideCharToMultiByte(CP_ACP, caption, -1, nullptr, 0);
    EXPECT_EQ(bytes, 7 * 3 + 1);
    std::string narrow(std::size_t(bytes), '?');
    EXPECT_EQ(desk.WideCharToMultiByte(CP_ACP, caption, -1, narrow.data(), bytes), bytes);
    EXPECT_EQ(desk.WideCharToMultiByte(CP_ACP, caption, -1, narrow.data(), bytes - 1), 0);
    wchar_t back[16] = {};
    EXPECT_EQ(desk.MultiByteToWideChar(CP_ACP, narrow.c_str(), -1, back, 16), 8);
    EXPECT_EQ(std::wstring(back), caption);

    // A Japanese system: two bytes a character, and '?' for what Shift-JIS lacks.
    desk.setAnsiCodePage(932);
    EXPECT_EQ(desk.WideCharToMultiByte(CP_ACP, caption, -1, nullptr, 0), 7 * 2 + 1);
    char sjis[4] = {};
    EXPECT_EQ(desk.WideCharToMultiByte(CP_ACP, L"バé", 2, sjis, 4), 3);
    EXPECT_EQ(std::string(sjis), "\x83\x6f?");
    EXPECT_EQ(desk.MultiByteToWideChar(CP_ACP,
                                       "\x83\x6f"
                                       "A",
                                       3, back, 16),
              2);
    EXPECT_EQ(back[0], L'バ');
    const Hwnd about = desk.addWindow("ThunderRT6Form", "", Rect{0, 0, 10, 10});
    desk.SetWindowTextW(about, caption);
    char title[128];
    EXPECT_EQ(desk.GetWindowTextA(about, title, 128), 14);

    EXPECT_EQ(desk.GetTickCount(), 0u);
    desk.Sleep(250);
    EXPECT_EQ(desk.GetTickCount(), 250u);
    EXPECT_THROW(desk.ExitProcess(3), sim::ProgramEnded);
    EXPECT_GT(desk.callCounts().at("GetFileAttributesW"), 5u);
}

} // namespace
} // namespace ep
