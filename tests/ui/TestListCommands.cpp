#include "core/DesktopSeams.h"
#include "core/TransferTable.h"
#include "tests/support/TestEnvironment.h"
#include "ui/CFileList.h"
#include "ui/CTray_menus.h"
#include "ui/CTrayicon.h"
#include "ui/CUser_button.h"
#include "ui/FolderChooser.h"
#include "ui/KitResources.h"
#include "ui/TrayCommand.h"
#include "ui/Vaultry_Config.h"

#include <QApplication>
#include <QMenu>
#include <QPointer>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QtTest>

namespace {

struct Tagged : TransferRecord {
    Tagged(int t = -1) : tag(t) {}
    int tag;
};
using Table = RecordTable<Tagged>;

class RecordingShell : public ShellSeam {
public:
    QStringList urls;
    void openUrl(const QString& url) override { urls << url; }
    void openFolder(const QString&, const QString&) override {}
    void openFile(const QString&) override {}
};

class ScriptedChooser : public FolderChooser {
public:
    QString answer;
    QStringList titles;
    QString chooseFolder(QWidget*, const QString& title) override {
        titles << title;
        return answer;
    }
};

} // namespace

class TestListCommands : public QObject {
    Q_OBJECT
    QWidget window_;
    CFileList* list_ = nullptr;
    CUser_button commands_{ClientProfile::download()};

private slots:
    void initTestCase() {
        TestEnvironment::prepare();
        window_.resize(560, 300);
        list_ = new CFileList(&window_);
        list_->setGeometry(10, 10, 526, 138);
        commands_.Bind(&window_, list_, nullptr);
    }

    void browseFolder() {
        ScriptedChooser chooser;
        FolderChooser::install(&chooser);
        QList<std::optional<QString>> chosen;
        const auto record = [&](std::optional<QString> folder) { chosen << folder; };
        QVERIFY(!commands_.BrowseFolder(QStringLiteral("저장 폴더를 지정하세요"), record));
        chooser.answer = QStringLiteral("/tmp/저장");
        QVERIFY(!commands_.BrowseFolder(QStringLiteral("저장 폴더를 지정하세요"), record));
        QCOMPARE(chosen,
                 (QList<std::optional<QString>>{std::nullopt, QStringLiteral("/tmp/저장")}));
        QCOMPARE(chooser.titles.value(0), QStringLiteral("저장 폴더를 지정하세요"));
        QVERIFY(window_.isVisible());
        FolderChooser::install(nullptr);
    }

    void openSettingsRunsTheDialog() {
        // Shown modal to the program, without waiting; closing it runs what follows.
        bool closed = false;
        QPointer<QDialog> open = commands_.OpenSettings([&closed] { closed = true; });
        QVERIFY(open);
        QCOMPARE(qobject_cast<Vaultry_Config*>(QApplication::activeModalWidget()), open.data());
        QVERIFY(!closed);
        qobject_cast<Vaultry_Config*>(open.data())->Cancel();
        QVERIFY(closed);
        QTRY_VERIFY(!open);
    }

    void trayMenuOfBothPrograms() {
        const QStringList download{
            QStringLiteral("홈페이지 접속"), QString(), QStringLiteral("파일 다운로드 창보기"),
            QStringLiteral("환경설정"),      QString(), QStringLiteral("프로그램종료")};
        for (const ClientProfile* profile :
             {&ClientProfile::download(), &ClientProfile::upload()}) {
            QScopedPointer<QMenu> menu(CTray_menus::CreateMenu(*profile));
            const QList<QAction*> actions = menu->actions();
            QCOMPARE(actions.size(), 6);
            QStringList texts = download;
            if (profile == &ClientProfile::upload())
                texts[2] = QStringLiteral("파일 업로드 창보기");
            const int ids[] = {32771, 0, 32772, 32773, 0, 32774};
            for (int i = 0; i < 6; ++i) {
                QCOMPARE(actions[i]->isSeparator(), ids[i] == 0);
                if (ids[i] == 0)
                    continue;
                QCOMPARE(actions[i]->text(), texts[i]);
                QCOMPARE(actions[i]->data().toInt(), ids[i]);
            }
        }
    }

    void trayIconHandler() {
        CTrayicon tray(&window_, TrayMessage::IconId, ClientProfile::download());
        tray.AddIcon(QStringLiteral("다운로더"));
        QCOMPARE(tray.tip(), QStringLiteral("다운로더"));
        CTrayicon upload(&window_, TrayMessage::IconId, ClientProfile::upload());
        upload.AddIcon();
        QCOMPARE(upload.tip(), QStringLiteral("업로더"));
        QVERIFY(!programIcon(ClientProfile::upload()).isNull());
        // Without a tray host nothing is shown and nothing breaks.
        QCOMPARE(tray.isShown(), QSystemTrayIcon::isSystemTrayAvailable());

        QSignalSpy show(&tray, &CTrayicon::showWindowRequested);
        QSignalSpy command(&tray, &CTrayicon::command);
        tray.HandleTrayMessage(129, TrayMessage::LeftDoubleClick, {});
        tray.HandleTrayMessage(129, TrayMessage::RightButtonDown, {});
        tray.HandleTrayMessage(TrayMessage::IconId, 513, {});
        QCOMPARE(show.count(), 0);
        QVERIFY(!tray.menu()->isVisible());
        tray.HandleTrayMessage(TrayMessage::IconId, TrayMessage::LeftDoubleClick, {});
        QCOMPARE(show.count(), 1);

        // The menu is the icon's context menu, for the tray host to show.
        auto* icon = tray.findChild<QSystemTrayIcon*>();
        QVERIFY(icon);
        QCOMPARE(icon->contextMenu(), tray.menu());
        tray.HandleTrayMessage(TrayMessage::IconId, TrayMessage::RightButtonDown, QPoint(40, 50));
        QMenu* menu = tray.menu();
        QVERIFY(menu->isVisible());
        QCOMPARE(menu->pos(), QPoint(40, 50));
        menu->findChild<QAction*>(QStringLiteral("id32773"))->trigger();
        QCOMPARE(command.count(), 1);
        QCOMPARE(command.at(0).at(0).toInt(), TrayCommand::Settings);
        menu->close();

        // The host's activations: a left click (Trigger, how StatusNotifierItem hosts report
        // it) and a double click ask for the window; the context request is the host's.
        for (auto reason : {QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick,
                            QSystemTrayIcon::Context, QSystemTrayIcon::MiddleClick})
            emit icon->activated(reason);
        QCOMPARE(show.count(), 3);
        QVERIFY(!menu->isVisible());
    }

    void windowCommands() {
        RecordingShell shell;
        ShellSeam::install(&shell);
        CTray_menus menus;
        menus.OpenHomepage();
        QCOMPARE(shell.urls, QStringList{ServiceAddress::homepage()});
        ShellSeam::install(nullptr);

        QWidget main;
        menus.ShowMainWindow(&main);
        QVERIFY(main.isVisible());
    }
};

QTEST_MAIN(TestListCommands)
#include "TestListCommands.moc"
