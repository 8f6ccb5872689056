#pragma once

#include "core/DesktopSeams.h"

// The desktop's side of ShellSeam: web addresses and files through QDesktopServices (the
// member's browser and default applications, through the portal where the program is
// sandboxed), a folder through the file manager's org.freedesktop.FileManager1 interface on
// the session bus so that the chosen file shows selected. Where no file manager answers on
// the bus the folder is opened as QDesktopServices opens it. Nothing here waits: the bus call
// is answered on the event loop.
class DesktopShell final : public ShellSeam {
public:
    void openUrl(const QString& url) override;
    void openFolder(const QString& folder, const QString& selected) override;
    void openFile(const QString& path) override;
};
