#pragma once

#include <QString>

// The kit serves both programs; where they differ (resource numbers, control ids, texts,
// column widths) the caller says which program it is.
enum class Client { Download, Upload };

// Qt resource folder of the program's numbered bitmaps and icons, e.g. ":/download/".
inline QString resourcePrefix(Client client) {
    return client == Client::Download ? QStringLiteral(":/download/") : QStringLiteral(":/upload/");
}
