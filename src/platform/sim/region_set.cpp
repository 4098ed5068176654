#include "platform/sim/region_set.h"

#include <algorithm>

namespace ep::sim {

namespace {

bool inside(const std::vector<std::pair<int, int>>* spans, int x) {
    if (!spans) return false;
    for (const auto& span : *spans) {
        if (x < span.first) return false;
        if (x < span.second) return true;
    }
    return false;
}

bool apply(bool a, bool b, int mode) {
    switch (mode) {
    case RGN_AND:
        return a && b;
    case RGN_OR:
        return a || b;
    case RGN_XOR:
        return a != b;
    case RGN_DIFF:
        return a && !b;
    default:
        return a;
    }
}

} // namespace

RegionSet::RegionSet(const Rect& rect) {
    if (rect.left < rect.right && rect.top < rect.bottom)
        bands_.push_back({rect.top, rect.bottom, {{rect.left, rect.right}}});
}

RegionSet RegionSet::fromRects(const std::vector<Rect>& rects) {
    RegionSet result;
    for (const Rect& rect : rects)
        result = combine(result, RegionSet(rect), RGN_OR);
    return result;
}

const std::vector<RegionSet::Span>* RegionSet::spansAt(int y) const {
    for (const Band& band : bands_) {
        if (y < band.top) return nullptr;
        if (y < band.bottom) return &band.spans;
    }
    return nullptr;
}

std::vector<RegionSet::Span> RegionSet::combineSpans(const std::vector<Span>* a,
                                                     const std::vector<Span>* b, int mode) {
    std::vector<int> xs;
    for (const auto* spans : {a, b}) {
        if (!spans) continue;
        for (const Span& span : *spans) {
            xs.push_back(span.first);
            xs.push_back(span.second);
        }
    }
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    std::vector<Span> result;
    for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
        if (!apply(inside(a, xs[i]), inside(b, xs[i]), mode)) continue;
        if (!result.empty() && result.back().second == xs[i])
            result.back().second = xs[i + 1];
        else
            result.push_back({xs[i], xs[i + 1]});
    }
    return result;
}

void RegionSet::appendBand(int top, int bottom, std::vector<Span> spans) {
    if (spans.empty()) return;
    if (!bands_.empty() && bands_.back().bottom == top && bands_.back().spans == spans) {
        bands_.back().bottom = bottom;
        return;
    }
    bands_.push_back({top, bottom, std::move(spans)});
}

RegionSet RegionSet::combine(const RegionSet& a, const RegionSet& b, int mode) {
    if (mode == RGN_COPY) return a;
    std::vector<int> ys;
    for (const RegionSet* set : {&a, &b}) {
        for (const Band& band : set->bands_) {
            ys.push_back(band.top);
            ys.push_back(band.bottom);
        }
    }
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
    RegionSet result;
    for (std::size_t i = 0; i + 1 < ys.size(); ++i)
        result.appendBand(ys[i], ys[i + 1], combineSpans(a.spansAt(ys[i]), b.spansAt(ys[i]), mode));
    return result;
}

int RegionSet::type() const {
    if (bands_.empty()) return NULLREGION;
    if (bands_.size() == 1 && bands_[0].spans.size() == 1) return SIMPLEREGION;
    return COMPLEXREGION;
}

bool RegionSet::contains(int x, int y) const { return inside(spansAt(y), x); }

Rect RegionSet::bounds() const {
    if (bands_.empty()) return {};
    Rect box{bands_.front().spans.front().first, bands_.front().top,
             bands_.front().spans.back().second, bands_.back().bottom};
    for (const Band& band : bands_) {
        box.left = std::min(box.left, band.spans.front().first);
        box.right = std::max(box.right, band.spans.back().second);
    }
    return box;
}

std::vector<Rect> RegionSet::rects() const {
    std::vector<Rect> result;
    for (const Band& band : bands_)
        for (const Span& span : band.spans)
            result.push_back({span.first, band.top, span.second, band.bottom});
    return result;
}

void RegionSet::offset(int dx, int dy) {
    for (Band& band : bands_) {
        band.top += dy;
        band.bottom += dy;
        for (Span& span : band.spans) {
            span.first += dx;
            span.second += dx;
        }
    }
}

bool RegionSet::operator==(const RegionSet& other) const { return bands_ == other.bands_; }

} // namespace ep::sim
