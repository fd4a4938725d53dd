#pragma once

namespace tallowby {

// Geometry is designed in twips; Qt works in device-independent pixels, 15
// twips to one pixel. Rounds to the nearest pixel.
constexpr int kTwipsPerPixel = 15;
constexpr int TwipsToPixels(int twips) {
    return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel
                      : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}

}  // namespace tallowby
