#include "menu/frm_menu.h"

#include "frame/settings.h"
#include "menu/frm_version.h"
#include "menu/module1.h"
#include "menu/ui_texts.h"

namespace ep {

namespace {

FormDesign menuDesign() {
    FormDesign design;
    design.caption = L"frmMenu";
    // Owned by the application window, so the focus return can pass over that owner.
    design.ownedByApplication = true;
    return design;
}

} // namespace

frmMenu::frmMenu()
    : Form("frmMenu", menuDesign()), mpop(L"mpop"), uc(uiTexts().useUserButton),
      sep02(L"-", true), mver(uiTexts().about), sep001(L"-", true), mend(uiTexts().exit) {
    mpop.children = {&uc, &sep02, &mver, &sep001, &mend};
    uc.Click = [this] { uc_Click(); };
    mver.Click = [this] { mver_Click(); };
    mver.choosesForeground = true;
    mend.Click = [this] { mend_Click(); };
}

// The mark is the switch itself; the file only keeps it for the next start.
void frmMenu::uc_Click() {
    const bool on = !uc.Checked();
    uc.setChecked(on);
    mod_RGN_UserFunction::writeIniValue(L"DATA", L"USER_COMMAND_ON", on ? L"1" : L"0");
}

void frmMenu::mver_Click() {
    ShowModal(form<frm_Version>());
    Module1::returnFocus(hWnd());
}

// Unloading this form ends the program through Form_QueryUnload; the End below is reached
// only if that ever returns.
void frmMenu::mend_Click() {
    Unload(*this);
    End();
}

// Whatever asks for this unload, the program goes with it; nothing is cancelled or saved.
void frmMenu::Form_QueryUnload(int& cancel, int unloadMode) {
    (void)cancel, (void)unloadMode;
    unloadOtherForms(Name());
    End();
}

void unloadOtherForms(const std::string& name) {
    // A copy: each Unload changes the collection.
    const std::vector<Form*> loaded = Forms();
    for (Form* each : loaded) {
        if (each->isUnloaded()) continue; // gone already through another form's unload
        if (each->Name() != name) Unload(*each);
    }
}

} // namespace ep
