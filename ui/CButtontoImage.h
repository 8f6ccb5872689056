#pragma once

#include "NineSliceScaler.h"

#include <QImage>
#include <QPushButton>
#include <array>

// Push button drawn entirely from a strip of four bitmap cells: 0 normal, 1 pressed,
// 2 alternate pressed, 3 alternate normal. Each cell is scaled once, by nine-slice scaling,
// to the button's size, and laid over the button-face colour with magenta as the
// transparent colour. No hover look, no focus rectangle, and a disabled button looks like
// an enabled one: the strips carry the whole look. Clicks arrive as clicked().
class CButtontoImage : public QPushButton {
    Q_OBJECT
public:
    explicit CButtontoImage(QWidget* parent = nullptr);

    // Loads bitmap `<resourcePrefix><bitmapId>.bmp` (e.g. ":/download/137.bmp") and builds
    // the four images for the button's current size. False when the bitmap cannot be loaded
    // or an image cannot be built.
    bool LoadImages(const QString& resourcePrefix, int bitmapId, int cellCount, int top, int bottom,
                    int left, int right);
    // The same from a strip already in memory.
    bool LoadImages(const QImage& strip, int cellCount, int top, int bottom, int left, int right);

    // Non-zero selects the alternate pair (cells 3 and 2). The start/stop buttons use it as
    // their "transferring" flag; assign it and update(), or call setAlternateState().
    int alternateState = 0;
    void setAlternateState(int state);

    bool isLoaded() const { return loaded_ >= 1; }
    int bitmapId() const { return bitmapId_; }
    // Focused and held down.
    bool isPressedLook() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    enum Image { Normal, Pressed, AlternatePressed, AlternateNormal };
    bool buildImages();

    int loaded_ = 0;
    int bitmapId_ = -1;
    int cellCount_ = 0;
    SliceMargins margins_;
    QImage strip_; // kept so that a resized button can be rebuilt
    std::array<QImage, 4> images_;
};
