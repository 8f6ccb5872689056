#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

// The files the member chose for an upload list, on this machine. The page control records
// the choice where the member makes it; the upload client reads, fingerprints and sends only
// those files, whatever a server names. Kept private to the user (a 0700 folder of 0600
// files under the settings folder), one file per list key.
namespace UploadChoices {

// Records `paths` (each must be a regular file; stored as canonical paths) for `listKey`,
// adding to what was chosen before. False with `error` set when a path is not a regular file
// or the record cannot be written; nothing is recorded then.
bool record(const QByteArray& listKey, const QStringList& paths, QString* error = nullptr);

// The canonical paths chosen for `listKey` (empty when none).
QSet<QString> chosen(const QByteArray& listKey);

// A file of the choice opened for reading: the path's canonical form must be among `chosen`,
// and it must be a regular file (a fifo, a device or a folder is never opened, so nothing can
// block). The descriptor, or -1 when it is not chosen or cannot be opened.
int openChosen(const QSet<QString>& chosen, const QString& path);

// Where the choices are kept (for tests).
QString folder();

} // namespace UploadChoices
