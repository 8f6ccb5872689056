#pragma once

#include <QByteArray>

#include <cstdint>

// How the service reads what a client writes into a header block or a command.

// Reads a signed 64-bit decimal the way atoi reads: blanks, sign, digits up to the first
// non-digit; no digits give 0; overflow saturates.
int64_t ParseInt64(const QByteArray& text);

// The header value of a block: bytes up to the first zero byte (the whole block if none).
QByteArray BlockValue(const char* block, int size);
