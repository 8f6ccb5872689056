#pragma once

#include "ClientKind.h"

#include <QString>

class CFileList;
class QWidget;
class TransferListOwner;

// The list commands behind the main windows' buttons: delete the marked rows, delete the
// completed rows, run the settings dialog, choose a folder. The window binds itself and its
// list before each command.
class CUser_button {
public:
    explicit CUser_button(Client client) : client_(client) {}
    virtual ~CUser_button() = default;

    void Bind(QWidget* window, CFileList* list, TransferListOwner* owner);

    // Runs the settings dialog modally; the window reads its settings again afterwards.
    int OpenSettings();
    // Deletes the selected rows with their records, keeps the owner's indexes pointing at
    // the same records, then asks the owner to recompute after a delete.
    void DeleteSelected();
    // Deletes every row whose state reads "완료" with its record, then asks the owner to
    // recompute after the listing (also when nothing was deleted).
    void DeleteCompleted();
    // Shows the folder chooser; true with `folder` set when one was chosen, false (and
    // `folder` untouched) when cancelled. The window is shown and raised afterwards.
    bool BrowseFolder(QString& folder, const QString& title);

private:
    Client client_;
    QWidget* window_ = nullptr;
    CFileList* list_ = nullptr;
    TransferListOwner* owner_ = nullptr;
};
