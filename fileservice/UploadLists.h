#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <deque>
#include <map>
#include <mutex>
#include <vector>

struct UploadFile {
    int number = 0; // file number of this service (fingerprint reply, completion notice)
    QString listKey;
    QByteArray listKeyWire; // CP949, as the control port compares it
    QString member;         // the member a list was registered for (empty for --upload-list)
    QString localPath;      // as given
    QString name;           // last component of localPath
    QByteArray token1;      // first token on the upload data connection
    QByteArray token2;      // second token, made from the secret
};

// The upload queues: the lists of --upload-list and those registered on the web port while
// the service runs. Files are numbered from 1001 in the order they are added. Entries never
// move once added (a deque), so the pointers handed out stay valid; adding and reading are
// serialised by one mutex.
class UploadLists {
public:
    // Per member: one member's lists never take another's room.
    static constexpr int kMaxRegisteredFilesPerMember = 20000;

    explicit UploadLists(QByteArray secret);

    void add(const QString& key, const QStringList& paths);
    // A new list under a fresh random key; empty when the member's registered files would
    // exceed kMaxRegisteredFilesPerMember.
    QString registerList(const QString& member, const QStringList& paths);

    std::vector<const UploadFile*> list(const QByteArray& keyWire) const;
    const UploadFile* byNumber(int number) const;
    const UploadFile* byToken(const QByteArray& token1) const;

private:
    void append(const QString& key, const QString& member, const QStringList& paths);

    QByteArray secret_;
    mutable std::mutex mutex_;
    std::deque<UploadFile> files_;
    int lastNumber_ = 1000;
    std::map<QString, int> registeredFiles_; // per member
};
