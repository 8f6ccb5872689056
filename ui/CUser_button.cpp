#include "CUser_button.h"

#include "CFileList.h"
#include "FolderChooser.h"
#include "ModalSeam.h"
#include "TransferListOwner.h"
#include "TransferTable.h"
#include "Vaultry_Config.h"

#include <QWidget>

void CUser_button::Bind(QWidget* window, CFileList* list, TransferListOwner* owner) {
    window_ = window;
    list_ = list;
    owner_ = owner;
}

int CUser_button::OpenSettings() {
    Vaultry_Config dialog(client_);
    return ModalSeam::run(dialog);
}

void CUser_button::DeleteSelected() {
    if (!list_ || !list_->table())
        return;
    // Only the rows the user selected (and confirmed) go; a row that merely holds the focus
    // is not part of the selection the user was asked about.
    const QList<int> rows = list_->SelectedRows();
    for (auto row = rows.crbegin(); row != rows.crend(); ++row) {
        list_->table()->removeRowAt(*row);
        if (!owner_)
            continue;
        const int resume = owner_->resumeIndex();
        if (resume == *row)
            owner_->setResumeIndex(-1);
        else if (resume > *row)
            owner_->setResumeIndex(resume - 1); // keep naming the same stopped record
    }
    if (owner_)
        owner_->recomputeAfterDelete();
}

void CUser_button::DeleteCompleted() {
    if (!list_ || !list_->table())
        return;
    const QList<int> removed = list_->table()->removeRowsWithState(QStringLiteral("완료"));
    if (owner_) {
        // Rows are removed from the last to the first; the current index falls by one for
        // every removed row at or above it, and stays for rows below it.
        for (int row : removed) {
            const int current = owner_->currentIndex();
            if (row <= current)
                owner_->setCurrentIndex(current - 1);
        }
        owner_->recomputeAfterListing();
    }
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
