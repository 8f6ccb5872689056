#pragma once

#include "SharedField.h"

#include <QByteArray>
#include <QString>

// One file of the upload list; row i of the transfer list is record i.
struct UploadRecord {
    enum State { Waiting = 0, Transferring = 1, StopRequested = 2, Done = 3 };

    QByteArray name;        // file name, code page 949 as the server sent it
    QByteArray folder;      // local folder, up to and including its last separator
    QByteArray dataAddress; // dotted IPv4 of the data server
    QByteArray firstToken;
    QByteArray secondToken;
    qint64 size = 0; // announced to the data server
    int fileNumber = 0;

    // Written by the worker while the timer reads them.
    Shared<int> started = 0;
    Shared<int> state = Waiting;
    Shared<qint64> done = 0;

    // Folder and name as a path of this file system ("\" separators become "/").
    QString localPath() const;
    QString displayName() const;
};

// A listing record: first token | second token | data address | name | local path | size.
// A missing "|" leaves that field empty and passes the rest on whole. A record without a name
// or path, or with a negative size, is not usable: such a row could never complete.
struct ListedFile {
    UploadRecord record;
    QByteArray localPath;
    bool usable = false;
};
ListedFile ParseListing(const QByteArray& reply);
