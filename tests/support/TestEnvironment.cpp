#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtGlobal>

#include <unistd.h>

namespace TestEnvironment {

static QString home() {
    QString h = qEnvironmentVariable("VAULTRY_TEST_HOME");
    if (h.isEmpty())
        h = QDir::temp().filePath(QStringLiteral("vaultry-test-%1").arg(qint64(::getpid())));
    return h;
}

QString prepare() {
    const QString h = home();
    for (const char* var : {"XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "HOME"}) {
        const QString dir = qEnvironmentVariable(var);
        if (dir.isEmpty() || !dir.startsWith(h))
            continue;
        QDir(dir).removeRecursively();
        QDir().mkpath(dir);
    }
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return h;
}

QString address() {
    const QString a = qEnvironmentVariable("VAULTRY_TEST_ADDRESS");
    return a.isEmpty() ? QStringLiteral("127.0.0.1") : a;
}

QString binary(const QString& name) {
    return QDir(qEnvironmentVariable("VAULTRY_BIN_DIR")).filePath(name);
}

QString scratch(const QString& name) {
    QDir dir(QDir(home()).filePath(QStringLiteral("scratch/") + name));
    dir.removeRecursively();
    QDir().mkpath(dir.path());
    return dir.path();
}

std::unique_ptr<QProcess> startClient(const QString& program, const QStringList& args,
                                      const QString& boxLog) {
    auto p = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VAULTRY_FILE_SERVER", address());
    env.insert("VAULTRY_HOMEPAGE", "http://" + address() + ":7580");
    env.insert("VAULTRY_MODAL_LOG", boxLog);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p->setProcessEnvironment(env);
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p->setWorkingDirectory(qEnvironmentVariable("VAULTRY_BIN_DIR"));
    p->start(binary(program), args);
    return p;
}

} // namespace TestEnvironment
