// gdi32 of the simulated desktop: regions, device contexts, bitmaps with real pixels,
// brushes, fonts, and the accounting that turns a leaked or twice-deleted object into a
// failing test.
#include "platform/sim/bmp_decoder.h"
#include "platform/sim/desktop_state.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

namespace ep::sim {

namespace {

constexpr std::uint32_t BLACKNESS = 0x00000042;
constexpr std::uint32_t WHITENESS = 0x00FF0062;
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;

struct RgnDataHeader {
    std::uint32_t dwSize;
    std::uint32_t iType;
    std::uint32_t nCount;
    std::uint32_t nRgnSize;
    Rect rcBound;
};
static_assert(sizeof(RgnDataHeader) == 32);

std::string hex(Handle handle) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(handle));
    return text;
}

// GDI_ROUND: halves go up.
int gdiRound(double value) { return int(std::floor(value + 0.5)); }

} // namespace

// ---------------------------------------------------------------- helpers

Handle Desktop::State::addGdi(GdiObject object) {
    Handle handle = newHandle();
    gdi.emplace(handle, std::move(object));
    return handle;
}

GdiObject* Desktop::State::gdiObject(Handle handle, GdiKind kind) {
    auto it = gdi.find(handle);
    return it != gdi.end() && it->second.kind == kind ? &it->second : nullptr;
}

const GdiObject* Desktop::State::gdiObject(Handle handle, GdiKind kind) const {
    auto it = gdi.find(handle);
    return it != gdi.end() && it->second.kind == kind ? &it->second : nullptr;
}

void Desktop::State::noteDead(const char* call, Handle handle) {
    if (!handle || gdi.count(handle)) return;
    error(std::string(call) + " with " + hex(handle) +
          (deleted.count(handle) ? ", which was deleted" : ", which is no object of this desktop"));
}

void Desktop::State::systemDeletesRegion(Hrgn region) {
    gdi.erase(region);
    deleted.insert(region);
}

std::uint32_t* Desktop::State::surfacePixel(GdiObject& dc, int x, int y, int* width, int* height) {
    std::uint32_t* pixels = nullptr;
    int w = 0, h = 0;
    if (dc.memoryDc) {
        GdiObject* bitmap = gdiObject(dc.bitmap, GdiKind::Bitmap);
        if (!bitmap) return nullptr;
        pixels = bitmap->pixels.data();
        w = bitmap->width;
        h = bitmap->height;
    } else if (Window* window = find(dc.window)) {
        pixels = window->surface.data();
        w = window->surfaceWidth;
        h = window->surfaceHeight;
    }
    if (width) *width = w;
    if (height) *height = h;
    if (!pixels || x < 0 || y < 0 || x >= w || y >= h) return nullptr;
    return pixels + std::size_t(y) * std::size_t(w) + std::size_t(x);
}

bool Desktop::State::dcAllows(const GdiObject& dc, int x, int y) const {
    if (dc.clipped && !dc.clip.contains(x, y)) return false;
    if (!dc.memoryDc && dc.window) {
        // A window DC draws only inside the window region (window coordinates).
        const Window* window = find(dc.window);
        if (!window) return false;
        if (window->region) {
            const GdiObject* region = gdiObject(window->region, GdiKind::Region);
            Insets in = frame(window->style, window->exStyle, window->dpi);
            if (!region || !region->region.contains(x + in.left, y + in.top)) return false;
        }
    }
    return true;
}

ColorRef Desktop::State::sysColor(int index) const {
    switch (index) {
    case 1:
        return RGB(58, 110, 165); // COLOR_BACKGROUND
    case COLOR_WINDOW:
        return RGB(255, 255, 255);
    case COLOR_WINDOWTEXT:
        return RGB(0, 0, 0);
    case 13:
        return RGB(10, 36, 106); // COLOR_HIGHLIGHT
    case 14:
        return RGB(255, 255, 255); // COLOR_HIGHLIGHTTEXT
    case COLOR_BTNFACE:
        return RGB(212, 208, 200);
    case 16:
        return RGB(128, 128, 128); // COLOR_BTNSHADOW
    case 18:
        return RGB(0, 0, 0); // COLOR_BTNTEXT
    case 20:
        return RGB(255, 255, 255); // COLOR_BTNHIGHLIGHT
    case 21:
        return RGB(64, 64, 64); // COLOR_3DDKSHADOW
    case 22:
        return RGB(212, 208, 200); // COLOR_3DLIGHT
    default:
        return RGB(192, 192, 192);
    }
}

