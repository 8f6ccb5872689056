#pragma once

#include "SharedField.h"

#include <QByteArray>
#include <QString>

// One file of the download list; row i of the transfer list is record i.
struct FileRecord {
    enum State { Waiting = 0, Transferring = 1, StopRequested = 2, Done = 3, Failed = 4 };

    QByteArray entry;       // the request entry that produced it, to skip repeats
    QByteArray name;        // file name as the server sent it (code page 949)
    QByteArray dataAddress; // dotted IPv4 of the data server
    QByteArray fileKey;
    QByteArray extension; // after the last "." of the name, the whole name without one
    QString root;         // save root in force when the file was added
    QString subfolder;    // relative folder, "/"-separated, checked to stay under the root
    QString folder;       // root joined with the subfolder
    qint64 size = 0;

    // Written by the worker while the timer reads them.
    Shared<int> started = 0;
    Shared<int> state = Waiting;
    Shared<qint64> done = 0;

    QString displayName() const;
    QString localPath() const;
};
