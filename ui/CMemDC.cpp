#include "ui/CMemDC.h"

#include "ui/DensityArt.h"

CMemDC::CMemDC(QPainter& target, const QRect& rect, const QColor& fill)
    : target_(target), rect_(rect) {
    // The surface has the target's own density, so nothing drawn on it loses detail on a
    // scaled screen.
    const qreal ratio = deviceRatio(target);
    const QSize device(qRound(rect.width() * ratio), qRound(rect.height() * ratio));
    surface_ = QImage(device.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    surface_.setDevicePixelRatio(ratio);
    surface_.fill(fill);
    painter_.begin(&surface_);
    painter_.translate(-rect.topLeft());
}

CMemDC::~CMemDC() {
    painter_.end();
    if (!rect_.isEmpty())
        target_.drawImage(QRectF(rect_), surface_);
}
