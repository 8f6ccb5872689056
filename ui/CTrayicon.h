#pragma once

#include "ClientProfile.h"

#include <QObject>
#include <QPoint>
#include <QPointer>

#include <QMenu>
class QSystemTrayIcon;
class QWidget;

// The program's icon in the notification area. Where the desktop has no tray host nothing
// is shown and nothing else changes. A double click asks for the window; the right button
// opens the tray menu, built anew for each click; a chosen item arrives as command().
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

    // The tray handler: acts only for icon id 128; a left double click (515) emits
    // showWindowRequested(), a right button press (516) pops up the menu at `at`.
    void HandleTrayMessage(int iconId, int mouseMessage, const QPoint& at);
    // The menu currently popped up, if any.
    QMenu* openMenu() const { return menu_; }

signals:
    void showWindowRequested();
    void command(int id);

private:
    int iconId_;
    const ClientProfile& profile_;
    QSystemTrayIcon* tray_ = nullptr;
    QPointer<QMenu> menu_;
};
