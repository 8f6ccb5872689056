#include "core/MemberHandshake.h"
#include "core/ServerLink.h"
#include "core/TextCodec.h"
#include "tests/core/ScriptedPeer.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QtTest>
#include <thread>

#include <sys/stat.h>

using Reply = ScriptedPeer::Reply;

class TestServerLink : public QObject {
    Q_OBJECT
    QString address_;

    static Reply answer(const QByteArray& text) { return Reply{{text}}; }

private slots:
    void initTestCase() {
        TestEnvironment::prepare();
        address_ = TestEnvironment::address();
        qputenv("VAULTRY_FILE_SERVER", address_.toLatin1());
    }

    void exchangeTakesOneReceive() {
        const QByteArray full(20480, 'x');
        ScriptedPeer peer(address_, 7510, [&](const QByteArray& c) -> Reply {
            if (c == "split")
                return Reply{{"first", "second"}};
            if (c == "full")
                return answer(full);
            if (c == "nul")
                return answer(QByteArray("ab\0cd", 5));
            if (c == "bye")
                return Reply{{}, true};
            return answer("echo:" + c);
        });
        QVERIFY(peer.listening());
        ServerLink link;
        QVERIFY(link.Connect(address_));
        QCOMPARE(link.Exchange("hello"), QByteArray("echo:hello"));
        QCOMPARE(link.Exchange("full").size(), 20480);
        QCOMPARE(link.Exchange("nul"), QByteArray("ab")); // read as a terminator-ended text
        // A command longer than the buffer is refused: nothing sent, empty reply.
        const int before = int(peer.commands().size());
        QCOMPARE(link.Exchange(QByteArray(20481, 'y')), QByteArray());
        QTest::qWait(50);
        QCOMPARE(int(peer.commands().size()), before);
        QVERIFY(link.connected());
        QCOMPARE(link.Exchange("split"), QByteArray("first")); // the second segment is not read
        QTest::qWait(300);
        // ...until the next receive, which may bring the next reply along with it.
        QVERIFY(link.Exchange("hello").startsWith("second"));
        link.Close();
        QVERIFY(!link.connected());
        QCOMPARE(link.Exchange("after close"), QByteArray());

        // The peer closes: an empty reply, and the link is not closed by it.
        ServerLink closing;
        QVERIFY(closing.Connect(address_));
        QCOMPARE(closing.Exchange("bye"), QByteArray());
        QVERIFY(closing.connected());
        closing.Close();
    }

    // The socket behind a descriptor, 0 when it is none. Socket inodes are not reused while
    // the process runs, so a closed one cannot come back under another descriptor.
    static ino_t socketInode(int fd) {
        struct stat info {};
        return fd >= 0 && ::fstat(fd, &info) == 0 && S_ISSOCK(info.st_mode) ? info.st_ino : 0;
    }
    // Whether any descriptor of this process still holds that socket.
    static bool stillOpen(ino_t socket) {
        const QDir fds("/proc/self/fd");
        for (const QString& fd : fds.entryList(QDir::Files | QDir::System)) {
            struct stat info {};
            if (::stat(QFile::encodeName(fds.filePath(fd)).constData(), &info) == 0 &&
                S_ISSOCK(info.st_mode) && info.st_ino == socket)
                return true;
        }
        return false;
    }

    void failedConnectAndResolving() {
        ServerLink link;
        QVERIFY(!link.Connect(address_)); // nobody listens now
        QVERIFY(!link.connected());
        QCOMPARE(link.Exchange("@Connect_start"), QByteArray());
        QVERIFY(link.failed());
        QVERIFY(!link.Connect("not-an-address"));
        // Dotted text resolves to itself; an address of zero or nothing resolves to "".
        // (No host names here: a fresh machine may have no resolver, and a test must not
        // send queries off this machine.)
        QCOMPARE(ServerLink::ResolveAddress(address_), address_);
        QCOMPARE(ServerLink::ResolveAddress("0.0.0.0"), QString());
        QCOMPARE(ServerLink::ResolveAddress(""), QString());
    }

