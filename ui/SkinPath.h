#pragma once

#include <QString>
#include <QStringList>

// Where a skin file such as "images/download_bg.bmp" is found: relative to the current
// directory first (as the programs always did), then beside the executable (a build's bin
// folder), then in the data folder beside the executable's (bin/../share/vaultry), so an
// installed or unpacked copy finds its own skins wherever it lies. Returns the first existing
// path, or "" when there is none.
QString skinPath(const QString& relative);

// The folders skinPath() looks in, in order.
QStringList skinSearchRoots();
