#pragma once

#include "TransferRecord.h"

#include <QString>
#include <QStringList>

// One file of the download list; row i of the transfer list is record i.
struct FileRecord : TransferRecord {
    QByteArray entry; // the request entry that produced it, to skip repeats
    QByteArray fileKey;
    QByteArray extension;  // after the last "." of the name, the whole name without one
    QString root;          // save root in force when the file was added
    QStringList subfolder; // relative folder, checked components under the root
    QString folder;        // root joined with the subfolder
    QString localName;     // the name as saved (checked; leading dots made visible)

    QString displayName() const;
    QString localPath() const;
    // Moves the file under another save root, keeping its subfolder.
    void setRoot(const QString& newRoot);
};
