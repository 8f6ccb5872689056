#include "fileservice/WebPages.h"

#include "fileservice/WireText.h"

#include <QFile>

#include <algorithm>

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

// Sizes as people read them.
QString sizeText(int64_t bytes) {
    static const char* const units[] = {"B", "KB", "MB", "GB", "TB"};
    double value = double(bytes);
    int unit = 0;
    while (value >= 1024 && unit < 4) {
        value /= 1024;
        ++unit;
    }
    return unit == 0
               ? QStringLiteral("%1 B").arg(bytes)
               : QStringLiteral("%1 %2").arg(value, 0, 'f', 1).arg(QLatin1String(units[unit]));
}

QString codesText(const QByteArray& bytes) {
    QString codes;
    for (int i = 0; i < bytes.size(); ++i) {
        if (i)
            codes += QLatin1Char(',');
        codes += QString::number(static_cast<unsigned char>(bytes[i]));
    }
    return codes;
}

// How a file appears on the page, and whether it can be asked for.
struct FileRow {
    QByteArray wire;   // the entry's code page 949 bytes
    QString blockedBy; // why it cannot travel in a launch link; empty when it can
};

FileRow describeFile(const QString& relative) {
    FileRow row{ToWire(relative), QString()};
    if (FromWire(row.wire) != relative)
        row.blockedBy = QStringLiteral("코드 페이지 949로 보낼 수 없는 이름");
    else if (relative.contains(QLatin1Char('?')) || relative.contains(QLatin1Char('|')))
        row.blockedBy = QStringLiteral("이름에 ? 또는 | 가 있어 보낼 수 없음");
    return row;
}

QString rowHtml(const ListedFile& f) {
    const FileRow row = describeFile(f.relative);
    const int slash = f.relative.lastIndexOf(QLatin1Char('/'));
    const QString folder = f.relative.left(slash + 1).toHtmlEscaped();
    const QString name = f.relative.mid(slash + 1).toHtmlEscaped();
    const QString path = QStringLiteral("<span class=\"path\"><span class=\"folder\">%1</span>"
                                        "%2</span><span class=\"size\">%3</span>")
                             .arg(folder, name, sizeText(f.size));
    if (!row.blockedBy.isEmpty())
        return QStringLiteral("      <li class=\"blocked\"><label><input type=\"checkbox\" "
                              "disabled>%1<span class=\"why\">%2</span></label></li>\n")
            .arg(path, row.blockedBy.toHtmlEscaped());
    return QStringLiteral("      <li><label><input type=\"checkbox\" data-codes=\"%1\">%2"
                          "</label></li>\n")
        .arg(codesText(row.wire), path);
}

QByteArray resource(const QString& name) {
    QFile f(QStringLiteral(":/web/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

constexpr int kMaxRows = 2000; // a page, not an archive listing

} // namespace

QByteArray DownloadBannerPage() {
    return bannerPage(kDownloadBanner);
}

QByteArray UploadBannerPage() {
    return bannerPage(kUploadBanner);
}

QByteArray FilePage(const std::vector<ListedFile>& files, const QString& serverNumber) {
    QString rows;
    const int shown = std::min<int>(int(files.size()), kMaxRows);
    for (int i = 0; i < shown; ++i)
        rows += rowHtml(files[size_t(i)]);
    if (files.empty())
        rows = QStringLiteral("      <li class=\"empty\">받을 수 있는 파일이 없습니다.</li>\n");
    QString summary = QStringLiteral("파일 %1개").arg(files.size());
    if (int(files.size()) > shown)
        summary += QStringLiteral(" (앞의 %1개만 보입니다)").arg(shown);
    QString page = QString::fromUtf8(resource(QStringLiteral("home.html")));
    page.replace(QLatin1String("{{SERVER}}"), serverNumber.toHtmlEscaped());
    page.replace(QLatin1String("{{SUMMARY}}"), summary);
    page.replace(QLatin1String("{{ROWS}}"), rows);
    return page.toUtf8();
}

bool HomeAsset(const QByteArray& path, QByteArray& body, QByteArray& type) {
    if (path == "/assets/home.css") {
        type = "text/css; charset=utf-8";
        body = resource(QStringLiteral("home.css"));
    } else if (path == "/assets/home.js") {
        type = "text/javascript; charset=utf-8";
        body = resource(QStringLiteral("home.js"));
    } else {
        return false;
    }
    return !body.isEmpty();
}
