#pragma once

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>
#include <sys/types.h>

// A session bus daemon of the test's own, started before the application (Qt connects to the
// session bus once, at its first use); no service folder, so nothing is ever activated.
class PrivateSessionBus {
public:
    PrivateSessionBus() {
        const QString config = dir_.filePath(QStringLiteral("bus.conf"));
        QFile file(config);
        if (!dir_.isValid() || !file.open(QIODevice::WriteOnly))
            return;
        file.write("<busconfig>\n"
                   "  <type>session</type>\n"
                   "  <listen>unix:dir=" +
                   QFile::encodeName(dir_.path()) +
                   "</listen>\n"
                   "  <auth>EXTERNAL</auth>\n"
                   "  <policy context=\"default\">\n"
                   "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                   "    <allow eavesdrop=\"true\"/>\n"
                   "    <allow own=\"*\"/>\n"
                   "  </policy>\n"
                   "</busconfig>\n");
        file.close();
        const QByteArray command =
            "dbus-daemon --fork --print-address=1 --print-pid=1 --config-file=" +
            QFile::encodeName(config);
        FILE* out = ::popen(command.constData(), "r");
        if (!out)
            return;
        char line[1024];
        if (std::fgets(line, sizeof line, out))
            address_ = QByteArray(line).trimmed();
        if (std::fgets(line, sizeof line, out))
            pid_ = QByteArray(line).trimmed().toInt();
        ::pclose(out);
        if (!address_.isEmpty())
            qputenv("DBUS_SESSION_BUS_ADDRESS", address_);
    }
    ~PrivateSessionBus() {
        if (pid_ > 0)
            ::kill(pid_, SIGTERM);
    }
    QByteArray address() const { return address_; }

private:
    QTemporaryDir dir_;
    QByteArray address_;
    pid_t pid_ = 0;
};
