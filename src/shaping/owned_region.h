// One owner for a region object: deleted at scope exit unless handed on with release().
#pragma once

#include "platform/platform.h"

namespace ep {

class OwnedRegion {
  public:
    explicit OwnedRegion(Hrgn region) : region_(region) {}
    ~OwnedRegion() {
        if (region_) os().DeleteObject(region_);
    }
    OwnedRegion(const OwnedRegion&) = delete;
    OwnedRegion& operator=(const OwnedRegion&) = delete;

    Hrgn get() const { return region_; }
    // Ownership passes to the caller, e.g. to a window through SetWindowRgn.
    Hrgn release() {
        Hrgn region = region_;
        region_ = 0;
        return region;
    }

  private:
    Hrgn region_;
};

} // namespace ep
