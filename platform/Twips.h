#pragma once

#include <QRect>

#include <cmath>

namespace tallowby {

// A rectangle in twips. The window's geometry is worked out in twips and
// converted to pixels only where it reaches a widget.
struct TwipsRect {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;

    double right() const { return left + width; }
    bool operator==(const TwipsRect&) const = default;
};

namespace twips {

// 15 twips to one device-independent pixel.
inline constexpr double kPerPixel = 15.0;

inline int ToPixels(double value) {
    return static_cast<int>(std::lround(value / kPerPixel));
}

inline double FromPixels(int pixels) {
    return pixels * kPerPixel;
}

// Rounds the edges, not the sizes, so neighbouring rectangles that meet in
// twips also meet in pixels.
inline QRect ToPixels(const TwipsRect& r) {
    const int left = ToPixels(r.left);
    const int top = ToPixels(r.top);
    return QRect(left, top, ToPixels(r.left + r.width) - left, ToPixels(r.top + r.height) - top);
}

}  // namespace twips
}  // namespace tallowby
