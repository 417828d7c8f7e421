#pragma once

#include <QRect>

// Window layouts are kept in twips, 15 to a device-independent pixel.
namespace Twips {

constexpr int toPixels(int twips)
{
    return twips / 15;
}

constexpr QRect rect(int left, int top, int width, int height)
{
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

} // namespace Twips