Hbrush Desktop::State::sysBrush(int index) {
    auto it = sysBrushes.find(index);
    if (it != sysBrushes.end()) return it->second;
    GdiObject brush;
    brush.kind = GdiKind::Brush;
    brush.stock = true;
    brush.color = sysColor(index);
    return sysBrushes[index] = addGdi(std::move(brush));
}

void Desktop::State::fillWindow(Window& w, std::uint32_t rgb) {
    // As through the window's DC: only inside the window region.
    const GdiObject* region = w.region ? gdiObject(w.region, GdiKind::Region) : nullptr;
    Insets in = frame(w.style, w.exStyle, w.dpi);
    for (int y = 0; y < w.surfaceHeight; ++y)
        for (int x = 0; x < w.surfaceWidth; ++x)
            if (!region || region->region.contains(x + in.left, y + in.top))
                w.surface[std::size_t(y) * std::size_t(w.surfaceWidth) + std::size_t(x)] = rgb;
}

Hdc Desktop::State::beginPaint(Hwnd hwnd, PaintStruct* paint) {
    Window* w = find(hwnd);
    if (!w || !paint) return 0;
    GdiObject dc;
    dc.kind = GdiKind::Dc;
    dc.paintDc = true;
    dc.window = hwnd;
    dc.bitmap = 0;
    dc.brush = stockBrush;
    dc.font = stockFont;
    Hdc hdc = addGdi(std::move(dc));
    paint->hdc = hdc;
    paint->fErase = false;
    if (w->erase) {
        w->erase = false;
        paint->fErase = send(hwnd, WM_ERASEBKGND, std::uintptr_t(hdc), 0) == 0;
    }
    if ((w = find(hwnd))) {
        w->invalid = false;
        paint->rcPaint = clientRect(*w);
    }
    return hdc;
}

void Desktop::State::endPaint(const PaintStruct& paint) {
    if (GdiObject* dc = gdiObject(paint.hdc, GdiKind::Dc); dc && dc->paintDc) gdi.erase(paint.hdc);
}

// ---------------------------------------------------------------- test-facing API

int Desktop::liveRegions() const {
    int n = 0;
    for (const auto& [h, o] : s_->gdi)
        n += o.kind == GdiKind::Region && !o.stock;
    return n;
}

int Desktop::liveGdiObjects() const {
    int n = 0;
    for (const auto& [h, o] : s_->gdi)
        n += !o.stock;
    return n;
}

int Desktop::doubleDeletes() const { return s_->doubleDeleteCount; }

std::vector<std::string> Desktop::gdiErrors() const { return s_->errors; }

bool Desktop::windowHasRegion(Hwnd hwnd) const {
    Window* w = s_->find(hwnd);
    return w && w->region;
}

bool Desktop::windowRegionContains(Hwnd hwnd, int x, int y) const {
    Window* w = s_->find(hwnd);
    if (!w) return false;
    Rect r = s_->screenRect(*w);
    if (x < 0 || y < 0 || x >= r.right - r.left || y >= r.bottom - r.top) return false;
    if (!w->region) return true;
    const GdiObject* region = s_->gdiObject(w->region, GdiKind::Region);
    return region && region->region.contains(x, y);
}

std::vector<Rect> Desktop::windowRegionRects(Hwnd hwnd) const {
    Window* w = s_->find(hwnd);
    if (!w || !w->region) return {};
    return regionRects(w->region);
}

std::vector<Rect> Desktop::regionRects(Hrgn region) const {
    const GdiObject* object = s_->gdiObject(region, GdiKind::Region);
    return object ? object->region.rects() : std::vector<Rect>{};
}

std::uint32_t Desktop::bitmapPixel(Hbitmap bitmap, int x, int y) const {
    const GdiObject* object = s_->gdiObject(bitmap, GdiKind::Bitmap);
    if (!object || x < 0 || y < 0 || x >= object->width || y >= object->height)
        throw std::out_of_range("sim: bitmapPixel outside the bitmap or of no bitmap");
    return object->pixels[std::size_t(y) * std::size_t(object->width) + std::size_t(x)] & 0xFFFFFF;
}

