#include "fileservice/Http.h"

#include "fileservice/Net.h"

#include <chrono>

#include <sys/socket.h>

namespace {

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return int(std::max<int64_t>(left.count(), 0));
}

// Appends what arrives before the deadline; 1 got bytes, 0 closed, -1 timed out or failed.
int receiveSome(int fd, Clock::time_point deadline, QByteArray& into, int max) {
    const int left = msLeft(deadline);
    if (left <= 0 || WaitReadable(fd, left) != 1)
        return -1;
    char buf[4096];
    const ssize_t r = ::recv(fd, buf, std::min<size_t>(sizeof buf, size_t(max)), 0);
    if (r < 0)
        return -1;
    into.append(buf, int(r));
    return r > 0 ? 1 : 0;
}

bool parseHead(const QByteArray& head, HttpRequest& out) {
    QList<QByteArray> lines = head.split('\n');
    for (QByteArray& l : lines)
        if (l.endsWith('\r'))
            l.chop(1);
    out.line = lines.value(0);
    const QList<QByteArray> parts = out.line.split(' ');
    if (parts.size() != 3 || !parts[2].startsWith("HTTP/1.") || parts[0].isEmpty() ||
        !parts[1].startsWith('/'))
        return false;
    out.method = parts[0];
    out.path = parts[1];
    const int q = out.path.indexOf('?');
    if (q >= 0)
        out.path.truncate(q);
    for (int i = 1; i < lines.size(); ++i) {
        if (lines[i].isEmpty())
            continue;
        const int colon = lines[i].indexOf(':');
        if (colon <= 0)
            return false;
        out.headers.append(
            {lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed()});
    }
    return true;
}

} // namespace

QByteArray HttpRequest::header(const QByteArray& lowerName) const {
    for (const auto& h : headers)
        if (h.first == lowerName)
            return h.second;
    return QByteArray();
}

int HttpRequest::headerCount(const QByteArray& lowerName) const {
    int n = 0;
    for (const auto& h : headers)
        n += h.first == lowerName;
    return n;
}

HttpRead ReadHttpRequest(int fd, int timeoutMs, int maxBody, HttpRequest& out) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    QByteArray data;
    int headEnd = -1;
    int separator = 0;
    while (headEnd < 0) {
        if (data.size() >= kMaxHttpHead)
            return HttpRead::HeadTooLarge;
        const int r = receiveSome(fd, deadline, data, kMaxHttpHead + 1 - int(data.size()));
        if (r <= 0) {
            if (data.isEmpty())
                return HttpRead::Nothing;
            return r == 0 ? HttpRead::Closed : HttpRead::TimedOut;
        }
        headEnd = int(data.indexOf("\r\n\r\n"));
        separator = 4;
        const int bare = int(data.indexOf("\n\n"));
        if (bare >= 0 && (headEnd < 0 || bare < headEnd)) {
            headEnd = bare;
            separator = 2;
        }
        if (headEnd > kMaxHttpHead)
            return HttpRead::HeadTooLarge;
    }
    if (!parseHead(data.left(headEnd), out))
        return HttpRead::Malformed;
    out.body = data.mid(headEnd + separator);

    if (out.headerCount("transfer-encoding") > 0)
        return HttpRead::NeedsLength;
    const int lengths = out.headerCount("content-length");
    if (lengths == 0) { // no length, no body
        out.body.clear();
        return HttpRead::Complete;
    }
    const QByteArray text = out.header("content-length");
    bool ok = lengths == 1 && !text.isEmpty() && text.size() <= 18;
    for (char ch : text)
        ok &= ch >= '0' && ch <= '9';
    if (!ok)
        return HttpRead::Malformed;
    const qint64 length = text.toLongLong();
    if (length > maxBody)
        return HttpRead::BodyTooLarge;
    while (out.body.size() < length) {
        const int r = receiveSome(fd, deadline, out.body, int(length - out.body.size()));
        if (r <= 0)
            return r == 0 ? HttpRead::Closed : HttpRead::TimedOut;
    }
    out.body.truncate(length); // a pipelined request behind it is not served
    return HttpRead::Complete;
}

const char* HttpReason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 411:
        return "Length Required";
    case 413:
        return "Content Too Large";
    case 415:
        return "Unsupported Media Type";
    case 422:
        return "Unprocessable Content";
    case 431:
        return "Request Header Fields Too Large";
    case 503:
        return "Service Unavailable";
    default:
        return "Error";
    }
}

bool SendHttpResponse(int fd, int status, const QByteArray& type, const QByteArray& body,
                      bool headOnly, const QByteArray& extraHeaders) {
    QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + ' ' + HttpReason(status) + "\r\n";
    out += "Content-Type: " + type + "\r\n";
    out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    out += "Cache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n";
    out += extraHeaders;
    out += "Connection: close\r\n\r\n";
    if (!headOnly)
        out += body;
    const bool sent = SendWhole(fd, out.constData(), out.size());
    if (sent)
        FinishSending(fd, 2000);
    return sent;
}
