#include "SkinPath.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString skinPath(const QString& relative) {
    QStringList roots{QDir::currentPath()};
    if (QCoreApplication::instance())
        roots << QCoreApplication::applicationDirPath();
#ifdef VAULTRY_DATA_DIR
    roots << QStringLiteral(VAULTRY_DATA_DIR);
#endif
    for (const QString& data :
         QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        roots << QDir(data).filePath(QStringLiteral("vaultry"));
    for (const QString& root : roots) {
        const QString candidate = QDir(root).filePath(relative);
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return {};
}
