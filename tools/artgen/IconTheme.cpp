#include "tools/artgen/IconTheme.h"

#include "tools/artgen/SkinArt.h"

#include <QPainter>

#ifdef VAULTRY_ART_SVG
#include <QSvgGenerator>
#endif

namespace {

constexpr int kSizes[] = {16, 32, 48, 64, 128, 256};

#ifdef VAULTRY_ART_SVG
bool writeScalable(const QString& path, bool download) {
    constexpr int kSide = 256;
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(QSize(kSide, kSide));
    svg.setViewBox(QRect(0, 0, kSide, kSide));
    svg.setTitle(download ? QStringLiteral("Vaultry Downloader")
                          : QStringLiteral("Vaultry Uploader"));
    QPainter p;
    if (!p.begin(&svg))
        return false;
    paintAppIcon(p, download, kSide);
    return p.end();
}
#endif

} // namespace

bool writeIconTheme(const QDir& res) {
    bool ok = true;
    for (const bool download : {true, false}) {
        const QString name =
            download ? QStringLiteral("vaultry-download") : QStringLiteral("vaultry-upload");
        for (const int side : kSizes) {
            const QString folder = QStringLiteral("icons/hicolor/%1x%1/apps").arg(side);
            ok &= res.mkpath(folder);
            ok &= drawAppIcon(download, side).save(res.filePath(folder + "/" + name + ".png"));
        }
#ifdef VAULTRY_ART_SVG
        ok &= res.mkpath(QStringLiteral("icons/hicolor/scalable/apps"));
        ok &= writeScalable(res.filePath("icons/hicolor/scalable/apps/" + name + ".svg"), download);
#endif
    }
    return ok;
}
