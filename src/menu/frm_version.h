// The About window: the program's name, version and copyright over an etched rule, with one
// OK button. It is loaded afresh for each opening and shown modally above all windows. It is
// laid out at the scale of the monitor it opens on, and again when that scale changes.
#pragma once

#include "frame/toolkit.h"

namespace ep {

// A font or brush with one owner, deleted with it.
class OwnedGdiObject {
  public:
    OwnedGdiObject() = default;
    explicit OwnedGdiObject(Hgdiobj object) : object_(object) {}
    OwnedGdiObject(OwnedGdiObject&& other) noexcept : object_(other.object_) { other.object_ = 0; }
    OwnedGdiObject& operator=(OwnedGdiObject&& other) noexcept;
    OwnedGdiObject(const OwnedGdiObject&) = delete;
    OwnedGdiObject& operator=(const OwnedGdiObject&) = delete;
    ~OwnedGdiObject() { reset(); }

    Hgdiobj get() const { return object_; }
    void reset();

  private:
    Hgdiobj object_ = 0;
};

// An icon loaded for its owner's keeping, destroyed with it.
class OwnedIcon {
  public:
    OwnedIcon() = default;
    explicit OwnedIcon(Hicon icon) : icon_(icon) {}
    OwnedIcon(OwnedIcon&& other) noexcept : icon_(other.icon_) { other.icon_ = 0; }
    OwnedIcon& operator=(OwnedIcon&& other) noexcept;
    OwnedIcon(const OwnedIcon&) = delete;
    OwnedIcon& operator=(const OwnedIcon&) = delete;
    ~OwnedIcon() { reset(); }

    Hicon get() const { return icon_; }
    void reset();

  private:
    Hicon icon_ = 0;
};

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
    OwnedIcon smallIcon_; // the window's, at the sizes the system asks at that scale
    OwnedIcon bigIcon_;
    OwnedIcon imageIcon_; // Image1's
    OwnedGdiObject dialogFont_;
    OwnedGdiObject label2Font_;
    OwnedGdiObject label3Font_;
    OwnedGdiObject whiteBrush_;
    OwnedGdiObject lineBrush_;
};

} // namespace ep
