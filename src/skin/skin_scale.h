#pragma once
// Display scales. The skin is drawn for displays at 100 %, 150 % and 200 %: three sets of the same
// PNG resources under the same identifiers, of the resource types "PNG", "PNG150" and "PNG200".
// A display of another scale takes the set drawn for the nearest larger scale and reduces it, so a
// picture is never enlarged except above 200 %, for which nothing larger is drawn.
#include <cstdint>

// The scale that the whole layout of the window is given in: 96 dots per inch is 100 %.
constexpr int kBaseDpi = 96;

struct SkinSet {
    const char* resourceType;  // "PNG", "PNG150" or "PNG200"
    int dpi;                   // the scale the set is drawn for: 96, 144 or 192
};

// The set that a display of `dpi` takes its images from.
SkinSet ChooseSkinSet(int dpi);

// `length`, given at `fromDpi`, at `toDpi`: rounded to the nearest pixel, halves away from zero,
// as MulDiv rounds (and as res/make_skin.py places the art).
int ScaleLength(int length, int toDpi, int fromDpi = kBaseDpi);
