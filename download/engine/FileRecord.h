#pragma once

#include "core/TransferRecord.h"

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
    QString safeName;      // the server's name made safe (leading dots visible, cut to fit)
    QString localName;     // the name as saved: safeName, or the one a renamed row made
    // The client changed the server's name or folder to be safe. Such a row never lands on a
    // file that is not its own: its first attempt makes a new file under a name that no other
    // row uses (NumberedName), and keeps to that name (claimed) from then on.
    bool renamed = false;
    bool claimed = false;

    QString displayName() const;
    QString localPath() const;
    // Moves the file under another save root, keeping its subfolder. A renamed row chooses
    // its name afresh there.
    void setRoot(const QString& newRoot);
};
