#include "ui/NineSliceScaler.h"

#include <cmath>
#include <vector>

namespace {

// For every target coordinate in [0, targetExtent) that the rectangle covers, the source
// coordinate it takes its pixel from, or -1 for none.
std::vector<int> axisMap(int targetExtent, int d, int dl, int s, int sl, int sourceExtent) {
    std::vector<int> map(size_t(targetExtent > 0 ? targetExtent : 0), -1);
    const int from = std::max(0, std::min(d, d + dl));
    const int to = std::min(targetExtent, std::max(d, d + dl));
    for (int p = from; p < to; ++p) {
        const double t = (p + 0.5 - d) / double(dl);
        const int q = int(std::floor(s + t * sl));
        if (q >= 0 && q < sourceExtent)
            map[size_t(p)] = q;
    }
    return map;
}

} // namespace

void blitWithStretch(QImage& target, int dx, int dy, int dw, int dh, const QImage& source, int sx,
                     int sy, int sw, int sh) {
    if (dw == 0 || dh == 0 || sw == 0 || sh == 0 || target.isNull() || source.isNull())
        return;
    const std::vector<int> columns = axisMap(target.width(), dx, dw, sx, sw, source.width());
    const std::vector<int> rows = axisMap(target.height(), dy, dh, sy, sh, source.height());
    for (int y = 0; y < target.height(); ++y) {
        const int sourceRow = rows[size_t(y)];
        if (sourceRow < 0)
            continue;
        const QRgb* in = reinterpret_cast<const QRgb*>(source.constScanLine(sourceRow));
        QRgb* out = reinterpret_cast<QRgb*>(target.scanLine(y));
        for (int x = 0; x < target.width(); ++x) {
            const int sourceColumn = columns[size_t(x)];
            if (sourceColumn >= 0)
                out[x] = in[sourceColumn];
        }
    }
}

SliceMargins scaledMargins(const SliceMargins& m, int factor) {
    return {m.top * factor, m.bottom * factor, m.left * factor, m.right * factor};
}

QImage buildNineSliceCell(const QImage& strip, int cellIndex, int cellCount, QSize size,
                          const SliceMargins& m, bool keepAlpha) {
    if (strip.isNull() || cellCount < 1 || cellIndex < 0 || cellIndex >= cellCount ||
        size.isEmpty())
        return {};
    const QImage::Format format = keepAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    const QImage source = strip.convertToFormat(format);
    const int W = size.width();
    const int H = size.height();
    const int Hs = source.height();
    const int cw = source.width() / cellCount;
    const int x0 = cellIndex * cw;
    const int T = m.top, B = m.bottom, L = m.left, R = m.right;

    QImage image(size, format);
    image.fill(keepAlpha ? QRgb(0) : kTransparentKey);

    // Corners, unscaled.
    blitWithStretch(image, 0, 0, L, T, source, x0, 0, L, T);
    blitWithStretch(image, 0, H - B, L, B, source, x0, Hs - B, L, B);
    blitWithStretch(image, W - R, 0, R, T, source, x0 + cw - R, 0, R, T);
    blitWithStretch(image, W - R, H - B, R, B, source, x0 + cw - R, Hs - B, R, B);
    // Centre and edges, stretched.
    blitWithStretch(image, L, T, W - R - L, H - B - T, source, x0 + L, T, cw - R - L, Hs - B - T);
    blitWithStretch(image, L, 0, W - R - L, T, source, x0 + L, 0, cw - R - L, T);
    blitWithStretch(image, L, H - B, W - R - L, B, source, x0 + L, Hs - B, cw - R - L, B);
    blitWithStretch(image, 0, T, L, H - B - T, source, x0, T, L, Hs - B - T);
    blitWithStretch(image, W - R, T, R, H - B - T, source, x0 + cw - R, T, R, Hs - B - T);
    return image;
}
