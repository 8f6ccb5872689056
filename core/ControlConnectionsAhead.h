#pragma once

#include <memory>

class SpareConnection;

// Control connections to the file server opened when a program starts with a request in
// hand, so that their handshakes run while the window is being built. Each is taken once by
// the first exchanges (the sign-on, the listing); nothing is sent on one before it is taken.
// One left untaken is closed after its time (its user connects afresh then) or at the exit.
namespace ControlConnectionsAhead {

// Opens `count` connections, at once and without waiting for them. Nothing is opened when the
// file server's address is not a dotted IPv4 address: a name lookup must not hold the start.
void open(int count);

// One of them, or null when none is left.
std::shared_ptr<SpareConnection> take();

// Closes those not taken.
void drop();

} // namespace ControlConnectionsAhead