std::uint32_t Desktop::dcPixel(Hdc hdc, int x, int y) const {
    const GdiObject* dc = s_->gdiObject(hdc, GdiKind::Dc);
    if (!dc) throw std::out_of_range("sim: dcPixel of no DC");
    if (dc->memoryDc) return bitmapPixel(dc->bitmap, x, y);
    return windowPixel(dc->window, x, y);
}

std::uint32_t Desktop::windowPixel(Hwnd hwnd, int x, int y) const {
    Window* w = s_->find(hwnd);
    if (!w || x < 0 || y < 0 || x >= w->surfaceWidth || y >= w->surfaceHeight)
        throw std::out_of_range("sim: windowPixel outside the client area or of no window");
    return w->surface[std::size_t(y) * std::size_t(w->surfaceWidth) + std::size_t(x)] & 0xFFFFFF;
}

Point Desktop::bitmapSize(Hbitmap bitmap) const {
    const GdiObject* object = s_->gdiObject(bitmap, GdiKind::Bitmap);
    return object ? Point{object->width, object->height} : Point{};
}

// ---------------------------------------------------------------- window regions and painting

int Desktop::SetWindowRgn(Hwnd hwnd, Hrgn region, bool redraw) {
    s_->count("SetWindowRgn");
    Window* w = s_->find(hwnd);
    if (!w) return 0;
    if (region) {
        GdiObject* object = s_->gdiObject(region, GdiKind::Region);
        if (!object) {
            s_->error("SetWindowRgn with " + hex(region) + ", which is no live region");
            return 0;
        }
        if (object->ownerWindow && object->ownerWindow != hwnd) {
            s_->error("SetWindowRgn with " + hex(region) + ", which another window owns");
            return 0;
        }
        object->ownerWindow = hwnd;
    }
    Hrgn old = w->region;
    w->region = region;
    if (old && old != region) s_->systemDeletesRegion(old);
    if (redraw) w->invalid = true;
    return 1;
}

int Desktop::GetWindowRgn(Hwnd hwnd, Hrgn region) {
    s_->count("GetWindowRgn");
    Window* w = s_->find(hwnd);
    GdiObject* dest = s_->gdiObject(region, GdiKind::Region);
    if (!dest) {
        if (region) s_->error("GetWindowRgn into " + hex(region) + ", which is no live region");
        return RGN_ERROR;
    }
    if (!w || !w->region) return RGN_ERROR;
    const GdiObject* source = s_->gdiObject(w->region, GdiKind::Region);
    if (!source) return RGN_ERROR;
    dest->region = source->region;
    return dest->region.type();
}

Hdc Desktop::BeginPaint(Hwnd hwnd, PaintStruct* paint) {
    s_->count("BeginPaint");
    return s_->beginPaint(hwnd, paint);
}

bool Desktop::EndPaint(Hwnd, const PaintStruct* paint) {
    s_->count("EndPaint");
    if (paint) s_->endPaint(*paint);
    return true;
}

Hdc Desktop::GetDC(Hwnd hwnd) {
    s_->count("GetDC");
    if (hwnd && !s_->find(hwnd)) return 0;
    GdiObject dc;
    dc.kind = GdiKind::Dc;
    dc.window = hwnd;
    dc.brush = s_->stockBrush;
    dc.font = s_->stockFont;
    return s_->addGdi(std::move(dc));
}

int Desktop::ReleaseDC(Hwnd, Hdc hdc) {
    s_->count("ReleaseDC");
    GdiObject* dc = s_->gdiObject(hdc, GdiKind::Dc);
    if (!dc && s_->deleted.count(hdc)) {
        ++s_->doubleDeleteCount;
        s_->error("ReleaseDC of " + hex(hdc) + ", which was already released");
        return 0;
    }
    if (!dc || dc->memoryDc || dc->paintDc) {
        s_->error("ReleaseDC of " + hex(hdc) + ", which is no DC from GetDC");
        return 0;
    }
    s_->gdi.erase(hdc);
    s_->deleted.insert(hdc);
    return 1;
}

Hbrush Desktop::GetSysColorBrush(int index) {
    s_->count("GetSysColorBrush");
    return s_->sysBrush(index);
}

ColorRef Desktop::GetSysColor(int index) {
    s_->count("GetSysColor");
    return s_->sysColor(index);
}

// ---------------------------------------------------------------- regions

