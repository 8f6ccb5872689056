// Web port 7580: the service's homepage and the two banner pages, plain HTTP/1.1
// GET and HEAD, one request per connection.

#include "Handlers.h"
#include "Net.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>

#include <sys/socket.h>

namespace {

// The two banner pages share one layout; only their colours, arrow and words differ.
const char kBannerLayout[] = R"html(<!DOCTYPE html>
<html lang="ko">
<head>
<meta charset="utf-8">
<title>%1</title>
<style>
  html, body { margin: 0; padding: 0; width: 525px; height: 63px; overflow: hidden; }
  body {
    font-family: "NanumGothic", "Nanum Gothic", "Malgun Gothic", "굴림", sans-serif;
    background: linear-gradient(100deg, %2);
    color: #fff; user-select: none; cursor: default;
  }
  .banner { box-sizing: border-box; display: flex; align-items: center; gap: 14px;
            width: 525px; height: 63px; padding: 0 16px; position: relative; }
  .banner::after { content: ""; position: absolute; right: -30px; top: -40px; width: 150px;
                   height: 150px; border-radius: 50%; background: rgba(255,255,255,.08); }
  .logo { flex: none; width: 42px; height: 42px; border-radius: 11px;
          background: rgba(255,255,255,.17); display: flex; align-items: center;
          justify-content: center; box-shadow: inset 0 0 0 1px rgba(255,255,255,.25); }
  .text { flex: 1; min-width: 0; }
  .title { font-size: 16px; font-weight: 800; letter-spacing: -0.4px; white-space: nowrap; }
  .sub { font-size: 12px; opacity: .86; margin-top: 4px; white-space: nowrap; }
  .badge { flex: none; z-index: 1; font-size: 11px; font-weight: 700; padding: 6px 11px;
           border-radius: 13px; background: %3; color: %4; }
</style>
</head>
<body>
<div class="banner">
  <div class="logo">
    <svg width="22" height="22" viewBox="0 0 24 24" fill="none" stroke="#fff" stroke-width="2.6"
         stroke-linecap="round" stroke-linejoin="round"><path d="%5"/></svg>
  </div>
  <div class="text">
    <div class="title">%6</div>
    <div class="sub">%7</div>
  </div>
  <div class="badge">%8</div>
</div>
</body>
</html>
)html";

struct BannerLook {
    const char* title;
    const char* gradient;
    const char* badgeBackground;
    const char* badgeText;
    const char* arrowPath;
    const char* headline;
    const char* subline;
    const char* badge;
};

QByteArray bannerPage(const BannerLook& look) {
    return QString::fromUtf8(kBannerLayout)
        .arg(QString::fromUtf8(look.title), QString::fromUtf8(look.gradient),
             QString::fromUtf8(look.badgeBackground), QString::fromUtf8(look.badgeText),
             QString::fromUtf8(look.arrowPath), QString::fromUtf8(look.headline),
             QString::fromUtf8(look.subline), QString::fromUtf8(look.badge))
        .toUtf8();
}

const BannerLook kDownloadBanner{"볼트리 다운로더",
                                 "#16356b 0%, #2a62c4 58%, #4d9dff 100%",
                                 "#ffd54a",
                                 "#16356b",
                                 "M12 3v13M6 11l6 6 6-6M4 21h16",
                                 "볼트리 고속 다운로드",
                                 "끊겨도 이어받기 · 폴더 구조 그대로 저장됩니다",
                                 "이어받기 지원"};
const BannerLook kUploadBanner{"볼트리 업로더",
                               "#0d5448 0%, #15917a 58%, #3fd0a8 100%",
                               "#fff3b0",
                               "#0d5448",
                               "M12 17V4M6 9l6-6 6 6M4 21h16",
                               "볼트리 안전 업로드",
                               "중단된 파일도 이어서 올라갑니다 · 완료되면 알려드려요",
                               "자동 이어올리기"};

