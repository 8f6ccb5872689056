#pragma once

#include <QByteArray>
#include <QString>

// What the file server checks a listed file against: the listed size in decimal, then ten
// bytes sampled from the middle of the file (from its start below 10 bytes, at 1999999990
// above 2000000000), each as the absolute value of the signed byte in three digits. Sample
// positions the file does not fill (short files, files that are missing or may not be read)
// count as zero bytes.

// The fingerprint of the open file `fd`; -1 stands for a file that is not there (or one the
// member did not choose: it is never opened).
QByteArray FileFingerprint(int fd, qint64 listedSize);

// Offset the sample is read from.
qint64 FingerprintSampleOffset(qint64 listedSize);
