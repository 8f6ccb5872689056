#pragma once

#include "ui/ClientProfile.h"

#include <QObject>
#include <QPoint>

class QMenu;
class QSystemTrayIcon;
class QWidget;

// The program's icon in the notification area. Where the desktop has no tray host nothing
// is shown and nothing else changes. A click or a double click asks for the window (hosts of
// the StatusNotifierItem kind report a left click as a single activation); the tray menu is
// the icon's context menu, so the host shows it its own way (exported over D-Bus, or popped up
// by Qt on the right button). A chosen item arrives as command().
class CTrayicon : public QObject {
    Q_OBJECT
public:
    // Owned by (and removed with) the main window.
    CTrayicon(QWidget* owner, int iconId, const ClientProfile& profile);
    ~CTrayicon() override; // removes the icon

    // Adds the icon with its tip; an empty tip takes the program's own ("다운로더" /
    // "업로더").
    void AddIcon(const QString& tip = QString());
    void RemoveIcon();
    bool isShown() const;
    QString tip() const;
    // Changes the tip of the icon shown (the progress while files move).
    void SetTip(const QString& tip);

    // The tray handler: acts only for icon id 128; a left double click (515) emits
    // showWindowRequested(), a right button press (516) pops up the menu at `at`.
    void HandleTrayMessage(int iconId, int mouseMessage, const QPoint& at);
    // The tray menu, made with the icon (nothing before AddIcon()).
    QMenu* menu() const { return menu_; }

signals:
    void showWindowRequested();
    void command(int id);

private:
    int iconId_;
    const ClientProfile& profile_;
    QSystemTrayIcon* tray_ = nullptr;
    QMenu* menu_ = nullptr; // owned here: a menu can only have a widget for its parent
};