    void linksOwnTheirSockets() {
        ScriptedPeer peer(address_, 7510, [](const QByteArray& c) { return answer("re:" + c); });
        // Each link's own socket is followed (other threads open and close theirs meanwhile).
        // Destroyed links close their sockets; a new connect closes the old one first.
        for (int i = 0; i < 20; ++i) {
            ino_t socket = 0;
            {
                ServerLink link;
                QVERIFY(link.Connect(address_));
                socket = socketInode(link.socketDescriptor());
                QVERIFY(stillOpen(socket));
            }
            QVERIFY(!stillOpen(socket));
        }
        ServerLink kept;
        ino_t previous = 0;
        for (int i = 0; i < 20; ++i) {
            QVERIFY(kept.Connect(address_));
            const ino_t socket = socketInode(kept.socketDescriptor());
            QVERIFY(stillOpen(socket));
            QVERIFY(i == 0 || !stillOpen(previous));
            previous = socket;
        }
        // Moving hands the connection over: it keeps working, and is closed once.
        ServerLink taker(std::move(kept));
        QVERIFY(!kept.connected());
        QCOMPARE(kept.socketDescriptor(), -1);
        QCOMPARE(socketInode(taker.socketDescriptor()), previous);
        QCOMPARE(taker.Exchange("moved"), QByteArray("re:moved"));
        QVERIFY(!taker.failed());
        ServerLink other;
        QVERIFY(other.Connect(address_));
        const ino_t replaced = socketInode(other.socketDescriptor());
        other = std::move(taker);
        QVERIFY(!stillOpen(replaced));
        QCOMPARE(socketInode(other.socketDescriptor()), previous);
        QCOMPARE(other.Exchange("again"), QByteArray("re:again"));
        other.Close();
        QVERIFY(!stillOpen(previous));
    }

    void cancelEndsAWaitPromptly() {
        ScriptedPeer peer(address_, 7510, [](const QByteArray&) { return Reply{{}, false, true}; });
        std::atomic<bool> cancel{false};
        ServerLink link;
        link.setCancel(&cancel);
        link.setLimits({2000, 600000});
        QVERIFY(link.Connect(address_));
        std::thread canceller([&] {
            QThread::msleep(200);
            cancel = true;
        });
        // The reply limit is ten minutes; the cancel ends the wait long before.
        QElapsedTimer waited;
        waited.start();
        QCOMPARE(link.Exchange("@Connect_start"), QByteArray());
        canceller.join();
        QVERIFY(link.failed());
        QVERIFY(waited.elapsed() < 20000);
    }

    void silentServerIsAnExchangeError() {
        ScriptedPeer peer(address_, 7510, [](const QByteArray&) { return Reply{{}, false, true}; });
        ServerLink link;
        link.setLimits({2000, 300});
        QVERIFY(link.Connect(address_));
        // An empty command sends nothing, so it must not wait for a reply either.
        QCOMPARE(link.Exchange(""), QByteArray());
        QVERIFY(link.connected());
        QCOMPARE(link.Exchange("@Connect_start"), QByteArray());
        QVERIFY(!link.connected());
    }

    void signOnRepliesAndSignOff() {
        const QByteArray goldClass = ToCp949(QString::fromUtf8("오전정액제"));
        ScriptedPeer peer(address_, 7510, [&](const QByteArray& c) -> Reply {
            if (c == "@Connect_start" || c == "@Connect_end")
                return answer("Ok");
            if (c == "ghost")
                return answer("No_member");
            if (c == "twice")
                return answer("Over_user");
            if (c == "bare")
                return answer("bare-id");
            return answer(c + "-srv|120|" + goldClass + "|2026120816");
        });
        ServerLink link;
        QVERIFY(link.ConnectToFileServer());
        QCOMPARE(SignOn(link, "ghost").check, MemberCheck::NoMember);
        QCOMPARE(SignOn(link, "twice").check, MemberCheck::OverUser);
        const SignOnResult bare = SignOn(link, "bare");
        QCOMPARE(bare.check, MemberCheck::Member);
        QCOMPARE(bare.member.id, QByteArray("bare-id"));
        QCOMPARE(bare.member.className, ToCp949(QString::fromUtf8("일반회원")));
        QCOMPARE(bare.member.memberClass, 0);
        const SignOnResult full = SignOn(link, "kim");
        QCOMPARE(full.member.id, QByteArray("kim-srv"));
        QCOMPARE(full.member.megabytes, 120);
        QCOMPARE(full.member.memberClass, 2);
        QCOMPARE(full.member.paidUntil, 2026120816);
        QVERIFY(link.connected()); // the sign-on connection stays open

        ServerLink farewell;
        QVERIFY(farewell.ConnectToFileServer());
        SignOff(farewell, "kim-srv");
        QVERIFY(!farewell.connected());
        const QList<QByteArray> seen = peer.commands();
        QCOMPARE(seen.mid(seen.size() - 2), (QList<QByteArray>{"@Connect_end", "kim-srv"}));
        QCOMPARE(seen.first(), QByteArray("@Connect_start"));
        QCOMPARE(peer.connections(), 2);
    }

