#pragma once

#include <QByteArray>
#include <QString>

// Wire texts are code page 949 bytes. The service converts with ICU's "windows-949" (the
// Windows code page 949, UHC): Qt's "CP949" name resolves to ICU's IBM-949 table, which maps
// byte 0x5C to U+20A9 (won sign), encodes "\" as 0x82 and lacks the UHC extension syllables
// (e.g. U+B620), so it cannot carry the "a\b\" folder texts of the protocol.
QString FromWire(const QByteArray& bytes);
QByteArray ToWire(const QString& text);

// True when the codec round-trips a folder text with Korean names and backslashes.
bool WireCodecWorks();
