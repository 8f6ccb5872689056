#include "core/InstanceLock.h"
#include "core/RuntimeDir.h"
#include "core/WindowBus.h"
#include "tests/core/BusPeer.h"
#include "tests/support/TestEnvironment.h"

#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

struct FolderState {
    bool isDir = false;
    uid_t owner = 0;
    int mode = 0;
};

FolderState stateOf(const QString& path) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return {S_ISDIR(info.st_mode), info.st_uid, int(info.st_mode & 07777)};
}

void makeDir(const QString& path, int mode) {
    QDir().mkpath(path);
    ::chmod(QFile::encodeName(path).constData(), mode_t(mode));
}

// Points the runtime and cache folders of this process (and of peers it starts) elsewhere
// for one test, and back afterwards.
class FolderEnvironment {
public:
    FolderEnvironment(const QString& runtime, const QString& cache)
        : runtime_(qgetenv("XDG_RUNTIME_DIR")), cache_(qgetenv("XDG_CACHE_HOME")) {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cache));
    }
    ~FolderEnvironment() {
        qputenv("XDG_RUNTIME_DIR", runtime_);
        if (cache_.isEmpty())
            qunsetenv("XDG_CACHE_HOME");
        else
            qputenv("XDG_CACHE_HOME", cache_);
    }

private:
    QByteArray runtime_;
    QByteArray cache_;
};

} // namespace

class TestRuntimeFolder : public QObject {
    Q_OBJECT

    QProcess* startPeer(const QString& className, const QString& lockName) {
        auto* p = new QProcess(this);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QCoreApplication::applicationFilePath(), {"--peer", className, lockName, "0"});
        if (!p->waitForStarted() || !p->waitForReadyRead(10000))
            return nullptr;
        return p;
    }

    static void quitPeer(QProcess* peer, const QString& endpoint) {
        WindowBus::send(endpoint, 1, "", "quit");
        if (!peer->waitForFinished(5000))
            peer->kill();
    }

