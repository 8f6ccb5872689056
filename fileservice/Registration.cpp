#include "fileservice/Registration.h"

#include "fileservice/Net.h"
#include "fileservice/Service.h"
#include "fileservice/WireText.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <cerrno>
#include <cmath>

#include <sys/stat.h>

namespace {

constexpr double kMaxExactInteger = 9007199254740992.0; // 2^53: JSON numbers are doubles

WebAnswer refuse(int status, const QString& text) {
    return {status, "text/plain; charset=utf-8", text.toUtf8() + '\n', text};
}

// A text that the wire can carry unchanged and that cannot break a record apart.
bool wireSafe(const QString& text) {
    if (ToWire(text).isEmpty() || FromWire(ToWire(text)) != text)
        return false;
    for (QChar ch : text)
        if (ch.unicode() < 0x20 || ch == QLatin1Char('|') || ch.unicode() == 0x7F)
            return false;
    return true;
}

// Host and Origin must name this service: the bound address or localhost, on the web port.
bool ownHost(const QByteArray& host, const QString& bind) {
    QByteArray name = host;
    if (name.endsWith(":7580"))
        name.chop(5);
    return name == bind.toLatin1() || name == "localhost";
}

// "Authorization: Bearer <token>", given once, naming the service's registration token.
bool carriesToken(const HttpRequest& r, const QByteArray& token, QString& why) {
    if (r.headerCount("authorization") == 0) {
        why = QStringLiteral("no registration token");
        return false;
    }
    const QByteArray value = r.header("authorization");
    const QByteArray scheme = "bearer ";
    if (r.headerCount("authorization") != 1 || !value.toLower().startsWith(scheme) ||
        token.isEmpty() || !SameToken(value.mid(scheme.size()).trimmed().toLower(), token)) {
        why = QStringLiteral("not this service's registration token");
        return false;
    }
    return true;
}

} // namespace

bool ParseRegistration(const QByteArray& body, Registration& out, QString& reason) {
    using namespace RegistrationLimits;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError) {
        reason = QStringLiteral("the body is not JSON (%1 at byte %2)")
                     .arg(error.errorString())
                     .arg(error.offset);
        return false;
    }
    if (!doc.isObject()) {
        reason = QStringLiteral("the body must be a JSON object");
        return false;
    }
    const QJsonObject top = doc.object();
    for (auto it = top.begin(); it != top.end(); ++it) {
        if (it.key() != QLatin1String("member") && it.key() != QLatin1String("files")) {
            reason = QStringLiteral("unknown field \"%1\"").arg(it.key().left(40));
            return false;
        }
    }
    const QJsonValue member = top.value(QLatin1String("member"));
    if (!member.isString() || member.toString().isEmpty() ||
        member.toString().toUtf8().size() > kMaxMemberBytes) {
        reason = QStringLiteral("\"member\" must be a text of 1 to %1 bytes").arg(kMaxMemberBytes);
        return false;
    }
    out.member = member.toString();
    if (!wireSafe(out.member)) {
        reason = QStringLiteral("\"member\" has characters a member id cannot have");
        return false;
    }
    const QJsonValue files = top.value(QLatin1String("files"));
    if (!files.isArray() || files.toArray().isEmpty() || files.toArray().size() > kMaxFiles) {
        reason = QStringLiteral("\"files\" must be a list of 1 to %1 files").arg(kMaxFiles);
        return false;
    }
    const QJsonArray list = files.toArray();
    out.files.clear();
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString where = QStringLiteral("files[%1]").arg(i);
        if (!list[i].isObject()) {
            reason = where + QStringLiteral(" must be an object");
            return false;
        }
        const QJsonObject f = list[i].toObject();
        if (f.size() != 2 || !f.value(QLatin1String("path")).isString() ||
            !f.value(QLatin1String("size")).isDouble()) {
            reason = where + QStringLiteral(" must be {\"path\": text, \"size\": number}");
            return false;
        }
        const QString path = f.value(QLatin1String("path")).toString();
        const double size = f.value(QLatin1String("size")).toDouble();
        if (!path.startsWith(QLatin1Char('/')) || path.toUtf8().size() > kMaxPathBytes ||
            path.endsWith(QLatin1Char('/'))) {
            reason = where + QStringLiteral(".path must be an absolute file path of at most %1 "
                                            "bytes")
                                 .arg(kMaxPathBytes);
            return false;
        }
        if (!wireSafe(path)) {
            reason = where + QStringLiteral(".path has characters the upload record cannot carry");
            return false;
        }
        if (!(size >= 0) || size > kMaxExactInteger || std::floor(size) != size) {
            reason = where + QStringLiteral(".size must be a whole number of bytes");
            return false;
        }
        out.files.push_back({path, static_cast<int64_t>(size)});
    }
    return true;
}

