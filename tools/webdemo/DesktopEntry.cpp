#include "tools/webdemo/DesktopEntry.h"

#include <QDir>
#include <QFile>
#include <QHash>

namespace {

constexpr qint64 kMaxDesktopFile = 64 * 1024;

// The keys of the [Desktop Entry] group (localised keys are not needed here).
QHash<QString, QString> readEntry(const QString& path) {
    QHash<QString, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return keys;
    bool inEntry = false;
    for (const QByteArray& raw : file.read(kMaxDesktopFile).split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            inEntry = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (inEntry && equals > 0)
            keys.insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }
    return keys;
}

// The string escapes every value may hold: \s \n \t \r \\.
QString unescapeValue(const QString& value) {
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != QLatin1Char('\\') || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const QChar next = value[++i];
        if (next == QLatin1Char('s'))
            out += QLatin1Char(' ');
        else if (next == QLatin1Char('n'))
            out += QLatin1Char('\n');
        else if (next == QLatin1Char('t'))
            out += QLatin1Char('\t');
        else if (next == QLatin1Char('r'))
            out += QLatin1Char('\r');
        else
            out += next;
    }
    return out;
}

struct Word {
    QString text;
    bool quoted = false;
};

// Words split on blanks; a double-quoted word keeps its blanks, and \" \` \$ \\ in it stand
// for the character. Nothing when a quote is left open.
bool splitExec(const QString& exec, QList<Word>& words) {
    Word word;
    bool inWord = false;
    bool inQuotes = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar ch = exec[i];
        if (inQuotes) {
            if (ch == QLatin1Char('"')) {
                inQuotes = false;
            } else if (ch == QLatin1Char('\\') && i + 1 < exec.size()) {
                word.text += exec[++i];
            } else {
                word.text += ch;
            }
        } else if (ch == QLatin1Char('"')) {
            inQuotes = true;
            inWord = true;
            word.quoted = true;
        } else if (ch.isSpace()) {
            if (inWord)
                words << word;
            word = Word();
            inWord = false;
        } else {
            word.text += ch;
            inWord = true;
        }
    }
    if (inQuotes)
        return false;
    if (inWord)
        words << word;
    return true;
}

} // namespace

QString DesktopEntry::schemeOf(const QString& url) {
    const qsizetype colon = url.indexOf(QLatin1Char(':'));
    return colon > 0 ? url.left(colon) : QString();
}

QString DesktopEntry::handlerFor(const QString& folder, const QString& scheme) {
    const QString wanted = QStringLiteral("x-scheme-handler/") + scheme;
    const QStringList files =
        QDir(folder).entryList({QStringLiteral("*.desktop")}, QDir::Files, QDir::Name);
    for (const QString& name : files) {
        const QString path = QDir(folder).filePath(name);
        const QStringList types =
            readEntry(path).value(QStringLiteral("MimeType")).split(QLatin1Char(';'));
        if (!scheme.isEmpty() && types.contains(wanted))
            return path;
    }
    return QString();
}

QStringList DesktopEntry::commandFor(const QString& desktopFile, const QString& url) {
    const QHash<QString, QString> entry = readEntry(desktopFile);
    QList<Word> words;
    if (!splitExec(unescapeValue(entry.value(QStringLiteral("Exec"))), words) || words.isEmpty())
        return {};
    QStringList command;
    bool placed = false;
    for (const Word& word : words) {
        if (word.quoted) {
            command << word.text;
            continue;
        }
        const QString& text = word.text;
        if (text == QLatin1String("%i")) {
            const QString icon = entry.value(QStringLiteral("Icon"));
            if (!icon.isEmpty())
                command << QStringLiteral("--icon") << icon;
            continue;
        }
        QString expanded;
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i] != QLatin1Char('%') || i + 1 == text.size()) {
                expanded += text[i];
                continue;
            }
            const QChar code = text[++i];
            if (QStringLiteral("uUfF").contains(code)) {
                expanded += url;
                placed = true;
            } else if (code == QLatin1Char('%')) {
                expanded += QLatin1Char('%');
            } else if (code == QLatin1Char('c')) {
                expanded += entry.value(QStringLiteral("Name"));
            } else if (code == QLatin1Char('k')) {
                expanded += desktopFile;
            }
            // Every other code, the deprecated ones included, stands for nothing.
        }
        if (!expanded.isEmpty())
            command << expanded;
    }
    if (command.isEmpty())
        return {};
    if (!placed)
        command << url;
    return command;
}
