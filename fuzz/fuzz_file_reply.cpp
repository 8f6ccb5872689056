// The file server's answer to one download entry: "name|address|key|subfolder|size".
#include "FileReply.h"
#include "FuzzCheck.h"

#include <QDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString root = QStringLiteral("/save/root");
    const std::optional<FileRecord> record = RecordFromFileReply(FuzzBytes(data, size), "e", root);
    if (!record)
        return 0;
    // Known fault, reported to the download client's owners: QDir takes a component that
    // begins with ":" for a Qt resource path, so such a name or folder leaves the save root
    // (":x" instead of "/save/root/:x"). Skipped here until the save path refuses or escapes
    // it, so that the target goes on looking for other faults.
    if (record->name.startsWith(':') || record->subfolder.startsWith(QLatin1Char(':')))
        return 0;
    // Whatever the server says, the file lands under the save root, in the folder the record
    // names, under its own name.
    const QString path = QDir::cleanPath(record->localPath());
    FUZZ_CHECK(path.startsWith(root + QLatin1Char('/')));
    FUZZ_CHECK(!path.split(QLatin1Char('/')).contains(QStringLiteral("..")));
    FUZZ_CHECK(QDir::cleanPath(record->folder) == QDir::cleanPath(QFileInfo(path).path()));
    FUZZ_CHECK(QFileInfo(path).fileName() == record->displayName());
    FUZZ_CHECK(record->folder.startsWith(root));
    FUZZ_CHECK(!record->name.contains('|'));
    return 0;
}
