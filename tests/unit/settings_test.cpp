// The settings file as the program reads and writes it: one value at a time, straight to
// the file, with the platform's profile semantics underneath.
#include "frame/settings.h"
#include "program_fixture.h"

#include <string>

namespace ep {
namespace {

using mod_RGN_UserFunction::readIniValue;
using mod_RGN_UserFunction::writeIniValue;
using testing::ProgramTest;

class SettingsTest : public ProgramTest {};

TEST_F(SettingsTest, MissingFileReadsEmptyAndTheFirstWriteCreatesIt) {
    EXPECT_EQ(readIniValue(L"DATA", L"USER_COMMAND"), L"");
    EXPECT_EQ(readIniValue(L"DATA", L"USER_COMMAND_ON"), L"");
    EXPECT_FALSE(std::filesystem::exists(settingsFile()));

    writeIniValue(L"DATA", L"USER_COMMAND_ON", L"1");
    EXPECT_EQ(readHostFile(settingsFile()), "[DATA]\r\nUSER_COMMAND_ON=1\r\n");
    EXPECT_EQ(readIniValue(L"DATA", L"USER_COMMAND_ON"), L"1");
}

TEST_F(SettingsTest, ValuesAreTrimmedAndEmptyEqualsMissing) {
    writeHostFile(settingsFile(), "[DATA]\r\nUSER_COMMAND_ON=  1 \r\nUSER_COMMAND=\r\n"
                                  "BLANK=   \r\n");
    EXPECT_EQ(readIniValue(L"DATA", L"USER_COMMAND_ON"), L"1");
    EXPECT_EQ(readIniValue(L"DATA", L"USER_COMMAND"), L"");
    EXPECT_EQ(readIniValue(L"DATA", L"BLANK"), L"");
    EXPECT_EQ(readIniValue(L"DATA", L"NOT_THERE"), L"");
    EXPECT_EQ(readIniValue(L"OTHER", L"USER_COMMAND_ON"), L"");
}

TEST_F(SettingsTest, LongValuesAreCutAt510Bytes) {
    std::string value(600, 'a');
    value[509] = 'z';
    writeHostFile(settingsFile(), "[DATA]\r\nUSER_COMMAND=" + value + "\r\n");
    std::wstring read = readIniValue(L"DATA", L"USER_COMMAND");
    ASSERT_EQ(read.size(), 510u);
    EXPECT_EQ(read.back(), L'z');

    // The cut comes first, the trim after it: spaces that end up last go too.
    value = std::string(505, 'b') + "     " + std::string(90, 'c');
    writeHostFile(settingsFile(), "[DATA]\r\nUSER_COMMAND=" + value + "\r\n");
    EXPECT_EQ(readIniValue(L"DATA", L"USER_COMMAND"), std::wstring(505, L'b'));
}

TEST_F(SettingsTest, SpacesThePlatformKeepsAreTrimmedByTheRead) {
    // Quotes keep their spaces through the platform's own trimming; the read still drops them.
    writeHostFile(settingsFile(),
                  "[DATA]\r\nUSER_COMMAND_ON=\"  1 \"\r\nUSER_COMMAND=\" %( n) \"\r\n");
    EXPECT_EQ(readIniValue(L"DATA", L"USER_COMMAND_ON"), L"1");
    EXPECT_EQ(readIniValue(L"DATA", L"USER_COMMAND"), L"%( n)");
}

TEST_F(SettingsTest, AWriteReplacesOnlyItsOwnLine) {
    writeHostFile(settingsFile(), "[DATA]\r\nUSER_COMMAND=ab{ENTER}\r\nUSER_COMMAND_ON=0\r\n");
    writeIniValue(L"DATA", L"USER_COMMAND_ON", L"1");
    writeIniValue(L"DATA", L"USER_COMMAND_ON", L"0");
    writeIniValue(L"DATA", L"USER_COMMAND_ON", L"1");
    EXPECT_EQ(readHostFile(settingsFile()),
              "[DATA]\r\nUSER_COMMAND=ab{ENTER}\r\nUSER_COMMAND_ON=1\r\n");
}

TEST_F(SettingsTest, TheFileIsNamedAfterTheExecutableWhereverItLies) {
    desktop.setExePath(L"D:\\edgepad.exe");
    EXPECT_EQ(mod_RGN_Proc::settingsFilePath(), L"D:\\edgepad.ini");
    writeIniValue(L"DATA", L"USER_COMMAND_ON", L"0");
    EXPECT_TRUE(std::filesystem::exists(desktop.hostPath(L"D:\\edgepad.ini")));

    desktop.setExePath(L"C:\\Program Files\\Pad\\renamed.exe");
    EXPECT_EQ(mod_RGN_Proc::settingsFilePath(), L"C:\\Program Files\\Pad\\renamed.ini");
}

TEST_F(SettingsTest, AWriteRefusedBesideTheExeLandsInTheUsersFile) {
    desktop.setExePath(L"C:\\Missing\\edgepad.exe");
    std::filesystem::remove_all(desktop.hostPath(L"C:\\Missing"));
    writeIniValue(L"DATA", L"USER_COMMAND_ON", L"1");
    EXPECT_FALSE(std::filesystem::exists(desktop.hostPath(L"C:\\Missing")));
    EXPECT_EQ(
        readHostFile(desktop.hostPath(L"C:\\Users\\user\\AppData\\Roaming\\Edgepad\\edgepad.ini")),
        "[DATA]\r\nUSER_COMMAND_ON=1\r\n");
    EXPECT_EQ(readIniValue(L"DATA", L"USER_COMMAND_ON"), L"1");
}

} // namespace
} // namespace ep
