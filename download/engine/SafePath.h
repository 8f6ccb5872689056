#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// Names and folders from the server are written under the user's save root only. A name is
// one path component; a folder is components separated by "\" (or "/"), each followed by a
// separator. Anything that could leave the root is refused. A component that begins with "."
// would make or touch a hidden file or folder (".bashrc", ".ssh"): its leading dots become
// "_", as web browsers do with downloads.

// The name to create in a folder, when it is safe.
std::optional<QString> SafeFileName(const QString& name);

// The folder's components when each is safe; empty list for "". At most 100 components.
std::optional<QStringList> SafeSubfolder(const QString& folder);
