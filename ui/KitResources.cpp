#include "KitResources.h"

#include <QtGlobal>

static void initArt() {
    Q_INIT_RESOURCE(vaultry_art);
}

void ensureKitResources() {
    static const bool done = (initArt(), true);
    Q_UNUSED(done);
}

QIcon programIcon(Client client) {
    ensureKitResources();
    return QIcon(resourcePrefix(client) + QStringLiteral("128.png"));
}
