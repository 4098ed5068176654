#include "menu/frm_version.h"

#include "frame/scale.h"
#include "menu/ui_texts.h"

#include <algorithm>
#include <string>

namespace ep {

namespace {

constexpr const wchar_t* kCopyright = L"Copyright (C) 2026 Edgepad";
constexpr const wchar_t* kVersion = L"Version 1.2.0";
constexpr const wchar_t* kProductName = L"Edgepad";
constexpr int kIconResource = 1;

FormDesign versionDesign() {
    FormDesign design;
    design.caption = uiTexts().aboutCaption;
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
constexpr Rect kClient = designRect(0, 0, 3945, 1125);

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

void place(Hwnd control, const Rect& r) {
    os().SetWindowPos(control, 0, r.left, r.top, r.right - r.left, r.bottom - r.top,
                      SWP_NOZORDER | SWP_NOACTIVATE);
}

// The face of the system's message font (Segoe UI on today's Windows), as the system gives it
// for the scale's DPI where it can; only the face is taken, the sizes are the layout's own.
std::wstring messageFontFace(const Scale& scale) {
    NonClientMetrics metrics;
    if (!os().SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0,
                                         static_cast<std::uint32_t>(scale.dpi())) &&
        !os().SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        return L"MS Shell Dlg";
    return metrics.lfMessageFont.lfFaceName;
}

// A label's rectangle, widened to the right where its text in its font would be clipped.
Rect fittingText(Hwnd label, const OwnedGdiObject& font, const wchar_t* text, Rect r) {
    const Hdc dc = os().GetDC(label);
    if (!dc) return r;
    const Hgdiobj previous = os().SelectObject(dc, font.get());
    Size extent;
    const std::wstring_view shown(text);
    const bool measured =
        os().GetTextExtentPoint32W(dc, text, static_cast<int>(shown.size()), &extent);
    os().SelectObject(dc, previous);
    os().ReleaseDC(label, dc);
    if (measured && extent.cx > r.right - r.left) r.right = r.left + extent.cx;
    return r;
}

} // namespace

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

    // The system's dialog face for the button and, in Japanese, the notice; a child left
    // without a font would draw in the bold system font. Outside Japan the labels take the
    // system's message font at the sizes of the Japanese layout, whose faces (a Japanese
    // serif among them) a Western Windows lacks.
    const bool japanese = uiTexts().japanese;
    const std::wstring face = japanese ? std::wstring() : messageFontFace(scale);
    OwnedGdiObject dialogFont = makeFont(scale, 8, FW_NORMAL, DEFAULT_CHARSET, L"MS Shell Dlg");
    OwnedGdiObject label1Font =
        japanese ? OwnedGdiObject() : makeFont(scale, 8, FW_NORMAL, DEFAULT_CHARSET, face.c_str());
    OwnedGdiObject label2Font =
        japanese ? makeFont(scale, 9.75, FW_BOLD, ANSI_CHARSET, L"Times New Roman")
                 : makeFont(scale, 9.75, FW_BOLD, DEFAULT_CHARSET, face.c_str());
    OwnedGdiObject label3Font =
        japanese ? makeFont(scale, 11.25, FW_BOLD, SHIFTJIS_CHARSET,
                            L"\uFF2D\uFF33 \uFF30\u660E\u671D") // ＭＳ Ｐ明朝
                 : makeFont(scale, 11.25, FW_BOLD, DEFAULT_CHARSET, face.c_str());
    // The fonts the controls had go only once they hold the new ones: never a dead font in
    // a live control. The same for the icons below.
    setFont(Command1, dialogFont, shown);
    setFont(Label1, japanese ? dialogFont : label1Font, shown);
    setFont(Label2, label2Font, shown);
    setFont(Label3, label3Font, shown);
    dialogFont_ = std::move(dialogFont);
    label1Font_ = std::move(label1Font);
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

    // After the icon: a static resizes itself to the icon it is given. Outside Japan a label
    // whose text its font would clip is widened, and the window with it.
    Rect label1 = scale.rect(kLabel1), label2 = scale.rect(kLabel2), label3 = scale.rect(kLabel3);
    if (!japanese) {
        label1 = fittingText(Label1, label1Font_, kCopyright, label1);
        label2 = fittingText(Label2, label2Font_, kVersion, label2);
        label3 = fittingText(Label3, label3Font_, kProductName, label3);
        widenClientTo(std::max({label1.right, label2.right, label3.right}) +
                      scale.px(kClient.right - kLabel1.right));
    }
    place(Command1, scale.rect(kCommand1));
    place(Label1, label1);
    place(Label2, label2);
    place(Label3, label3);
    place(Image1, scale.rect(kImage1));
    if (shown) os().InvalidateRect(hWnd(), nullptr, false);
}

// Keeps the window's place and frame and makes its client area at least this wide.
void frm_Version::widenClientTo(int width) {
    Rect client;
    os().GetClientRect(hWnd(), &client);
    if (client.right - client.left >= width) return;
    Rect outer;
    os().GetWindowRect(hWnd(), &outer);
    placeWindowAt(Rect{outer.left, outer.top, outer.right + width - (client.right - client.left),
                       outer.bottom});
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
