// The file server's answer to one download entry: "name|address|key|subfolder|size".
#include "core/TextCodec.h"
#include "download/engine/FileReply.h"
#include "download/engine/SafePath.h"
#include "fuzz/FuzzCheck.h"

#include <QDir>
#include <QFile>

namespace {

// A name the file system takes in one folder: no separator, not hidden, within NAME_MAX.
bool fitsOneFolder(const QString& name) {
    return !name.isEmpty() && !name.startsWith(QLatin1Char('.')) &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0)) &&
           QFile::encodeName(name).size() <= kNameMaxBytes;
}

} // namespace

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
    FUZZ_CHECK(fitsOneFolder(record->localName));
    FUZZ_CHECK(record->localName == record->safeName && !record->claimed);
    // A name the client did not change is saved exactly as the server gave it.
    if (!record->renamed)
        FUZZ_CHECK(record->localName == FromCp949(record->name));
    // The names a renamed row may take instead: each fits, and no two are the same.
    FUZZ_CHECK(NumberedName(record->safeName, 0) == record->safeName);
    const QString one = NumberedName(record->safeName, 1);
    const QString two = NumberedName(record->safeName, 2);
    const QString ten = NumberedName(record->safeName, 10);
    FUZZ_CHECK(fitsOneFolder(one) && fitsOneFolder(two) && fitsOneFolder(ten));
    FUZZ_CHECK(one != two && two != ten && one != ten);
    for (const QString& part : record->subfolder)
        FUZZ_CHECK(!part.isEmpty() && !part.startsWith(QLatin1Char('.')) &&
                   !part.contains(QLatin1Char('/')));
    FUZZ_CHECK(record->folder.startsWith(root));
    FUZZ_CHECK(!record->name.contains('|'));
    return 0;
}
