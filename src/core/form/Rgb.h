#pragma once

#include <QtGlobal>

// A colour as 0xAARRGGBB, the same value a QRgb holds, without needing the GUI module.
using Rgb = quint32;

constexpr Rgb rgb(int red, int green, int blue)
{
    return 0xFF000000u | (quint32(red & 0xFF) << 16) | (quint32(green & 0xFF) << 8) |
           quint32(blue & 0xFF);
}
