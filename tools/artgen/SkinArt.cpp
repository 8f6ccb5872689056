#include "tools/artgen/SkinArt.h"

#include "tools/artgen/ArtStyle.h"
#include "ui/DialogUnits.h"
#include "ui/KitTexts.h"

#include <QPainter>
#include <QPainterPath>

using namespace ArtStyle;
using DialogUnits::rect;
using DialogUnits::toPixels;

namespace {

const QSize kMainSize(toPixels(371), toPixels(325));
const QSize kConfigSize(toPixels(303), toPixels(273));

void paintWindowBase(QPainter& p, const QSize& size, int bandHeight) {
    p.fillRect(QRect(QPoint(0, 0), size), kBody);
    paintTitleBand(p, QRect(0, 0, size.width(), bandHeight));
    // The outline as four bands: the outermost pixel at any scale.
    const int w = size.width(), h = size.height();
    for (const QRect& edge :
         {QRect(0, 0, w, 1), QRect(0, h - 1, w, 1), QRect(0, 0, 1, h), QRect(w - 1, 0, 1, h)})
        p.fillRect(edge, kBorder);
}

QImage canvas(const QSize& size, int scale) {
    QImage image(size * scale, QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    return image;
}

void label(QPainter& p, const QRect& r, const QString& text, int flags, int size = 12,
           const QColor& ink = kMutedInk, bool bold = false) {
    p.setFont(font(size, bold));
    p.setPen(ink);
    p.drawText(r, flags | Qt::TextSingleLine, text);
}

// Frame just outside a control, so the control's own edge sits inside it.
void frameAround(QPainter& p, const QRect& control, const QColor& fill) {
    paintCard(p, QRectF(control.adjusted(-2, -2, 2, 2)), fill, kFrame, 3);
}

void paintLogo(QPainter& p, const QRectF& box, bool download) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 235));
    p.drawRoundedRect(box, box.width() * 0.24, box.width() * 0.24);
    const QColor ink = download ? kAccent : QColor(0x1f, 0x8f, 0x7a);
    const qreal s = box.width();
    const QPointF c = box.center();
    QPen pen(ink, s / 8.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    const qreal dir = download ? 1 : -1;
    p.drawLine(QPointF(c.x(), c.y() - dir * 0.26 * s), QPointF(c.x(), c.y() + dir * 0.12 * s));
    p.drawPolyline(QPolygonF{QPointF(c.x() - 0.17 * s, c.y() - dir * 0.03 * s),
                             QPointF(c.x(), c.y() + dir * 0.14 * s),
                             QPointF(c.x() + 0.17 * s, c.y() - dir * 0.03 * s)});
    p.drawLine(QPointF(c.x() - 0.26 * s, c.y() + 0.3 * s),
               QPointF(c.x() + 0.26 * s, c.y() + 0.3 * s));
    p.restore();
}

void paintMainTitle(QPainter& p, bool download) {
    paintLogo(p, QRectF(16, 19, 24, 24), download);
    label(p, QRect(50, 16, 300, 30),
          download ? QStringLiteral("Willowmere - 다운로드") : QStringLiteral("Vastrelle - 업로드"),
          Qt::AlignLeft | Qt::AlignVCenter, 15, Qt::white, true);
}

// Status lines, the two bars and the row under them, on the status panel.
void paintStatusArea(QPainter& p, bool download) {
    const QRect panel(13, 62, 531, 108);
    paintCard(p, QRectF(panel), kStatusPanel, kStatusBorder, 5);
    const QRect speed = rect(248, 49, 36, 8);
    const QRect remaining = rect(320, 49, 34, 8);
    label(p, QRect(speed.left() - 42, speed.top() - 2, 38, speed.height() + 4),
          KitText::speedCaption(), Qt::AlignRight | Qt::AlignVCenter, 11);
    label(p, QRect(remaining.left() - 54, remaining.top() - 2, 50, remaining.height() + 4),
          KitText::remainingCaption(), Qt::AlignRight | Qt::AlignVCenter, 11);
    const QRect fileBar = rect(50, 65, 304, 12);
    const QRect totalBar = rect(50, 80, 304, 12);
    label(p, QRect(20, fileBar.top(), fileBar.left() - 24, fileBar.height()),
          KitText::fileBarCaption(), Qt::AlignLeft | Qt::AlignVCenter, 11, kInk, true);
    label(p, QRect(20, totalBar.top(), totalBar.left() - 24, totalBar.height()),
          KitText::totalBarCaption(), Qt::AlignLeft | Qt::AlignVCenter, 11, kInk, true);
    frameAround(p, fileBar.adjusted(1, 1, -1, -1), QColor(232, 232, 232));
    frameAround(p, totalBar.adjusted(1, 1, -1, -1), QColor(232, 232, 232));
    if (download) {
        const QRect folder = rect(52, 97, 195, 11);
        paintCard(p, QRectF(folder.adjusted(-4, -2, 2, 2)), kFolderField, kFrame, 3);
        label(p, QRect(20, folder.top(), folder.left() - 24, folder.height()),
              KitText::folderCaption(), Qt::AlignLeft | Qt::AlignVCenter, 11, kInk, true);
    } else {
        label(p, QRect(20, rect(0, 94, 1, 14).top(), 300, rect(0, 94, 1, 14).height()),
              QStringLiteral("업로드할 파일은 웹페이지에서 추가합니다"),
              Qt::AlignLeft | Qt::AlignVCenter, 11);
    }
}

