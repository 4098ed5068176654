// The About window: the program's name, version and copyright over an etched rule, with one
// OK button. It is loaded afresh for each opening and shown modally above all windows. It is
// laid out at the scale of the monitor it opens on, and again when that scale changes.
#pragma once

#include "frame/toolkit.h"

namespace ep {

class frm_Version : public Form {
  public:
    frm_Version();

    // The controls' windows, made with the form's window.
    Hwnd Command1 = 0; // "OK"
    Hwnd Label1 = 0;   // the copyright notice
    Hwnd Label2 = 0;   // the version
    Hwnd Label3 = 0;   // the program's name
    Hwnd Image1 = 0;   // the program's icon

    void Form_Load() override;
    void Command1_Click();

  protected:
    void createControls() override;
    Hwnd initialFocus() const override { return Command1; }
    void onCommand(int id, int code) override;
    void onPaint(Hdc dc) override;
    void onDpiChanged(int dpi, const Rect& suggested) override;

  private:
    // Places the controls, and makes the fonts and icons, at the form's layout scale.
    void layOut();
    void widenClientTo(int width);
    OwnedIcon smallIcon_; // the window's, at the sizes the system asks at that scale
    OwnedIcon bigIcon_;
    OwnedIcon imageIcon_; // Image1's
    OwnedGdiObject dialogFont_;
    OwnedGdiObject label1Font_; // outside Japan; in Japanese the notice takes dialogFont_
    OwnedGdiObject label2Font_;
    OwnedGdiObject label3Font_;
    OwnedGdiObject whiteBrush_;
    OwnedGdiObject lineBrush_;
};

} // namespace ep
