// The picture store: a form that is never shown and only holds the button picture of each
// shape, indexed by the shape index.
#pragma once

#include "frame/toolkit.h"

namespace ep {

class frm_RGN_Picture : public Form {
  public:
    frm_RGN_Picture();

    // 0 the button column, 1 a single button, 2 the exit bar.
    Image pPicture[3];
};

} // namespace ep
