#pragma once

#include "ui/ConfigControlIds.h"

#include <QString>

// What the kit needs to know about the program it serves: where its numbered pictures are,
// its captions, its tray icon and menu, its list's column widths and its settings dialog's
// control ids. The two programs hand their profile in; the kit never asks which one it is.
struct ClientProfile {
    struct Columns {
        int name;
        int size;
        int slack; // the state column takes the client width minus this
    };

    QString resources;      // Qt resource folder of the numbered bitmaps and icons
    QString caption;        // boxes and the tray tip: "다운로더" / "업로더"
    QString errorCaption;   // "다운로더 (오류)" / "업로더 (오류)"
    int trayIcon;           // icon resource of the tray
    QString trayMenuTitle;  // the pop-up's title (never shown)
    QString showWindowText; // tray menu item 32772
    Columns columns;
    ConfigControlIds config; // the settings dialog's control ids and button strips

    static const ClientProfile& download();
    static const ClientProfile& upload();
};
