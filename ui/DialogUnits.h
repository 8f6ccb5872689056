#pragma once

#include <QRect>

// Window layouts are given in dialog units; one unit is 1.5 px on both axes. Edges are mapped
// one by one and rounded half away from zero, so adjacent controls never overlap or gap by
// a pixel and every window computes the same geometry.
namespace DialogUnits {

constexpr int toPixels(int units) {
    const int twice = units * 3; // units * 1.5, doubled to stay in integers
    return twice >= 0 ? (twice + 1) / 2 : -((-twice + 1) / 2);
}

constexpr QRect rect(int x, int y, int width, int height) {
    const int left = toPixels(x);
    const int top = toPixels(y);
    return QRect(left, top, toPixels(x + width) - left, toPixels(y + height) - top);
}

} // namespace DialogUnits
