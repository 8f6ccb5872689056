#include "tests/core/BusPeer.h"

#include "core/InstanceLock.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

qint64 Bounce(const WindowBus& bus, const CopyData& message) {
    const int left = message.text().mid(7).toInt();
    if (left <= 0)
        return 100;
    const auto inner = WindowBus::send(message.sender, message.tag, bus.endpoint(),
                                       "bounce:" + QByteArray::number(left - 1), 3000);
    return inner && *inner >= 0 ? *inner + 1 : -1;
}

int RunBusPeer(const QString& className, const QString& lockName, int descriptorLimit) {
    if (descriptorLimit > 0) {
        const rlimit limit{rlim_t(descriptorLimit), rlim_t(descriptorLimit)};
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
    InstanceLock lock(lockName);
    WindowBus bus(className);
    bus.setHandler([&](const CopyData& m) -> qint64 {
        const QByteArray text = m.text();
        if (text.startsWith("bounce:"))
            return Bounce(bus, m);
        if (text == "call-me-back") {
            const QString sender = m.sender;
            QTimer::singleShot(
                0, [sender, &bus] { WindowBus::send(sender, 2, bus.endpoint(), "callback"); });
        }
        if (text == "quit")
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        return qint64(m.tag) * 1000 + text.size();
    });
    std::printf("%s %d %d\n", bus.isRegistered() ? "ready" : "failed", lock.acquired() ? 1 : 0,
                lock.unavailable() ? 1 : 0);
    std::fflush(stdout);
    return QCoreApplication::exec();
}
