#include "download/engine/FileReply.h"

#include "core/StringSplitter.h"
#include "core/TextCodec.h"
#include "core/WireNumbers.h"
#include "download/engine/SafePath.h"

std::optional<FileRecord> RecordFromFileReply(const QByteArray& reply, const QByteArray& entry,
                                              const QString& root) {
    // name | data address | file key | subfolder | size; a missing "|" leaves a field empty.
    const HeadAndRest name = CutAtFirst(reply, '|');
    const HeadAndRest address = CutAtFirst(name.rest, '|');
    const HeadAndRest key = CutAtFirst(address.rest, '|');
    const HeadAndRest subfolder = CutAtFirst(key.rest, '|');
    bool nameChanged = false;
    bool folderChanged = false;
    const auto localName = SafeFileName(FromCp949(name.head), &nameChanged);
    const auto parts = SafeSubfolder(FromCp949(subfolder.head), &folderChanged);
    const qint64 size = ParseWireInt64(subfolder.rest);
    if (!localName || !parts || size < 0)
        return std::nullopt;

    FileRecord r;
    r.entry = entry;
    r.name = name.head;
    r.dataAddress = address.head;
    r.fileKey = key.head;
    r.size = size;
    const qsizetype dot = r.name.lastIndexOf('.');
    r.extension = dot < 0 ? r.name : r.name.mid(dot + 1);
    r.safeName = *localName;
    r.localName = *localName;
    r.renamed = nameChanged || folderChanged;
    r.subfolder = *parts;
    r.setRoot(root);
    return r;
}
