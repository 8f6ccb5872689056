#pragma once

#include "core/UniqueFd.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

// A file's place under the save root, reached without following links: the root is the
// member's own choice and is taken as it is, but every folder below it and the file itself
// are opened relative to their parent with no-follow, so a link already in the save folder
// can never lead a write outside it or into another file.
class SaveFolder {
public:
    enum class Status {
        Ready,         // the folder chain is open
        CannotCreate,  // the root or a folder cannot be made (no rights, read-only, full)
        NotAcceptable, // a link, or something that is not a folder, is on the way
    };

    SaveFolder(const QString& root, const QStringList& subfolder);

    Status status() const { return status_; }

    // Size of the file `name` in the folder: 0 when there is none, -1 when what is there is
    // not a plain file of its own (a link, a folder, a device, a file with other hard links).
    qint64 localSize(const QString& name) const;

    // Opens `name` for writing: truncated to nothing, or as it is for appending at its end.
    // -1 with errno set on failure (ELOOP for a link in its place, or a file with other hard
    // links: writing it would write another file too). What the open found is checked before
    // anything is cut or written.
    int openForWriting(const QString& name, bool truncate) const;

    // Makes `name` as a new, empty file; -1 with errno set (EEXIST whatever is in its place,
    // a dangling link included).
    int createNew(const QString& name) const;

private:
    UniqueFd dir_;
    Status status_ = Status::CannotCreate;
};