    void memberReplyParsing() {
        MemberInfo m = ParseMemberReply("id|12|" + ToCp949(QString::fromUtf8("심야정액제")) + "|7");
        QCOMPARE(m.id, QByteArray("id"));
        QCOMPARE(m.megabytes, 12);
        QCOMPARE(m.memberClass, 4);
        QCOMPARE(m.paidUntil, 7);
        m = ParseMemberReply("");
        QCOMPARE(m.id, QByteArray());
        QCOMPARE(m.memberClass, 0);
        m = ParseMemberReply("id||");
        QCOMPARE(m.className, ToCp949(QString::fromUtf8("일반회원")));
        QCOMPARE(m.paidUntil, 0);
        QCOMPARE(MemberClassFor(ToCp949(QString::fromUtf8("스페셜정액제"))), 1);
        QCOMPARE(MemberClassFor(ToCp949(QString::fromUtf8("오후정액제"))), 3);
        QCOMPARE(MemberClassFor("VIP"), 0);
    }

    void timeWindowEdges() {
        auto member = [](int memberClass, int paidUntil) {
            MemberInfo m;
            m.memberClass = memberClass;
            m.paidUntil = paidUntil;
            return m;
        };
        auto at = [](int hour, int day = 8) { return LocalHour{2026, 12, day, hour}; };
        const int farFuture = 2099123123;
        QVERIFY(!CheckTimeWindow(member(0, 0), at(3)));          // general: no rule
        QVERIFY(!CheckTimeWindow(member(2, farFuture), at(16))); // 16:59 passes
        QVERIFY(CheckTimeWindow(member(2, farFuture), at(17)));  // 17:00 fails
        QVERIFY(CheckTimeWindow(member(2, farFuture), at(5)));   // 05:59 fails
        QVERIFY(!CheckTimeWindow(member(2, farFuture), at(6)));
        QVERIFY(!CheckTimeWindow(member(4, farFuture), at(5))); // late night 05:59
        QVERIFY(CheckTimeWindow(member(4, farFuture), at(6)));
        QVERIFY(!CheckTimeWindow(member(4, farFuture), at(0)));
        QVERIFY(CheckTimeWindow(member(3, farFuture), at(12)));
        QVERIFY(!CheckTimeWindow(member(3, farFuture), at(23)));
        QVERIFY(!CheckTimeWindow(member(1, farFuture), at(3)));
        // Paid period: the stamp's own hour passes, one hour later fails.
        QVERIFY(!CheckTimeWindow(member(1, 2026120814), at(14)));
        const auto expired = CheckTimeWindow(member(1, 2026120814), at(15));
        QVERIFY(expired);
        QCOMPARE(*expired,
                 QString::fromUtf8("정액 사용기간이 만료 되었습니다.\n충전후 이용하세요."));
        QCOMPARE(*CheckTimeWindow(member(2, farFuture), at(17)),
                 QString::fromUtf8("오전정액(6시~16시)사용자입니다.\n사용가능 시간이 아닙니다."));
        // The expiry test comes first even inside the window.
        QCOMPARE(*CheckTimeWindow(member(3, 2026120700), at(14)), *expired);
    }
};

QTEST_GUILESS_MAIN(TestServerLink)
#include "TestServerLink.moc"
