#include "tools/artgen/ArtStyle.h"

#include "ui/KitFont.h"

#include <QLinearGradient>
#include <QPainterPath>

namespace ArtStyle {

QFont font(int pixelSize, bool bold) {
    QFont f = gulimFont(pixelSize, bold ? QFont::Bold : QFont::Normal);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

void paintTitleBand(QPainter& p, const QRect& rect) {
    QLinearGradient g(rect.topLeft(), rect.bottomLeft());
    g.setColorAt(0, kTitleTop);
    g.setColorAt(1, kTitleBottom);
    p.fillRect(rect, g);
    p.fillRect(QRect(rect.left(), rect.bottom(), rect.width(), 1), QColor(0x17, 0x4a, 0x6f));
}

void paintCard(QPainter& p, const QRectF& rect, const QColor& fill, const QColor& border,
               qreal radius) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(border, 1));
    p.setBrush(fill);
    p.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    p.restore();
}

void paintHeading(QPainter& p, const QPointF& at, const QString& text) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    p.drawRoundedRect(QRectF(at.x(), at.y() + 1, 4, 13), 2, 2);
    p.setPen(kInk);
    p.setFont(font(13, true));
    p.drawText(QRectF(at.x() + 10, at.y() - 2, 300, 18), Qt::AlignLeft | Qt::AlignVCenter, text);
    p.restore();
}

void paintFace(QPainter& p, const QRectF& rect, Face face, bool pressed) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = rect.adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    QColor border;
    switch (face) {
    case Face::TitleGlyph:
        if (pressed) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(255, 255, 255, 70));
            p.drawRoundedRect(r, 3, 3);
        }
        p.restore();
        return;
    case Face::Secondary:
        g.setColorAt(0, pressed ? QColor(0xd3, 0xe2, 0xef) : QColor(0xff, 0xff, 0xff));
        g.setColorAt(1, pressed ? QColor(0xe2, 0xec, 0xf5) : QColor(0xe6, 0xee, 0xf5));
        border = pressed ? QColor(0x5f, 0x8b, 0xb2) : QColor(0x9d, 0xb2, 0xc6);
        break;
    case Face::Primary:
        g.setColorAt(0, pressed ? QColor(0x27, 0x6d, 0xa0) : QColor(0x3f, 0x98, 0xd4));
        g.setColorAt(1, pressed ? QColor(0x22, 0x63, 0x92) : QColor(0x27, 0x74, 0xad));
        border = QColor(0x1b, 0x57, 0x83);
        break;
    case Face::Stop:
        g.setColorAt(0, pressed ? QColor(0xb9, 0x4a, 0x22) : QColor(0xe8, 0x7a, 0x45));
        g.setColorAt(1, pressed ? QColor(0xa8, 0x41, 0x1d) : QColor(0xcc, 0x57, 0x2b));
        border = QColor(0x9a, 0x3b, 0x18);
        break;
    }
    p.setPen(QPen(border, 1));
    p.setBrush(g);
    p.drawRoundedRect(r, 4, 4);
    if (!pressed) { // a soft highlight along the top edge
        p.setPen(QPen(QColor(255, 255, 255, face == Face::Secondary ? 200 : 70), 1));
        p.drawLine(QPointF(r.left() + 4, r.top() + 1), QPointF(r.right() - 4, r.top() + 1));
    }
    p.restore();
}

QColor inkFor(Face face) {
    switch (face) {
    case Face::Secondary:
        return kInk;
    case Face::TitleGlyph:
        return QColor(0xf2, 0xf7, 0xfb);
    default:
        return Qt::white;
    }
}

