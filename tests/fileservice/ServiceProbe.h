#pragma once

// What the protocol tests of vaultry-fileservice share: test files, one HTTP request on a
// fresh web connection, and the token a registration must carry.

#include "tests/fileservice/RawSocket.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace ServiceProbe {

inline constexpr int kControl = 7510;
inline constexpr int kDownload = 7301;
inline constexpr int kUpload = 7312;
inline constexpr int kWeb = 7580;

inline QByteArray pattern(qint64 size, int seed) {
    QByteArray b(size, '\0');
    for (qint64 i = 0; i < size; ++i)
        b[i] = char((i * 31 + seed * 7 + (i >> 8)) & 0xff);
    return b;
}

inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct HttpReply {
    int status = 0;
    QByteArray head;
    QByteArray body;
};

// One HTTP request on a fresh web connection; headers are whole lines with "\r\n".
inline HttpReply http(const QString& addr, const QByteArray& method, const QByteArray& path,
                      const QByteArray& headers = QByteArray(),
                      const QByteArray& body = QByteArray(), bool withLength = true) {
    HttpReply reply;
    RawSocket w;
    if (!w.connect(addr, kWeb))
        return reply;
    QByteArray request =
        method + ' ' + path + " HTTP/1.1\r\nHost: " + addr.toLatin1() + ":7580\r\n" + headers;
    if (withLength && (!body.isEmpty() || method == "POST"))
        request += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    w.send(request + "\r\n" + body);
    const QByteArray all = w.receiveAll(3000);
    const int split = all.indexOf("\r\n\r\n");
    reply.head = all.left(split);
    reply.body = split >= 0 ? all.mid(split + 4) : QByteArray();
    if (all.startsWith("HTTP/1.1 "))
        reply.status = all.mid(9, 3).toInt();
    return reply;
}

// The header line that proves a registration comes from the account that runs the service
// in `stateFolder`.
inline QByteArray tokenHeader(const QString& stateFolder) {
    return "Authorization: Bearer " + readFile(stateFolder + "/registration-token").trimmed() +
           "\r\n";
}

} // namespace ServiceProbe
