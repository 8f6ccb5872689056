#include "ui/ListEndPicture.h"

#include "ui/CSkinnedMainWindow.h"

#include <QPixmap>

void SavePictureAtListEnd(CSkinnedMainWindow& window) {
    const QString path = qEnvironmentVariable("VAULTRY_SCREENSHOT");
    if (path.isEmpty())
        return;
    QObject::connect(&window, &CSkinnedMainWindow::listEnded, &window,
                     [&window, path] { window.grab().save(path); });
}
