#include "skin/skin_scale.h"

SkinSet ChooseSkinSet(int dpi)
{
    if (dpi <= 96)
        return {"PNG", 96};
    if (dpi <= 144)
        return {"PNG150", 144};
    return {"PNG200", 192};
}

int ScaleLength(int length, int toDpi, int fromDpi)
{
    if (fromDpi <= 0)
        return length;
    const int64_t product = static_cast<int64_t>(length) * toDpi;
    const int64_t half = fromDpi / 2;
    const int64_t rounded = product >= 0 ? (product + half) / fromDpi : -((-product + half) / fromDpi);
    return static_cast<int>(rounded);
}
