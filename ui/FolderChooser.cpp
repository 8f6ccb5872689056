#include "ui/FolderChooser.h"

#include "ui/ModalSeam.h"

#include <QFileDialog>

namespace {

// Like every modal of the windows, through the seam: a run that answers boxes by itself
// cancels the chooser instead of waiting in it.
class DesktopFolderChooser final : public FolderChooser {
public:
    QString chooseFolder(QWidget* parent, const QString& title) override {
        QFileDialog dialog(parent, title);
        prepare(dialog);
        return ModalSeam::run(dialog) == QDialog::Accepted ? chosenIn(dialog) : QString();
    }
    QDialog* openChooser(QWidget* parent, const QString& title,
                         std::function<void(const QString&)> chosen) override {
        auto* dialog = new QFileDialog(parent, title);
        prepare(*dialog);
        const bool open = ModalSeam::open(*dialog, [dialog, chosen](int result) {
            dialog->deleteLater();
            chosen(result == QDialog::Accepted ? chosenIn(*dialog) : QString());
        });
        return open ? dialog : nullptr;
    }

private:
    static void prepare(QFileDialog& dialog) {
        dialog.setObjectName(QStringLiteral("FolderChooser"));
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
    }
    static QString chosenIn(const QFileDialog& dialog) {
        return dialog.selectedFiles().isEmpty() ? QString() : dialog.selectedFiles().constFirst();
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
