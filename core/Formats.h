#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Display texts shared by both clients: sizes, durations and progress captions.

// "%3.1f%s" with the units Byte, KB, MB, GB, TB, PB; the fraction comes only from the last
// division by 1024 (1536 -> "1.5KB", 100000 -> "97.0KB").
QString FormatSize(qint64 bytes);

// "%02d:%02d:%02d"; the hour field wraps at 60 (216000 s -> "00:00:00").
QString FormatTime(qint64 seconds);

// 1234567 -> "1,234,567"; negative numbers keep their sign in front.
QString GroupDigits(qint64 value);

// done / max(total / 100, 1), in 64-bit integers.
qint64 ProgressPercent(qint64 done, qint64 total);

// Bar position in the range 0..1000: done * 1000 / total, 0 when total is 0; clamped to the
// range so that a server that overshoots cannot push the bar out of it.
int ProgressBarPosition(qint64 done, qint64 total);

// "P%/100%(done/total Byte)" with grouped digits.
QString ProgressCaption(qint64 done, qint64 total);

// Caption a file bar shows before any byte of it is known.
inline const char* const kEmptyFileCaption = "0/100%(0/0 Byte)";
// Caption the total bar shows when the list is empty after a delete.
inline const char* const kEmptyTotalCaption = "0%/0%(0/0 Byte)";
