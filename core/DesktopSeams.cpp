#include "DesktopSeams.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDebug>
#include <QProcess>
#include <QUrl>

#ifndef VAULTRY_FILE_SERVER_DEFAULT
#define VAULTRY_FILE_SERVER_DEFAULT "127.0.0.1"
#endif
#ifndef VAULTRY_HOMEPAGE_DEFAULT
#define VAULTRY_HOMEPAGE_DEFAULT "http://127.0.0.1:7580"
#endif

namespace {

// xdg-open is what QDesktopServices uses on Linux too; calling it directly keeps this seam
// free of QtGui, so the core stays usable from widget-free engines.
void xdgOpen(const QString& target) {
    QProcess::startDetached(QStringLiteral("xdg-open"), {target});
}

class DesktopShell final : public ShellSeam {
public:
    void openUrl(const QString& url) override { xdgOpen(url); }
    void openFolder(const QString& path) override { xdgOpen(QUrl::fromLocalFile(path).toString()); }
    void openFile(const QString& path) override { xdgOpen(QUrl::fromLocalFile(path).toString()); }
};

class LogindPower final : public PowerSeam {
public:
    void powerOff() override {
        if (qEnvironmentVariable("VAULTRY_NO_SHUTDOWN") == QLatin1String("1")) {
            qInfo("power off requested (suppressed by VAULTRY_NO_SHUTDOWN)");
            return;
        }
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PowerOff"));
        call << false; // not interactive: no authentication prompt
        QDBusConnection::systemBus().call(call, QDBus::NoBlock);
    }
};

DesktopShell gDesktopShell;
LogindPower gLogindPower;
ShellSeam* gShell = nullptr;
PowerSeam* gPower = nullptr;

} // namespace

ShellSeam& ShellSeam::current() {
    return gShell ? *gShell : gDesktopShell;
}
void ShellSeam::install(ShellSeam* shell) {
    gShell = shell;
}
PowerSeam& PowerSeam::current() {
    return gPower ? *gPower : gLogindPower;
}
void PowerSeam::install(PowerSeam* power) {
    gPower = power;
}

QString ServiceAddress::fileServer() {
    const QString overridden = qEnvironmentVariable("VAULTRY_FILE_SERVER");
    return overridden.isEmpty() ? QStringLiteral(VAULTRY_FILE_SERVER_DEFAULT) : overridden;
}

QString ServiceAddress::homepage() {
    const QString overridden = qEnvironmentVariable("VAULTRY_HOMEPAGE");
    return overridden.isEmpty() ? QStringLiteral(VAULTRY_HOMEPAGE_DEFAULT) : overridden;
}
