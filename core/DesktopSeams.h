#pragma once

#include <QString>

// What the clients ask of the desktop, behind seams so that tests never open a browser or a
// file manager and never shut the machine down.

class ShellSeam {
public:
    virtual ~ShellSeam() = default;
    virtual void openUrl(const QString& url) = 0; // the homepage, in the user's browser
    // A save folder in the file manager, with `selected` (a file in it) selected when it
    // exists; an empty `selected` opens the folder alone.
    virtual void openFolder(const QString& folder, const QString& selected) = 0;
    virtual void openFile(const QString& path) = 0; // a downloaded file, with its default app

    // The process-wide shell: the one a test installed, else the desktop's.
    static ShellSeam& current();
    static void install(ShellSeam* shell); // nullptr restores the desktop shell
    // The desktop's shell lives with the widgets (ui/DesktopShell); the programs hand it in at
    // start. Until then a request is only logged.
    static void installDesktop(ShellSeam* shell);
};

class PowerSeam {
public:
    virtual ~PowerSeam() = default;
    // Asks the system to power off now, without forcing applications closed.
    virtual void powerOff() = 0;

    // logind over D-Bus; only logs when VAULTRY_NO_SHUTDOWN=1.
    static PowerSeam& current();
    static void install(PowerSeam* power);
};

// Service addresses compiled into the programs, overridable for tests and the demo by
// VAULTRY_FILE_SERVER and VAULTRY_HOMEPAGE.
namespace ServiceAddress {
QString fileServer();
QString homepage();
} // namespace ServiceAddress
