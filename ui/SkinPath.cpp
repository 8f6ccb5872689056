#include "ui/SkinPath.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QStringList skinSearchRoots() {
    QStringList roots{QDir::currentPath()};
    if (QCoreApplication::instance()) {
        const QDir bin(QCoreApplication::applicationDirPath());
        roots << bin.path() << QDir::cleanPath(bin.filePath(QStringLiteral("../share/vaultry")));
    }
    return roots;
}

QString skinPath(const QString& relative) {
    for (const QString& root : skinSearchRoots()) {
        const QString candidate = QDir(root).filePath(relative);
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return {};
}
