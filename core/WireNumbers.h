#pragma once

#include <QByteArray>
#include <QtGlobal>

// Numbers on the wire are decimal text read the C way: leading blanks skipped, an optional
// sign, digits up to the first non-digit; no digits reads as 0. Values beyond the type's
// range saturate instead of wrapping.
qint64 ParseWireInt64(const QByteArray& text);
int ParseWireInt32(const QByteArray& text);
