#pragma once

#include "ClientProfile.h"

#include <QString>

class CFileList;
class QWidget;
class TransferEngineBase;

// The list commands behind the main windows' buttons: delete the marked rows, delete the
// completed rows, run the settings dialog, choose a folder. The window binds itself, its list
// and its engine before each command; the commands act on the engine's table.
class CUser_button {
public:
    explicit CUser_button(const ClientProfile& profile) : profile_(profile) {}
    virtual ~CUser_button() = default;

    void Bind(QWidget* window, CFileList* list, TransferEngineBase* engine);

    // Runs the settings dialog modally; the window reads its settings again afterwards.
    int OpenSettings();
    // Deletes the selected rows with their records; the engine keeps its indexes on the same
    // records and recomputes after a delete.
    void DeleteSelected();
    // Deletes every row whose state reads "완료" with its record; the engine recomputes as
    // after a listing (also when nothing was deleted).
    void DeleteCompleted();
    // Shows the folder chooser; true with `folder` set when one was chosen, false (and
    // `folder` untouched) when cancelled. The window is shown and raised afterwards.
    bool BrowseFolder(QString& folder, const QString& title);

private:
    const ClientProfile& profile_;
    QWidget* window_ = nullptr;
    CFileList* list_ = nullptr;
    TransferEngineBase* engine_ = nullptr;
};
