#include "ui/SystemImageList.h"

#include <QMimeDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

QPixmap drawPage(int side, const QColor& band) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = side / 16.0;
    const qreal fold = 4 * s;
    QPainterPath page;
    page.moveTo(2.5 * s, 0.5 * s);
    page.lineTo(13.5 * s - fold, 0.5 * s);
    page.lineTo(13.5 * s, 0.5 * s + fold);
    page.lineTo(13.5 * s, 15.5 * s);
    page.lineTo(2.5 * s, 15.5 * s);
    page.closeSubpath();
    p.setPen(QPen(QColor(0x7a, 0x8a, 0x99), qMax(1.0, s)));
    p.setBrush(QColor(0xfb, 0xfc, 0xfd));
    p.drawPath(page);
    QPainterPath corner;
    corner.moveTo(13.5 * s - fold, 0.5 * s);
    corner.lineTo(13.5 * s - fold, 0.5 * s + fold);
    corner.lineTo(13.5 * s, 0.5 * s + fold);
    p.setBrush(QColor(0xd5, 0xdd, 0xe5));
    p.drawPath(corner);
    if (band.isValid()) {
        p.setPen(Qt::NoPen);
        p.setBrush(band);
        p.drawRect(QRectF(3.5 * s, 9 * s, 9 * s, 4.5 * s));
    } else {
        p.setPen(QPen(QColor(0xb4, 0xc0, 0xcc), qMax(1.0, s)));
        for (int line = 0; line < 3; ++line)
            p.drawLine(QPointF(4.5 * s, (7.5 + 2.5 * line) * s),
                       QPointF(11.5 * s, (7.5 + 2.5 * line) * s));
    }
    return pixmap;
}

// A hint of the type's family for the drawn icons; empty for everything else.
QColor familyBand(const QMimeType& type) {
    const QString name = type.name();
    if (name.startsWith(QLatin1String("video/")))
        return QColor(0xd9, 0x53, 0x4f);
    if (name.startsWith(QLatin1String("audio/")))
        return QColor(0x8e, 0x5c, 0xc9);
    if (name.startsWith(QLatin1String("image/")))
        return QColor(0x3c, 0xa5, 0x5c);
    if (type.inherits(QStringLiteral("application/x-compressed-tar")) ||
        name.contains(QLatin1String("zip")) || name.contains(QLatin1String("rar")) ||
        name.contains(QLatin1String("7z")) || name.contains(QLatin1String("archive")))
        return QColor(0xe0, 0x9a, 0x2b);
    if (type.genericIconName() == QLatin1String("x-office-document") ||
        name == QLatin1String("application/pdf"))
        return QColor(0x2d, 0x7f, 0xb8);
    return {};
}

} // namespace

SystemImageList& SystemImageList::instance() {
    static SystemImageList list;
    return list;
}

SystemImageList::SystemImageList() {
    indexOf(QStringLiteral("generic"),
            QIcon::fromTheme(QStringLiteral("text-x-generic"), drawnFileIcon()));
}

QIcon SystemImageList::drawnFileIcon(const QColor& band) {
    QIcon icon;
    for (int side : {16, 24, 32, 48})
        icon.addPixmap(drawPage(side, band));
    return icon;
}

int SystemImageList::indexOf(const QString& key, const QIcon& icon) {
    const qsizetype at = keys_.indexOf(key);
    if (at >= 0)
        return int(at);
    keys_.append(key);
    icons_.append(icon);
    return int(icons_.size() - 1);
}

int SystemImageList::indexForFileName(const QString& fileName) {
    static const QMimeDatabase database;
    const QMimeType type = database.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault())
        return 0;
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(type.genericIconName());
    if (icon.isNull()) {
        const QColor band = familyBand(type);
        if (!band.isValid())
            return 0;
        icon = drawnFileIcon(band);
    }
    return indexOf(type.name(), icon);
}

QIcon SystemImageList::icon(int index) const {
    if (index < 0 || index >= icons_.size())
        return icons_.value(0);
    return icons_[index];
}
