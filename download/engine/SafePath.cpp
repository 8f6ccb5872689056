#include "download/engine/SafePath.h"

#include <QFile>
#include <QRegularExpression>
#include <QTextBoundaryFinder>

namespace {

// An extension longer than this is no extension: the name is cut from its end instead.
constexpr qsizetype kExtensionMaxBytes = 64;

qsizetype diskBytes(const QString& text) {
    return QFile::encodeName(text).size();
}

bool safeComponent(const QString& part) {
    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:"));
    if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
        return false;
    if (part.contains(QLatin1Char('/')) || part.contains(QLatin1Char('\\')) ||
        part.contains(QChar(0)))
        return false;
    return !drive.match(part).hasMatch();
}

QString unhidden(QString part) {
    for (qsizetype i = 0; i < part.size() && part[i] == QLatin1Char('.'); ++i)
        part[i] = QLatin1Char('_');
    return part;
}

// The longest beginning of `text` that takes at most `budget` bytes on disk and ends where a
// character ends (a character as the reader sees it; when even the first one is too long,
// where a code point ends).
QString cutToBytes(const QString& text, qsizetype budget) {
    if (diskBytes(text) <= budget)
        return text;
    qsizetype end = 0;
    qsizetype used = 0;
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text);
    for (qsizetype at = characters.toNextBoundary(); at > 0; at = characters.toNextBoundary()) {
        used += diskBytes(text.mid(end, at - end));
        if (used > budget)
            break;
        end = at;
    }
    if (end > 0)
        return text.left(end);
    used = 0;
    for (qsizetype at = 0; at < text.size();) {
        const qsizetype width =
            text[at].isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate() ? 2
                                                                                                : 1;
        used += diskBytes(text.mid(at, width));
        if (used > budget)
            break;
        at += width;
        end = at;
    }
    return text.left(end);
}

} // namespace

QString NumberedName(const QString& name, int number) {
    const QString suffix = number > 0 ? QStringLiteral(" (%1)").arg(number) : QString();
    QString stem = name;
    QString extension;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0 && diskBytes(name.mid(dot)) <= kExtensionMaxBytes) {
        stem = name.left(dot);
        extension = name.mid(dot);
    }
    return cutToBytes(stem, kNameMaxBytes - diskBytes(suffix) - diskBytes(extension)) + suffix +
           extension;
}

std::optional<QString> SafeFileName(const QString& name, bool* changed) {
    if (!safeComponent(name))
        return std::nullopt;
    const QString safe = NumberedName(unhidden(name), 0);
    if (changed)
        *changed = safe != name;
    return safe;
}

std::optional<QStringList> SafeSubfolder(const QString& folder, bool* changed) {
    if (changed)
        *changed = false;
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
        // A folder is shared by every file in it: one too long to make is refused, not cut.
        if (!safeComponent(part) || diskBytes(part) > kNameMaxBytes)
            return std::nullopt;
        const QString safe = unhidden(part);
        if (changed && safe != part)
            *changed = true;
        part = safe;
    }
    return parts;
}
