#pragma once

#include "download/engine/DownloadHost.h"
#include "tests/support/RecordingTransferHost.h"

#include <QStringList>

// The download window as the engine sees it: the recorder every engine test uses, plus the
// download client's own lines.
class RecordingHost : public RecordingTransferHost, public DownloadHost {
public:
    QStringList folderLines;
    int movesToTopLeft = 0;

    void showFolder(const QString& t) override { folderLines << t; }
    void moveToTopLeft() override { ++movesToTopLeft; }
};
