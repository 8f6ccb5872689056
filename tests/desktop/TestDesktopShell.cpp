// The desktop around the programs, in one process: the shell opens a save folder with the file
// selected through the file manager's D-Bus interface (a stand-in on a private session bus of
// the test's own, so no file manager of the machine is ever started), falls back to the desktop
// when no file manager answers, and Qt's own texts read Korean under a Korean locale.

#include "tests/support/PrivateSessionBus.h"
#include "tests/support/TestEnvironment.h"
#include "ui/DesktopApplication.h"
#include "ui/DesktopShell.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

PrivateSessionBus* g_bus = nullptr;

} // namespace

// The file manager's interface as the desktop's file managers offer it.
class FileManagerStandIn : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QList<QStringList> items, folders;
public slots:
    void ShowItems(const QStringList& uris, const QString&) { items << uris; }
    void ShowFolders(const QStringList& uris, const QString&) { folders << uris; }
};

// What QDesktopServices was asked to open, per scheme.
class OpenedUrls : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

class TestDesktopShell : public QObject {
    Q_OBJECT
    OpenedUrls opened_;

private slots:
    void initTestCase() {
        TestEnvironment::prepare();
        QVERIFY2(!g_bus->address().isEmpty(), "dbus-daemon did not start (package dbus-daemon)");
        for (const char* scheme : {"file", "http"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &opened_, "open");
    }

    void cleanupTestCase() {
        for (const char* scheme : {"file", "http"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }

    void openFolderSelectsTheFile() {
        const QString folder = TestEnvironment::scratch("save") + QString::fromUtf8("/사진 폴더");
        QVERIFY(QDir().mkpath(folder));
        const QString file = folder + QString::fromUtf8("/여름 #1.jpg");
        QFile(file).open(QIODevice::WriteOnly);
        DesktopShell shell;

        FileManagerStandIn manager;
        QDBusConnection side = QDBusConnection::connectToBus(QString::fromLatin1(g_bus->address()),
                                                             QStringLiteral("file-manager"));
        QVERIFY(side.isConnected());
        QVERIFY(side.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager,
                                    QDBusConnection::ExportAllSlots));
        QVERIFY(side.registerService(QStringLiteral("org.freedesktop.FileManager1")));
        shell.openFolder(folder, file);
        QTRY_COMPARE(manager.items.size(), 1);
        QCOMPARE(manager.items[0],
                 QStringList{QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded)});
        QCOMPARE(QUrl(manager.items[0][0]).toLocalFile(), file);
        QVERIFY(opened_.urls.isEmpty());

        // No file manager on the bus: the folder opens as the desktop opens it.
        QVERIFY(side.unregisterService(QStringLiteral("org.freedesktop.FileManager1")));
        QTRY_VERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered(
            QStringLiteral("org.freedesktop.FileManager1")));
        shell.openFolder(folder, file);
        QTRY_COMPARE(opened_.urls.size(), 1);
        QCOMPARE(opened_.urls[0], QUrl::fromLocalFile(folder));
        QCOMPARE(manager.items.size(), 1);
        QDBusConnection::disconnectFromBus(QStringLiteral("file-manager"));

        // A file not written yet cannot be selected: the folder at once; files and web
        // addresses go to the desktop too.
        opened_.urls.clear();
        shell.openFolder(folder, folder + "/not-yet.bin");
        shell.openFile(file);
        shell.openUrl(QStringLiteral("http://127.0.0.40:7580/"));
        QCOMPARE(opened_.urls, (QList<QUrl>{QUrl::fromLocalFile(folder), QUrl::fromLocalFile(file),
                                            QUrl(QStringLiteral("http://127.0.0.40:7580/"))}));
    }

    void qtTextsFollowTheKoreanLocale() {
        // The test runs under LANG=ko_KR.UTF-8 (tests/desktop/CMakeLists.txt).
        QCOMPARE(QLocale().language(), QLocale::Korean);
        QVERIFY2(InstallQtTranslations(), "qtbase_ko is missing (package qt6-translations-l10n)");
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel | QMessageBox::Open);
        QCOMPARE(box.button(QMessageBox::Ok)->text(), QString::fromUtf8("확인"));
        QCOMPARE(box.button(QMessageBox::Cancel)->text(), QString::fromUtf8("취소"));
        QCOMPARE(box.button(QMessageBox::Open)->text(), QString::fromUtf8("열기"));
    }
};

int main(int argc, char** argv) {
    PrivateSessionBus bus;
    g_bus = &bus;
    QApplication app(argc, argv);
    TestDesktopShell test;
    return QTest::qExec(&test, argc, argv);
}

#include "TestDesktopShell.moc"