void paintListAndBanner(QPainter& p, bool download) {
    const QRect list = rect(9, 117, 351, 92);
    paintCard(p, QRectF(list.adjusted(-2, -2, 2, 2)), Qt::white, kFrame, 3);
    // The button row: a quiet band with the completion options' caption.
    const int rowTop = rect(0, 215, 1, 1).top();
    p.fillRect(QRect(13, rowTop, 531, 1), QColor(0xd3, 0xdd, 0xe6));
    const QRect checks = rect(54, 245, 50, 8);
    label(p, QRect(20, checks.top() - 3, checks.left() - 22, checks.height() + 6),
          QStringLiteral("완료 후"), Qt::AlignLeft | Qt::AlignVCenter, 11, kInk, true);
    const QRect banner = rect(10, 270, 350, 42);
    paintCard(p, QRectF(banner.adjusted(-2, -2, 2, 2)), Qt::white, kFrame, 3);
    label(p, banner, download ? QStringLiteral("Willowmere") : QStringLiteral("Vastrelle"),
          Qt::AlignCenter, 13, QColor(0xc4, 0xd0, 0xdb), true);
    const int footer = banner.bottom() + 4;
    label(p, QRect(16, footer, 525, kMainSize.height() - footer - 2),
          download ? QStringLiteral("웹스토리지 파일 다운로더")
                   : QStringLiteral("웹스토리지 파일 업로더"),
          Qt::AlignRight | Qt::AlignVCenter, 10, QColor(0x8a, 0x9b, 0xab));
}

QImage drawMainSkin(bool download, int scale) {
    QImage image = canvas(kMainSize, scale);
    QPainter p(&image);
    p.setRenderHint(QPainter::TextAntialiasing);
    paintWindowBase(p, kMainSize, 56);
    paintMainTitle(p, download);
    paintStatusArea(p, download);
    paintListAndBanner(p, download);
    return image;
}

} // namespace

QImage drawDownloadSkin(int scale) {
    return drawMainSkin(true, scale);
}

QImage drawUploadSkin(int scale) {
    return drawMainSkin(false, scale);
}

QImage drawConfigSkin(int scale) {
    QImage image = canvas(kConfigSize, scale);
    QPainter p(&image);
    paintWindowBase(p, kConfigSize, 46);
    paintGlyph(p, QRectF(16, 13, 20, 20), Glyph::Gear, Qt::white);
    label(p, QRect(44, 8, 200, 30), QStringLiteral("환경설정"), Qt::AlignLeft | Qt::AlignVCenter,
          15, Qt::white, true);
    label(p, QRect(240, 8, 198, 30), QStringLiteral("다운로더 · 업로더 공통"),
          Qt::AlignRight | Qt::AlignVCenter, 11, QColor(0xd4, 0xe6, 0xf3));

    // Download settings: folder, same-name choice, automatic start, completion actions.
    paintHeading(p, QPointF(18, 54), QStringLiteral("다운로드 설정"));
    paintCard(p, QRectF(14, 72, 427, 112), Qt::white, kFrame, 5);
    for (int y : {rect(0, 66, 1, 1).top(), rect(0, 84, 1, 1).top(), rect(0, 101, 1, 1).top()})
        p.fillRect(QRect(22, y, 411, 1), QColor(0xe8, 0xee, 0xf3));

    // Upload settings: automatic sending, tray icon, completion actions.
    paintHeading(p, QPointF(18, 224), QStringLiteral("업로드 설정"));
    paintCard(p, QRectF(14, 242, 427, 102), Qt::white, kFrame, 5);
    for (int y : {rect(0, 181, 1, 1).top(), rect(0, 200, 1, 1).top()})
        p.fillRect(QRect(22, y, 411, 1), QColor(0xe8, 0xee, 0xf3));

    p.fillRect(QRect(14, 354, 427, 1), QColor(0xd3, 0xdd, 0xe6));
    return image;
}

void paintAppIcon(QPainter& p, bool download, qreal side) {
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box(side * 0.04, side * 0.04, side * 0.92, side * 0.92);
    QLinearGradient g(box.topLeft(), box.bottomLeft());
    g.setColorAt(0, download ? QColor(0x45, 0x9e, 0xdb) : QColor(0x34, 0xb3, 0x96));
    g.setColorAt(1, download ? QColor(0x1f, 0x5b, 0x87) : QColor(0x17, 0x73, 0x62));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(box, side * 0.22, side * 0.22);
    const qreal s = side;
    const QPointF c = box.center();
    QPen pen(Qt::white, s / 10.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    const qreal dir = download ? 1 : -1;
    p.drawLine(QPointF(c.x(), c.y() - dir * 0.24 * s), QPointF(c.x(), c.y() + dir * 0.12 * s));
    p.drawPolyline(QPolygonF{QPointF(c.x() - 0.16 * s, c.y() - dir * 0.02 * s),
                             QPointF(c.x(), c.y() + dir * 0.14 * s),
                             QPointF(c.x() + 0.16 * s, c.y() - dir * 0.02 * s)});
    p.drawLine(QPointF(c.x() - 0.24 * s, c.y() + 0.28 * s),
               QPointF(c.x() + 0.24 * s, c.y() + 0.28 * s));
}

QImage drawAppIcon(bool download, int side) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    paintAppIcon(p, download, side);
    return image;
}

QImage drawTrayIcon(bool download, int side) {
    return drawAppIcon(download, side);
}
