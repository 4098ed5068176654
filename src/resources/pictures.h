// The panel's button pictures as toolkit pictures, made from the text art of pixel_art.h.
#pragma once

#include "frame/toolkit.h"

namespace ep {

Picture makeButtonColumnPicture(); // shape 0: 18 x 61
Picture makeSingleButtonPicture(); // shape 1 and the user button's own picture: 18 x 16
Picture makeExitBarPicture();      // shape 2: 64 x 16
Picture makeTwoCellPicture();      // close and minimise cells over the panel's top: 18 x 31

} // namespace ep
