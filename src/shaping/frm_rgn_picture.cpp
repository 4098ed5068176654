#include "shaping/frm_rgn_picture.h"

#include "resources/pictures.h"

namespace ep {

namespace {
FormDesign pictureStoreDesign() {
    FormDesign design;
    design.caption = L"frm_RGN_Picture";
    design.width = 1200;
    design.height = 1200;
    design.ownedByApplication = true;
    return design;
}
} // namespace

frm_RGN_Picture::frm_RGN_Picture()
    : Form("frm_RGN_Picture", pictureStoreDesign()), pPicture{Image(makeButtonColumnPicture()),
                                                              Image(makeSingleButtonPicture()),
                                                              Image(makeExitBarPicture())} {}

} // namespace ep
