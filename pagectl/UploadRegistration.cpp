#include "pagectl/UploadRegistration.h"

#include "fileservice/StateFolder.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace {

constexpr qint64 kMaxAnswerBytes = 64 * 1024;
constexpr int kMaxKeyLength = 128;
constexpr int kMaxShownText = 300;

QString g_stateFolder;

QByteArray requestBody(const QString& member, const QStringList& paths) {
    QJsonArray files;
    for (const QString& path : paths) {
        // The size the file has now; the service compares it with the file it finds there.
        files.append(QJsonObject{{QStringLiteral("path"), path},
                                 {QStringLiteral("size"), double(QFileInfo(path).size())}});
    }
    const QJsonObject body{{QStringLiteral("member"), member}, {QStringLiteral("files"), files}};
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

// A key goes into "Vaultry_uploader_Manager|key|member|server" and names a file of choices:
// printable ASCII without the separator, and short.
bool usableKey(const QString& key) {
    if (key.isEmpty() || key.size() > kMaxKeyLength)
        return false;
    for (QChar ch : key) {
        if (ch.unicode() < 0x21 || ch.unicode() > 0x7E || ch == QLatin1Char('|'))
            return false;
    }
    return true;
}

// The first line of a refusal, cut to what a box can show.
QString shownText(const QByteArray& body) {
    QString text = QString::fromUtf8(body.left(body.indexOf('\n'))).trimmed();
    for (QChar& ch : text) {
        if (ch.unicode() < 0x20)
            ch = QLatin1Char(' ');
    }
    return text.size() > kMaxShownText ? text.left(kMaxShownText) + QStringLiteral("...") : text;
}

} // namespace

void SetServiceStateFolder(const QString& folder) {
    g_stateFolder = folder;
}

QString ServiceStateFolder() {
    return g_stateFolder.isEmpty() ? StateFolder::defaultFolder() : g_stateFolder;
}

RegistrationOutcome RegisterUploadList(const QString& homepage, const QString& member,
                                       const QStringList& paths) {
    RegistrationOutcome outcome;
    const QUrl url = QUrl(homepage).resolved(QUrl(QStringLiteral("/api/upload-lists")));
    outcome.url = url.toString();
    if (!url.isValid() ||
        (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))) {
        outcome.text = QStringLiteral("not a web address");
        return outcome;
    }

    QNetworkAccessManager network;
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    const QByteArray token = StateFolder::readRegistrationToken(ServiceStateFolder());
    if (!token.isEmpty())
        request.setRawHeader(QByteArrayLiteral("Authorization"), "Bearer " + token);
    // A redirect would carry the member's list somewhere else: it is shown as the answer.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(kRegistrationTimeoutMs);
    QNetworkReply* reply = network.post(request, requestBody(member, paths));
    bool tooLarge = false;
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, &tooLarge] {
        if (reply->bytesAvailable() > kMaxAnswerBytes) {
            tooLarge = true;
            reply->abort();
        }
    });
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QByteArray body = reply->read(kMaxAnswerBytes);
    const QString networkError = reply->errorString();
    if (tooLarge) {
        outcome.status = RegistrationOutcome::Status::Unreadable;
        return outcome;
    }
    if (!status.isValid()) {
        outcome.text = networkError;
        return outcome;
    }
    outcome.httpStatus = status.toInt();
    if (outcome.httpStatus != 201) {
        outcome.status = RegistrationOutcome::Status::Refused;
        outcome.text = shownText(body);
        return outcome;
    }
    const QString key =
        QJsonDocument::fromJson(body).object().value(QStringLiteral("key")).toString();
    if (!usableKey(key)) {
        outcome.status = RegistrationOutcome::Status::Unreadable;
        return outcome;
    }
    outcome.status = RegistrationOutcome::Status::Registered;
    outcome.key = key.toLatin1();
    return outcome;
}
