#pragma once

// The numbered bitmaps and icons are compiled into the static kit library; a static library's
// resource initialiser is only linked when something refers to it, so every class that loads
// resources calls this first.
void ensureKitResources();

#include "ui/ClientProfile.h"

#include <QIcon>

// The program's window icon (resource 128).
QIcon programIcon(const ClientProfile& profile);
// The icon of a numbered picture such as ":/download/146.png", with its twin drawn at twice
// the size for scaled screens.
QIcon kitIcon(const QString& path);
