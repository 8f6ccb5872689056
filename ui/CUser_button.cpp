#include "CUser_button.h"

#include "CFileList.h"
#include "FolderChooser.h"
#include "ModalSeam.h"
#include "TransferEngineBase.h"
#include "Vaultry_Config.h"

#include <QWidget>

void CUser_button::Bind(QWidget* window, CFileList* list, TransferEngineBase* engine) {
    window_ = window;
    list_ = list;
    engine_ = engine;
}

int CUser_button::OpenSettings() {
    Vaultry_Config dialog(profile_);
    return ModalSeam::run(dialog);
}

void CUser_button::DeleteSelected() {
    // Only the rows the user selected (and confirmed) go; a row that merely holds the focus
    // is not part of the selection the user was asked about.
    if (list_ && engine_)
        engine_->deleteRows(list_->SelectedRows());
}

void CUser_button::DeleteCompleted() {
    if (engine_)
        engine_->deleteCompletedRows();
}

bool CUser_button::BrowseFolder(QString& folder, const QString& title) {
    const QString chosen = FolderChooser::current().chooseFolder(nullptr, title);
    if (window_) {
        window_->show();
        window_->raise();
        window_->activateWindow();
    }
    if (chosen.isEmpty())
        return false;
    folder = chosen;
    return true;
}
