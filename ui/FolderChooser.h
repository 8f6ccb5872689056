#pragma once

#include <QString>
#include <functional>

class QDialog;
class QWidget;

// The desktop's folder chooser, behind a seam so that tests answer it themselves instead of
// leaving a modal dialog open.
class FolderChooser {
public:
    virtual ~FolderChooser() = default;
    // The chosen folder, or "" when the user cancelled.
    virtual QString chooseFolder(QWidget* parent, const QString& title) = 0;
    // The same without waiting: `chosen` gets the folder ("" when cancelled) once the chooser
    // closes. Returns the chooser while it is open, null when it was answered at once (as a
    // chooser that only answers chooseFolder() does).
    virtual QDialog* openChooser(QWidget* parent, const QString& title,
                                 std::function<void(const QString&)> chosen) {
        chosen(chooseFolder(parent, title));
        return nullptr;
    }

    // The process-wide chooser: QFileDialog unless a test installed its own.
    static FolderChooser& current();
    static void install(FolderChooser* chooser); // nullptr restores the desktop chooser
};
