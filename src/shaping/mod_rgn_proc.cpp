#include "shaping/shaping.h"

#include "frame/units.h"
#include "shaping/frm_rgn_picture.h"

#include <algorithm>
#include <iterator>

namespace ep::mod_RGN_Proc {

namespace {

constexpr int kShapeCount = 4;

void ensureRgnTablesFilled() {
    if (mod_RGN_Data::rgnTablesFilled != -1) {
        mod_RGN_Data::fillRgnShapeTables();
        mod_RGN_Data::rgnTablesFilled = -1;
    }
}

} // namespace

// The record with every rectangle and the bound mapped through the scale, one by one: a
// scaling transform would round the region's edges its own way.
RgnShapeRecord scaledRecord(const RgnShapeRecord& design, const Scale& scale) {
    RgnShapeRecord record = design;
    const std::uint32_t count = std::min<std::uint32_t>(design.nCount, std::size(design.rects));
    for (std::uint32_t i = 0; i < count; ++i) record.rects[i] = scale.rect(design.rects[i]);
    record.rcBound = scale.rect(design.rcBound);
    return record;
}

Hrgn makeShapeRegion(int index, double x, double y, const Scale& scale) {
    if (index < 0 || index >= kShapeCount) raiseError(9, L"Subscript out of range");
    const RgnShapeRecord record = scaledRecord(mod_RGN_Data::rgnShapeTable[index], scale);

    // Spelled out rather than null: the transform is part of what the platform is asked.
    const XForm identity{1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f};
    const Hrgn region = os().ExtCreateRegion(&identity, record.nRgnSize + record.dwSize, &record);
    if (!region) {
        MsgBox(L"It failed in reading of region data.");
        End();
    }
    if (x != 0 || y != 0)
        os().OffsetRgn(region, mod_RGN_UserFunction::twipsToPixelsX(x),
                       mod_RGN_UserFunction::twipsToPixelsY(y));
    return region;
}

void shapeWindow(int index, Form& form, int flags, double x, double y, int combine) {
    ensureRgnTablesFilled();
    if (!form.AutoRedraw()) form.setAutoRedraw(true);
    if (flags & SHAPE_SIZE) sizeWindowForShape(index, form);
    if (flags & SHAPE_REGION) applyShapeRegion(index, form, x, y, combine);
    // Cleared whatever the flags, so a shape without its picture shows the background only.
    form.Cls();
    if (flags & SHAPE_PAINT) paintShapePicture(index, form, x, y);
}

// Each shape's window is its picture's size: 18 x 61, 18 x 16 and 64 x 16 pixels at 96 DPI
// (915, 240 and 960 twips at 15 twips per pixel), mapped through the form's scale.
void sizeWindowForShape(int index, Form& form) {
    int width = 0, height = 0;
    switch (index) {
    case kShapeButtonColumn:
        width = 18, height = 61;
        break;
    case kShapeSingleButton:
        width = 18, height = 16;
        break;
    case kShapeExitBar:
        width = 64, height = 16;
        break;
    default:
        return;
    }
    const Scale& scale = form.layoutScale();
    form.setHeight(mod_RGN_UserFunction::pixelsToTwipsY(scale.px(height)));
    form.setWidth(mod_RGN_UserFunction::pixelsToTwipsX(scale.px(width)));
}

void applyShapeRegion(int index, Form& form, double x, double y, int combine) {
    OwnedRegion region(makeShapeRegion(index, x, y, form.layoutScale()));
    if (combine) {
        // A window without a region leaves the copy empty, so the new shape stands alone.
        OwnedRegion current(os().CreateRectRgn(0, 0, 0, 0));
        os().GetWindowRgn(form.hWnd(), current.get());
        os().CombineRgn(region.get(), current.get(), region.get(), RGN_OR);
    }
    if (os().SetWindowRgn(form.hWnd(), region.get(), true) == 0) {
        MsgBox(L"It failed in plastic surgery of a window.");
        End();
    }
    region.release(); // the window owns it now
}

void paintShapePicture(int index, Form& form, double x, double y) {
    OwnedRegion region(makeShapeRegion(index, 0, 0, form.layoutScale()));
    os().OffsetRgn(region.get(), mod_RGN_UserFunction::twipsToPixelsX(x),
                   mod_RGN_UserFunction::twipsToPixelsY(y));
    // The surface keeps its own copy of the clip region, so ours can go at the end.
    os().SelectClipRgn(form.hdc(), region.get());
    Image& image = ep::form<frm_RGN_Picture>().pPicture[std::int16_t(index)];
    form.PaintPicture(image.pictureAt(form.layoutScale()), x, y);
    os().SelectClipRgn(form.hdc(), 0);
}

} // namespace ep::mod_RGN_Proc
