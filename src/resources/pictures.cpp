#include "resources/pictures.h"

#include "resources/pixel_art.h"

namespace ep {

namespace {
Picture fromArt(const pixel_art::TextArt& art) {
    return Picture::fromPixels(art.width, art.height, pixel_art::decode(art));
}
} // namespace

Picture makeButtonColumnPicture() { return fromArt(pixel_art::buttonColumn); }
Picture makeSingleButtonPicture() { return fromArt(pixel_art::singleButton); }
Picture makeExitBarPicture() { return fromArt(pixel_art::exitBar); }
Picture makeTwoCellPicture() { return fromArt(pixel_art::twoCell); }

} // namespace ep
