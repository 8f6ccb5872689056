#include "upload/engine/UploadRecord.h"

#include "core/StringSplitter.h"
#include "core/TextCodec.h"
#include "core/WireNumbers.h"

namespace {

// A path the page control registered on this machine begins with "/", and a backslash is an
// ordinary character of its names. Any other path was written the Windows way, with
// backslashes between its folders.
bool isLocalStyle(const QByteArray& wirePath) {
    return wirePath.startsWith('/');
}

QString onThisFileSystem(const QByteArray& wirePath) {
    QString path = FromCp949(wirePath);
    if (!isLocalStyle(wirePath))
        path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return path;
}

} // namespace

QString UploadRecord::localPath() const {
    return onThisFileSystem(folder + name);
}

QString UploadRecord::displayName() const {
    return FromCp949(name);
}

QString UploadRecord::shownPath() const {
    return onThisFileSystem(listedPath);
}

QString UploadRecord::shownName() const {
    const QString path = shownPath();
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

ListedFile ParseListing(const QByteArray& reply) {
    const HeadAndRest first = CutAtFirst(reply, '|');
    const HeadAndRest second = CutAtFirst(first.rest, '|');
    const HeadAndRest address = CutAtFirst(second.rest, '|');
    const HeadAndRest name = CutAtFirst(address.rest, '|');
    const HeadAndRest path = CutAtFirst(name.rest, '|');

    ListedFile listed;
    UploadRecord& r = listed.record;
    r.firstToken = first.head;
    r.secondToken = second.head;
    r.dataAddress = address.head;
    r.name = name.head;
    r.listedPath = path.head;
    const qsizetype cut = isLocalStyle(path.head)
                              ? path.head.lastIndexOf('/')
                              : qMax(path.head.lastIndexOf('\\'), path.head.lastIndexOf('/'));
    r.folder = cut < 0 ? QByteArray() : path.head.left(cut + 1);
    r.size = ParseWireInt64(path.rest);
    listed.usable = !r.name.isEmpty() && !r.listedPath.isEmpty() && r.size >= 0;
    return listed;
}
