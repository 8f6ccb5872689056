#include "core/ControlConnectionsAhead.h"
#include "core/DataSocket.h"
#include "core/SettingsStore.h"
#include "core/WorkerThreads.h"
#include "download/engine/DownloadEngine.h"
#include "tests/core/ScriptedPeer.h"
#include "tests/download/RecordingHost.h"
#include "tests/support/ManualWorkers.h"
#include "tests/support/TestClock.h"
#include "tests/support/TestEnvironment.h"
#include "upload/engine/UploadEngine.h"
#include "upload/engine/UploadExchanges.h"

#include <QtTest>

#include <arpa/inet.h>
#include <condition_variable>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

// What no longer waits for what: files start while their listing goes on, completion notices
// go out beside the next file, and the next file's data connection is opened ahead. Workers
// end when the test says; the file server is a scripted peer whose listing holds at one
// command until the test lets it go.
namespace {

const QString kAllDone = QStringLiteral("모든 파일이 전송완료되었습니다.");

// A file server that answers from `answers` and holds the `holdAt`-th exchange of `holdOn`
// until released.
class HeldServer {
public:
    HeldServer(QByteArray holdOn, int holdAt, std::function<QByteArray(const QByteArray&)> answers)
        : holdOn_(std::move(holdOn)), holdAt_(holdAt), answers_(std::move(answers)) {}
    ~HeldServer() { release(); }
    void release() {
        std::lock_guard<std::mutex> lock(mutex_);
        released_ = true;
        wake_.notify_all();
    }
    QList<QByteArray> commands() const { return peer_.commands(); }

private:
    ScriptedPeer::Reply reply(const QByteArray& command) {
        if (command == holdOn_) {
            std::unique_lock<std::mutex> lock(mutex_);
            if (++seen_ == holdAt_)
                wake_.wait(lock, [this] { return released_; });
        }
        return {{answers_(command)}};
    }

    QByteArray holdOn_;
    int holdAt_;
    std::function<QByteArray(const QByteArray&)> answers_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool released_ = false;
    int seen_ = 0;
    ScriptedPeer peer_{TestEnvironment::address(), 7510,
                       [this](const QByteArray& command) { return reply(command); }};
};

template <class Engine> struct Bench {
    RecordingHost host;
    ManualWorkers* workers = new ManualWorkers;
    ManualWorkers* notices = new ManualWorkers;
    std::shared_ptr<TestClock> clock = std::make_shared<TestClock>();
    Engine engine{host, setup()};

    EngineSetup setup() {
        clock->manual = true;
        EngineSetup s;
        s.workers.reset(workers);
        s.notices.reset(notices);
        s.clock = clock;
        return s;
    }
    // Ends the running worker with its whole file.
    void complete() {
        TransferProgress* progress = engine.workerProgress();
        QVERIFY(progress && workers->running() == 1);
        progress->done = engine.table().recordAt(engine.currentIndex()).size;
        progress->markComplete();
        workers->endOne();
    }
    void stopped() {
        engine.workerProgress()->result = AttemptOutcome::Stopped;
        workers->endOne();
    }
    QStringList names() const {
        QStringList out;
        for (int row = 0; row < engine.table().count(); ++row)
            out << QString::fromLatin1(engine.table().recordAt(row).name);
        return out;
    }
};

QByteArray downloadAnswer(const QByteArray& command) {
    const QByteArray address = TestEnvironment::address().toLatin1();
    if (command == "kim")
        return "kim||2099123123|100";
    if (command.size() == 1) // an entry: its file
        return command + ".bin|" + address + "|k" + command + "||10";
    return "Ok";
}

QByteArray uploadAnswer(const QByteArray& command) {
    static int listed = 0;
    if (command == "kim")
        return "kim||2099123123|100";
    if (command == "key") {
        // Two records, then the end.
        if (++listed % 3 == 0)
            return "ListEnd";
        const QByteArray n = QByteArray::number(listed % 3);
        return "t" + n + "|u" + n + "|" + TestEnvironment::address().toLatin1() + "|f" + n +
               "|/nowhere/f" + n + "|10";
    }
    if (command.size() > 30) // a fingerprint: the file number
        return "100" + QByteArray::number(listed % 3) + "|x";
    return "Ok";
}

} // namespace

