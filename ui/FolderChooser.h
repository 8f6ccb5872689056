#pragma once

#include <QString>

class QWidget;

// The desktop's folder chooser, behind a seam so that tests answer it themselves instead of
// leaving a modal dialog open.
class FolderChooser {
public:
    virtual ~FolderChooser() = default;
    // The chosen folder, or "" when the user cancelled.
    virtual QString chooseFolder(QWidget* parent, const QString& title) = 0;

    // The process-wide chooser: QFileDialog unless a test installed its own.
    static FolderChooser& current();
    static void install(FolderChooser* chooser); // nullptr restores the desktop chooser
};
