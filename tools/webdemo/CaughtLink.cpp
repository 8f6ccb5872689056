#include "tools/webdemo/CaughtLink.h"

#include <QRegularExpression>

QString CaughtLinkText(const QUrl& url) {
    if (url.isValid())
        return QString::fromUtf8(url.toEncoded());
    static const QRegularExpression source(QStringLiteral("source was \"([^\"]*)\""));
    return source.match(url.errorString()).captured(1);
}