const char kHomepage[] = R"html(<!DOCTYPE html>
<html lang="ko">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>볼트리 웹 저장소</title>
<style>
  body { margin: 0; font-family: "NanumGothic", "Nanum Gothic", "Malgun Gothic", sans-serif;
         background: #f3f6fb; color: #1f2a3c; }
  header { background: linear-gradient(100deg, #16356b, #2a62c4); color: #fff; padding: 36px 0; }
  .wrap { max-width: 760px; margin: 0 auto; padding: 0 24px; }
  h1 { margin: 0 0 8px; font-size: 30px; letter-spacing: -0.6px; }
  header p { margin: 0; opacity: .85; }
  main { padding: 28px 0 40px; }
  .card { background: #fff; border-radius: 14px; padding: 22px 24px; margin-bottom: 18px;
          box-shadow: 0 2px 10px rgba(22,53,107,.08); }
  .card h2 { margin: 0 0 8px; font-size: 19px; }
  .card p { margin: 0 0 14px; line-height: 1.6; color: #46536a; }
  iframe { border: 0; width: 525px; height: 63px; max-width: 100%; border-radius: 6px;
           display: block; }
  footer { text-align: center; color: #8a94a6; font-size: 13px; padding-bottom: 30px; }
</style>
</head>
<body>
<header><div class="wrap">
  <h1>볼트리 웹 저장소</h1>
  <p>개발·시험용 대체 파일 서비스입니다. 실제 서비스와 같은 방식으로 응답합니다.</p>
</div></header>
<main><div class="wrap">
  <div class="card">
    <h2>다운로더</h2>
    <p>웹 페이지에서 고른 파일을 한 번에 받아 저장 폴더에 폴더 구조 그대로 내려받습니다.
       연결이 끊기면 받은 곳부터 이어받습니다.</p>
    <iframe src="/app/download.html" title="다운로더 배너"></iframe>
  </div>
  <div class="card">
    <h2>업로더</h2>
    <p>올리기 목록의 파일을 차례로 전송하고, 중단된 파일은 서버가 알려 주는 위치부터
       이어서 올립니다.</p>
    <iframe src="/app/upload.html" title="업로더 배너"></iframe>
  </div>
</div></main>
<footer>Vaultry · vaultry-fileservice</footer>
</body>
</html>
)html";

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

void respond(const Connection& c, int status, const char* reason, const QByteArray& type,
             const QByteArray& body, bool head) {
    QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason + "\r\n";
    out += "Content-Type: " + type + "\r\n";
    out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    out += "Cache-Control: no-store\r\nConnection: close\r\n\r\n";
    if (!head)
        out += body;
    SendAll(c.fd, out.constData(), out.size());
    FinishSending(c.fd, 2000);
}

} // namespace

void ServeWeb(Service& s, const Connection& c) {
    const Options& o = s.options();
    // Read the request head (bounded in size and time).
    QByteArray head;
    char buf[4096];
    const int limit = 16384;
    bool complete = false;
    while (head.size() < limit) {
        const int w = WaitReadable(c.fd, o.idleTimeoutSec * 1000);
        if (w <= 0)
            break;
        const ssize_t r = ::recv(c.fd, buf, sizeof buf, 0);
        if (r <= 0)
            break;
        head.append(buf, static_cast<int>(r));
        if (head.contains("\r\n\r\n") || head.contains("\n\n")) {
            complete = true;
            break;
        }
    }
    const QByteArray line = head.left(head.indexOf('\n')).trimmed();
    const QList<QByteArray> parts = line.split(' ');
    if (!complete || parts.size() != 3 || !parts[2].startsWith("HTTP/1.")) {
        s.log(QStringLiteral("%1 %2 bad request %3").arg(c.tag, c.peer, Shown(line, 80)));
        if (!head.isEmpty())
            respond(c, 400, "Bad Request", "text/plain; charset=utf-8", "bad request\n", false);
        return;
    }
    const QByteArray method = parts[0];
    QByteArray target = parts[1];
    const int q = target.indexOf('?');
    if (q >= 0)
        target.truncate(q);
    const bool isHead = method == "HEAD";
    if (method != "GET" && !isHead) {
        s.log(QStringLiteral("%1 %2 %3 405").arg(c.tag, Shown(method, 20), Shown(target, 80)));
        respond(c, 405, "Method Not Allowed", "text/plain; charset=utf-8", "GET only\n", false);
        return;
    }
    const QString path = QString::fromUtf8(target);
    for (const auto& page : o.webPages) {
        if (page.first == path) {
            QFile f(page.second);
            if (f.open(QIODevice::ReadOnly) && f.size() <= (64 << 20)) {
                s.log(QStringLiteral("%1 %2 %3 200 (%4)")
                          .arg(c.tag, QString::fromLatin1(method), path, page.second));
                respond(c, 200, "OK", contentType(page.second), f.readAll(), isHead);
            } else {
                s.log(QStringLiteral("%1 %2 %3 404 (cannot read %4)")
                          .arg(c.tag, QString::fromLatin1(method), path, page.second));
                respond(c, 404, "Not Found", "text/plain; charset=utf-8", "not found\n", isHead);
            }
            return;
        }
    }
    QByteArray body;
    if (path == QLatin1String("/") || path == QLatin1String("/index.html"))
        body = kHomepage;
    else if (path == QLatin1String("/app/download.html"))
        body = bannerPage(kDownloadBanner);
    else if (path == QLatin1String("/app/upload.html"))
        body = bannerPage(kUploadBanner);
    if (body.isEmpty()) {
        s.log(QStringLiteral("%1 %2 %3 404")
                  .arg(c.tag, QString::fromLatin1(method), Shown(target, 80)));
        respond(c, 404, "Not Found", "text/html; charset=utf-8",
                "<!DOCTYPE html><html lang=\"ko\"><head><meta "
                "charset=\"utf-8\"><title>404</title></head>"
                "<body><h1>404</h1><p>페이지를 찾을 수 없습니다.</p></body></html>\n",
                isHead);
        return;
    }
    s.log(QStringLiteral("%1 %2 %3 200").arg(c.tag, QString::fromLatin1(method), path));
    respond(c, 200, "OK", "text/html; charset=utf-8", body, isHead);
}
