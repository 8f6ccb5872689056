#include "CTrayicon.h"

#include "CTray_menus.h"
#include "KitResources.h"
#include "TrayCommand.h"

#include <QCursor>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

CTrayicon::CTrayicon(QWidget* owner, int iconId, const ClientProfile& profile)
    : QObject(owner), iconId_(iconId), profile_(profile) {}

CTrayicon::~CTrayicon() {
    RemoveIcon();
    if (menu_)
        delete menu_.data();
}

void CTrayicon::AddIcon(const QString& tip) {
    ensureKitResources();
    if (!tray_) {
        tray_ = new QSystemTrayIcon(this);
        connect(tray_, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (reason == QSystemTrayIcon::DoubleClick)
                        HandleTrayMessage(iconId_, TrayMessage::LeftDoubleClick, QCursor::pos());
                    else if (reason == QSystemTrayIcon::Context)
                        HandleTrayMessage(iconId_, TrayMessage::RightButtonDown, QCursor::pos());
                });
    }
    tray_->setIcon(QIcon(profile_.resources + QString::number(profile_.trayIcon) + ".png"));
    const QString text = tip.isEmpty() ? profile_.caption : tip;
    tray_->setToolTip(text.left(127));
    // Without a tray host the icon would only produce warnings; the program works on.
    if (QSystemTrayIcon::isSystemTrayAvailable())
        tray_->show();
}

void CTrayicon::RemoveIcon() {
    if (tray_)
        tray_->hide();
}

bool CTrayicon::isShown() const {
    return tray_ && tray_->isVisible();
}

QString CTrayicon::tip() const {
    return tray_ ? tray_->toolTip() : QString();
}

void CTrayicon::HandleTrayMessage(int iconId, int mouseMessage, const QPoint& at) {
    if (iconId != TrayMessage::IconId)
        return;
    if (mouseMessage == TrayMessage::LeftDoubleClick) {
        emit showWindowRequested();
        return;
    }
    if (mouseMessage != TrayMessage::RightButtonDown)
        return;
    if (menu_)
        menu_->deleteLater();
    menu_ = CTray_menus::CreateMenu(profile_, nullptr);
    QMenu* menu = menu_;
    connect(menu, &QMenu::triggered, this,
            [this](QAction* action) { emit command(action->data().toInt()); });
    connect(menu, &QMenu::aboutToHide, menu, &QObject::deleteLater);
    menu->popup(at);
}
