#include "frame/forms.h"

#include "frame/controls.h"
#include "frame/settings.h"
#include "frame/toolkit_windows.h"

#include <algorithm>

namespace ep {

using namespace toolkit;

namespace detail {

Form* findLoaded(std::type_index type) {
    for (auto& entry : state().loaded)
        if (entry.type == type) return entry.form.get();
    return nullptr;
}

void adopt(std::type_index type, std::unique_ptr<Form> form) {
    state().loaded.push_back(LoadedForm{type, std::move(form)});
}

} // namespace detail

std::vector<Form*> Forms() {
    std::vector<Form*> forms;
    for (auto& entry : state().loaded)
        forms.push_back(entry.form.get());
    return forms;
}

void Unload(Form& form, int unloadMode) {
    if (form.unloaded_) return;
    int cancel = 0;
    form.Form_QueryUnload(cancel, unloadMode);
    if (cancel || form.unloaded_) return;
    form.Form_Unload();
    form.unloaded_ = true;
    form.destroyWindow();
    auto& loaded = state().loaded;
    auto found = std::find_if(loaded.begin(), loaded.end(),
                              [&](const LoadedForm& entry) { return entry.form.get() == &form; });
    if (found != loaded.end()) {
        state().unloaded.push_back(std::move(found->form));
        loaded.erase(found);
    }
}

void collectUnloadedForms() { state().unloaded.clear(); }

void resetToolkit() {
    auto& s = state();
    for (auto& entry : s.loaded)
        entry.form->destroyWindow();
    s.loaded.clear();
    s.unloaded.clear();
    if (s.applicationWindow) os().DestroyWindow(s.applicationWindow);
    s = State{};
    mod_RGN_Proc::forgetSettingsFile();
}

void ShowModal(Form& form) {
    // The program's other windows take no input while the form is up.
    std::vector<Hwnd> disabled;
    for (Form* other : Forms()) {
        if (other == &form || !other->hWnd()) continue;
        if (os().EnableWindow(other->hWnd(), false) == false) disabled.push_back(other->hWnd());
    }
    Hwnd hwnd = form.hWnd();
    os().ShowWindow(hwnd, SW_SHOW);
    os().SetForegroundWindow(hwnd);
    if (Hwnd focus = form.initialFocus()) os().SetFocus(focus);
    while (!form.isUnloaded()) {
        Msg msg;
        int got = os().GetMessageW(&msg, 0, 0, 0);
        if (got <= 0) {
            if (got == 0) os().PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!form.isUnloaded() && os().IsDialogMessageW(hwnd, &msg)) continue;
        os().TranslateMessage(&msg);
        os().DispatchMessageW(&msg);
    }
    for (Hwnd window : disabled)
        if (os().IsWindow(window)) os().EnableWindow(window, true);
}

namespace {

// Once the menu is gone the program has nothing to type into: while its own window still
// holds the foreground, the window that had it before gets it back, if it still exists. The
// user may have clicked another program meanwhile; that choice stands.
void giveKeyboardBack(Form& owner, Hwnd hadKeyboard) {
    std::uint32_t ours = 0, foregrounds = 0;
    os().GetWindowThreadProcessId(owner.hWnd(), &ours);
    const Hwnd foreground = os().GetForegroundWindow();
    if (foreground) os().GetWindowThreadProcessId(foreground, &foregrounds);
    if (foreground && foregrounds == ours && os().IsWindow(hadKeyboard))
        os().SetForegroundWindow(hadKeyboard);
}

} // namespace

void PopupMenu(Form& owner, MenuItem& menu) {
    OwnedMenu popup(os().CreatePopupMenu());
    if (!popup) return;
    for (std::size_t i = 0; i < menu.children.size(); ++i) {
        MenuItem* item = menu.children[i];
        if (item->IsSeparator())
            os().AppendMenuW(popup.get(), MF_SEPARATOR, 0, nullptr);
        else
            os().AppendMenuW(popup.get(), MF_STRING | (item->Checked() ? MF_CHECKED : MF_UNCHECKED),
                             i + 1, item->Caption().c_str());
    }
    Point cursor;
    os().GetCursorPos(&cursor);
    // A popup menu closes on a click elsewhere, and takes Escape and the arrow keys, only when
    // its owner is the foreground window; the WM_NULL afterwards lets the menu's own loop end
    // cleanly. WS_EX_NOACTIVATE does not keep SetForegroundWindow from activating the owner, so
    // the keyboard goes back afterwards to the window that had it.
    const Hwnd hadKeyboard = os().GetForegroundWindow();
    os().SetForegroundWindow(owner.hWnd());
    const int chosen = os().TrackPopupMenu(
        popup.get(), TPM_LEFTALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, cursor.x,
        cursor.y, owner.hWnd());
    os().PostMessageW(owner.hWnd(), WM_NULL, 0, 0);
    popup.reset(); // gone before the chosen item's handler runs
    MenuItem* item = nullptr;
    if (chosen > 0 && static_cast<std::size_t>(chosen) <= menu.children.size())
        item = menu.children[static_cast<std::size_t>(chosen) - 1];
    if (item && item->Click) item->Click();
    if (!(item && item->choosesForeground)) giveKeyboardBack(owner, hadKeyboard);
}

} // namespace ep
