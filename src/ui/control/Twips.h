#pragma once

// Sizes of the control's design are in twips; on screen 15 twips make one pixel.
namespace Twips {
constexpr int toPixels(int twips)
{
    return (twips + 7) / 15;
}
} // namespace Twips
