#include "tools/artgen/ButtonArt.h"

#include "ui/DialogUnits.h"
#include "ui/KitTexts.h"

#include <QFontMetrics>
#include <QPainter>
#include <array>
#include <vector>

using namespace ArtStyle;
using DialogUnits::rect;

QImage drawButtonFace(const QImage& background, const ButtonLook& look, bool pressed) {
    // Drawn in the button's own units; a background of a higher ratio gives a face drawn at
    // that many pixels per unit, text included.
    QImage face = background.convertToFormat(
        background.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    face.setDevicePixelRatio(background.devicePixelRatio());
    QPainter p(&face);
    const QRectF area(QPointF(0, 0), face.deviceIndependentSize());
    paintFace(p, area, look.face, pressed);
    const QColor ink = inkFor(look.face);
    const QPointF shift(0, pressed && look.face != Face::TitleGlyph ? 1 : 0);
    if (look.face == Face::TitleGlyph) {
        paintGlyph(p, area.translated(shift), look.glyph, ink);
        return face;
    }
    const QFont labelFont = font(look.stacked ? 12 : 12, true);
    const QFontMetrics metrics(labelFont);
    p.setFont(labelFont);
    p.setPen(ink);
    if (look.stacked) {
        const qreal glyph = 20;
        const qreal total = glyph + 4 + metrics.height();
        const qreal top = (area.height() - total) / 2;
        paintGlyph(p, QRectF((area.width() - glyph) / 2, top, glyph, glyph).translated(shift),
                   look.glyph, ink);
        p.setPen(ink);
        p.drawText(QRectF(0, top + glyph + 4, area.width(), metrics.height()).translated(shift),
                   Qt::AlignHCenter | Qt::AlignVCenter, look.label);
        return face;
    }
    const int textWidth = look.label.isEmpty() ? 0 : metrics.horizontalAdvance(look.label);
    const qreal glyph = look.label.isEmpty() ? qMin(area.width(), area.height()) - 4
                                             : qMin<qreal>(14, area.height() - 6);
    const bool withGlyph =
        look.glyph != Glyph::None && (textWidth == 0 || textWidth + glyph + 5 <= area.width() - 12);
    const qreal total = textWidth + (withGlyph ? glyph + (textWidth ? 5 : 0) : 0);
    qreal x = (area.width() - total) / 2;
    if (withGlyph) {
        paintGlyph(p, QRectF(x, (area.height() - glyph) / 2, glyph, glyph).translated(shift),
                   look.glyph, ink);
        x += glyph + 5;
    }
    if (textWidth) {
        p.setPen(ink);
        p.drawText(QRectF(x, 0, textWidth + 2, area.height()).translated(shift),
                   Qt::AlignLeft | Qt::AlignVCenter, look.label);
    }
    return face;
}

namespace {

// Which strip pixel lands on every button pixel when the kit scales cell `cell`: the kit
// scales a strip whose pixels spell their own coordinates.
std::vector<QPoint> cellToButtonMap(const StripSpec& layout, int cell) {
    QImage coordinates(layout.stripSize, QImage::Format_RGB32);
    for (int y = 0; y < coordinates.height(); ++y)
        for (int x = 0; x < coordinates.width(); ++x)
            coordinates.setPixel(x, y, qRgb(x & 0xff, y, (x >> 8) + 1));
    const QImage scaled =
        buildNineSliceCell(coordinates, cell, 4, layout.button.size(), layout.margins);
    std::vector<QPoint> map;
    for (int v = 0; v < scaled.height(); ++v) {
        for (int u = 0; u < scaled.width(); ++u) {
            const QRgb pixel = scaled.pixel(u, v);
            map.push_back(isTransparentKey(pixel)
                              ? QPoint(-1, -1)
                              : QPoint(qRed(pixel) + ((qBlue(pixel) - 1) << 8), qGreen(pixel)));
        }
    }
    return map;
}

// Strip pixels no button pixel comes from (rows or columns the scaling drops) repeat their
// neighbour, so the strip reads as a clean picture too.
void fillGaps(QImage& strip, std::vector<char>& used, const QRect& cell) {
    const int w = strip.width();
    for (int pass = 0; pass < 2; ++pass) {
        for (int y = cell.top(); y <= cell.bottom(); ++y) {
            for (int x = cell.left(); x <= cell.right(); ++x) {
                if (used[size_t(y * w + x)])
                    continue;
                const QPoint from = pass == 0 ? QPoint(x - 1, y) : QPoint(x, y - 1);
                const QPoint to = pass == 0 ? QPoint(x + 1, y) : QPoint(x, y + 1);
                if (!cell.contains(from) || !used[size_t(from.y() * w + from.x())])
                    continue;
                // Only inside a run: a neighbour on the far side must be in use as well.
                QPoint far = to;
                while (cell.contains(far) && !used[size_t(far.y() * w + far.x())])
                    far += to - QPoint(x, y);
                if (!cell.contains(far))
                    continue;
                strip.setPixel(x, y, strip.pixel(from));
                used[size_t(y * w + x)] = 1;
            }
        }
    }
}

} // namespace

namespace {

// The cells of `layout` (sizes in pixels) from faces drawn over `background`; with `alpha` the
// strip keeps the faces' transparency and parts no button pixel comes from stay transparent,
// otherwise they stay magenta.
QImage compose(const StripSpec& layout, const QImage& background, bool alpha) {
    QImage strip(layout.stripSize, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    strip.fill(alpha ? QRgb(0) : kTransparentKey);
    std::vector<char> used(size_t(strip.width() * strip.height()), 0);
    const int cellWidth = layout.stripSize.width() / 4;
    for (int cell = 0; cell < 4; ++cell) {
        // Cells: normal, pressed, alternate pressed, alternate normal.
        const ButtonLook& look = cell == 0 || cell == 1 ? layout.look : layout.alternate;
        const QImage face = drawButtonFace(background, look, cell == 1 || cell == 2);
        const std::vector<QPoint> map = cellToButtonMap(layout, cell);
        const QRect cellRect(cell * cellWidth, 0, cellWidth, layout.stripSize.height());
        for (int v = 0; v < face.height(); ++v) {
            for (int u = 0; u < face.width(); ++u) {
                const QPoint at = map[size_t(v * face.width() + u)];
                if (!cellRect.contains(at) || used[size_t(at.y() * strip.width() + at.x())])
                    continue;
                strip.setPixel(at, face.pixel(u, v));
                used[size_t(at.y() * strip.width() + at.x())] = 1;
            }
        }
        fillGaps(strip, used, cellRect);
    }
    return strip;
}

} // namespace

QImage composeStrip(const StripSpec& layout, const QImage& windowPicture) {
    return compose(layout, windowPicture.copy(layout.button), false);
}

QImage composeTwinStrip(const StripSpec& layout) {
    StripSpec twice = layout;
    twice.stripSize = layout.stripSize * 2;
    twice.margins = scaledMargins(layout.margins, 2);
    twice.button = QRect(layout.button.topLeft() * 2, layout.button.size() * 2);
    QImage clear(twice.button.size(), QImage::Format_ARGB32_Premultiplied);
    clear.fill(Qt::transparent);
    clear.setDevicePixelRatio(2);
    return compose(twice, clear, true);
}

namespace {

ButtonLook titleLook(Glyph glyph) {
    return {Face::TitleGlyph, glyph, {}, false};
}

StripSpec same(int id, QSize size, SliceMargins m, QRect button, ButtonLook look) {
    return {id, size, m, button, look, look};
}

const SliceMargins kTitleDownload{0, 73, 73, 73};
const SliceMargins kTitleUpload{0, 16, 16, 16};
const SliceMargins kMove{0, 18, 0, 80};
const SliceMargins kDelete{0, 18, 0, 320};
const SliceMargins kWide{0, 58, 0, 224};
const SliceMargins kBig{0, 29, 0, 328};

const ButtonLook kStart{Face::Primary, Glyph::Play, KitText::startLabel(), true};
const ButtonLook kStop{Face::Stop, Glyph::Stop, KitText::stopLabel(), true};

} // namespace

QList<StripSpec> downloadWindowStrips() {
    const ButtonLook secondary{Face::Secondary, Glyph::None, {}, false};
    auto with = [&](Glyph g, const QString& label, bool stacked = false) {
        ButtonLook l = secondary;
        l.glyph = g;
        l.label = label;
        l.stacked = stacked;
        return l;
    };
    return {
        same(143, {64, 14}, kTitleDownload, rect(343, 16, 9, 9), titleLook(Glyph::Hide)),
        same(142, {64, 14}, kTitleDownload, rect(332, 16, 9, 9), titleLook(Glyph::Minimise)),
        same(140, {64, 14}, kTitleDownload, rect(354, 16, 9, 9), titleLook(Glyph::Close)),
        same(138, {96, 24}, kMove, rect(13, 219, 13, 16), with(Glyph::ToTop, {})),
        same(139, {96, 24}, kMove, rect(28, 219, 13, 15), with(Glyph::Up, {})),
        same(134, {96, 24}, kMove, rect(43, 219, 13, 15), with(Glyph::Down, {})),
        same(131, {96, 24}, kMove, rect(58, 219, 13, 15), with(Glyph::ToBottom, {})),
        same(133, {336, 23}, kDelete, rect(74, 219, 48, 16),
             with(Glyph::None, KitText::deleteLabel())),
        same(132, {336, 23}, kDelete, rect(126, 219, 48, 16),
             with(Glyph::None, KitText::deleteCompletedLabel())),
        same(136, {300, 21}, kWide, rect(312, 94, 43, 14),
             with(Glyph::None, KitText::settingsLabel())),
        same(178, {404, 21}, kWide, rect(252, 94, 57, 14),
             with(Glyph::None, KitText::openFolderLabel())),
        same(183, {268, 53}, kBig, rect(234, 219, 38, 36),
             with(Glyph::File, KitText::openFileLabel(), true)),
        {137, {268, 53}, kBig, rect(276, 219, 38, 36), kStart, kStop},
        same(179, {264, 53}, kBig, rect(318, 219, 37, 36),
             with(Glyph::Power, KitText::exitLabel(), true)),
    };
}

QList<StripSpec> uploadWindowStrips() {
    auto with = [](Glyph g, const QString& label) {
        return ButtonLook{Face::Secondary, g, label, false};
    };
    return {
        same(132, {64, 14}, kTitleUpload, rect(343, 16, 9, 9), titleLook(Glyph::Hide)),
        same(134, {64, 14}, kTitleUpload, rect(332, 16, 9, 9), titleLook(Glyph::Minimise)),
        same(133, {64, 14}, kTitleUpload, rect(354, 16, 9, 9), titleLook(Glyph::Close)),
        same(146, {96, 24}, kMove, rect(13, 219, 13, 16), with(Glyph::ToTop, {})),
        same(151, {96, 24}, kMove, rect(28, 219, 13, 15), with(Glyph::Up, {})),
        same(145, {96, 24}, kMove, rect(43, 219, 13, 15), with(Glyph::Down, {})),
        same(155, {96, 24}, kMove, rect(58, 219, 13, 15), with(Glyph::ToBottom, {})),
        same(150, {336, 23}, kDelete, rect(74, 219, 48, 16),
             with(Glyph::None, KitText::deleteLabel())),
        same(153, {336, 23}, kDelete, rect(126, 219, 48, 16),
             with(Glyph::None, KitText::deleteCompletedLabel())),
        same(156, {300, 21}, kWide, rect(312, 94, 43, 14),
             with(Glyph::None, KitText::settingsLabel())),
        {154, {268, 52}, {0, 21, 0, 300}, rect(318, 219, 37, 36), kStart, kStop},
    };
}

namespace {

QList<StripSpec> configStrips(int save, int cancel, int browse) {
    const SliceMargins wide{0, 76, 0, 304};
    return {
        same(save, {304, 24}, wide, rect(100, 243, 43, 16),
             {Face::Primary, Glyph::None, KitText::saveLabel(), false}),
        same(cancel, {304, 24}, wide, rect(158, 243, 43, 16),
             {Face::Secondary, Glyph::None, KitText::cancelLabel(), false}),
        same(browse, {252, 21}, {0, 63, 0, 252}, rect(228, 52, 36, 14),
             {Face::Secondary, Glyph::Folder, KitText::browseLabel(), false}),
    };
}

} // namespace

QList<StripSpec> downloadConfigStrips() {
    return configStrips(194, 192, 135);
}

QList<StripSpec> uploadConfigStrips() {
    return configStrips(196, 194, 152);
}
