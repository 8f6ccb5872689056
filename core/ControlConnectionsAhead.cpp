#include "core/ControlConnectionsAhead.h"

#include "core/DataSocket.h"
#include "core/DesktopSeams.h"
#include "core/ServerLink.h"

#include <QList>
#include <QMutex>
#include <arpa/inet.h>

namespace {

QMutex gate;
QList<std::shared_ptr<SpareConnection>>& opened() {
    static QList<std::shared_ptr<SpareConnection>> connections;
    return connections;
}

} // namespace

namespace ControlConnectionsAhead {

void open(int count) {
    const QByteArray address = ServiceAddress::fileServer().trimmed().toLatin1();
    in_addr parsed{};
    if (::inet_pton(AF_INET, address.constData(), &parsed) != 1)
        return;
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
