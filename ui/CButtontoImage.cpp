#include "ui/CButtontoImage.h"

#include "ui/CMemDC.h"
#include "ui/DensityArt.h"
#include "ui/KitResources.h"

#include <QKeyEvent>
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
    // Not opaque: art from a twin has real transparency, and the window's picture shows
    // through it. Art with the key colour covers every pixel it is drawn on.
}

bool CButtontoImage::LoadImages(const QString& resourcePrefix, int bitmapId, int cellCount, int top,
                                int bottom, int left, int right) {
    ensureKitResources();
    bitmapId_ = bitmapId;
    const QString path = resourcePrefix + QString::number(bitmapId) + QStringLiteral(".bmp");
    const QImage strip(path);
    return LoadImages(strip, cellCount, top, bottom, left, right, loadTwin(path, strip.size()));
}

bool CButtontoImage::LoadImages(const QImage& strip, int cellCount, int top, int bottom, int left,
                                int right, const QImage& twin) {
    margins_ = {top, bottom, left, right};
    cellCount_ = cellCount;
    strip_ = strip;
    twin_ = !strip.isNull() && twin.size() == strip.size() * 2 ? twin : QImage();
    return buildImages();
}

bool CButtontoImage::buildImages() {
    loaded_ = 0;
    images_ = {};
    dense_ = {};
    denseRatio_ = 0;
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

// The twin is cut with the same rules at twice every size, which yields the button's face at
// twice its size exactly as drawn; only then is it brought to the screen's ratio.
bool CButtontoImage::buildDenseImages(qreal ratio) {
    if (denseRatio_ == ratio)
        return !dense_[0].isNull();
    denseRatio_ = ratio;
    dense_ = {};
    for (int image = Normal; image <= AlternateNormal; ++image) {
        const QImage cell = buildNineSliceCell(twin_, image, cellCount_, size() * 2,
                                               scaledMargins(margins_, 2), true);
        if (cell.isNull()) {
            dense_ = {};
            return false;
        }
        dense_[size_t(image)] =
            twinAtRatio(cell, size(), ratio).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    return true;
}

void CButtontoImage::setAlternateState(int state) {
    alternateState = state;
    applyTexts();
    update();
}

void CButtontoImage::setTexts(const ControlText& normal, const ControlText& alternate) {
    texts_[0] = normal;
    texts_[1] = alternate.name.isEmpty() ? normal : alternate;
    textsShown_ = -1;
    applyTexts();
}

void CButtontoImage::applyTexts() {
    const int which = alternateState == 0 ? 0 : 1;
    if (which == textsShown_ || texts_[0].name.isEmpty())
        return;
    textsShown_ = which;
    setAccessibleName(texts_[which].name);
    setAccessibleDescription(texts_[which].description);
}

bool CButtontoImage::isPressedLook() const {
    return isDown() && hasFocus();
}

bool CButtontoImage::showsFocusRing() const {
    return hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

void CButtontoImage::paintEvent(QPaintEvent*) {
    applyTexts(); // the windows may have set the alternate state directly
    QPainter target(this);
    const qreal ratio = deviceRatio(target);
    const bool dense = loaded_ >= 1 && ratio > 1.0 && !twin_.isNull() && buildDenseImages(ratio);
    // Art with alpha is drawn over the window's picture; keyed art over the button face.
    CMemDC memory(target, rect(),
                  dense ? QColor(Qt::transparent) : palette().color(QPalette::Button));
    QPainter& p = memory.painter();
    if (loaded_ >= 1) {
        const bool pressed = isPressedLook();
        const Image base = alternateState == 0 ? Normal : AlternateNormal;
        const Image over = alternateState == 0 ? Pressed : AlternatePressed;
        const auto& images = dense ? dense_ : images_;
        p.drawImage(QRectF(rect()), images[size_t(base)]);
        if (pressed)
            p.drawImage(QRectF(rect()), images[size_t(over)]);
    }
    if (showsFocusRing()) {
        // Two pixels inside the edge: the highlight colour, and white within it, so the ring
        // shows on the light faces and on the dark title band alike.
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(palette().color(QPalette::Highlight), 1));
        p.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
        p.setPen(QPen(Qt::white, 1));
        p.drawRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5));
    }
}

void CButtontoImage::resizeEvent(QResizeEvent* event) {
    QPushButton::resizeEvent(event);
    // The images fit the size they were built for; a window that lays its buttons out after
    // loading them gets images of the new size instead of clipped or short ones.
    if (!strip_.isNull() && event->size() != event->oldSize())
        buildImages();
}

void CButtontoImage::keyPressEvent(QKeyEvent* event) {
    // Enter presses the focused button, as Space does; everywhere else in the windows Enter
    // stays swallowed.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        event->accept();
        click();
        return;
    }
    QPushButton::keyPressEvent(event);
}
