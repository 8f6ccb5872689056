#pragma once

#include "ui/KitTexts.h"
#include "ui/NineSliceScaler.h"

#include <QImage>
#include <QPushButton>
#include <array>

// Push button drawn entirely from a strip of four bitmap cells: 0 normal, 1 pressed,
// 2 alternate pressed, 3 alternate normal. Each cell is scaled once, by nine-slice scaling,
// to the button's size, and laid over the button-face colour with magenta as the
// transparent colour. No hover look, and a disabled button looks like an enabled one: the
// strips carry the whole look. Clicks arrive as clicked().
//
// Beside a numbered strip may lie its twin drawn at twice the size ("137@2x.png", with PNG
// alpha instead of the key colour); on a scaled screen the cells are built from the twin with
// the margins doubled, and smoothly scaled to the screen's ratio, so the art stays sharp.
//
// For the keyboard: Space and Enter press the focused button, and once the window has been
// moved through by the keyboard the focused button shows a ring in the highlight colour.
class CButtontoImage : public QPushButton {
    Q_OBJECT
public:
    explicit CButtontoImage(QWidget* parent = nullptr);

    // Loads bitmap `<resourcePrefix><bitmapId>.bmp` (e.g. ":/download/137.bmp"), and its twin
    // `<bitmapId>@2x.png` when there is one, and builds the four images for the button's
    // current size. False when the bitmap cannot be loaded or an image cannot be built.
    bool LoadImages(const QString& resourcePrefix, int bitmapId, int cellCount, int top, int bottom,
                    int left, int right);
    // The same from a strip already in memory (and, optionally, its twin at twice the size).
    bool LoadImages(const QImage& strip, int cellCount, int top, int bottom, int left, int right,
                    const QImage& twin = QImage());

    // Non-zero selects the alternate pair (cells 3 and 2). The start/stop buttons use it as
    // their "transferring" flag; assign it and update(), or call setAlternateState().
    int alternateState = 0;
    void setAlternateState(int state);

    // What a screen reader says for the button, and for its alternate state where that
    // shows another label ("시작" / "중지").
    void setTexts(const ControlText& normal, const ControlText& alternate = {});

    bool isLoaded() const { return loaded_ >= 1; }
    bool hasTwin() const { return !twin_.isNull(); }
    int bitmapId() const { return bitmapId_; }
    // Focused and held down.
    bool isPressedLook() const;
    // Focused, in a window the keyboard has moved through.
    bool showsFocusRing() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    enum Image { Normal, Pressed, AlternatePressed, AlternateNormal };
    bool buildImages();
    bool buildDenseImages(qreal ratio);
    void applyTexts();

    int loaded_ = 0;
    int bitmapId_ = -1;
    int cellCount_ = 0;
    SliceMargins margins_;
    QImage strip_; // kept so that a resized button can be rebuilt
    QImage twin_;  // the strip drawn at twice the size, when there is one
    std::array<QImage, 4> images_;
    std::array<QImage, 4> dense_; // from the twin, for the ratio below
    qreal denseRatio_ = 0;
    ControlText texts_[2];
    int textsShown_ = -1;
};
