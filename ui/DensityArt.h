#pragma once

#include <QImage>
#include <QPixmap>
#include <QSize>
#include <QString>

class QPainter;

// Art for every screen density. Each picture we draw exists at its own size and, beside it,
// drawn afresh at twice that size ("NAME@2x.png"). Where a painter covers more than one device
// pixel per unit (a scaled screen, a picture taken at a ratio), the twin is used: as it is at 2,
// smoothly scaled down between 1 and 2; at 1 the original is used unchanged.

// Device pixels per unit of `painter` as it stands (1 on an ordinary screen).
qreal deviceRatio(const QPainter& painter);

// "dir/NAME@2x.png" beside "dir/NAME.ext" (the same folder, resource folders included).
QString twinPath(const QString& path);

// The twin of `original` at `path`'s twin path, or a null image when there is none or it is
// not exactly twice the size (a picture replaced without its twin keeps its own look).
QImage loadTwin(const QString& path, QSize originalSize);

// `twin` (twice the size of a `size` picture) ready to draw at `ratio`: smoothly scaled to the
// device size and marked with that ratio.
QImage twinAtRatio(const QImage& twin, QSize size, qreal ratio);

// A window picture such as "images/download_bg.bmp", found as skinPath() finds it, with its
// twin from the same folder.
class SkinPicture {
public:
    bool load(const QString& relative);
    bool isNull() const { return picture_.isNull(); }
    // The picture's own size: the size of the window it is the face of.
    QSize size() const { return picture_.size(); }
    bool hasTwin() const { return !twin_.isNull(); }
    // Draws the picture with its top-left corner at `at`, in the painter's density.
    void draw(QPainter& painter, const QPoint& at) const;

private:
    QPixmap picture_;
    QImage twin_;
    mutable QPixmap scaled_;
    mutable qreal scaledRatio_ = 0;
};
