// Start-up: the load handler of the panel form runs the whole start-up sequence.
#include "frame/scale.h"
#include "frame/settings.h"
#include "frame/text.h"
#include "frame/units.h"
#include "menu/frm_menu.h"
#include "panel/form1.h"
#include "shaping/shaping.h"
#include "watcher/watcher.h"

namespace ep {

namespace {
constexpr wchar_t kSection[] = L"DATA";
constexpr wchar_t kDefaultUserCommand[] = L"%( n)";
// The user button's picture box: only this much of a user picture can ever show.
constexpr int kUserPictureMaxPx = 17;
} // namespace

void Form1::Form_Load() {
    using namespace mod_RGN_UserFunction;

    // One instance per user: a second start ends before it reads or shows anything.
    if (App::PrevInstance()) End();

    // Parked, the panel takes the primary monitor's scale; each docking lays it out again.
    // Shaped before the settings file is touched, so that a shaping failure leaves no file.
    const Scale scale = scaleOfPrimaryMonitor();
    setLayoutScale(scale);
    shapeForm(kShapeButtonColumn, *this, vbTrue);

    // One file for the whole run: beside the exe where it takes writes, else the user's own.
    mod_RGN_Proc::chooseSettingsFile();
    userCommand = readIniValue(kSection, L"USER_COMMAND");
    // Never written back: only the user edits these keys.
    servedWindows = parseServedWindows(readIniValue(kSection, L"SERVED_WINDOWS"));
    dockDelayMs = parseDockDelay(readIniValue(kSection, L"DOCK_DELAY"));
    // "1" keeps the poll, for tools that move the cursor with SetCursorPos and no input.
    const bool pollCursor = readIniValue(kSection, L"POLL_CURSOR") == L"1";

    // Seed each key only when it reads empty, so a custom key string is never lost; the
    // seeded default is in force at once.
    if (readIniValue(kSection, L"USER_COMMAND").empty())
        writeIniValue(kSection, L"USER_COMMAND", kDefaultUserCommand);
    if (readIniValue(kSection, L"USER_COMMAND_ON").empty())
        writeIniValue(kSection, L"USER_COMMAND_ON", L"0");
    if (userCommand.empty()) userCommand = kDefaultUserCommand;

    if (Val(readIniValue(kSection, L"USER_COMMAND_ON")) > 0) {
        form<frmMenu>().uc.setChecked(true);
        setHeight(pixelsToTwipsY(scale.px(4 * buttonPitchPx)));
    } else {
        setHeight(pixelsToTwipsY(scale.px(3 * buttonPitchPx)));
    }

    // A picture that exists but does not load leaves the built-in ring in place.
    std::wstring folder = App::Path();
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    std::wstring userPicture = folder + L"userbutton.bmp";
    if (Dir(userPicture)) {
        if (Picture picture = LoadPicture(userPicture, kUserPictureMaxPx, kUserPictureMaxPx))
            Picture1.setPicture(std::move(picture));
    }

    makeTopmost(*this);
    park(*this);
    Picture1.layOut(scale, kUserButtonBox);
    Picture2.layOut(scale, kStartupStripBox);
    startWatcher(pollCursor);
}

} // namespace ep
