#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRect>

// Off-screen drawing surface for one paint: the picture is composed here, starting from a
// fill colour, and reaches the target in a single copy when the object goes out of scope,
// so frequent repaints never show half-drawn states. The surface has as many pixels as the
// target shows for the rectangle.
class CMemDC {
public:
    CMemDC(QPainter& target, const QRect& rect, const QColor& fill);
    ~CMemDC();
    CMemDC(const CMemDC&) = delete;
    CMemDC& operator=(const CMemDC&) = delete;

    QPainter& painter() { return painter_; }
    const QRect& rect() const { return rect_; }

private:
    QPainter& target_;
    QRect rect_;
    QImage surface_;
    QPainter painter_;
};