WebAnswer RegisterUploadList(Service& s, const Connection& c, const HttpRequest& r) {
    using namespace RegistrationLimits;
    if (!PeerIsLoopback(c.fd))
        return refuse(403, QStringLiteral("registration is taken from this machine only"));
    // Any account on this machine reaches this port, but only the member's can read the
    // token in the service's state folder. Nothing of the request is looked at before the
    // token is: one answer, whatever the body asks for, so that another account learns
    // nothing about the member's files, nor fills the member's room for lists.
    QString why;
    if (!carriesToken(r, s.registrationToken(), why)) {
        WebAnswer answer = refuse(403, QStringLiteral("registration needs this service's "
                                                      "registration token"));
        answer.note = why;
        return answer;
    }
    const QByteArray host = r.header("host");
    if (r.headerCount("host") > 1 || (!host.isEmpty() && !ownHost(host, s.options().bind)))
        return refuse(403, QStringLiteral("the request is not addressed to this service"));
    const QByteArray origin = r.header("origin");
    if (r.headerCount("origin") > 0 &&
        (!origin.startsWith("http://") || !ownHost(origin.mid(7), s.options().bind)))
        return refuse(403, QStringLiteral("requests from other sites are not taken"));
    const QByteArray type = r.header("content-type").toLower();
    if (type != "application/json" && !type.startsWith("application/json;"))
        return refuse(415, QStringLiteral("send the list as application/json"));

    Registration reg;
    QString reason;
    if (!ParseRegistration(r.body, reg, reason))
        return refuse(400, reason);
    if (!s.isMember(reg.member))
        return refuse(422, QStringLiteral("no member \"%1\"").arg(reg.member));
    // One answer whatever the reason: the member sees which file, the log says why.
    auto unusable = [](const QString& path, const QString& why) {
        WebAnswer answer = refuse(422, QStringLiteral("not a file that can be registered "
                                                      "(missing, not a regular file, or of "
                                                      "another size): %1")
                                           .arg(path));
        answer.note = why;
        return answer;
    };
    QStringList paths;
    for (const RegistrationFile& f : reg.files) {
        struct stat st {};
        if (::stat(QFile::encodeName(f.path).constData(), &st) != 0)
            return unusable(f.path, QStringLiteral("no such file: %1").arg(f.path));
        if (!S_ISREG(st.st_mode))
            return unusable(f.path, QStringLiteral("not a regular file: %1").arg(f.path));
        if (st.st_size != f.size)
            return unusable(f.path, QStringLiteral("%1 has %2 bytes, not %3")
                                        .arg(f.path)
                                        .arg(qint64(st.st_size))
                                        .arg(f.size));
        paths << f.path;
    }
    const QString key = s.uploads().registerList(reg.member, paths);
    if (key.isEmpty())
        return refuse(
            503,
            QStringLiteral("no room for more registered files for member \"%1\"").arg(reg.member));
    QJsonObject answer;
    answer.insert(QLatin1String("key"), key);
    return {201, "application/json", QJsonDocument(answer).toJson(QJsonDocument::Compact) + '\n',
            QStringLiteral("list %1 for member \"%2\" (%3 files)")
                .arg(key, reg.member)
                .arg(paths.size())};
}
