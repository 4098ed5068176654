// One look at the desktop under one point: the window there, its top-level window, their class
// names, the title and the rectangle, all for that point. Each is read from the system at most
// once and only when first asked, so every answer of one look describes one moment, however the
// cursor moves meanwhile. A look is made for one tick or one question and then dropped.
#pragma once

#include "platform/platform.h"

#include <cstdint>
#include <optional>
#include <string>

namespace ep {

class PointLook {
  public:
    explicit PointLook(Point pixel) : pixel_(pixel) {}

    Point pixel() const { return pixel_; }

    // The window under the point, or (PhWnd True) its ancestor up to ten parent steps away.
    Hwnd handle(int PhWnd);
    // Its class name, at most 127 bytes of ANSI text.
    std::wstring className(int PhWnd);
    // The top-level window's title (0) or an edge of its rectangle in twips (1 left, 2 top,
    // 3 right, 4 bottom), as decimal text; the empty text for any other selector.
    std::wstring info(int nFunc);
    // The edges of the top-level window's outer rectangle, in whole twips.
    std::int32_t left() { return edge(1); }
    std::int32_t top() { return edge(2); }
    std::int32_t right() { return edge(3); }
    std::int32_t bottom() { return edge(4); }

    // The top-level window's title and rectangle as the system gives them; a failed read
    // leaves the empty text and zeros, which callers take as "nothing there".
    const std::wstring& title();
    const Rect& rect();
    // The top-level window's visible frame, as the desktop draws it: on Windows 10 and 11 the
    // rectangle less its invisible resize borders. Where the system cannot tell (no desktop
    // composition, Wine), the rectangle itself. Physical pixels, as the rectangle.
    const Rect& visibleFrame();

  private:
    std::int32_t edge(int nFunc);

    Point pixel_;
    std::optional<Hwnd> hit_, top_;
    std::optional<std::wstring> hitClass_, topClass_, title_;
    std::optional<Rect> rect_, visibleFrame_;
};

} // namespace ep
