#pragma once

#include "core/TransferRecord.h"

#include <QString>

// One file of the upload list; row i of the transfer list is record i.
struct UploadRecord : TransferRecord {
    QByteArray folder;     // local folder, up to and including its last separator
    QByteArray listedPath; // the listing's local path, as sent
    QByteArray firstToken;
    QByteArray secondToken;
    QByteArray listKey; // the list the file came with: the member chose its files for it
    int fileNumber = 0;

    // Folder and name as a path of this file system ("\" separators become "/"): the file
    // that is fingerprinted and sent.
    QString localPath() const;
    QString displayName() const;
    // The listing's own path on this file system, and its last component: what the row shows.
    QString shownPath() const;
    QString shownName() const;
};

// A listing record: first token | second token | data address | name | local path | size.
// A missing "|" leaves that field empty and passes the rest on whole. A record without a name
// or path, or with a negative size, is not usable: such a row could never complete.
struct ListedFile {
    UploadRecord record;
    bool usable = false;
};
ListedFile ParseListing(const QByteArray& reply);
