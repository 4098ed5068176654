// A set of pixels held as y-x bands of non-overlapping rectangles, the way GDI keeps a
// region: every operation gives exact set semantics, and the rectangles it reports are the
// ones GetRegionData would list (bands top to bottom, spans left to right, merged).
#pragma once

#include "platform/platform.h"

#include <utility>
#include <vector>

namespace ep::sim {

class RegionSet {
  public:
    RegionSet() = default;
    explicit RegionSet(const Rect& rect);
    static RegionSet fromRects(const std::vector<Rect>& rects);

    // mode: RGN_AND, RGN_OR, RGN_XOR, RGN_DIFF (RGN_COPY copies a).
    static RegionSet combine(const RegionSet& a, const RegionSet& b, int mode);

    bool empty() const { return bands_.empty(); }
    int type() const; // NULLREGION, SIMPLEREGION or COMPLEXREGION
    bool contains(int x, int y) const;
    Rect bounds() const;
    std::vector<Rect> rects() const;
    void offset(int dx, int dy);
    bool operator==(const RegionSet& other) const;

  private:
    using Span = std::pair<int, int>; // [first, second)
    struct Band {
        int top = 0;
        int bottom = 0;
        std::vector<Span> spans;
        bool operator==(const Band& other) const = default;
    };
    const std::vector<Span>* spansAt(int y) const;
    static std::vector<Span> combineSpans(const std::vector<Span>* a, const std::vector<Span>* b,
                                          int mode);
    void appendBand(int top, int bottom, std::vector<Span> spans);

    std::vector<Band> bands_;
};

} // namespace ep::sim
