#include "CMemDC.h"

CMemDC::CMemDC(QPainter& target, const QRect& rect, const QColor& fill)
    : target_(target), rect_(rect),
      surface_(rect.size().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied) {
    surface_.fill(fill);
    painter_.begin(&surface_);
    painter_.translate(-rect.topLeft());
}

CMemDC::~CMemDC() {
    painter_.end();
    if (!rect_.isEmpty())
        target_.drawImage(rect_.topLeft(), surface_);
}
