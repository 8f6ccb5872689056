#include "ui/CTray_menus.h"

#include "core/DesktopSeams.h"
#include "ui/KitFont.h"
#include "ui/KitTexts.h"
#include "ui/TrayCommand.h"

#include <QMenu>
#include <QWidget>

QMenu* CTray_menus::CreateMenu(const ClientProfile& profile, QWidget* parent) {
    auto* menu = new QMenu(profile.trayMenuTitle, parent);
    menu->setFont(gulimFont(12));
    const auto add = [menu](int id, const QString& text) {
        QAction* action = menu->addAction(text);
        action->setData(id);
        action->setObjectName(QStringLiteral("id%1").arg(id));
    };
    add(TrayCommand::OpenHomepage, KitText::trayHomepage());
    menu->addSeparator();
    add(TrayCommand::ShowWindow, profile.showWindowText);
    add(TrayCommand::Settings, KitText::traySettings());
    menu->addSeparator();
    add(TrayCommand::ExitProgram, KitText::trayExit());
    return menu;
}

void CTray_menus::ShowMainWindow(QWidget* window) {
    if (window)
        window->show();
}

void CTray_menus::OpenHomepage() {
    ShellSeam::current().openUrl(ServiceAddress::homepage());
}
