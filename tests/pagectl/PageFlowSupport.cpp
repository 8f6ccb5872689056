#include "tests/pagectl/PageFlowSupport.h"

#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTest>

namespace PageFlow {

QString link(const QByteArray& scheme, const QByteArray& bytes) {
    QStringList codes;
    for (char c : bytes)
        codes << QString::number(static_cast<unsigned char>(c));
    return QString::fromLatin1(scheme) + QStringLiteral("://") + codes.join(QLatin1Char(',')) +
           QLatin1Char('/');
}

QProcessEnvironment programEnvironment(const QString& boxLog) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VAULTRY_FILE_SERVER", TestEnvironment::address());
    env.insert("VAULTRY_HOMEPAGE", "http://" + TestEnvironment::address() + ":7580");
    env.insert("VAULTRY_MODAL_LOG", boxLog);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.remove("VAULTRY_CHOSEN_FILES");
    return env;
}

QList<qint64> running(const QString& program) {
    const QString binary = QFileInfo(TestEnvironment::binary(program)).canonicalFilePath();
    const QByteArray runtime = "XDG_RUNTIME_DIR=" + qgetenv("XDG_RUNTIME_DIR");
    QList<qint64> found;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& pid : pids) {
        bool numeric = false;
        const qint64 id = pid.toLongLong(&numeric);
        if (!numeric)
            continue;
        const QString exe = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid));
        if (exe.isEmpty() || exe != binary)
            continue;
        QFile environ(QStringLiteral("/proc/%1/environ").arg(pid));
        if (environ.open(QIODevice::ReadOnly) && environ.readAll().split('\0').contains(runtime))
            found << id;
    }
    return found;
}

bool waitUntilEnded(const QString& program, int timeoutMs) {
    return QTest::qWaitFor([&] { return running(program).isEmpty(); }, timeoutMs);
}

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

} // namespace PageFlow
