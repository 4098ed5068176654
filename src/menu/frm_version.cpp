#include "menu/frm_version.h"

#include "frame/scale.h"

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
    design.scaledToMonitor = true;
    design.ownedByApplication = true; // no taskbar button
    design.backColor = os().GetSysColor(COLOR_BTNFACE);
    design.iconResource = kIconResource;
    return design;
}

// A rectangle of the design, given in twips as left, top, width and height, in 96-DPI pixels.
constexpr Rect designRect(int left, int top, int width, int height) {
    return Rect{designPixelsOfTwips(left), designPixelsOfTwips(top),
                designPixelsOfTwips(left + width), designPixelsOfTwips(top + height)};
}

constexpr Rect kCommand1 = designRect(3075, 120, 795, 345);
constexpr Rect kLabel1 = designRect(780, 930, 2775, 225);
constexpr Rect kLabel2 = designRect(1515, 525, 1515, 285);
constexpr Rect kLabel3 = designRect(840, 180, 2175, 285);
constexpr Rect kImage1 = designRect(180, 210, 480, 480);

// A font of the given point size at the scale's DPI: the monitor's, not the system's.
OwnedGdiObject makeFont(const Scale& scale, double points, int weight, std::uint32_t charSet,
                        const wchar_t* face) {
    return OwnedGdiObject(os().CreateFontW(-scale.fontPixels(points), 0, 0, 0, weight, 0, 0, 0,
                                           charSet, 0, 0, 0, 0, face));
}

// Gives a control a font; redraw when it is on the screen.
void setFont(Hwnd control, const OwnedGdiObject& font, bool redraw) {
    os().SendMessageW(control, WM_SETFONT, static_cast<std::uintptr_t>(font.get()), redraw);
}

// The program's icon at cx x cy pixels, from the larger image scaled down where the system
// can, else as LoadImageW picks it.
OwnedIcon loadIcon(int cx, int cy) {
    Hicon icon = 0;
    if (os().LoadIconWithScaleDown(kIconResource, cx, cy, &icon) == S_OK && icon)
        return OwnedIcon(icon);
    return OwnedIcon(os().LoadImageW(kIconResource, IMAGE_ICON, cx, cy, 0));
}

// A horizontal line of the rule from x1 to x2 at y (twips), thickness 96-DPI pixels thick; a
// thick line is centred on y as a pen of that width draws it. The line's 96-DPI rectangle is
// mapped through the scale corner by corner.
void drawRuleLine(Hdc dc, const Scale& scale, Hbrush brush, int x1, int x2, int y, int thickness) {
    const int top = designPixelsOfTwips(y) - thickness / 2;
    const Rect line =
        scale.rect(Rect{designPixelsOfTwips(x1), top, designPixelsOfTwips(x2), top + thickness});
    os().FillRect(dc, &line, brush);
}

void place(Hwnd control, const Scale& scale, const Rect& design) {
    const Rect r = scale.rect(design);
    os().SetWindowPos(control, 0, r.left, r.top, r.right - r.left, r.bottom - r.top,
                      SWP_NOZORDER | SWP_NOACTIVATE);
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

OwnedIcon& OwnedIcon::operator=(OwnedIcon&& other) noexcept {
    if (this != &other) {
        reset();
        icon_ = other.icon_;
        other.icon_ = 0;
    }
    return *this;
}

void OwnedIcon::reset() {
    if (icon_) os().DestroyIcon(icon_);
    icon_ = 0;
}

frm_Version::frm_Version()
    : Form("frm_Version", versionDesign()), whiteBrush_(os().CreateSolidBrush(RGB(255, 255, 255))),
      lineBrush_(os().CreateSolidBrush(os().GetSysColor(COLOR_WINDOWTEXT))) {}

// The controls are made without a place; layOut places them.
void frm_Version::createControls() {
    Command1 = createChild(L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                           0, 0, 0, 0, IDOK);
    Label1 = createChild(L"STATIC", kCopyright, WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0,
                         0, 0, 0);
    Label2 = createChild(L"STATIC", kVersion,
                         WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, 0, 0, 0, 0);
    Label3 = createChild(L"STATIC", kProductName,
                         WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, 0, 0, 0, 0);
    Image1 = createChild(L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_ICON, 0, 0, 0, 0, 0);
    layOut();
}

void frm_Version::layOut() {
    const Scale& scale = layoutScale();
    const bool shown = os().IsWindowVisible(hWnd());

    // The system's dialog face for the button and the notice; a child left without a font
    // would draw in the bold system font.
    OwnedGdiObject dialogFont = makeFont(scale, 8, FW_NORMAL, DEFAULT_CHARSET, L"MS Shell Dlg");
    OwnedGdiObject label2Font = makeFont(scale, 9.75, FW_BOLD, ANSI_CHARSET, L"Times New Roman");
    OwnedGdiObject label3Font = makeFont(scale, 11.25, FW_BOLD, SHIFTJIS_CHARSET,
                                         L"\uFF2D\uFF33 \uFF30\u660E\u671D"); // ＭＳ Ｐ明朝
    // The fonts the controls had go only once they hold the new ones: never a dead font in
    // a live control. The same for the icons below.
    setFont(Command1, dialogFont, shown);
    setFont(Label1, dialogFont, shown);
    setFont(Label2, label2Font, shown);
    setFont(Label3, label3Font, shown);
    dialogFont_ = std::move(dialogFont);
    label2Font_ = std::move(label2Font);
    label3Font_ = std::move(label3Font);

    // The icon at the sizes this scale asks for: the caption's and the task switcher's, and
    // Image1's 32 pixels mapped through the scale.
    OwnedIcon smallIcon =
        loadIcon(systemMetricAt(SM_CXSMICON, scale), systemMetricAt(SM_CYSMICON, scale));
    OwnedIcon bigIcon =
        loadIcon(systemMetricAt(SM_CXICON, scale), systemMetricAt(SM_CYICON, scale));
    const int imageSize = scale.px(kImage1.right - kImage1.left);
    OwnedIcon imageIcon = loadIcon(imageSize, imageSize);
    os().SendMessageW(hWnd(), WM_SETICON, ICON_SMALL, static_cast<std::intptr_t>(smallIcon.get()));
    os().SendMessageW(hWnd(), WM_SETICON, ICON_BIG, static_cast<std::intptr_t>(bigIcon.get()));
    os().SendMessageW(Image1, STM_SETICON, static_cast<std::uintptr_t>(imageIcon.get()), 0);
    smallIcon_ = std::move(smallIcon);
    bigIcon_ = std::move(bigIcon);
    imageIcon_ = std::move(imageIcon);

    // After the icon: a static resizes itself to the icon it is given.
    place(Command1, scale, kCommand1);
    place(Label1, scale, kLabel1);
    place(Label2, scale, kLabel2);
    place(Label3, scale, kLabel3);
    place(Image1, scale, kImage1);
    if (shown) os().InvalidateRect(hWnd(), nullptr, false);
}

// The window moved to a monitor of another scale, or its monitor's scale changed: it takes
// the rectangle the system suggests and lays itself out again at the new DPI.
void frm_Version::onDpiChanged(int dpi, const Rect& suggested) {
    setLayoutScale(Scale(dpi));
    placeWindowAt(suggested);
    layOut();
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
    const Scale& scale = layoutScale();
    drawRuleLine(dc, scale, whiteBrush_.get(), -135, 10330, 870, 1);
    drawRuleLine(dc, scale, lineBrush_.get(), -45, 10330, 885, 2);
    drawRuleLine(dc, scale, whiteBrush_.get(), -60, 10330, 870, 1);
}

} // namespace ep
