#pragma once

#include <QString>

// Where a skin file such as "images/download_bg.bmp" is found: relative to the current
// directory first (as the programs always did), then next to the executable, then in the
// installed data directory. Returns the first existing path, or "" when there is none.
QString skinPath(const QString& relative);
