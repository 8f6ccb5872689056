#include "ui/CTrayicon.h"

#include "ui/CTray_menus.h"
#include "ui/KitResources.h"
#include "ui/TrayCommand.h"

#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

CTrayicon::CTrayicon(QWidget* owner, int iconId, const ClientProfile& profile)
    : QObject(owner), iconId_(iconId), profile_(profile) {}

CTrayicon::~CTrayicon() {
    RemoveIcon();
    delete tray_;
    delete menu_;
}

void CTrayicon::AddIcon(const QString& tip) {
    ensureKitResources();
    if (!tray_) {
        tray_ = new QSystemTrayIcon(this);
        menu_ = CTray_menus::CreateMenu(profile_, nullptr);
        connect(menu_, &QMenu::triggered, this,
                [this](QAction* action) { emit command(action->data().toInt()); });
        tray_->setContextMenu(menu_);
        // The context menu is the host's (or Qt's) to show: only the activations that ask
        // for the window are handled here.
        connect(tray_, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (reason == QSystemTrayIcon::Trigger ||
                        reason == QSystemTrayIcon::DoubleClick)
                        HandleTrayMessage(iconId_, TrayMessage::LeftDoubleClick, QPoint());
                });
    }
    tray_->setIcon(kitIcon(profile_.resources + QString::number(profile_.trayIcon) + ".png"));
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

void CTrayicon::SetTip(const QString& tip) {
    // Called on every display tick: a tray host hears of a change only.
    if (tray_ && tray_->toolTip() != tip.left(127))
        tray_->setToolTip(tip.left(127));
}

void CTrayicon::HandleTrayMessage(int iconId, int mouseMessage, const QPoint& at) {
    if (iconId != TrayMessage::IconId)
        return;
    if (mouseMessage == TrayMessage::LeftDoubleClick) {
        emit showWindowRequested();
        return;
    }
    if (mouseMessage == TrayMessage::RightButtonDown && menu_)
        menu_->popup(at);
}
