#include "download/engine/FileRecord.h"

#include "core/TextCodec.h"

namespace {

// Joined as text: QDir would take a component beginning with ":" for a resource path and drop
// everything before it.
QString joined(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

} // namespace

QString FileRecord::displayName() const {
    return FromCp949(name);
}

QString FileRecord::localPath() const {
    return joined(folder, localName);
}

void FileRecord::setRoot(const QString& newRoot) {
    if (renamed) {
        localName = safeName;
        claimed = false;
    }
    root = newRoot;
    folder = subfolder.isEmpty() ? newRoot : joined(newRoot, subfolder.join(QLatin1Char('/')));
}