Hrgn Desktop::ExtCreateRegion(const XForm* xform, std::uint32_t count, const void* data) {
    s_->count("ExtCreateRegion");
    if (!data || count < sizeof(RgnDataHeader)) return 0;
    RgnDataHeader header;
    std::memcpy(&header, data, sizeof header);
    if (header.dwSize != sizeof(RgnDataHeader) || header.iType != RDH_RECTANGLES) return 0;
    if (std::uint64_t(count) < std::uint64_t(header.dwSize) + std::uint64_t(header.nCount) * 16)
        return 0;
    // Rotation and shear make polygon regions, which this desktop does not model.
    if (xform && (xform->eM12 != 0.0f || xform->eM21 != 0.0f)) return 0;
    std::vector<Rect> rects(header.nCount);
    if (header.nCount)
        std::memcpy(rects.data(), static_cast<const char*>(data) + header.dwSize,
                    std::size_t(header.nCount) * sizeof(Rect));
    if (xform) {
        for (Rect& r : rects) {
            int left = gdiRound(r.left * double(xform->eM11) + xform->eDx);
            int right = gdiRound(r.right * double(xform->eM11) + xform->eDx);
            int top = gdiRound(r.top * double(xform->eM22) + xform->eDy);
            int bottom = gdiRound(r.bottom * double(xform->eM22) + xform->eDy);
            r = {std::min(left, right), std::min(top, bottom), std::max(left, right),
                 std::max(top, bottom)};
        }
    }
    GdiObject region;
    region.kind = GdiKind::Region;
    region.region = RegionSet::fromRects(rects);
    return s_->addGdi(std::move(region));
}

Hrgn Desktop::CreateRectRgn(int left, int top, int right, int bottom) {
    s_->count("CreateRectRgn");
    GdiObject region;
    region.kind = GdiKind::Region;
    region.region = RegionSet(Rect{std::min(left, right), std::min(top, bottom),
                                   std::max(left, right), std::max(top, bottom)});
    return s_->addGdi(std::move(region));
}

int Desktop::CombineRgn(Hrgn dest, Hrgn src1, Hrgn src2, int mode) {
    s_->count("CombineRgn");
    GdiObject* d = s_->gdiObject(dest, GdiKind::Region);
    GdiObject* a = s_->gdiObject(src1, GdiKind::Region);
    GdiObject* b = mode == RGN_COPY ? a : s_->gdiObject(src2, GdiKind::Region);
    if (!d || !a || !b || mode < RGN_AND || mode > RGN_COPY) {
        s_->error("CombineRgn with a handle that is no live region");
        return RGN_ERROR;
    }
    if (d->ownerWindow) s_->error("CombineRgn into " + hex(dest) + ", which a window owns");
    d->region = RegionSet::combine(a->region, b->region, mode);
    return d->region.type();
}

int Desktop::OffsetRgn(Hrgn region, int x, int y) {
    s_->count("OffsetRgn");
    GdiObject* r = s_->gdiObject(region, GdiKind::Region);
    if (!r) {
        s_->error("OffsetRgn of " + hex(region) + ", which is no live region");
        return RGN_ERROR;
    }
    if (r->ownerWindow) s_->error("OffsetRgn of " + hex(region) + ", which a window owns");
    r->region.offset(x, y);
    return r->region.type();
}

bool Desktop::PtInRegion(Hrgn region, int x, int y) {
    s_->count("PtInRegion");
    s_->noteDead("PtInRegion", region);
    const GdiObject* r = s_->gdiObject(region, GdiKind::Region);
    return r && r->region.contains(x, y);
}

std::uint32_t Desktop::GetRegionData(Hrgn region, std::uint32_t count, void* data) {
    s_->count("GetRegionData");
    s_->noteDead("GetRegionData", region);
    const GdiObject* r = s_->gdiObject(region, GdiKind::Region);
    if (!r) return 0;
    std::vector<Rect> rects = r->region.rects();
    std::uint32_t size = std::uint32_t(sizeof(RgnDataHeader) + rects.size() * sizeof(Rect));
    if (!data) return size;
    if (count < size) return 0; // too small: Windows reports failure, not the size
    RgnDataHeader header{sizeof(RgnDataHeader), RDH_RECTANGLES, std::uint32_t(rects.size()),
                         std::uint32_t(rects.size() * sizeof(Rect)), r->region.bounds()};
    std::memcpy(data, &header, sizeof header);
    if (!rects.empty())
        std::memcpy(static_cast<char*>(data) + sizeof header, rects.data(),
                    rects.size() * sizeof(Rect));
    return size;
}

