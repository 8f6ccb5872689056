#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

// The little HTTP/1.1 the web port speaks: one request per connection, its head and body read
// against one deadline (a peer dripping bytes gains nothing), bounded in size.

struct HttpRequest {
    QByteArray method;
    QByteArray path;                              // the target without its query
    QByteArray line;                              // the request line, for the log
    QList<QPair<QByteArray, QByteArray>> headers; // names in lower case, values trimmed
    QByteArray body;

    QByteArray header(const QByteArray& lowerName) const;
    int headerCount(const QByteArray& lowerName) const;
};

enum class HttpRead {
    Complete,
    Nothing,      // the peer closed or timed out before sending a byte
    Malformed,    // 400
    HeadTooLarge, // 431
    BodyTooLarge, // 413 (the body is not read)
    NeedsLength,  // 411: a chunked body (only bodies with a Content-Length are taken)
    TimedOut,     // the deadline passed mid-request
    Closed,       // the peer closed mid-request
};

inline constexpr int kMaxHttpHead = 16384;

// Reads one request within timeoutMs in total. Bodies are taken up to maxBody bytes.
HttpRead ReadHttpRequest(int fd, int timeoutMs, int maxBody, HttpRequest& out);

// Sends a whole response (Content-Length, no caching, Connection: close) and ends the
// connection gracefully. A HEAD answer has the head only. False when the peer did not take it
// (every send waits at most the socket's send time-out for room).
bool SendHttpResponse(int fd, int status, const QByteArray& type, const QByteArray& body,
                      bool headOnly, const QByteArray& extraHeaders = QByteArray());

const char* HttpReason(int status);
