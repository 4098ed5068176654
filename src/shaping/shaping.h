// Window shaping: the region table, region creation, and the operation that sizes a form for
// a shape, cuts its window to the shape and paints the shape's picture.
#pragma once

#include "frame/toolkit.h"

#include <cstdint>

namespace ep {

// Shape indices.
constexpr int kShapeButtonColumn = 0;
constexpr int kShapeSingleButton = 1;
constexpr int kShapeExitBar = 2;

// Flags of shapeWindow, combined by addition.
constexpr int SHAPE_SIZE = 1;
constexpr int SHAPE_REGION = 2;
constexpr int SHAPE_PAINT = 4;

// The platform's RGNDATA layout with room for five rectangles.
struct RgnShapeRecord {
    std::uint32_t dwSize;
    std::uint32_t iType;
    std::uint32_t nCount;
    std::uint32_t nRgnSize;
    Rect rcBound;
    Rect rects[5];
};
static_assert(sizeof(RgnShapeRecord) == 112);

namespace mod_RGN_Data {
extern RgnShapeRecord rgnShapeTable[4];
extern std::int16_t rgnTablesFilled;
void fillRgnShapeTables();
void fillShapeButtonColumn();
void fillShapeSingleButton();
void fillShapeExitBar();
} // namespace mod_RGN_Data

namespace mod_RGN_Proc {
// A new region of shape index, moved by (x, y) twips; the caller owns it. At a scale other
// than 96 DPI each rectangle of the shape is mapped corner by corner.
Hrgn makeShapeRegion(int index, double x, double y, const Scale& scale = Scale());
void shapeWindow(int index, Form& form, int flags, double x, double y, int combine);
void sizeWindowForShape(int index, Form& form);
void applyShapeRegion(int index, Form& form, double x, double y, int combine);
void paintShapePicture(int index, Form& form, double x, double y);
} // namespace mod_RGN_Proc

namespace mod_RGN_UserFunction {
// shapeWindow with size, region and, when paint is True, the picture.
void shapeForm(int index, Form& form, int paint);
// Topmost and shown, position and size unchanged.
void makeTopmost(Form& form);
} // namespace mod_RGN_UserFunction

} // namespace ep
