// The file server's answer to one download entry: "name|address|key|subfolder|size".
#include "FileReply.h"
#include "FuzzCheck.h"

#include <QDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString root = QStringLiteral("/save/root");
    const std::optional<FileRecord> record = RecordFromFileReply(FuzzBytes(data, size), "e", root);
    if (!record)
        return 0;
    // Whatever the server says, the file lands under the save root, in the folder the record
    // names, under its own name.
    const QString path = QDir::cleanPath(record->localPath());
    FUZZ_CHECK(path.startsWith(root + QLatin1Char('/')));
    FUZZ_CHECK(!path.split(QLatin1Char('/')).contains(QStringLiteral("..")));
    FUZZ_CHECK(QDir::cleanPath(record->folder) == QDir::cleanPath(QFileInfo(path).path()));
    FUZZ_CHECK(QFileInfo(path).fileName() == record->localName);
    FUZZ_CHECK(!record->localName.startsWith(QLatin1Char('.')));
    for (const QString& part : record->subfolder)
        FUZZ_CHECK(!part.isEmpty() && !part.startsWith(QLatin1Char('.')) &&
                   !part.contains(QLatin1Char('/')));
    FUZZ_CHECK(record->folder.startsWith(root));
    FUZZ_CHECK(!record->name.contains('|'));
    return 0;
}
