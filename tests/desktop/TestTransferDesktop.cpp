// The desktop around a running download: the end of each list as one notification in the
// completion box's words (with an action that opens the save folder), none when the setting
// is 0 or nobody serves notifications, and sleep held off while bytes move (the portal, else
// the screen saver, else logind), released when the list stops or ends. Stand-in services on
// a private session bus; the real engine, and the real download client, against the file
// service.

#include "core/TransferDesktop.h"
#include "tests/download/EngineFixture.h"
#include "tests/support/PrivateSessionBus.h"
#include "tests/support/RecordingTransferHost.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QProcess>
#include <QtTest>

#include <poll.h>
#include <unistd.h>

namespace {

PrivateSessionBus* g_bus = nullptr;

const QString kNotifications = QStringLiteral("org.freedesktop.Notifications");
const QString kNotificationsPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kScreenSaver = QStringLiteral("org.freedesktop.ScreenSaver");

} // namespace

class NotificationsStandIn : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Shown {
        QString app, icon, summary, body;
        QStringList actions;
        QVariantMap hints;
    };
    QList<Shown> shown;
    QStringList capabilities{QStringLiteral("actions"), QStringLiteral("body")};
public slots:
    QStringList GetCapabilities() { return capabilities; }
    uint Notify(const QString& app, uint, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int) {
        shown.append({app, icon, summary, body, actions, hints});
        return uint(shown.size());
    }
};

// A portal Request: Close ends the inhibition it stands for.
class RequestStandIn : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Request")
public:
    QStringList* closed = nullptr;
public slots:
    void Close() { closed->append(message().path()); }
};

class PortalStandIn : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Inhibit")
public:
    explicit PortalStandIn(QDBusConnection bus) : bus_(std::move(bus)) {}
    QList<uint> flags;
    QStringList handles, closed;
public slots:
    QDBusObjectPath Inhibit(const QString&, uint how, const QVariantMap&) {
        flags << how;
        const QString path =
            QStringLiteral("/org/freedesktop/portal/desktop/request/test/t%1").arg(flags.size());
        auto* request = new RequestStandIn;
        request->setParent(this);
        request->closed = &closed;
        bus_.registerObject(path, request, QDBusConnection::ExportAllSlots);
        handles << path;
        return QDBusObjectPath(path);
    }

private:
    QDBusConnection bus_;
};

class ScreenSaverStandIn : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    QList<uint> cookies, released;
public slots:
    uint Inhibit(const QString&, const QString&) {
        cookies << uint(700 + cookies.size());
        return cookies.last();
    }
    void UnInhibit(uint cookie) { released << cookie; }
};

// logind's Manager: Inhibit hands out the read end of a pipe; the inhibition lasts until the
// last copy of it is closed, which the write end sees.
class LogindStandIn : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    QStringList asked;
    int writeEnd = -1;
    ~LogindStandIn() override {
        if (writeEnd >= 0)
            ::close(writeEnd);
    }
    bool released() const {
        pollfd p{writeEnd, POLLOUT, 0};
        return ::poll(&p, 1, 0) == 1 && (p.revents & POLLERR);
    }
public slots:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why,
                                    const QString& mode) {
        asked << what << who << why << mode;
        int ends[2];
        if (::pipe(ends) != 0)
            return {};
        writeEnd = ends[1];
        QDBusUnixFileDescriptor readEnd(ends[0]); // a copy goes out with the reply
        ::close(ends[0]);
        return readEnd;
    }
};

class TestTransferDesktop : public QObject {
    Q_OBJECT

    // The services' side of the private bus.
    QDBusConnection side_{QStringLiteral("unset")};
    RecordingShell shell_;

    static TransferDesktop::Buses privateBuses() {
        // No system bus: logind is never reached from a test.
        return {QDBusConnection::sessionBus(),
                [] { return QDBusConnection(QStringLiteral("none")); }};
    }
    static TransferDesktop::Identity identity() {
        return {QStringLiteral("다운로더"), QStringLiteral("vastrelle-download"),
                SettingKey::DownNotify};
    }
    bool serve(const QString& service, const QString& path, QObject* object) {
        return side_.registerObject(path, object, QDBusConnection::ExportAllSlots) &&
               side_.registerService(service);
    }
    void leave(const QString& service, const QString& path) {
        side_.unregisterObject(path);
        side_.unregisterService(service);
        QTRY_VERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered(service));
    }

