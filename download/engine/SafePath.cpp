#include "SafePath.h"

#include <QRegularExpression>

namespace {

bool safeComponent(const QString& part) {
    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:"));
    if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
        return false;
    if (part.contains(QLatin1Char('/')) || part.contains(QLatin1Char('\\')) ||
        part.contains(QChar(0)))
        return false;
    if (drive.match(part).hasMatch())
        return false;
    return part.toUtf8().size() <= 255;
}

QString unhidden(QString part) {
    for (qsizetype i = 0; i < part.size() && part[i] == QLatin1Char('.'); ++i)
        part[i] = QLatin1Char('_');
    return part;
}

} // namespace

std::optional<QString> SafeFileName(const QString& name) {
    if (!safeComponent(name))
        return std::nullopt;
    return unhidden(name);
}

std::optional<QStringList> SafeSubfolder(const QString& folder) {
    QString rest = folder;
    rest.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (rest.isEmpty())
        return QStringList();
    if (rest.startsWith(QLatin1Char('/')))
        return std::nullopt;
    if (rest.endsWith(QLatin1Char('/')))
        rest.chop(1);
    QStringList parts = rest.split(QLatin1Char('/'));
    if (parts.size() > 100)
        return std::nullopt;
    for (QString& part : parts) {
        if (!safeComponent(part))
            return std::nullopt;
        part = unhidden(part);
    }
    return parts;
}