bool Desktop::DeleteObject(Hgdiobj object) {
    s_->count("DeleteObject");
    auto it = s_->gdi.find(object);
    if (it == s_->gdi.end()) {
        if (s_->deleted.count(object)) {
            ++s_->doubleDeleteCount;
            s_->error("DeleteObject of " + hex(object) + ", which was already deleted");
        } else if (object) {
            s_->error("DeleteObject of " + hex(object) + ", which is no GDI object");
        }
        return false;
    }
    GdiObject& o = it->second;
    if (o.stock) return true;
    switch (o.kind) {
    case GdiKind::Dc:
        s_->error("DeleteObject of the DC " + hex(object) + "; DCs go with DeleteDC or ReleaseDC");
        return false;
    case GdiKind::Region:
        if (o.ownerWindow) {
            s_->error("DeleteObject of the region " + hex(object) + ", which a window owns");
            return false;
        }
        break;
    case GdiKind::Bitmap:
        if (o.selectedInto) {
            s_->error("DeleteObject of the bitmap " + hex(object) + " while selected into a DC");
            return false;
        }
        break;
    default:
        for (const auto& [h, dc] : s_->gdi)
            if (dc.kind == GdiKind::Dc && (dc.brush == object || dc.font == object))
                s_->error("DeleteObject of " + hex(object) + " while selected into a DC");
        break;
    }
    s_->gdi.erase(it);
    s_->deleted.insert(object);
    return true;
}

// ---------------------------------------------------------------- DCs and drawing

int Desktop::SelectClipRgn(Hdc hdc, Hrgn region) {
    s_->count("SelectClipRgn");
    GdiObject* dc = s_->gdiObject(hdc, GdiKind::Dc);
    if (!dc) return RGN_ERROR;
    if (!region) {
        dc->clipped = false;
        dc->clip = RegionSet();
        return SIMPLEREGION;
    }
    const GdiObject* r = s_->gdiObject(region, GdiKind::Region);
    if (!r) {
        s_->error("SelectClipRgn with " + hex(region) + ", which is no live region");
        return RGN_ERROR;
    }
    dc->clipped = true;
    dc->clip = r->region;
    return dc->clip.type();
}

Hdc Desktop::CreateCompatibleDC(Hdc hdc) {
    s_->count("CreateCompatibleDC");
    if (hdc && !s_->gdiObject(hdc, GdiKind::Dc)) return 0;
    GdiObject dc;
    dc.kind = GdiKind::Dc;
    dc.memoryDc = true;
    dc.bitmap = s_->stockBitmap;
    dc.brush = s_->stockBrush;
    dc.font = s_->stockFont;
    return s_->addGdi(std::move(dc));
}

bool Desktop::DeleteDC(Hdc hdc) {
    s_->count("DeleteDC");
    GdiObject* dc = s_->gdiObject(hdc, GdiKind::Dc);
    if (!dc) {
        if (s_->deleted.count(hdc)) {
            ++s_->doubleDeleteCount;
            s_->error("DeleteDC of " + hex(hdc) + ", which was already deleted");
        } else {
            s_->error("DeleteDC of " + hex(hdc) + ", which is no DC");
        }
        return false;
    }
    if (!dc->memoryDc) s_->error("DeleteDC of the window DC " + hex(hdc));
    if (GdiObject* bitmap = s_->gdiObject(dc->bitmap, GdiKind::Bitmap); bitmap && !bitmap->stock)
        bitmap->selectedInto = 0;
    s_->gdi.erase(hdc);
    s_->deleted.insert(hdc);
    return true;
}

