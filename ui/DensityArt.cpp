#include "ui/DensityArt.h"

#include "ui/SkinPath.h"

#include <QFileInfo>
#include <QPainter>
#include <cmath>

qreal deviceRatio(const QPainter& painter) {
    const QTransform t = painter.deviceTransform();
    const qreal ratio = std::hypot(t.m11(), t.m12());
    return ratio > 0 ? ratio : 1.0;
}

QString twinPath(const QString& path) {
    const QFileInfo info(path);
    const QString name = info.completeBaseName() + QStringLiteral("@2x.png");
    return info.path() + QLatin1Char('/') + name;
}

QImage loadTwin(const QString& path, QSize originalSize) {
    if (path.isEmpty() || originalSize.isEmpty())
        return {};
    QImage twin(twinPath(path));
    if (twin.isNull() || twin.size() != originalSize * 2)
        return {};
    twin.setDevicePixelRatio(1); // sizes below are counted in the twin's own pixels
    return twin;
}

QImage twinAtRatio(const QImage& twin, QSize size, qreal ratio) {
    QImage image = twin;
    const QSize device(qMax(1, qRound(size.width() * ratio)),
                       qMax(1, qRound(size.height() * ratio)));
    if (device != twin.size())
        image = twin.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    image.setDevicePixelRatio(ratio);
    return image;
}

bool SkinPicture::load(const QString& relative) {
    picture_ = QPixmap();
    twin_ = QImage();
    scaled_ = QPixmap();
    scaledRatio_ = 0;
    const QString path = skinPath(relative);
    if (path.isEmpty() || !picture_.load(path))
        return false;
    twin_ = loadTwin(path, picture_.size());
    return true;
}

void SkinPicture::draw(QPainter& painter, const QPoint& at) const {
    if (picture_.isNull())
        return;
    const qreal ratio = deviceRatio(painter);
    if (ratio <= 1.0 || twin_.isNull()) {
        painter.drawPixmap(at, picture_);
        return;
    }
    if (scaledRatio_ != ratio) {
        scaled_ = QPixmap::fromImage(twinAtRatio(twin_, picture_.size(), ratio));
        scaledRatio_ = ratio;
    }
    painter.drawPixmap(QRect(at, picture_.size()), scaled_);
}
