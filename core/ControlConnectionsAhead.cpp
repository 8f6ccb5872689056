#include "core/ControlConnectionsAhead.h"

#include "core/DataSocket.h"
#include "core/DesktopSeams.h"
#include "core/ServerLink.h"

#include <QList>
#include <QMutex>

namespace {

QMutex gate;
QList<std::shared_ptr<SpareConnection>>& opened() {
    static QList<std::shared_ptr<SpareConnection>> connections;
    return connections;
}

} // namespace

namespace ControlConnectionsAhead {

void open(int count) {
    // Not resolved: a host name opens nothing (SpareConnection takes dotted addresses only).
    const QByteArray address = ServiceAddress::fileServer().trimmed().toLatin1();
    QMutexLocker locked(&gate);
    for (int i = 0; i < count; ++i)
        if (auto connection = SpareConnection::open(address, ServerLink::kControlPort))
            opened().append(std::move(connection));
}

std::shared_ptr<SpareConnection> take() {
    QMutexLocker locked(&gate);
    return opened().isEmpty() ? nullptr : opened().takeFirst();
}

void drop() {
    QMutexLocker locked(&gate);
    opened().clear();
}

} // namespace ControlConnectionsAhead