Hgdiobj Desktop::SelectObject(Hdc hdc, Hgdiobj object) {
    s_->count("SelectObject");
    GdiObject* dc = s_->gdiObject(hdc, GdiKind::Dc);
    auto it = s_->gdi.find(object);
    s_->noteDead("SelectObject", hdc);
    s_->noteDead("SelectObject", object);
    if (!dc || it == s_->gdi.end()) return 0;
    GdiObject& o = it->second;
    switch (o.kind) {
    case GdiKind::Bitmap: {
        if (!dc->memoryDc) return 0;
        if (!o.stock && o.selectedInto && o.selectedInto != hdc) return 0; // in another DC
        Hbitmap previous = dc->bitmap;
        if (GdiObject* old = s_->gdiObject(previous, GdiKind::Bitmap); old && !old->stock)
            old->selectedInto = 0;
        if (!o.stock) o.selectedInto = hdc;
        dc->bitmap = object;
        return previous;
    }
    case GdiKind::Brush: {
        Hgdiobj previous = dc->brush;
        dc->brush = object;
        return previous;
    }
    case GdiKind::Font: {
        Hgdiobj previous = dc->font;
        dc->font = object;
        return previous;
    }
    case GdiKind::Region:
        dc->clipped = true;
        dc->clip = o.region;
        return dc->clip.type();
    default:
        return 0;
    }
}

Hbitmap Desktop::CreateDIBSection(Hdc, int width, int height, void** bits) {
    s_->count("CreateDIBSection");
    height = std::abs(height);
    if (width <= 0 || height <= 0 || std::int64_t(width) * height > (1 << 26)) {
        if (bits) *bits = nullptr;
        return 0;
    }
    GdiObject bitmap;
    bitmap.kind = GdiKind::Bitmap;
    bitmap.width = width;
    bitmap.height = height;
    bitmap.pixels.assign(std::size_t(width) * std::size_t(height), 0);
    Hbitmap handle = s_->addGdi(std::move(bitmap));
    if (bits) *bits = s_->gdiObject(handle, GdiKind::Bitmap)->pixels.data();
    return handle;
}

int Desktop::GetObjectW(Hgdiobj object, int size, void* buffer) {
    s_->count("GetObjectW");
    s_->noteDead("GetObjectW", object);
    GdiObject* bitmap = s_->gdiObject(object, GdiKind::Bitmap);
    if (!bitmap) return 0;
    if (!buffer) return int(sizeof(Bitmap));
    if (size < int(sizeof(Bitmap))) return 0;
    Bitmap info;
    info.bmWidth = bitmap->width;
    info.bmHeight = bitmap->height;
    info.bmPlanes = 1;
    if (bitmap->stock) { // the 1x1 monochrome bitmap of a new memory DC
        info.bmWidthBytes = 2;
        info.bmBitsPixel = 1;
    } else {
        info.bmWidthBytes = bitmap->width * 4;
        info.bmBitsPixel = 32;
        info.bmBits = bitmap->pixels.data();
    }
    std::memcpy(buffer, &info, sizeof info);
    return int(sizeof(Bitmap));
}

bool Desktop::BitBlt(Hdc dest, int x, int y, int width, int height, Hdc src, int srcX, int srcY,
                     std::uint32_t rop) {
    s_->count("BitBlt");
    s_->noteDead("BitBlt", dest);
    s_->noteDead("BitBlt", src);
    GdiObject* d = s_->gdiObject(dest, GdiKind::Dc);
    if (!d) return false;
    if (rop == BLACKNESS || rop == WHITENESS) {
        std::uint32_t value = rop == BLACKNESS ? 0 : 0xFFFFFF;
        for (int j = 0; j < height; ++j)
            for (int i = 0; i < width; ++i)
                if (std::uint32_t* p = s_->surfacePixel(*d, x + i, y + j, nullptr, nullptr);
                    p && s_->dcAllows(*d, x + i, y + j))
                    *p = value;
        return true;
    }
    GdiObject* s = s_->gdiObject(src, GdiKind::Dc);
    if (!s || rop != SRCCOPY) return false;
    // Read the whole source first: source and destination may be the same surface.
    std::vector<std::int64_t> source(
        std::size_t(std::max(0, width)) * std::size_t(std::max(0, height)), -1);
    for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i)
            if (std::uint32_t* p = s_->surfacePixel(*s, srcX + i, srcY + j, nullptr, nullptr))
                source[std::size_t(j) * std::size_t(width) + std::size_t(i)] = *p & 0xFFFFFF;
    for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i) {
            std::int64_t value = source[std::size_t(j) * std::size_t(width) + std::size_t(i)];
            if (value < 0 || !s_->dcAllows(*d, x + i, y + j)) continue;
            if (std::uint32_t* p = s_->surfacePixel(*d, x + i, y + j, nullptr, nullptr))
                *p = std::uint32_t(value);
        }
    return true;
}

