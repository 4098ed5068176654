#include "menu/frm_version.h"

#include "frame/text.h"
#include "frame/units.h"

namespace ep {

namespace {

constexpr const wchar_t* kCopyright = L"Copyright (C) 2026 Edgepad";
constexpr const wchar_t* kVersion = L"Version 1.2.0";
constexpr const wchar_t* kProductName = L"Edgepad";
constexpr int kIconResource = 1;

FormDesign versionDesign() {
    FormDesign design;
    design.caption = L"\u30D0\u30FC\u30B8\u30E7\u30F3\u60C5\u5831"; // バージョン情報
    // A fixed dialog frame that keeps only the close box.
    design.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS;
    design.exStyle = WS_EX_DLGMODALFRAME;
    design.width = 3945;
    design.height = 1125;
    design.clientSize = true;
    design.centreOnScreen = true;
    design.ownedByApplication = true; // no taskbar button
    design.backColor = os().GetSysColor(COLOR_BTNFACE);
    design.iconResource = kIconResource;
    return design;
}

// A font of the given point size, at the display's vertical resolution.
Hfont makeFont(Hwnd window, double points, int weight, std::uint32_t charSet, const wchar_t* face) {
    const Hdc dc = os().GetDC(window);
    const int dpi = os().GetDeviceCaps(dc, LOGPIXELSY);
    os().ReleaseDC(window, dc);
    const int height = -roundHalfEven(points * dpi / 72.0);
    return os().CreateFontW(height, 0, 0, 0, weight, 0, 0, 0, charSet, 0, 0, 0, 0, face);
}

void setFont(Hwnd control, const OwnedGdiObject& font) {
    os().SendMessageW(control, WM_SETFONT, static_cast<std::uintptr_t>(font.get()), 0);
}

// A horizontal line of the rule from x1 to x2 at y (twips), thickness pixels thick; a thick
// line is centred on y as a pen of that width draws it.
void drawRuleLine(Hdc dc, Hbrush brush, double x1, double x2, double y, int thickness) {
    using namespace mod_RGN_UserFunction;
    const int top = twipsToPixelsY(y) - thickness / 2;
    const Rect line{twipsToPixelsX(x1), top, twipsToPixelsX(x2), top + thickness};
    os().FillRect(dc, &line, brush);
}

} // namespace

OwnedGdiObject& OwnedGdiObject::operator=(OwnedGdiObject&& other) noexcept {
    if (this != &other) {
        reset();
        object_ = other.object_;
        other.object_ = 0;
    }
    return *this;
}

void OwnedGdiObject::reset() {
    if (object_) os().DeleteObject(object_);
    object_ = 0;
}

frm_Version::frm_Version()
    : Form("frm_Version", versionDesign()), whiteBrush_(os().CreateSolidBrush(RGB(255, 255, 255))),
      lineBrush_(os().CreateSolidBrush(os().GetSysColor(COLOR_WINDOWTEXT))) {}

void frm_Version::createControls() {
    Command1 = createChild(L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                           3075, 120, 795, 345, IDOK);
    Label1 = createChild(L"STATIC", kCopyright, WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 780,
                         930, 2775, 225, 0);
    Label2 =
        createChild(L"STATIC", kVersion, WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX,
                    1515, 525, 1515, 285, 0);
    Label3 = createChild(L"STATIC", kProductName,
                         WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX, 840, 180, 2175,
                         285, 0);
    Image1 = createChild(L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_ICON, 180, 210, 480, 480, 0);

    // The system's dialog face for the button and the notice; a child left without a font
    // would draw in the bold system font.
    dialogFont_ = OwnedGdiObject(makeFont(hWnd(), 8, FW_NORMAL, DEFAULT_CHARSET, L"MS Shell Dlg"));
    label2Font_ = OwnedGdiObject(makeFont(hWnd(), 9.75, FW_BOLD, ANSI_CHARSET, L"Times New Roman"));
    label3Font_ = OwnedGdiObject(makeFont(hWnd(), 11.25, FW_BOLD, SHIFTJIS_CHARSET,
                                          L"\uFF2D\uFF33 \uFF30\u660E\u671D")); // ＭＳ Ｐ明朝
    setFont(Command1, dialogFont_);
    setFont(Label1, dialogFont_);
    setFont(Label2, label2Font_);
    setFont(Label3, label3Font_);
    // A shared icon from the module: it is not destroyed.
    os().SendMessageW(Image1, STM_SETICON,
                      static_cast<std::uintptr_t>(os().LoadIconW(kIconResource)), 0);
}

// Above every window, the topmost panel included; the modal opening shows it. The OK button
// takes the focus only then, so that Space presses it.
void frm_Version::Form_Load() {
    os().SetWindowPos(hWnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void frm_Version::Command1_Click() { Unload(*this); }

// The button's click, Enter and Space on it arrive as IDOK, Escape as IDCANCEL: all close.
void frm_Version::onCommand(int id, int code) {
    if ((id == IDOK || id == IDCANCEL) && code == static_cast<int>(BN_CLICKED)) Command1_Click();
}

// The etched rule under the name and version, drawn in the order of its three lines: it
// starts left of the client area and runs past its right edge.
void frm_Version::onPaint(Hdc dc) {
    drawRuleLine(dc, whiteBrush_.get(), -135, 10330, 870, 1);
    drawRuleLine(dc, lineBrush_.get(), -45, 10330, 885, 2);
    drawRuleLine(dc, whiteBrush_.get(), -60, 10330, 870, 1);
}

} // namespace ep
