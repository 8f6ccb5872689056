#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Registers the member's chosen files with the service as an upload list:
// POST <homepage>/api/upload-lists {"member": ..., "files": [{"path": ..., "size": N}]},
// answered 201 {"key": ...}. The service checks each file itself; the answer is not trusted.
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

// Waits for the answer (at most kRegistrationTimeoutMs), serving events meanwhile.
inline constexpr int kRegistrationTimeoutMs = 20000;
RegistrationOutcome RegisterUploadList(const QString& homepage, const QString& member,
                                       const QStringList& paths);