private slots:
    void initTestCase() {
        TestEnvironment::prepare();
        QVERIFY2(!g_bus->address().isEmpty(), "dbus-daemon did not start (package dbus-daemon)");
        side_ = QDBusConnection::connectToBus(QString::fromLatin1(g_bus->address()),
                                              QStringLiteral("stand-ins"));
        QVERIFY(side_.isConnected());
        ShellSeam::install(&shell_);
    }

    void oneNotificationPerList() {
        EngineFixture f("notify");
        TransferDesktop desktop(*f.engine, identity(), privateBuses());
        NotificationsStandIn server;
        QVERIFY(serve(kNotifications, kNotificationsPath, &server));
        // A file listed once is not listed again: every list has files of its own.
        for (const char* name : {"a.bin", "c.bin", "sub/b.bin", "d.bin", "e.bin"})
            f.addFile(name, 3000);
        QVERIFY(f.startService());
        SettingsStore::WriteInt(SettingKey::DownAutostart, 1);
        const auto list = [&](const QStringList& names) {
            f.host.messages.clear();
            f.process(EngineFixture::request(names));
        };

        // Success, with the action that opens the save folder.
        list({"a.bin"});
        QVERIFY(f.finished());
        QTRY_COMPARE(server.shown.size(), 1);
        QCOMPARE(server.shown[0].summary, QString("전송완료"));
        QCOMPARE(server.shown[0].body, QString("모든 파일이 전송완료되었습니다."));
        QCOMPARE(server.shown[0].app, QString("다운로더"));
        QCOMPARE(server.shown[0].actions, (QStringList{"open-folder", "폴더열기"}));
        QCOMPARE(server.shown[0].hints.value("desktop-entry").toString(),
                 QString("vastrelle-download"));
        QDBusMessage invoked = QDBusMessage::createSignal(kNotificationsPath, kNotifications,
                                                          QStringLiteral("ActionInvoked"));
        invoked << uint(1) << QStringLiteral("open-folder");
        QVERIFY(side_.send(invoked));
        QTRY_COMPARE(shell_.folders, QStringList{f.saveRoot});

        // Turned off: nothing. The next list's notification, sent after it on the same
        // connection, shows that none came in between.
        SettingsStore::WriteInt(SettingKey::DownNotify, 0);
        list({"c.bin"});
        QVERIFY(f.finished());
        SettingsStore::WriteInt(SettingKey::DownNotify, 1);

        // A failed file (its folder is a file here): the box's count, and no action where the
        // server offers none.
        QFile blocker(QDir(f.saveRoot).filePath("sub"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        server.capabilities = {QStringLiteral("body")};
        list({"sub/b.bin", "d.bin"});
        QTRY_VERIFY_WITH_TIMEOUT(f.host.hasMessage("1개의 파일을 전송하지 못했습니다."), 30000);
        QTRY_COMPARE(server.shown.size(), 2);
        QCOMPARE(server.shown[1].body, QString("1개의 파일을 전송하지 못했습니다."));
        QCOMPARE(server.shown[1].actions, QStringList{});

        // Nobody serves notifications: the list (the failed file is taken again) ends as
        // before, without a word about it.
        leave(kNotifications, kNotificationsPath);
        QTest::failOnWarning(QRegularExpression(".*"));
        list({"e.bin"});
        QTRY_VERIFY_WITH_TIMEOUT(f.host.hasMessage("1개의 파일을 전송하지 못했습니다."), 30000);
        QCOMPARE(f.stateText(4), QString("완료"));
        QCOMPARE(server.shown.size(), 2);
    }

    void sleepHeldWhileBytesMove() {
        EngineFixture f("inhibit");
        TransferDesktop desktop(*f.engine, identity(), privateBuses());
        PortalStandIn portal(side_);
        QVERIFY(serve(kPortal, QStringLiteral("/org/freedesktop/portal/desktop"), &portal));
        for (const char* name : {"big.bin", "mid.bin", "end.bin"})
            f.addFile(name, 200000);
        // The first data connection goes silent part-way: bytes were moving, and the list
        // runs until it is stopped.
        QVERIFY(f.startService({"--stall-after", "50000", "--stall-connections", "1"}));
        SettingsStore::WriteInt(SettingKey::DownAutostart, 1);
        f.process(EngineFixture::request({"big.bin"}));
        QTRY_COMPARE(portal.flags, QList<uint>{12}); // suspend and idle
        QTRY_COMPARE(desktop.inhibitor().route(), SleepInhibitor::Route::Portal);
        QTRY_VERIFY(f.engine->workerProgress() && f.engine->workerProgress()->done >= 50000);
        QVERIFY(portal.closed.isEmpty());

        // Stopped: released. Started again: taken again, and released at the list's end.
        f.engine->toggle();
        QTRY_COMPARE(portal.closed, QStringList{portal.handles[0]});
        f.engine->toggle();
        QVERIFY(f.finished());
        QTRY_COMPARE(portal.handles.size(), 2);
        QTRY_COMPARE(portal.closed, portal.handles);
        QCOMPARE(f.saved("big.bin"), f.readFile(QDir(f.source).filePath("big.bin")));

        // No portal: the screen saver holds it, and gets its cookie back.
        leave(kPortal, QStringLiteral("/org/freedesktop/portal/desktop"));
        ScreenSaverStandIn saver;
        QVERIFY(serve(kScreenSaver, QStringLiteral("/org/freedesktop/ScreenSaver"), &saver));
        f.host.messages.clear();
        f.process(EngineFixture::request({"mid.bin"}));
        QVERIFY(f.finished());
        QTRY_COMPARE(saver.cookies.size(), 1);
        QTRY_COMPARE(saver.released, saver.cookies);
        QCOMPARE(desktop.inhibitor().route(), SleepInhibitor::Route::None);
        QCOMPARE(portal.handles.size(), 2);
        leave(kScreenSaver, QStringLiteral("/org/freedesktop/ScreenSaver"));

        // Nothing on the buses: the list runs all the same.
        f.host.messages.clear();
        f.process(EngineFixture::request({"end.bin"}));
        QVERIFY(f.finished());
        QCOMPARE(desktop.inhibitor().route(), SleepInhibitor::Route::None);
    }

    void logindWhenTheSessionOffersNothing() {
        // The private bus stands in for the system bus too.
        QDBusConnection system = QDBusConnection::connectToBus(
            QString::fromLatin1(g_bus->address()), QStringLiteral("system"));
        LogindStandIn logind;
        QVERIFY(serve(QStringLiteral("org.freedesktop.login1"),
                      QStringLiteral("/org/freedesktop/login1"), &logind));
        {
            // No system bus at the first start: nothing holds sleep off, and the next start
            // asks again.
            int asked = 0;
            SleepInhibitor inhibitor(
                QDBusConnection::sessionBus(),
                [&] { return ++asked == 1 ? QDBusConnection(QStringLiteral("none")) : system; },
                QStringLiteral("다운로더"), QStringLiteral("파일 전송중"));
            inhibitor.hold(true);
            QTRY_COMPARE(asked, 1);
            inhibitor.hold(false);
            inhibitor.hold(true);
            QTRY_COMPARE(inhibitor.route(), SleepInhibitor::Route::Logind);
            QCOMPARE(logind.asked, (QStringList{"sleep:idle", "다운로더", "파일 전송중", "block"}));
            QVERIFY(!logind.released());
            inhibitor.hold(false);
            QCOMPARE(inhibitor.route(), SleepInhibitor::Route::None);
            QVERIFY(logind.released());

            // Held at the program's end: the descriptor goes with the inhibitor.
            inhibitor.hold(true);
            QTRY_COMPARE(inhibitor.route(), SleepInhibitor::Route::Logind);
            QVERIFY(!logind.released());
        }
        QVERIFY(logind.released());
        leave(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"));
    }

    void theDownloadClientOnThisBus() {
        // The real program, from its launch link: sleep held off while it downloads, one
        // notification at the end, and nothing left held when the session ends it.
        const QString source = TestEnvironment::scratch("client-source");
        const QString save = TestEnvironment::scratch("client-save");
        QFile file(source + "/movie.bin");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(3000000, 'm'));
        file.close();
        FileServiceProcess service(TestEnvironment::address());
        QVERIFY(service.start({"--root", source, "--member", "kim"}));
        SettingsStore::WriteText(SettingKey::DefaultFolder, save);
        SettingsStore::WriteInt(SettingKey::DefaultFolderUse, 1);
        SettingsStore::WriteInt(SettingKey::DownAutostart, 1);
        SettingsStore::WriteInt(SettingKey::DownProgramEnd, 0);
        SettingsStore::WriteInt(SettingKey::DownNotify, 1);
        NotificationsStandIn server;
        QVERIFY(serve(kNotifications, kNotificationsPath, &server));
        PortalStandIn portal(side_);
        QVERIFY(serve(kPortal, QStringLiteral("/org/freedesktop/portal/desktop"), &portal));

        QProcess client;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DBUS_SESSION_BUS_ADDRESS", QString::fromLatin1(g_bus->address()));
        env.insert("VAULTRY_FILE_SERVER", TestEnvironment::address());
        env.insert("VAULTRY_HOMEPAGE", "http://" + TestEnvironment::address() + ":7580");
        env.insert("VAULTRY_MODAL_LOG", TestEnvironment::scratch("client-boxes") + "/boxes.log");
        client.setProcessEnvironment(env);
        client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        client.setWorkingDirectory(qEnvironmentVariable("VAULTRY_BIN_DIR"));
        const auto start = [&](const QByteArray& request) {
            QStringList codes;
            for (char c : request)
                codes << QString::number(int(c));
            client.start(TestEnvironment::binary("Vaultry_DOWN"),
                         {"/url", "vastrelle://" + codes.join(',') + "/"});
        };
        start("movie.bin?|kim|1");
        QTRY_COMPARE_WITH_TIMEOUT(server.shown.size(), 1, 30000);
        QCOMPARE(server.shown[0].body, QString("모든 파일이 전송완료되었습니다."));
        QCOMPARE(server.shown[0].hints.value("desktop-entry").toString(),
                 QString("vastrelle-download"));
        QCOMPARE(QFileInfo(save + "/movie.bin").size(), 3000000);
        QCOMPARE(portal.flags, QList<uint>{12});
        QTRY_COMPARE(portal.closed, portal.handles);

        client.terminate(); // the session ends
        QVERIFY(client.waitForFinished(20000));
        QCOMPARE(client.exitCode(), 0);
        QCOMPARE(server.shown.size(), 1);

        // The program ends with the list: the notification still goes out first.
        QVERIFY(QFile::remove(save + "/movie.bin"));
        SettingsStore::WriteInt(SettingKey::DownProgramEnd, 1);
        start("movie.bin?|kim|1");
        QVERIFY(client.waitForFinished(30000));
        QCOMPARE(client.exitCode(), 0);
        QCOMPARE(QFileInfo(save + "/movie.bin").size(), 3000000);
        QTRY_COMPARE(server.shown.size(), 2);
        QCOMPARE(server.shown[1].body, QString("모든 파일이 전송완료되었습니다."));
        SettingsStore::WriteInt(SettingKey::DownProgramEnd, 0);
        leave(kPortal, QStringLiteral("/org/freedesktop/portal/desktop"));
        leave(kNotifications, kNotificationsPath);
    }
};

int main(int argc, char** argv) {
    PrivateSessionBus bus;
    g_bus = &bus;
    QCoreApplication app(argc, argv);
    TestTransferDesktop test;
    return QTest::qExec(&test, argc, argv);
}

#include "TestTransferDesktop.moc"
