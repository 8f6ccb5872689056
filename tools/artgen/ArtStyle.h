#pragma once

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QRectF>

// The one look of every generated picture: colours, faces and glyphs.
namespace ArtStyle {

inline const QColor kBody{0xee, 0xf3, 0xf7};
inline const QColor kBorder{0x1d, 0x4f, 0x73};
inline const QColor kTitleTop{0x2e, 0x7d, 0xb4};
inline const QColor kTitleBottom{0x1f, 0x5b, 0x87};
inline const QColor kAccent{0x2d, 0x7f, 0xb8};
inline const QColor kInk{0x23, 0x40, 0x5a};
inline const QColor kMutedInk{0x5d, 0x72, 0x86};
inline const QColor kFrame{0xb4, 0xc4, 0xd3};
inline const QColor kStatusPanel{250, 252, 228}; // the status statics draw on this colour
inline const QColor kStatusBorder{0xd6, 0xda, 0xb2};
inline const QColor kFolderField{242, 242, 242}; // the folder static draws on this colour

enum class Face { TitleGlyph, Secondary, Primary, Stop };
enum class Glyph {
    None,
    Hide,
    Minimise,
    Close,
    ToTop,
    Up,
    Down,
    ToBottom,
    Gear,
    Folder,
    File,
    Play,
    Stop,
    Power,
    Trash,
    Sweep
};

QFont font(int pixelSize, bool bold = false);

// Title band gradient over `rect` (the band's full height).
void paintTitleBand(QPainter& p, const QRect& rect);
// A white card with a thin frame and rounded corners.
void paintCard(QPainter& p, const QRectF& rect, const QColor& fill, const QColor& border,
               qreal radius = 5);
// A section heading: accent bar and bold text.
void paintHeading(QPainter& p, const QPointF& at, const QString& text);

void paintFace(QPainter& p, const QRectF& rect, Face face, bool pressed);
QColor inkFor(Face face);
void paintGlyph(QPainter& p, const QRectF& box, Glyph glyph, const QColor& ink);

} // namespace ArtStyle
