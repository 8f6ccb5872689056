#include "ui/KitResources.h"

#include "ui/DensityArt.h"

#include <QFile>
#include <QtGlobal>

static void initArt() {
    Q_INIT_RESOURCE(vaultry_art);
}

void ensureKitResources() {
    static const bool done = (initArt(), true);
    Q_UNUSED(done);
}

QIcon programIcon(const ClientProfile& profile) {
    return kitIcon(profile.resources + QStringLiteral("128.png"));
}

QIcon kitIcon(const QString& path) {
    ensureKitResources();
    QIcon icon;
    icon.addFile(path);
    if (const QString twin = twinPath(path); QFile::exists(twin))
        icon.addFile(twin);
    return icon;
}
