#pragma once

#include "upload/engine/FileFingerprint.h"

#include <QFile>

// The fingerprint of a file opened here, or of a missing one.
inline QByteArray fingerprintOf(const QString& path, qint64 listedSize) {
    QFile file(path);
    const bool opened = file.open(QIODevice::ReadOnly);
    return FileFingerprint(opened ? file.handle() : -1, listedSize);
}
