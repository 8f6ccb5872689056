#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Registers the member's chosen files with the service as an upload list:
// POST <homepage>/api/upload-lists {"member": ..., "files": [{"path": ..., "size": N}]},
// answered 201 {"key": ...}. The service checks each file itself; the answer is not trusted.
// The request carries the service's registration token ("Authorization: Bearer ..."), read
// from the service's state folder: that proves the list comes from the member's own account.
// Without a token the request still goes out, and the service's refusal is what is shown.
struct RegistrationOutcome {
    enum class Status {
        Registered,  // `key` is the list key
        Unreachable, // no HTTP answer (`text` says why)
        Refused,     // an HTTP answer other than 201 (`httpStatus`, `text` its first line)
        Unreadable,  // 201 without a usable key
    };
    Status status = Status::Unreachable;
    QByteArray key;
    int httpStatus = 0;
    QString text;
    QString url; // where the list was sent
};

// The service's state folder: the service's own default unless --state named another.
void SetServiceStateFolder(const QString& folder);
QString ServiceStateFolder();

// Waits for the answer (at most kRegistrationTimeoutMs), serving events meanwhile.
inline constexpr int kRegistrationTimeoutMs = 20000;
RegistrationOutcome RegisterUploadList(const QString& homepage, const QString& member,
                                       const QStringList& paths);
