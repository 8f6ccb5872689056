#pragma once

#include "tools/artgen/ArtStyle.h"
#include "ui/NineSliceScaler.h"

#include <QImage>
#include <QList>
#include <QRect>
#include <QString>

// One button look: face, glyph and label.
struct ButtonLook {
    ArtStyle::Face face = ArtStyle::Face::Secondary;
    ArtStyle::Glyph glyph = ArtStyle::Glyph::None;
    QString label;
    bool stacked = false; // glyph above the label (the big buttons) instead of beside it
};

// One bitmap strip: its number, size and margins, the button it is drawn for (its rectangle
// in the window picture, whose pixels show around the rounded faces) and the looks of the
// normal pair (cells 0 and 1) and of the alternate pair (cells 3 and 2).
struct StripSpec {
    int id;
    QSize stripSize;
    SliceMargins margins;
    QRect button;
    ButtonLook look;
    ButtonLook alternate;
};

// The strip whose four cells, scaled by the kit with the given margins to the button's size,
// reproduce the drawn faces pixel for pixel. Parts of a cell the button never shows stay
// magenta.
QImage composeStrip(const StripSpec& layout, const QImage& windowPicture);
// The strip's twin at twice every size, drawn at that size: the faces alone on transparency
// (PNG alpha takes the key colour's place), so the window picture shows around them. The
// kit cuts it with the margins doubled.
QImage composeTwinStrip(const StripSpec& layout);

// The face of one cell at the button's size, over `background` (the button's own units;
// a background of device pixel ratio 2 gives the face drawn at twice the pixels).
QImage drawButtonFace(const QImage& background, const ButtonLook& look, bool pressed);

QList<StripSpec> downloadWindowStrips();
QList<StripSpec> uploadWindowStrips();
QList<StripSpec> downloadConfigStrips();
QList<StripSpec> uploadConfigStrips();
