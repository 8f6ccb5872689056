#include "KitResources.h"

#include <QtGlobal>

static void initArt() {
    Q_INIT_RESOURCE(vaultry_art);
}

void ensureKitResources() {
    static const bool done = (initArt(), true);
    Q_UNUSED(done);
}

QIcon programIcon(const ClientProfile& profile) {
    ensureKitResources();
    return QIcon(profile.resources + QStringLiteral("128.png"));
}
