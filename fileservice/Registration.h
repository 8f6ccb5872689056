#pragma once

#include "fileservice/Http.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

class Service;
struct Connection;

// POST /api/upload-lists: registers an upload list for a member while the service runs.
//
//   {"member": "kim", "files": [{"path": "/home/kim/a.txt", "size": 5000}, ...]}
//   -> 201 {"key": "L..."}
//
// Only requests that carry the service's registration token ("Authorization: Bearer <hex>",
// read by the page control from the service's state folder), only loopback peers, only
// application/json, only this service's own host and origin (a page elsewhere cannot post
// here behind the member's back), at most kMaxBody bytes.

struct RegistrationFile {
    QString path;
    int64_t size = 0;
};

struct Registration {
    QString member;
    std::vector<RegistrationFile> files;
};

struct WebAnswer {
    int status = 200;
    QByteArray type;
    QByteArray body;
    QString note; // for the log
};

namespace RegistrationLimits {
inline constexpr int kMaxBody = 64 * 1024;
inline constexpr int kMaxFiles = 200; // a client's list holds 200 rows
inline constexpr int kMaxMemberBytes = 64;
inline constexpr int kMaxPathBytes = 4096;
} // namespace RegistrationLimits

// The body's shape: false with a short reason (for a 400) when it is not exactly that.
bool ParseRegistration(const QByteArray& body, Registration& out, QString& reason);

// Checks the request as a whole and, when it is acceptable, registers the list.
WebAnswer RegisterUploadList(Service& service, const Connection& c, const HttpRequest& request);
