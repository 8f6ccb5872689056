#include "FolderChooser.h"

#include "ModalSeam.h"

#include <QFileDialog>

namespace {

class DesktopFolderChooser final : public FolderChooser {
public:
    QString chooseFolder(QWidget* parent, const QString& title) override {
        // Like every modal of the windows, through the seam: a run that answers boxes by
        // itself cancels the chooser instead of waiting in it.
        QFileDialog dialog(parent, title);
        dialog.setObjectName(QStringLiteral("FolderChooser"));
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        if (ModalSeam::run(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return dialog.selectedFiles().constFirst();
    }
};

FolderChooser* installed = nullptr;

} // namespace

FolderChooser& FolderChooser::current() {
    static DesktopFolderChooser desktop;
    return installed ? *installed : desktop;
}

void FolderChooser::install(FolderChooser* chooser) {
    installed = chooser;
}
