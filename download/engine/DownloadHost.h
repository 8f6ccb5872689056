#pragma once

#include "TransferHost.h"

#include <optional>

// What the download engine needs beyond what both windows offer: the folder line and the
// download client's own questions.
class DownloadHost : public virtual TransferHost {
public:
    virtual void showFolder(const QString& folder) = 0;
    virtual std::optional<QString> chooseFolder(const QString& title) = 0;
    // The duplicate-file question: 1 overwrite, 2 resume.
    virtual int askDuplicate(const QString& fileName) = 0;
    // Offered before the folder question of a new batch; it may change the stored folder
    // settings, which the engine reads again afterwards.
    virtual void offerSaveFolderDialog() = 0;
    virtual void moveToTopLeft() = 0;
};
