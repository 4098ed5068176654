// The menu form: never shown; it holds the panel's popup menu and its handlers. The check
// mark of uc is the program's user-button switch.
#pragma once

#include "frame/toolkit.h"

#include <string>

namespace ep {

class frmMenu : public Form {
  public:
    frmMenu();

    MenuItem mpop;
    MenuItem uc;
    MenuItem sep02;
    MenuItem mver;
    MenuItem sep001;
    MenuItem mend;

    void uc_Click();
    void mver_Click();
    void mend_Click();
    void Form_QueryUnload(int& cancel, int unloadMode) override;
};

// Unloads every loaded form whose Name differs from name (exact comparison), in load order.
void unloadOtherForms(const std::string& name);

} // namespace ep
