// The gdi32 calls: regions, device contexts, bitmaps, brushes, fonts and text.
#include "platform/win32/backend.h"

namespace ep::win32 {

// ---- regions
Hrgn Win32Platform::ExtCreateRegion(const XForm* xform, std::uint32_t count, const void* data) {
    const auto* regionData = static_cast<const RGNDATA*>(data);
    if (!xform) return from(::ExtCreateRegion(nullptr, count, regionData));
    const XFORM native{xform->eM11, xform->eM12, xform->eM21, xform->eM22, xform->eDx, xform->eDy};
    return from(::ExtCreateRegion(&native, count, regionData));
}
Hrgn Win32Platform::CreateRectRgn(int left, int top, int right, int bottom) {
    return from(::CreateRectRgn(left, top, right, bottom));
}
int Win32Platform::CombineRgn(Hrgn dest, Hrgn src1, Hrgn src2, int mode) {
    return ::CombineRgn(as<HRGN>(dest), as<HRGN>(src1), as<HRGN>(src2), mode);
}
int Win32Platform::OffsetRgn(Hrgn region, int x, int y) {
    return ::OffsetRgn(as<HRGN>(region), x, y);
}
int Win32Platform::SelectClipRgn(Hdc hdc, Hrgn region) {
    return ::SelectClipRgn(as<HDC>(hdc), as<HRGN>(region));
}

// ---- objects, device contexts and bitmaps
bool Win32Platform::DeleteObject(Hgdiobj object) { return ::DeleteObject(as<HGDIOBJ>(object)); }
Hdc Win32Platform::CreateCompatibleDC(Hdc hdc) { return from(::CreateCompatibleDC(as<HDC>(hdc))); }
bool Win32Platform::DeleteDC(Hdc hdc) { return ::DeleteDC(as<HDC>(hdc)); }
Hgdiobj Win32Platform::SelectObject(Hdc hdc, Hgdiobj object) {
    return from(::SelectObject(as<HDC>(hdc), as<HGDIOBJ>(object)));
}
Hbitmap Win32Platform::CreateDIBSection(Hdc hdc, int width, int height, void** bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down: row 0 first in memory
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return from(::CreateDIBSection(as<HDC>(hdc), &info, DIB_RGB_COLORS, bits, nullptr, 0));
}
int Win32Platform::GetObjectW(Hgdiobj object, int size, void* buffer) {
    // The program asks only about bitmaps.
    if (!buffer || size < int(sizeof(Bitmap))) return ::GetObjectW(as<HGDIOBJ>(object), 0, nullptr);
    BITMAP native{};
    const int result = ::GetObjectW(as<HGDIOBJ>(object), sizeof native, &native);
    auto* out = static_cast<Bitmap*>(buffer);
    out->bmType = native.bmType;
    out->bmWidth = native.bmWidth;
    out->bmHeight = native.bmHeight;
    out->bmWidthBytes = native.bmWidthBytes;
    out->bmPlanes = native.bmPlanes;
    out->bmBitsPixel = native.bmBitsPixel;
    out->bmBits = native.bmBits;
    return result ? int(sizeof(Bitmap)) : 0;
}
bool Win32Platform::BitBlt(Hdc dest, int x, int y, int width, int height, Hdc src, int srcX,
                           int srcY, std::uint32_t rop) {
    return ::BitBlt(as<HDC>(dest), x, y, width, height, as<HDC>(src), srcX, srcY, rop);
}
bool Win32Platform::GdiFlush() { return ::GdiFlush(); }

// ---- brushes, fonts and text
Hbrush Win32Platform::CreateSolidBrush(ColorRef color) { return from(::CreateSolidBrush(color)); }
Hfont Win32Platform::CreateFontW(int height, int width, int escapement, int orientation, int weight,
                                 std::uint32_t italic, std::uint32_t underline,
                                 std::uint32_t strikeOut, std::uint32_t charSet,
                                 std::uint32_t outPrecision, std::uint32_t clipPrecision,
                                 std::uint32_t quality, std::uint32_t pitchAndFamily,
                                 const wchar_t* faceName) {
    return from(::CreateFontW(height, width, escapement, orientation, weight, italic, underline,
                              strikeOut, charSet, outPrecision, clipPrecision, quality,
                              pitchAndFamily, faceName));
}
int Win32Platform::GetDeviceCaps(Hdc hdc, int index) {
    return ::GetDeviceCaps(as<HDC>(hdc), index);
}
bool Win32Platform::GetTextExtentPoint32W(Hdc hdc, const wchar_t* text, int count, Size* size) {
    SIZE native{};
    const bool result = ::GetTextExtentPoint32W(as<HDC>(hdc), text, count, &native);
    *size = Size{native.cx, native.cy};
    return result;
}

} // namespace ep::win32
