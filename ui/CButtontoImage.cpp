#include "CButtontoImage.h"

#include "CMemDC.h"
#include "KitResources.h"

#include <QPaintEvent>
#include <QResizeEvent>

namespace {

// Turns key-coloured pixels into fully transparent ones, so that ordinary alpha composition
// lets whatever lies beneath show through exactly there.
QImage keyedForDrawing(const QImage& image) {
    QImage keyed = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < keyed.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(keyed.scanLine(y));
        for (int x = 0; x < keyed.width(); ++x)
            line[x] = isTransparentKey(line[x]) ? qRgba(0, 0, 0, 0) : (line[x] | 0xff000000);
    }
    return keyed.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

CButtontoImage::CButtontoImage(QWidget* parent) : QPushButton(parent) {
    setAutoDefault(false); // Enter is the dialogs' business, never a click on a skinned button
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool CButtontoImage::LoadImages(const QString& resourcePrefix, int bitmapId, int cellCount, int top,
                                int bottom, int left, int right) {
    ensureKitResources();
    bitmapId_ = bitmapId;
    const QImage strip(resourcePrefix + QString::number(bitmapId) + QStringLiteral(".bmp"));
    return LoadImages(strip, cellCount, top, bottom, left, right);
}

bool CButtontoImage::LoadImages(const QImage& strip, int cellCount, int top, int bottom, int left,
                                int right) {
    margins_ = {top, bottom, left, right};
    cellCount_ = cellCount;
    strip_ = strip;
    return buildImages();
}

bool CButtontoImage::buildImages() {
    loaded_ = 0;
    images_ = {};
    // The image enum follows the strip's cell order.
    for (int image = Normal; image <= AlternateNormal; ++image) {
        const QImage cell = buildNineSliceCell(strip_, image, cellCount_, size(), margins_);
        if (cell.isNull())
            return false;
        images_[size_t(image)] = keyedForDrawing(cell);
        loaded_ = 1;
    }
    update();
    return true;
}

void CButtontoImage::setAlternateState(int state) {
    alternateState = state;
    update();
}

bool CButtontoImage::isPressedLook() const {
    return isDown() && hasFocus();
}

void CButtontoImage::paintEvent(QPaintEvent*) {
    QPainter target(this);
    CMemDC memory(target, rect(), palette().color(QPalette::Button));
    if (loaded_ < 1)
        return;
    const bool pressed = isPressedLook();
    const Image base = alternateState == 0 ? Normal : AlternateNormal;
    const Image over = alternateState == 0 ? Pressed : AlternatePressed;
    memory.painter().drawImage(QPoint(0, 0), images_[size_t(base)]);
    if (pressed)
        memory.painter().drawImage(QPoint(0, 0), images_[size_t(over)]);
}

void CButtontoImage::resizeEvent(QResizeEvent* event) {
    QPushButton::resizeEvent(event);
    // The images fit the size they were built for; a window that lays its buttons out after
    // loading them gets images of the new size instead of clipped or short ones.
    if (!strip_.isNull() && event->size() != event->oldSize())
        buildImages();
}
