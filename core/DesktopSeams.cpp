#include "core/DesktopSeams.h"

#include "core/LogCategories.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDebug>

#ifndef VAULTRY_FILE_SERVER_DEFAULT
#define VAULTRY_FILE_SERVER_DEFAULT "127.0.0.1"
#endif
#ifndef VAULTRY_HOMEPAGE_DEFAULT
#define VAULTRY_HOMEPAGE_DEFAULT "http://127.0.0.1:7580"
#endif

namespace {

// Where no desktop shell was handed in (a widget-free tool): nothing is opened.
class NoShell final : public ShellSeam {
public:
    void openUrl(const QString& url) override {
        qCWarning(lcDesktop, "no desktop shell to open %s", qPrintable(url));
    }
    void openFolder(const QString& folder, const QString&) override {
        qCWarning(lcDesktop, "no desktop shell to open %s", qPrintable(folder));
    }
    void openFile(const QString& path) override {
        qCWarning(lcDesktop, "no desktop shell to open %s", qPrintable(path));
    }
};

class LogindPower final : public PowerSeam {
public:
    void powerOff() override {
        if (qEnvironmentVariable("VAULTRY_NO_SHUTDOWN") == QLatin1String("1")) {
            qCInfo(lcDesktop, "power off requested (suppressed by VAULTRY_NO_SHUTDOWN)");
            return;
        }
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PowerOff"));
        call << false; // not interactive: no authentication prompt
        QDBusConnection::systemBus().call(call, QDBus::NoBlock);
    }
};

NoShell gNoShell;
LogindPower gLogindPower;
ShellSeam* gDesktopShell = &gNoShell;
ShellSeam* gShell = nullptr;
PowerSeam* gPower = nullptr;

} // namespace

ShellSeam& ShellSeam::current() {
    return gShell ? *gShell : *gDesktopShell;
}
void ShellSeam::install(ShellSeam* shell) {
    gShell = shell;
}
void ShellSeam::installDesktop(ShellSeam* shell) {
    gDesktopShell = shell ? shell : &gNoShell;
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
