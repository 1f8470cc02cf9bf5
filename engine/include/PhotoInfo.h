// What a file holds beside its main picture, as CheckJpeg found it.
#pragma once

#include <vector>

namespace pivotta {

enum class PictureRole {
    GainMap,    // marked by its own metadata as an HDR gain map
    Preview,    // an MP large preview
    Auxiliary,  // another picture of the same scene (MP type "undefined"), turned like a gain map
};

struct PictureInfo {
    PictureRole role = PictureRole::Auxiliary;
    int width = 0;
    int height = 0;
};

struct PhotoInfo {
    std::vector<PictureInfo> pictures;  // the further pictures, in file order
    // A stereo pair, panorama or multi-angle set: a transform refuses it.
    bool viewSet = false;
    bool damagedIndex = false;
};

}  // namespace pivotta
