// The panel as it stands on screen: its size by setting, topmost, cut to exactly its four
// button cells, and what it shows once moved into view: raised cells, never the dark red
// frame of its pictures, and the user's picture (or the ring) in the fourth cell.
#include "e2e.h"

#include <cstdint>
#include <string>

using namespace e2e;

namespace {

constexpr COLORREF kFrameRed = RGB(128, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kDarkGrey = RGB(64, 64, 64);
constexpr COLORREF kMidGrey = RGB(128, 128, 128);
constexpr COLORREF kFace = RGB(212, 208, 200);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// The cells in window pixels; right and bottom exclusive. Cells repeat every 15 pixels.
constexpr RECT kCells[4] = {{1, 1, 17, 15}, {1, 16, 17, 30}, {1, 31, 17, 45}, {1, 46, 17, 60}};

// Where the test puts the panel to read it: clear of the screen's corner and of any window.
constexpr int kShownX = 200;
constexpr int kShownY = 150;

std::string hex(COLORREF c) {
    char text[16];
    std::snprintf(text, sizeof text, "%02x%02x%02x", GetRValue(c), GetGValue(c), GetBValue(c));
    return text;
}

std::wstring folderOf(const std::wstring& path) {
    return path.substr(0, path.find_last_of(L"\\/"));
}

// The user's picture: a colour for every pixel, none of them the panel's own.
COLORREF userPixel(int x, int y) { return RGB(20 + 10 * x, 30 + 12 * y, 77); }

// Installs a copy of edgepad with the user-button switch and, if given, a userbutton.bmp.
std::wstring install(const wchar_t* folder, bool userButtonOn, const std::string* userPicture) {
    const std::wstring exe = installEdgepad(folder);
    writeFile(iniBeside(exe), std::string("[DATA]\r\nUSER_COMMAND=%( n)\r\nUSER_COMMAND_ON=") +
                                  (userButtonOn ? "1" : "0") + "\r\n");
    if (userPicture) writeFile(folderOf(exe) + L"\\userbutton.bmp", *userPicture);
    return exe;
}

// Waits for the start-up to have parked the panel and returns it, or null.
HWND parkedPanel(Process& edgepad) {
    // The cursor stays away from every window and from the screen's top-left corner, so the
    // watcher leaves the panel wherever it is put.
    moveCursor(screenWidth() / 2, screenHeight() / 2);
    if (!check(edgepad.start(), "edgepad.exe starts")) return nullptr;
    const HWND panel = edgepad.waitPanel();
    if (!check(panel != nullptr, "the panel appears")) return nullptr;
    const int screen = screenWidth();
    check(waitFor([&] { return windowRect(panel).left == screen && IsWindowVisible(panel); }),
          "the panel is parked at the screen width");
    return panel;
}

void checkParkedShape(HWND panel, int expectedHeight) {
    const RECT rect = windowRect(panel);
    check(rect.right - rect.left == 18 && rect.bottom - rect.top == expectedHeight,
          "the panel is 18 x %d pixels (%ld x %ld)", expectedHeight, rect.right - rect.left,
          rect.bottom - rect.top);
    check(GetWindowLongW(panel, GWL_EXSTYLE) & WS_EX_TOPMOST, "the panel is topmost");

    const std::optional<std::vector<RECT>> region = windowRegion(panel);
    if (!check(region.has_value(), "the panel has a window region")) return;
    bool exact = region->size() == 4;
    for (std::size_t i = 0; exact && i < 4; ++i) {
        const RECT& r = (*region)[i];
        exact = r.left == kCells[i].left && r.top == kCells[i].top && r.right == kCells[i].right &&
                r.bottom == kCells[i].bottom;
    }
    std::string got;
    for (const RECT& r : *region)
        got += " (" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
               std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
    check(exact, "the region is exactly the four 16 x 14 cells:%s", got.c_str());
}

// Moves the panel into view without activating it and waits until its first cell shows.
bool showPanel(HWND panel) {
    SetWindowPos(panel, nullptr, kShownX, kShownY, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return check(waitFor([&] {
                     const RECT r = windowRect(panel);
                     return r.left == kShownX && r.top == kShownY &&
                            screenPixel(kShownX + 2, kShownY + 2) == kFace;
                 }),
                 "the panel shows at %d, %d", kShownX, kShownY);
}

COLORREF at(int x, int y) { return screenPixel(kShownX + x, kShownY + y); }

// Every pixel of the panel's rectangle: the frame colour never shows.
void checkNoFrameRed(int height) {
    int red = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < 18; ++x)
            red += at(x, y) == kFrameRed;
    check(red == 0, "no dark red pixel shows on the panel (%d found)", red);
}

// The edges of a raised cell from row `fromRow` of the cell down (the top rows of cell 2 lie
// under the start-up cover until the first docking).
void checkRaised(int cell, int fromRow = 0) {
    const RECT& c = kCells[cell];
    int wrong = 0;
    std::string first;
    auto expect = [&](int x, int y, COLORREF want) {
        if (y < c.top + fromRow) return;
        const COLORREF got = at(x, y);
        if (got != want && wrong++ == 0)
            first = std::to_string(x) + "," + std::to_string(y) + " is " + hex(got) + ", not " +
                    hex(want);
    };
    const int right = c.right - 1, bottom = c.bottom - 1;
    for (int x = c.left; x < right; ++x)
        expect(x, c.top, kWhite);
    for (int y = c.top; y < bottom; ++y)
        expect(c.left, y, kWhite);
    for (int y = c.top; y <= bottom; ++y)
        expect(right, y, kDarkGrey);
    for (int x = c.left; x <= right; ++x)
        expect(x, bottom, kDarkGrey);
    for (int y = c.top + 1; y < bottom; ++y)
        expect(right - 1, y, kMidGrey);
    for (int x = c.left + 1; x < right; ++x)
        expect(x, bottom - 1, kMidGrey);
    check(wrong == 0, "cell %d is a raised button (%d wrong%s%s)", cell, wrong, wrong ? ": " : "",
          first.c_str());
}

} // namespace

E2E_SCENARIO(panel_parked_three_cells) {
    Process edgepad(install(L"panel_three", false, nullptr));
    const HWND panel = parkedPanel(edgepad);
    if (!panel) return;
    checkParkedShape(panel, 45);
}

E2E_SCENARIO(panel_parked_four_cells) {
    Process edgepad(install(L"panel_four", true, nullptr));
    const HWND panel = parkedPanel(edgepad);
    if (!panel) return;
    checkParkedShape(panel, 60);
}

E2E_SCENARIO(panel_on_screen_with_user_picture) {
    const std::string picture = bitmapFile(18, 16, userPixel);
    Process edgepad(install(L"panel_user_picture", true, &picture));
    const HWND panel = parkedPanel(edgepad);
    if (!panel || !showPanel(panel)) return;

    checkNoFrameRed(60);
    checkRaised(0);
    checkRaised(1);
    checkRaised(2, 2);
    // Of the user's picture, pixels (1, 1) to (16, 14) fill the fourth cell's face.
    int wrong = 0;
    for (int y = 1; y <= 14; ++y)
        for (int x = 1; x <= 16; ++x)
            wrong += at(x, 45 + y) != userPixel(x, y);
    check(wrong == 0, "the user's picture fills the fourth cell (%d pixels differ)", wrong);
    saveScreenshot(L"panel_on_screen");
}

E2E_SCENARIO(panel_corrupt_user_picture_keeps_ring) {
    const std::string corrupt = "BM this is not a bitmap at all";
    Process edgepad(install(L"panel_corrupt_picture", true, &corrupt));
    const HWND panel = parkedPanel(edgepad);
    if (!panel || !showPanel(panel)) return;

    checkNoFrameRed(60);
    checkRaised(3);
    // The ring: two-pixel strokes round a hollow centre, in the middle of the cell.
    const bool ring = at(5, 52) == kBlack && at(6, 52) == kBlack && at(12, 52) == kBlack &&
                      at(8, 49) == kBlack && at(8, 50) == kBlack && at(8, 52) == kFace &&
                      at(3, 52) == kFace;
    check(ring, "the fourth cell still shows the ring");
    check(edgepad.running(), "edgepad keeps running");
}
