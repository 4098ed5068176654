#include "shaping/shaping.h"

#include "frame/units.h"
#include "shaping/frm_rgn_picture.h"
#include "shaping/owned_region.h"

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

Hrgn makeShapeRegion(int index, double x, double y) {
    if (index < 0 || index >= kShapeCount) raiseError(9, L"Subscript out of range");
    const RgnShapeRecord& record = mod_RGN_Data::rgnShapeTable[index];

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

// Sizes in twips equal the pictures' sizes at 15 twips per pixel.
void sizeWindowForShape(int index, Form& form) {
    switch (index) {
    case kShapeButtonColumn:
        form.setHeight(915);
        form.setWidth(270);
        break;
    case kShapeSingleButton:
        form.setHeight(240);
        form.setWidth(270);
        break;
    case kShapeExitBar:
        form.setHeight(240);
        form.setWidth(960);
        break;
    default:
        break;
    }
}

void applyShapeRegion(int index, Form& form, double x, double y, int combine) {
    OwnedRegion region(makeShapeRegion(index, x, y));
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
    OwnedRegion region(makeShapeRegion(index, 0, 0));
    os().OffsetRgn(region.get(), mod_RGN_UserFunction::twipsToPixelsX(x),
                   mod_RGN_UserFunction::twipsToPixelsY(y));
    // The surface keeps its own copy of the clip region, so ours can go at the end.
    os().SelectClipRgn(form.hdc(), region.get());
    const Image& image = ep::form<frm_RGN_Picture>().pPicture[std::int16_t(index)];
    form.PaintPicture(image.picture(), x, y);
    os().SelectClipRgn(form.hdc(), 0);
}

} // namespace ep::mod_RGN_Proc
