#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

// Small blocking-socket helpers for the connection threads. Every wait is bounded: either by
// a time-out or by the service's stop, which shuts the socket down and so wakes the wait.

enum class ReadStatus { Complete, Closed, Error, TimedOut };

// Waits until fd is readable (data or end of stream). 1 ready, 0 timed out, -1 error.
int WaitReadable(int fd, int timeoutMs);

// Reads exactly len bytes unless the peer closes, an error occurs or the whole read takes
// longer than timeoutMs. got receives the number of bytes read.
ReadStatus ReadFull(int fd, char* buf, size_t len, int timeoutMs, size_t& got);

// Sends all bytes (normally one send call does it). False on error.
bool SendWhole(int fd, const char* data, size_t len);

// Reads and discards what arrives until nothing has come for quietMs, at most maxBytes, and
// for no longer than totalMs in all (a peer dripping bytes buys nothing). Returns the number
// of bytes discarded; sets overflow when maxBytes was reached or the time was up.
int64_t Drain(int fd, int quietMs, int totalMs, int64_t maxBytes, bool& overflow);

// Graceful end of a connection that sent data: half-close, then wait (at most timeoutMs in
// all) for the peer to close too, so that unread bytes on our side never turn the close into
// a reset.
void FinishSending(int fd, int timeoutMs);

// Send and receive time-outs on a socket.
void SetSocketTimeouts(int fd, int seconds);

QString PeerName(int fd);

// True when the peer's address is in 127.0.0.0/8.
bool PeerIsLoopback(int fd);