void paintGlyph(QPainter& p, const QRectF& box, Glyph glyph, const QColor& ink) {
    if (glyph == Glyph::None)
        return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = qMin(box.width(), box.height());
    const QPointF c = box.center();
    QPen pen(ink, qMax(1.4, s / 9.0), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const auto at = [&](qreal dx, qreal dy) { return QPointF(c.x() + dx * s, c.y() + dy * s); };
    const auto triangle = [&](bool up, qreal dy) {
        QPainterPath path;
        const qreal w = 0.34, h = 0.3;
        path.moveTo(at(0, dy + (up ? -h / 2 : h / 2)));
        path.lineTo(at(w, dy + (up ? h / 2 : -h / 2)));
        path.lineTo(at(-w, dy + (up ? h / 2 : -h / 2)));
        path.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawPath(path);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
    };
    switch (glyph) {
    case Glyph::Hide: // a chevron pointing down: into the tray
        p.drawPolyline(QPolygonF{at(-0.25, -0.1), at(0, 0.15), at(0.25, -0.1)});
        break;
    case Glyph::Minimise:
        p.drawLine(at(-0.25, 0.2), at(0.25, 0.2));
        break;
    case Glyph::Close:
        p.drawLine(at(-0.22, -0.22), at(0.22, 0.22));
        p.drawLine(at(-0.22, 0.22), at(0.22, -0.22));
        break;
    case Glyph::ToTop:
        p.drawLine(at(-0.34, -0.3), at(0.34, -0.3));
        triangle(true, 0.1);
        break;
    case Glyph::Up:
        triangle(true, 0);
        break;
    case Glyph::Down:
        triangle(false, 0);
        break;
    case Glyph::ToBottom:
        p.drawLine(at(-0.34, 0.3), at(0.34, 0.3));
        triangle(false, -0.1);
        break;
    case Glyph::Gear: {
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(c, 0.2 * s, 0.2 * s);
        for (int i = 0; i < 8; ++i) {
            QTransform t;
            t.translate(c.x(), c.y());
            t.rotate(i * 45);
            p.drawLine(t.map(QPointF(0, 0.28 * s)), t.map(QPointF(0, 0.42 * s)));
        }
        break;
    }
    case Glyph::Folder: {
        QPainterPath path;
        path.moveTo(at(-0.42, -0.26));
        path.lineTo(at(-0.12, -0.26));
        path.lineTo(at(-0.02, -0.14));
        path.lineTo(at(0.42, -0.14));
        path.lineTo(at(0.42, 0.3));
        path.lineTo(at(-0.42, 0.3));
        path.closeSubpath();
        p.drawPath(path);
        break;
    }
    case Glyph::File: {
        QPainterPath path;
        path.moveTo(at(-0.3, -0.42));
        path.lineTo(at(0.1, -0.42));
        path.lineTo(at(0.3, -0.22));
        path.lineTo(at(0.3, 0.42));
        path.lineTo(at(-0.3, 0.42));
        path.closeSubpath();
        p.drawPath(path);
        p.drawLine(at(-0.14, 0.02), at(0.14, 0.02));
        p.drawLine(at(-0.14, 0.2), at(0.14, 0.2));
        break;
    }
    case Glyph::Play: {
        QPainterPath path;
        path.moveTo(at(-0.26, -0.34));
        path.lineTo(at(0.34, 0));
        path.lineTo(at(-0.26, 0.34));
        path.closeSubpath();
        p.setBrush(ink);
        p.drawPath(path);
        break;
    }
    case Glyph::Stop:
        p.setBrush(ink);
        p.drawRoundedRect(QRectF(at(-0.28, -0.28), at(0.28, 0.28)), 2, 2);
        break;
    case Glyph::Power:
        p.drawArc(QRectF(at(-0.34, -0.28), at(0.34, 0.4)), 125 * 16, 290 * 16);
        p.drawLine(at(0, -0.42), at(0, 0.0));
        break;
    case Glyph::Trash:
        p.drawLine(at(-0.34, -0.26), at(0.34, -0.26));
        p.drawLine(at(-0.1, -0.38), at(0.1, -0.38));
        p.drawPolyline(QPolygonF{at(-0.24, -0.18), at(-0.18, 0.4), at(0.18, 0.4), at(0.24, -0.18)});
        break;
    case Glyph::Sweep:
        p.drawPolyline(QPolygonF{at(-0.34, 0.02), at(-0.1, 0.28), at(0.36, -0.26)});
        break;
    case Glyph::None:
        break;
    }
    p.restore();
}

} // namespace ArtStyle
