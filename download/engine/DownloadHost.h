#pragma once

#include "core/TransferHost.h"

// What the download engine tells its window beyond what both windows offer: the folder line
// and the window's place. Its own questions (the duplicate file, the folders, the save-folder
// dialog) are kinds of MemberQuestion.
class DownloadHost : public virtual TransferHost {
public:
    virtual void showFolder(const QString& folder) = 0;
    virtual void moveToTopLeft() = 0;
};