private slots:
    void initTestCase() { TestEnvironment::prepare(); }

    void runtimeFolderIsPrivate() {
        const QString dir = PrivateRuntimeDir();
        QCOMPARE(dir, qEnvironmentVariable("XDG_RUNTIME_DIR") + "/vaultry");
        QCOMPARE(PrivateRuntimeDirCandidates().first(), dir);
        QCOMPARE(stateOf(dir).mode, 0700);
        QCOMPARE(stateOf(dir).owner, ::geteuid());
        // Read bits given away are taken back; the folder stays the one in use.
        ::chmod(QFile::encodeName(dir).constData(), 0755);
        QCOMPARE(PrivateRuntimeDir(), dir);
        QCOMPARE(stateOf(dir).mode, 0700);
    }

    // Whatever stands in the runtime folder's place, the lock and the bus move together to
    // the private folder in the user's cache: a second holder of the lock is refused and the
    // bus still reaches the first.
    void squattedRuntimeFolderFallsBackToTheCache_data() {
        QTest::addColumn<QString>("kind");
        for (const char* kind : {"other owner", "writable by others", "symlink", "file"})
            QTest::newRow(kind) << QString::fromLatin1(kind);
    }
    void squattedRuntimeFolderFallsBackToTheCache() {
        QFETCH(QString, kind);
        const QString scratch = TestEnvironment::scratch("squat");
        const QString runtime = scratch + "/run";
        makeDir(runtime, 0700);
        const QString squatted = runtime + "/vaultry";
        if (kind == "other owner") {
            if (::geteuid() != 0)
                QSKIP("giving a folder to another user needs root");
            makeDir(squatted, 0700);
            QCOMPARE(::chown(QFile::encodeName(squatted).constData(), 65534, 65534), 0);
        } else if (kind == "writable by others") {
            makeDir(squatted, 0777);
        } else if (kind == "symlink") {
            makeDir(scratch + "/elsewhere", 0700);
            QVERIFY(QFile::link(scratch + "/elsewhere", squatted));
        } else if (kind == "file") {
            QFile file(squatted);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const FolderState before = stateOf(squatted);
        const QString cache = scratch + "/cache"; // does not exist yet
        FolderEnvironment environment(runtime, cache);

        const QString fallback = cache + "/vaultry-runtime";
        QCOMPARE(PrivateRuntimeDir(), fallback);
        QCOMPARE(PrivateRuntimeDirCandidates(), (QStringList{squatted, fallback}));
        QCOMPARE(stateOf(fallback).mode, 0700);
        QCOMPARE(stateOf(fallback).owner, ::geteuid());

        QProcess* peer = startPeer("Test_squat", "squat lock");
        QVERIFY(peer);
        QCOMPARE(peer->readLine().trimmed(), QByteArray("ready 1 0"));
        InstanceLock second("squat lock");
        QVERIFY(!second.acquired());
        QVERIFY(!second.unavailable());
        const QString endpoint = WindowBus::findWindow("Test_squat");
        QVERIFY(endpoint.startsWith("Test_squat."));
        QVERIFY(QFileInfo::exists(fallback + "/" + endpoint));
        QCOMPARE(WindowBus::send(endpoint, 4, "", "hello"), std::optional<qint64>(4005));

        // The squatted place was not touched, let alone used.
        const FolderState after = stateOf(squatted);
        QCOMPARE(after.isDir, before.isDir);
        QCOMPARE(after.owner, before.owner);
        QCOMPARE(after.mode, before.mode);
        if (before.isDir)
            QVERIFY(QDir(squatted).isEmpty());

        quitPeer(peer, endpoint);
        QVERIFY(InstanceLock("squat lock").acquired());
    }

    // A client that started while the runtime folder was squatted lives in the cache folder.
    // Once the squat is gone, later starts use the runtime folder and still find it there:
    // its lock refuses them, its window is found and reached.
    void squatRemovedLaterStillOneInstance() {
        const QString scratch = TestEnvironment::scratch("split");
        const QString runtime = scratch + "/run";
        makeDir(runtime + "/vaultry", 0777);
        ::chmod(QFile::encodeName(runtime).constData(), 0700);
        FolderEnvironment environment(runtime, scratch + "/cache");
        QProcess* first = startPeer("Test_split", "split lock");
        QVERIFY(first);
        QCOMPARE(first->readLine().trimmed(), QByteArray("ready 1 0"));
        QVERIFY(QDir(runtime + "/vaultry").removeRecursively());
        QCOMPARE(PrivateRuntimeDir(), runtime + "/vaultry");

        QProcess* second = startPeer("Test_split_second", "split lock");
        QVERIFY(second);
        QCOMPARE(second->readLine().trimmed(), QByteArray("ready 0 0"));
        InstanceLock here("split lock");
        QVERIFY(!here.acquired());
        QVERIFY(!here.unavailable());
        const QString endpoint = WindowBus::findWindow("Test_split");
        QVERIFY(QFileInfo::exists(scratch + "/cache/vaultry-runtime/" + endpoint));
        QCOMPARE(WindowBus::send(endpoint, 4, "", "hello"), std::optional<qint64>(4005));
        const QString secondEndpoint = WindowBus::findWindow("Test_split_second");
        QVERIFY(QFileInfo::exists(runtime + "/vaultry/" + secondEndpoint));

        quitPeer(second, secondEndpoint);
        quitPeer(first, endpoint);
        QVERIFY(InstanceLock("split lock").acquired());
    }

    // A local socket address holds 107 bytes of path; endpoints in a deeper folder are still
    // reached.
    void deepFolderStillCarriesTheBus() {
        const QString runtime = TestEnvironment::scratch("deep") + "/" + QString(100, 'd');
        makeDir(runtime, 0700);
        FolderEnvironment environment(runtime, runtime + "/cache");
        QCOMPARE(PrivateRuntimeDir(), runtime + "/vaultry");
        QProcess* peer = startPeer("Test_deep", "deep lock");
        QVERIFY(peer);
        QCOMPARE(peer->readLine().trimmed(), QByteArray("ready 1 0"));
        const QString endpoint = WindowBus::findWindow("Test_deep");
        QVERIFY(QFileInfo::exists(runtime + "/vaultry/" + endpoint));
        QCOMPARE(WindowBus::send(endpoint, 4, "", "deep"), std::optional<qint64>(4004));
        QVERIFY(!InstanceLock("deep lock").acquired());
        quitPeer(peer, endpoint);
    }

    // With no private folder to be had anywhere, nothing runs as if it were alone.
    void noPrivateFolderFailsClosed() {
        const QString scratch = TestEnvironment::scratch("nowhere");
        makeDir(scratch + "/run/vaultry", 0777);
        makeDir(scratch + "/cache", 0700);
        QFile(scratch + "/cache/vaultry-runtime").open(QIODevice::WriteOnly);
        FolderEnvironment environment(scratch + "/run", scratch + "/cache");
        QCOMPARE(PrivateRuntimeDir(), QString());

        InstanceLock lock("nowhere lock");
        QVERIFY(!lock.acquired());
        QVERIFY(lock.unavailable());
        WindowBus bus("Test_nowhere");
        QVERIFY(!bus.isRegistered());
        QCOMPARE(WindowBus::findWindow("Test_nowhere"), QString());
        QVERIFY(!WindowBus::send(bus.endpoint(), 1, "", "x").has_value());

        // A second process is told the same.
        QProcess* peer = startPeer("Test_nowhere", "nowhere lock");
        QVERIFY(peer);
        QCOMPARE(peer->readLine().trimmed(), QByteArray("failed 0 1"));
        peer->kill();
        peer->waitForFinished(5000);
    }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 5 && QByteArray(argv[1]) == "--peer")
        return RunBusPeer(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                          std::atoi(argv[4]));
    TestRuntimeFolder test;
    return QTest::qExec(&test, argc, argv);
}
#include "TestRuntimeFolder.moc"
