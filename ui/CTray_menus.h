#pragma once

#include "ui/ClientProfile.h"

class QMenu;
class QWidget;

// The window commands behind the tray menu.
class CTray_menus {
public:
    virtual ~CTray_menus() = default;

    // The tray menu of the program: its items carry their command ids as data and are
    // named "id<command>". The caller owns the menu.
    static QMenu* CreateMenu(const ClientProfile& profile, QWidget* parent = nullptr);

    // Shows the window as it was (a minimised window stays minimised).
    void ShowMainWindow(QWidget* window);
    // Opens the service's homepage in the user's browser.
    void OpenHomepage();
};
