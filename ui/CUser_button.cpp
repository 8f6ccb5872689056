#include "ui/CUser_button.h"

#include "core/TransferEngineBase.h"
#include "ui/CFileList.h"
#include "ui/FolderChooser.h"
#include "ui/ModalSeam.h"
#include "ui/Vaultry_Config.h"

#include <QPointer>
#include <QWidget>

void CUser_button::Bind(QWidget* window, CFileList* list, TransferEngineBase* engine) {
    window_ = window;
    list_ = list;
    engine_ = engine;
}

QDialog* CUser_button::OpenSettings(std::function<void()> closed) {
    auto* dialog = new Vaultry_Config(profile_);
    const bool open = ModalSeam::open(*dialog, [dialog, closed](int) {
        dialog->deleteLater();
        if (closed)
            closed();
    });
    return open ? dialog : nullptr;
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

QDialog* CUser_button::BrowseFolder(const QString& title,
                                    std::function<void(std::optional<QString>)> chosen) {
    QPointer<QWidget> window(window_);
    return FolderChooser::current().openChooser(
        nullptr, title, [window, chosen](const QString& folder) {
            if (window) {
                window->show();
                window->raise();
                window->activateWindow();
            }
            chosen(folder.isEmpty() ? std::nullopt : std::optional<QString>(folder));
        });
}
