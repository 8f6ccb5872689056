#pragma once

#include <QByteArray>
#include <QString>

// Wire texts are code page 949 bytes; they become QString only at the screen and the file
// system, so that byte-counting rules keep working on the bytes the server sent.
QString FromCp949(const QByteArray& bytes);
QByteArray ToCp949(const QString& text);

// Shortens a name for a status line to at most n bytes and appends "..." when it was cut,
// never splitting a double-byte character (the cut drops a lead byte that would be left alone).
QByteArray ShortenName(const QByteArray& name, int n);

// The upload client's cut: the first n bytes and "..." when the text is longer than n bytes.
// A double-byte character on the boundary is dropped whole, like ShortenName, so the status
// line never shows half a character.
QByteArray CutName(const QByteArray& text, int n);
