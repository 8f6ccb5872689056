#include "CTray_menus.h"

#include "DesktopSeams.h"
#include "KitFont.h"
#include "TrayCommand.h"

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
    add(TrayCommand::OpenHomepage, QStringLiteral("홈페이지 접속"));
    menu->addSeparator();
    add(TrayCommand::ShowWindow, profile.showWindowText);
    add(TrayCommand::Settings, QStringLiteral("환경설정"));
    menu->addSeparator();
    add(TrayCommand::ExitProgram, QStringLiteral("프로그램종료"));
    return menu;
}

void CTray_menus::ShowMainWindow(QWidget* window) {
    if (window)
        window->show();
}

void CTray_menus::OpenHomepage() {
    ShellSeam::current().openUrl(ServiceAddress::homepage());
}
