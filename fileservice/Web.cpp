// Web port 7580: the homepage (the member's file page) with its assets, the two banner pages,
// and the registration of upload lists. Plain HTTP/1.1, one request per connection.

#include "fileservice/Handlers.h"
#include "fileservice/Http.h"
#include "fileservice/Registration.h"
#include "fileservice/WebPages.h"

#include <QFile>
#include <QFileInfo>

namespace {

constexpr int kMaxPageFile = 64 << 20; // --web-page files

QByteArray contentType(const QString& path) {
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == QLatin1String("html") || ext == QLatin1String("htm"))
        return "text/html; charset=utf-8";
    if (ext == QLatin1String("css"))
        return "text/css; charset=utf-8";
    if (ext == QLatin1String("js"))
        return "text/javascript; charset=utf-8";
    if (ext == QLatin1String("png"))
        return "image/png";
    if (ext == QLatin1String("jpg") || ext == QLatin1String("jpeg"))
        return "image/jpeg";
    if (ext == QLatin1String("gif"))
        return "image/gif";
    if (ext == QLatin1String("svg"))
        return "image/svg+xml";
    if (ext == QLatin1String("txt"))
        return "text/plain; charset=utf-8";
    return "application/octet-stream";
}

const QByteArray kText = "text/plain; charset=utf-8";
const QByteArray kHtml = "text/html; charset=utf-8";

const char kNotFound[] = "<!DOCTYPE html><html lang=\"ko\"><head><meta charset=\"utf-8\">"
                         "<title>404</title></head><body><h1>404</h1>"
                         "<p>페이지를 찾을 수 없습니다.</p></body></html>\n";

// Answers a request that could not be read whole. Nothing is sent to a peer that sent nothing.
void refuseUnread(Service& s, const Connection& c, HttpRead read, const HttpRequest& r) {
    int status = 400;
    QString what = QStringLiteral("bad request");
    switch (read) {
    case HttpRead::Nothing:
        s.log(QStringLiteral("%1 %2 sent no request, closed").arg(c.tag, c.peer));
        return;
    case HttpRead::TimedOut:
        status = 408;
        what = QStringLiteral("request not complete in time");
        break;
    case HttpRead::Closed:
        s.log(QStringLiteral("%1 %2 closed mid-request").arg(c.tag, c.peer));
        return;
    case HttpRead::HeadTooLarge:
        status = 431;
        what = QStringLiteral("request head too large");
        break;
    case HttpRead::BodyTooLarge:
        status = 413;
        what = QStringLiteral("request body too large");
        break;
    case HttpRead::NeedsLength:
        status = 411;
        what = QStringLiteral("a body needs a plain Content-Length");
        break;
    case HttpRead::Malformed:
    case HttpRead::Complete:
        break;
    }
    s.log(QStringLiteral("%1 %2 %3 %4 (%5)")
              .arg(c.tag, c.peer, Shown(r.line, 80))
              .arg(status)
              .arg(what));
    SendHttpResponse(c.fd, status, kText, what.toUtf8() + '\n', false);
}

// A peer that asked for a page and does not take it is not waited for beyond the idle limit.
void notTaken(Service& s, const Connection& c, const QString& method, const QString& path) {
    s.log(QStringLiteral("%1 %2 %3: the answer was not taken in time, closed")
              .arg(c.tag, method, path));
}

bool servePageFile(Service& s, const Connection& c, const HttpRequest& r, bool head) {
    const QString path = QString::fromUtf8(r.path);
    for (const auto& page : s.options().webPages) {
        if (page.first != path)
            continue;
        QFile f(page.second);
        const QString method = QString::fromLatin1(r.method);
        if (f.open(QIODevice::ReadOnly) && f.size() <= kMaxPageFile) {
            s.log(QStringLiteral("%1 %2 %3 200 (%4)").arg(c.tag, method, path, page.second));
            if (!SendHttpResponse(c.fd, 200, contentType(page.second), f.readAll(), head))
                notTaken(s, c, method, path);
        } else {
            s.log(QStringLiteral("%1 %2 %3 404 (cannot read %4)")
                      .arg(c.tag, method, path, page.second));
            SendHttpResponse(c.fd, 404, kText, "not found\n", head);
        }
        return true;
    }
    return false;
}

void serveGet(Service& s, const Connection& c, const HttpRequest& r, bool head) {
    if (servePageFile(s, c, r, head))
        return;
    QByteArray body;
    QByteArray type = kHtml;
    if (r.path == "/" || r.path == "/index.html")
        body = FilePage(s.catalogue().list(), s.options().serverNumber);
    else if (r.path == "/app/download.html")
        body = DownloadBannerPage();
    else if (r.path == "/app/upload.html")
        body = UploadBannerPage();
    else
        HomeAsset(r.path, body, type);
    const QString method = QString::fromLatin1(r.method);
    if (body.isEmpty()) {
        s.log(QStringLiteral("%1 %2 %3 404").arg(c.tag, method, Shown(r.path, 80)));
        SendHttpResponse(c.fd, 404, kHtml, kNotFound, head);
        return;
    }
    s.log(QStringLiteral("%1 %2 %3 200").arg(c.tag, method, QString::fromUtf8(r.path)));
    if (!SendHttpResponse(c.fd, 200, type, body, head))
        notTaken(s, c, method, QString::fromUtf8(r.path));
}

} // namespace

void ServeWeb(Service& s, const Connection& c) {
    const Options& o = s.options();
    HttpRequest r;
    const HttpRead read =
        ReadHttpRequest(c.fd, o.identifyTimeoutSec * 1000, RegistrationLimits::kMaxBody, r);
    if (read != HttpRead::Complete) {
        refuseUnread(s, c, read, r);
        return;
    }
    const bool api = r.path == "/api/upload-lists";
    if (!api && (r.method == "GET" || r.method == "HEAD")) {
        serveGet(s, c, r, r.method == "HEAD");
        return;
    }
    if (api && r.method == "POST") {
        const WebAnswer a = RegisterUploadList(s, c, r);
        s.log(QStringLiteral("%1 POST /api/upload-lists %2 (%3)")
                  .arg(c.tag)
                  .arg(a.status)
                  .arg(a.note));
        SendHttpResponse(c.fd, a.status, a.type, a.body, false);
        return;
    }
    const QByteArray allow = api ? "POST" : "GET, HEAD";
    s.log(QStringLiteral("%1 %2 %3 405").arg(c.tag, Shown(r.method, 20), Shown(r.path, 80)));
    SendHttpResponse(c.fd, 405, kText, allow + " only\n", false, "Allow: " + allow + "\r\n");
}