int Desktop::FillRect(Hdc hdc, const Rect* rect, Hbrush brush) {
    s_->count("FillRect");
    s_->noteDead("FillRect", hdc);
    if (brush > 31) s_->noteDead("FillRect", brush);
    GdiObject* dc = s_->gdiObject(hdc, GdiKind::Dc);
    if (!dc || !rect) return 0;
    ColorRef color = 0;
    if (brush > 0 && brush <= 31) { // COLOR_* + 1, as window classes use it
        color = s_->sysColor(int(brush) - 1);
    } else if (const GdiObject* b = s_->gdiObject(brush, GdiKind::Brush)) {
        color = b->color;
    } else {
        return 0;
    }
    std::uint32_t rgb = rgbOf(color);
    for (int y = rect->top; y < rect->bottom; ++y)
        for (int x = rect->left; x < rect->right; ++x)
            if (std::uint32_t* p = s_->surfacePixel(*dc, x, y, nullptr, nullptr);
                p && s_->dcAllows(*dc, x, y))
                *p = rgb;
    return 1;
}

Hbrush Desktop::CreateSolidBrush(ColorRef color) {
    s_->count("CreateSolidBrush");
    GdiObject brush;
    brush.kind = GdiKind::Brush;
    brush.color = color;
    return s_->addGdi(std::move(brush));
}

Hfont Desktop::CreateFontW(int height, int, int, int, int weight, std::uint32_t, std::uint32_t,
                           std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                           std::uint32_t, std::uint32_t, const wchar_t* faceName) {
    s_->count("CreateFontW");
    GdiObject font;
    font.kind = GdiKind::Font;
    font.fontHeight = height;
    font.fontWeight = weight;
    font.faceName = faceName ? faceName : L"";
    return s_->addGdi(std::move(font));
}

// Text is as wide as the selected font's height times the face's width percentage, per
// character, and as tall as the font's height.
bool Desktop::GetTextExtentPoint32W(Hdc hdc, const wchar_t* text, int count, Size* size) {
    s_->count("GetTextExtentPoint32W");
    GdiObject* dc = s_->gdiObject(hdc, GdiKind::Dc);
    if (!dc || !size || count < 0 || (count > 0 && !text)) return false;
    GdiObject* font = s_->gdiObject(dc->font, GdiKind::Font);
    const int height = font && font->fontHeight ? std::abs(font->fontHeight) : 16;
    int percent = 55;
    if (font) {
        auto found = s_->textWidthPercent.find(font->faceName);
        if (found != s_->textWidthPercent.end()) percent = found->second;
    }
    *size = Size{(count * height * percent + 99) / 100, height};
    return true;
}

int Desktop::GetDeviceCaps(Hdc hdc, int index) {
    s_->count("GetDeviceCaps");
    if (!s_->gdiObject(hdc, GdiKind::Dc)) return 0;
    switch (index) {
    case LOGPIXELSX:
    case LOGPIXELSY:
        return s_->processAware ? s_->systemDpi : 96;
    case HORZRES:
        return s_->monitors[0].right - s_->monitors[0].left;
    case VERTRES:
        return s_->monitors[0].bottom - s_->monitors[0].top;
    case BITSPIXEL:
        return 32;
    case PLANES:
        return 1;
    default:
        return 0;
    }
}

bool Desktop::GdiFlush() {
    s_->count("GdiFlush");
    return true;
}

Handle Desktop::LoadImageW(const wchar_t* name, std::uint32_t type, int cx, int cy,
                           std::uint32_t flags) {
    s_->count("LoadImageW");
    // Only pictures from files: the program's own resources come through LoadIconW.
    if (!name || type != IMAGE_BITMAP || !(flags & LR_LOADFROMFILE)) return 0;
    std::filesystem::path path = s_->hostPath(name);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return 0;
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    auto image = decodeBmp(bytes);
    if (!image) return 0;
    int width = cx > 0 ? cx : image->width;
    int height = cy > 0 ? cy : image->height;
    GdiObject bitmap;
    bitmap.kind = GdiKind::Bitmap;
    bitmap.width = width;
    bitmap.height = height;
    bitmap.pixels.resize(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y) // stretched to cx x cy when asked, nearest pixel
        for (int x = 0; x < width; ++x)
            bitmap.pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] =
                image->pixels[std::size_t(y * image->height / height) * std::size_t(image->width) +
                              std::size_t(x * image->width / width)];
    return s_->addGdi(std::move(bitmap));
}

} // namespace ep::sim
