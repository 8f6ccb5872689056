// One upload listing record: "token|token|address|name|local path|size".
#include "fuzz/FuzzCheck.h"
#include "upload/engine/UploadRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ListedFile listed = ParseListing(FuzzBytes(data, size));
    const UploadRecord& r = listed.record;
    for (const QByteArray* field : {&r.firstToken, &r.secondToken, &r.dataAddress, &r.name})
        FUZZ_CHECK(!field->contains('|'));
    // The folder is the local path up to and including its last separator: a slash on this
    // machine's own paths (a backslash is part of their names), either one on others.
    FUZZ_CHECK(r.listedPath.startsWith(r.folder));
    const QByteArray rest = r.listedPath.mid(r.folder.size());
    if (r.listedPath.startsWith('/')) {
        FUZZ_CHECK(r.folder.endsWith('/'));
        FUZZ_CHECK(!rest.contains('/'));
    } else {
        FUZZ_CHECK(r.folder.isEmpty() || r.folder.endsWith('/') || r.folder.endsWith('\\'));
        FUZZ_CHECK(!rest.contains('/') && !rest.contains('\\'));
    }
    // A usable record could complete: a name, a path and a size that is not negative.
    if (listed.usable)
        FUZZ_CHECK(!r.name.isEmpty() && !r.listedPath.isEmpty() && r.size >= 0);
    r.localPath();
    r.displayName();
    return 0;
}
