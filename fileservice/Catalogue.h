#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

struct CatalogueEntry {
    QString relative; // the entry as asked: "a/b/c.txt"
    QString real;     // the file it resolves to, relative to the root (differs for links)
    QByteArray key;   // file key of this service
    int64_t size = 0;
};

struct ListedFile {
    QString relative; // its entry
    QString real;     // what it resolves to, relative to the root
    int64_t size = 0;
};

// The download catalogue: every regular file under --root. Every path served is resolved
// and checked against the canonical root; a symbolic link is followed only while its target
// stays inside the root, and the file is then opened component by component without
// following links, so a link swapped in after the check is refused, not followed out.
// File keys are made from the service's secret and the file's real path, so they cannot be
// guessed and stay valid across restarts.
class Catalogue {
public:
    Catalogue(QString root, QByteArray secret);

    bool enabled() const { return !root_.isEmpty(); }

    // Control port: the entry as it came on the wire. False with why ("no such file", ...).
    bool lookup(const QByteArray& entryWire, CatalogueEntry& out, QString& why);

    // Data port: the file a key names, opened for reading (the caller closes it), or -1.
    int openByKey(const QByteArray& key, CatalogueEntry& out);

    // Every servable file, sorted by entry.
    std::vector<ListedFile> list() const;

    QByteArray keyFor(const QString& real) const;

private:
    // Opens the file that relative names, if it is a regular file inside the root. -1 with why.
    int open(const QString& relative, CatalogueEntry& out, QString& why) const;
    void remember(const QByteArray& key, const QString& real);

    QString root_;
    QByteArray secret_;
    mutable std::mutex keysMutex_;
    std::map<QByteArray, QString> keys_; // key -> real path, learned from lookups and scans
};

// True for a plain relative path: no empty, "." or ".." components, no backslash, no NUL.
bool IsPlainRelativePath(const QString& relative);
