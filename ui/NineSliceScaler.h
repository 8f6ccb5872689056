#pragma once

#include <QImage>
#include <QRgb>
#include <QSize>

// Fixed bands of a nine-slice scaling: heights of the top and bottom bands, widths of the
// left and right bands, in the cell's pixels.
struct SliceMargins {
    int top = 8;
    int bottom = 8;
    int left = 8;
    int right = 17;
};

// Pixels of this colour in a strip are not drawn (the button face shows instead).
inline constexpr QRgb kTransparentKey = qRgb(255, 0, 255);

inline bool isTransparentKey(QRgb pixel) {
    return (pixel & 0x00ffffff) == (kTransparentKey & 0x00ffffff); // the fourth byte is ignored
}

// Copies the source rectangle (sx, sy, sw, sh) onto the target rectangle (dx, dy, dw, dh),
// nearest pixel, with the semantics the button strips were designed for: a zero width or
// height copies nothing, a negative one mirrors the piece, target pixels outside the image
// are clipped and target pixels whose source lies outside the source image stay as they
// are. The windows' margins depend on this (a right band wider than the cell shows the
// cell's rightmost columns), which is why QPainter's scaling cannot stand in for it.
void blitWithStretch(QImage& target, int dx, int dy, int dw, int dh, const QImage& source, int sx,
                     int sy, int sw, int sh);

// Builds cell `cellIndex` of a horizontal strip of `cellCount` equal cells, scaled to `size`
// by nine-slice scaling: corners unscaled, edges and centre stretched. Pixels that no piece
// covers keep the transparent key colour. Returns a null image for an unusable strip.
// With `keepAlpha` the strip's alpha is part of its pixels (our PNG art, which needs no key):
// the cell keeps it, and pixels that no piece covers are fully transparent.
QImage buildNineSliceCell(const QImage& strip, int cellIndex, int cellCount, QSize size,
                          const SliceMargins& margins, bool keepAlpha = false);

// The same margins for art drawn at `factor` times the size.
SliceMargins scaledMargins(const SliceMargins& margins, int factor);
