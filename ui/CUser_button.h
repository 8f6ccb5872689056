#pragma once

#include "ui/ClientProfile.h"

#include <QString>
#include <functional>
#include <optional>

class CFileList;
class QDialog;
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

    // Opens the settings dialog modally without waiting; `closed` runs once it has closed (the
    // window then reads its settings again). Returns the dialog while it is open, null when it
    // was answered at once.
    QDialog* OpenSettings(std::function<void()> closed);
    // Deletes the selected rows with their records; the engine keeps its indexes on the same
    // records and recomputes after a delete.
    void DeleteSelected();
    // Deletes every row whose state reads "완료" with its record; the engine recomputes as
    // after a listing (also when nothing was deleted).
    void DeleteCompleted();
    // Opens the folder chooser without waiting. Once it closes the window is shown and raised,
    // and `chosen` gets the folder, or nothing when the member cancelled. Returns the chooser
    // while it is open, null when it was answered at once.
    QDialog* BrowseFolder(const QString& title, std::function<void(std::optional<QString>)> chosen);

private:
    const ClientProfile& profile_;
    QWidget* window_ = nullptr;
    CFileList* list_ = nullptr;
    TransferEngineBase* engine_ = nullptr;
};