class TestOverlap : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        TestEnvironment::prepare();
        qputenv("VAULTRY_FILE_SERVER", TestEnvironment::address().toLatin1());
        SettingsStore::EnsureDefaults();
        using namespace SettingKey;
        SettingsStore::WriteText(DefaultFolder, TestEnvironment::scratch("overlap-save"));
        SettingsStore::WriteInt(DefaultFolderUse, 1);
        SettingsStore::WriteInt(DownAutostart, 1);
        SettingsStore::WriteInt(UpAutostart, 1);
        SettingsStore::WriteInt(DownListDel, 0);
        SettingsStore::WriteInt(DownProgramEnd, 0);
        SettingsStore::WriteInt(UpProgramEnd, 0);
    }

    // A listed file starts while the listing goes on; the list that runs out of files before
    // the listing's end waits for it, and goes on into the files listed later; a request handed
    // over meanwhile comes after; the completion actions come once, after the last listing.
    void downloadStartsFilesWhileListing() {
        HeldServer server("b", 1, downloadAnswer);
        Bench<DownloadEngine> bench;
        bench.engine.processRequest("Vaultry_downloader_Manager|a?b?|kim|1");
        QTRY_COMPARE(bench.workers->started, 1);
        QCOMPARE(bench.names(), QStringList{"a.bin"});
        QVERIFY(bench.engine.exchangeInProgress());
        bench.engine.processRequest("Vaultry_downloader_Manager|c?|kim|1"); // handed over
        bench.complete();
        QVERIFY(bench.engine.isRunning());
        QVERIFY(!bench.host.hasMessage(kAllDone));
        server.release();
        QTRY_COMPARE(bench.workers->started, 2);
        bench.complete();
        QTRY_COMPARE(bench.workers->started, 3);
        QCOMPARE(bench.names(), (QStringList{"a.bin", "b.bin", "c.bin"}));
        QVERIFY(!bench.host.hasMessage(kAllDone));
        bench.complete();
        QTRY_VERIFY(bench.host.hasMessage(kAllDone));
        QVERIFY(!bench.engine.isRunning());
        QCOMPARE(bench.host.countOf(kAllDone), 1);
        // The listing's exchanges went out as before: one connection, in order.
        const QList<QByteArray> commands = server.commands();
        QCOMPARE(commands.mid(2, 4), (QList<QByteArray>{"@Download", "@Server1", "a", "b"}));
    }

    // Connections opened ahead carry the exchanges they were opened for, and nothing before
    // them: the two made as the program starts take the sign-on and the listing, and the
    // sign-off of a list that ends the program goes on the one made while its last file runs.
    void controlConnectionsOpenedAhead() {
        ScriptedPeer server(TestEnvironment::address(), 7510, [](const QByteArray& c) {
            return ScriptedPeer::Reply{{downloadAnswer(c)}};
        });
        SettingsStore::WriteInt(SettingKey::DownProgramEnd, 1);
        ControlConnectionsAhead::open(2);
        QTRY_COMPARE(server.connections(), 2);
        QVERIFY(server.commands().isEmpty());
        Bench<DownloadEngine> bench;
        bench.engine.processRequest("Vaultry_downloader_Manager|a?|kim|1");
        QVERIFY(bench.engine.signingOn()); // the window may start the web engine meanwhile
        QTRY_COMPARE(bench.workers->started, 1);
        QVERIFY(!bench.engine.signingOn());
        QTRY_VERIFY(!bench.engine.exchangeInProgress());
        QTRY_COMPARE(server.connections(), 3);
        const QList<QByteArray> beforeEnd = server.commands();
        QCOMPARE(beforeEnd,
                 (QList<QByteArray>{"@Connect_start", "kim", "@Download", "@Server1", "a"}));
        bench.complete();
        QTRY_COMPARE(bench.host.quits, 1);
        SettingsStore::WriteInt(SettingKey::DownProgramEnd, 0);
        QCOMPARE(server.connections(), 3);
        QCOMPARE(server.commands().mid(beforeEnd.size()),
                 (QList<QByteArray>{"@Connect_end", "kim"}));
    }

    // A stop while the listing goes on stands: files listed later wait, and the automatic
    // start does not come again at the listing's end.
    void stopWhileListingStands() {
        HeldServer server("b", 1, downloadAnswer);
        Bench<DownloadEngine> bench;
        bench.engine.processRequest("Vaultry_downloader_Manager|a?b?|kim|1");
        QTRY_COMPARE(bench.workers->started, 1);
        bench.engine.toggle();
        bench.stopped();
        server.release();
        QTRY_VERIFY(!bench.engine.exchangeInProgress());
        QCOMPARE(bench.names(), (QStringList{"a.bin", "b.bin"}));
        QCOMPARE(bench.workers->started, 1);
        QVERIFY(!bench.engine.isRunning());
        QVERIFY(!bench.host.hasMessage(kAllDone));
    }

    // The upload: a file starts once its record and fingerprint are exchanged; its completion
    // notice goes out beside the next file, never before the next file's start; the exit
    // waits for notices still under way.
    void uploadStartsFilesWhileListingAndNoticesBeside() {
        HeldServer server("key", 2, uploadAnswer);
        Bench<UploadEngine> bench;
        bench.engine.processRequest("Vaultry_uploader_Manager|key|kim|1");
        QTRY_COMPARE(bench.workers->started, 1);
        QVERIFY(bench.engine.exchangeInProgress());
        QCOMPARE(bench.notices->started, 0);
        bench.complete();
        QCOMPARE(bench.notices->started, 1);
        QVERIFY(bench.engine.isRunning());
        server.release();
        QTRY_COMPARE(bench.workers->started, 2);
        QCOMPARE(bench.notices->running(), 1); // the first notice has not ended yet
        bench.complete();
        QTRY_VERIFY(bench.host.hasMessage(kAllDone));
        QCOMPARE(bench.notices->started, 2);
        QCOMPARE(bench.engine.table().record(1).fileNumber, 1002);
        QVERIFY(bench.engine.noticesPending());
        bench.engine.exitProgram();
        QCOMPARE(bench.host.quits, 1);
        QVERIFY(!bench.engine.noticesPending());
    }

    // A notice that gets no answer to its first command goes again on a new connection; once
    // the file number has gone it is not repeated.
    void failedNoticeIsRetried() {
        int notices = 0;
        ScriptedPeer peer(TestEnvironment::address(), 7510, [&notices](const QByteArray& c) {
            ScriptedPeer::Reply reply{{"Ok"}};
            if (c == "@Upload_complute" && ++notices == 1)
                reply.close = true;
            return reply;
        });
        QVERIFY(ExchangeCompletionNotice(1001, LinkSettings{}, 3, 10));
        QCOMPARE(peer.commands(),
                 (QList<QByteArray>{"@Upload_complute", "@Upload_complute", "1001"}));
        QCOMPARE(peer.connections(), 2);
    }

    // A thread whose work has returned takes the next work at once; work started while another
    // runs gets a thread of its own; `ended` steps follow their work on the owner's thread; the
    // end waits a bounded time and drops the steps of work that has not returned.
    void workerThreadsTakeTheNextWorkAtOnce() {
        WorkerThreads workers(this);
        std::thread::id first, second;
        int ended = 0;
        workers.start([&first] { first = std::this_thread::get_id(); }, [&ended] { ++ended; });
        QTRY_COMPARE(ended, 1);
        QVERIFY(workers.empty());
        QTRY_VERIFY(workers.threadWaiting());
        workers.start([&second] { second = std::this_thread::get_id(); }, [&ended] { ++ended; });
        QTRY_COMPARE(ended, 2);
        QCOMPARE(second, first);

        std::mutex gate;
        std::unique_lock<std::mutex> held(gate);
        std::atomic<bool> otherRan{false}, heldReturned{false};
        workers.start(
            [&gate, &heldReturned] {
                std::lock_guard<std::mutex> wait(gate);
                heldReturned = true;
            },
            [&ended] { ++ended; });
        workers.start([&otherRan] { otherRan = true; }, [&ended] { ++ended; });
        QTRY_VERIFY(otherRan.load());
        QTRY_COMPARE(ended, 3);
        QVERIFY(!workers.joinAll(20));
        held.unlock();
        QTRY_VERIFY(heldReturned.load());
        QCoreApplication::processEvents(); // its step does not come any more
        QCOMPARE(ended, 3);
    }

    // A connection opened ahead is used when still good; one its server closed meanwhile, or
    // one to another data server, is replaced by a fresh one without a failed attempt.
    void preOpenedConnections() {
        const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        ::inet_pton(AF_INET, TestEnvironment::address().toLatin1().constData(), &at.sin_addr);
        QCOMPARE(::bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
        QCOMPARE(::listen(listener, 8), 0);
        socklen_t len = sizeof at;
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&at), &len);
        const int port = ntohs(at.sin_port);
        const QByteArray address = TestEnvironment::address().toLatin1();
        // What a byte sent on `socket` reaches: the connection accepted `accepted`.
        auto reaches = [](DataSocket& socket, int accepted) {
            char got = 0;
            return socket.sendAll("x", 1) && ::recv(accepted, &got, 1, 0) == 1 && got == 'x';
        };

        auto good = SpareConnection::open(address, port);
        QVERIFY(good);
        const int first = ::accept(listener, nullptr, nullptr);
        DataSocket reused;
        QVERIFY(reused.connectVia(good, address, port, 2000, {}));
        QVERIFY(reaches(reused, first));
        QCOMPARE(good->take(), -1); // taken once

        auto dropped = SpareConnection::open(address, port);
        const int second = ::accept(listener, nullptr, nullptr);
        ::close(second); // the data server let it go
        DataSocket replaced;
        QVERIFY(replaced.connectVia(dropped, address, port, 2000, {}));
        const int third = ::accept(listener, nullptr, nullptr);
        QVERIFY(reaches(replaced, third));

        auto elsewhere = SpareConnection::open("127.0.0.1", port + 1);
        DataSocket fresh;
        QVERIFY(fresh.connectVia(elsewhere, address, port, 2000, {}));
        const int fourth = ::accept(listener, nullptr, nullptr);
        QVERIFY(reaches(fresh, fourth));
        const int unused = elsewhere->take(); // left as it was
        QVERIFY(unused >= 0);
        for (int fd : {unused, first, third, fourth, listener})
            ::close(fd);
    }
};

QTEST_GUILESS_MAIN(TestOverlap)
#include "TestOverlap.moc"
