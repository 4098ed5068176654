#include "shaping/shaping.h"

#include <cstddef>

namespace ep {

// ExtCreateRegion reads a record as the platform's RGNDATA: the header, then the rectangles.
static_assert(offsetof(RgnShapeRecord, dwSize) == 0);
static_assert(offsetof(RgnShapeRecord, iType) == 4);
static_assert(offsetof(RgnShapeRecord, nCount) == 8);
static_assert(offsetof(RgnShapeRecord, nRgnSize) == 12);
static_assert(offsetof(RgnShapeRecord, rcBound) == 16);
static_assert(offsetof(RgnShapeRecord, rects) == 32);
static_assert(sizeof(Rect) == 16);

namespace mod_RGN_Data {

RgnShapeRecord rgnShapeTable[4] = {};
std::int16_t rgnTablesFilled = 0;

static_assert(sizeof(rgnShapeTable) == 448);

namespace {
constexpr std::uint32_t kHeaderBytes = 32;
constexpr std::uint32_t kRectBytes = 16;

void writeHeader(RgnShapeRecord& record, std::uint32_t count, Rect bound) {
    record.dwSize = kHeaderBytes;
    record.iType = RDH_RECTANGLES;
    record.nCount = count;
    record.nRgnSize = kRectBytes * count;
    record.rcBound = bound;
}
} // namespace

void fillRgnShapeTables() {
    fillShapeButtonColumn();
    fillShapeSingleButton();
    fillShapeExitBar();
}

// Four 16 x 14 cells one above the other; one pixel row between neighbours, one pixel column
// at the left and one row at the top outside the shape.
void fillShapeButtonColumn() {
    RgnShapeRecord& record = rgnShapeTable[kShapeButtonColumn];
    writeHeader(record, 4, {1, 1, 17, 60});
    record.rects[0] = {1, 1, 17, 15};
    record.rects[1] = {1, 16, 17, 30};
    record.rects[2] = {1, 31, 17, 45};
    record.rects[3] = {1, 46, 17, 60};
}

void fillShapeSingleButton() {
    RgnShapeRecord& record = rgnShapeTable[kShapeSingleButton];
    writeHeader(record, 1, {1, 1, 17, 15});
    record.rects[0] = {1, 1, 17, 15};
}

// The close cell and the name cell side by side make one 62 x 14 bar.
void fillShapeExitBar() {
    RgnShapeRecord& record = rgnShapeTable[kShapeExitBar];
    writeHeader(record, 1, {1, 1, 63, 15});
    record.rects[0] = {1, 1, 63, 15};
}

} // namespace mod_RGN_Data
} // namespace ep
