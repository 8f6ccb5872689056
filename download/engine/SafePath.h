#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// Names and folders from the server are written under the user's save root only. A name is
// one path component; a folder is components separated by "\" (or "/"), each followed by a
// separator. Anything that could leave the root is refused. A component that begins with "."
// would make or touch a hidden file or folder (".bashrc", ".ssh"): its leading dots become
// "_", as web browsers do with downloads. A name longer than the file system takes is
// shortened to fit, keeping its extension.

// What a name or folder may take on disk, in bytes of its encoded form (NAME_MAX).
inline constexpr int kNameMaxBytes = 255;

// The name to create in a folder, when it is safe. `changed` says whether it differs from
// `name`.
std::optional<QString> SafeFileName(const QString& name, bool* changed = nullptr);

// The folder's components when each is safe; empty list for "". At most 100 components.
std::optional<QStringList> SafeSubfolder(const QString& folder, bool* changed = nullptr);

// `name` as the `number`-th alternative to itself, as browsers number a download whose name
// is taken: " (1)", " (2)" ... before the extension (none for 0). The part before the
// extension is cut, at the end of a whole character, so that the result takes at most
// kNameMaxBytes on disk.
QString NumberedName(const QString& name, int number);
