#pragma once

#include "core/WindowBus.h"

#include <QString>

// The other process of the bus tests, started from the test executable itself with
// "--peer <class> <lock name> [descriptor limit]": it holds the lock, registers the class,
// prints one line "ready|failed <lock acquired> <lock unavailable>" and answers until told
// "quit". A descriptor limit stands for a desktop session's small one.
int RunBusPeer(const QString& className, const QString& lockName, int descriptorLimit);

// The ping-pong both sides of the nested-send tests play. "bounce:N" with N > 0 is answered by
// sending "bounce:N-1" back to the sender from inside the handler and adding one to its
// answer; "bounce:0" is answered with 100; a failed inner send makes the answer -1.
qint64 Bounce(const WindowBus& bus, const CopyData& message);
