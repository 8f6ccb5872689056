#include "FolderChooser.h"

#include <QFileDialog>

namespace {

class DesktopFolderChooser final : public FolderChooser {
public:
    QString chooseFolder(QWidget* parent, const QString& title) override {
        return QFileDialog::getExistingDirectory(parent, title, QString(),
                                                 QFileDialog::ShowDirsOnly);
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
