// What another process or account on the machine can do to the members through the
// substitute file service: hold its ports, and register upload lists in a member's name. The
// real binary, raw sockets, and the page control that registers the member's lists.

#include "core/WindowBus.h"
#include "tests/fileservice/RawSocket.h"
#include "tests/fileservice/ServiceProbe.h"
#include "tests/pagectl/PageFlowSupport.h"
#include "tests/support/FileServiceProcess.h"
#include "tests/support/TestEnvironment.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QProcess>
#include <QTest>

#include <sys/socket.h>

using namespace ServiceProbe;

namespace {

// A connection that takes nothing the service sends: its receive buffer stays small and full.
bool connectNeverReading(RawSocket& s, const QString& addr, int port) {
    if (!s.connect(addr, port))
        return false;
    const int small = 4096;
    return ::setsockopt(s.fd(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small) == 0;
}

} // namespace

class TestFileServiceGuards : public QObject {
    Q_OBJECT

    QString addr, root, uploads, store, state;
    static constexpr qint64 kBig = 8 << 20;

    QByteArray fileKey(const QByteArray& entry) {
        RawSocket c;
        if (!c.connect(addr, kControl) || c.exchange("@Download") != "Ok" ||
            c.exchange("@Server1") != "Ok")
            return QByteArray();
        return c.exchange(entry).split('|').value(2);
    }

    // Opens a download data connection; the bytes are left for the caller to take, or not.
    bool openDownload(RawSocket& d, const QByteArray& key, qint64 size, bool reading = true) {
        if (!(reading ? d.connect(addr, kDownload) : connectNeverReading(d, addr, kDownload)))
            return false;
        return d.send(RawSocket::block("bin/") + RawSocket::block(key) +
                      RawSocket::block(QByteArray::number(size)) + RawSocket::block("0"));
    }

    HttpReply registerList(const QByteArray& body, const QByteArray& auth) {
        return http(addr, "POST", "/api/upload-lists", auth + "Content-Type: application/json\r\n",
                    body);
    }

    static QByteArray listBody(const QString& member, const QString& path, qint64 size,
                               int copies = 1) {
        QByteArray files;
        for (int i = 0; i < copies; ++i)
            files +=
                (i ? "," : "") +
                QStringLiteral("{\"path\": \"%1\", \"size\": %2}").arg(path).arg(size).toUtf8();
        return "{\"member\": \"" + member.toUtf8() + "\", \"files\": [" + files + "]}";
    }

private slots:
    void initTestCase() {
        TestEnvironment::prepare();
        addr = TestEnvironment::address();
        root = TestEnvironment::scratch("root");
        uploads = TestEnvironment::scratch("uploads");
        store = TestEnvironment::scratch("store");
        state = TestEnvironment::scratch("state");
        QVERIFY(writeFile(root + "/big.bin", pattern(kBig, 1)));
        QVERIFY(writeFile(uploads + "/u1.txt", pattern(5000, 5)));
    }

    // Connections held open by anyone never shut the members out: a full port closes its
    // longest-idle connection for a newcomer, and a connection that did not sign a member on
    // gets seconds of silence, not the sign-on connection's hour.
    void fullPortsMakeRoomForMembers() {
        FileServiceProcess s(addr);
        QVERIFY(s.start({"--root", root, "--store", store, "--state", state, "--member", "kim",
                         "--max-control-connections", "4", "--max-download-connections", "2",
                         "--max-web-connections", "2"}));
        const QByteArray key = fileKey("big.bin");
        QVERIFY(!key.isEmpty());

        // The control port: every place taken by a connection that sent one known command.
        RawSocket held[4];
        for (RawSocket& h : held) {
            QVERIFY(h.connect(addr, kControl));
            QCOMPARE(h.exchange("@Download"), QByteArray("Ok"));
        }
        QElapsedTimer idle;
        idle.start();
        RawSocket member;
        QVERIFY(member.connect(addr, kControl));
        QCOMPARE(member.exchange("@Connect_start"), QByteArray("Ok"));
        QCOMPARE(member.exchange("kim").left(4), QByteArray("kim|"));
        QVERIFY(held[0].waitClosed(3000));
        QVERIFY(s.waitForLog("closed to make room for a newer connection", 3000));
        // The others are closed once idle for a few seconds; the signed-on one stays.
        for (int i = 1; i < 4; ++i)
            QVERIFY(held[i].waitClosed(15000));
        QVERIFY2(idle.elapsed() >= 4000, qPrintable(QString::number(idle.elapsed())));
        QTest::qWait(1500);
        QCOMPARE(member.exchange("@Connect_end"), QByteArray("Ok"));
        QVERIFY(s.log().contains("idle without a sign-on, closed"));

        // The download port: two connections that take nothing hold it; a member's download
        // takes a place and gets the whole file.
        RawSocket stuck[2];
        for (RawSocket& d : stuck)
            QVERIFY(openDownload(d, key, kBig, false));
        QTRY_COMPARE(s.log().count(" header ext="), 2);
        RawSocket taker;
        QVERIFY(openDownload(taker, key, kBig));
        QCOMPARE(taker.receiveAll(5000), pattern(kBig, 1));
        QVERIFY(s.log().contains("connection limit (2) reached on the download data port"));

        // The web port: slow requests hold it; a page request takes a place.
        RawSocket slow[2];
        for (RawSocket& w : slow) {
            QVERIFY(w.connect(addr, kWeb));
            QVERIFY(w.send("GET / HT"));
        }
        QCOMPARE(http(addr, "GET", "/app/download.html").status, 200);
        QVERIFY(slow[0].waitClosed(3000));
        QVERIFY(s.log().contains("connection limit (2) reached on the web port"));
    }

    // A data or web connection that takes nothing of what it asked for is dropped after the
    // idle limit, though it never closes.
    void connectionsThatTakeNothingAreDropped() {
        FileServiceProcess s(addr);
        QVERIFY(s.start({"--root", root, "--store", store, "--state", state, "--idle-timeout", "1",
                         "--web-page", "/big.html=" + root + "/big.bin"}));
        QElapsedTimer t;
        t.start();
        RawSocket download;
        QVERIFY(openDownload(download, fileKey("big.bin"), kBig, false));
        RawSocket page;
        QVERIFY(connectNeverReading(page, addr, kWeb));
        QVERIFY(page.send("GET /big.html HTTP/1.1\r\nHost: " + addr.toLatin1() + "\r\n\r\n"));
        QVERIFY(s.waitForLog("GET /big.html: the answer was not taken in time, closed", 10000));
        QVERIFY(s.waitForLog("the client took nothing for 1 s (idle time-out), closed", 10000));
        QVERIFY2(t.elapsed() < 8000, qPrintable(QString::number(t.elapsed())));
    }

    // Only the member's own account can register upload lists: the request must carry the
    // token the service keeps in its state folder. Any other request gets one refusal, the
    // same whatever it asks for, and room for lists is counted per member.
    void registrationIsTheMembersAlone() {
        FileServiceProcess s(addr);
        QVERIFY(
            s.start({"--store", store, "--state", state, "--member", "kim", "--member", "lee"}));
        const QString tokenFile = state + "/registration-token";
        QCOMPARE(QFileInfo(tokenFile).permissions(),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
        const QByteArray token = tokenHeader(state);
        const QString file = uploads + "/u1.txt";

        // Without the token, or with another, nothing tells an existing file of the right size
        // from a wrong size, a missing file or an unknown member.
        const QList<QByteArray> bodies = {listBody("kim", file, 5000), listBody("kim", file, 4999),
                                          listBody("kim", uploads + "/none.txt", 1),
                                          listBody("nobody", file, 5000), "not json"};
        const QByteArray other = "Authorization: Bearer " + QByteArray(64, 'a') + "\r\n";
        HttpReply first;
        for (const QByteArray& auth : {QByteArray(), other}) {
            for (const QByteArray& body : bodies) {
                const HttpReply reply = registerList(body, auth);
                if (first.status == 0)
                    first = reply;
                QCOMPARE(reply.status, 403);
                QCOMPARE(reply.body, first.body);
            }
        }
        QVERIFY(!first.body.contains("u1.txt"));
        QVERIFY(!s.log().contains(" 201 "));

        // With the token: the member's lists, each member with room of its own.
        QCOMPARE(registerList(listBody("kim", file, 4999), token).status, 422);
        QCOMPARE(registerList(listBody("kim", file, 5000), token).status, 201);
        for (int i = 0; i < 100; ++i)
            QCOMPARE(registerList(listBody("lee", file, 5000, 200), token).status, 201);
        QCOMPARE(registerList(listBody("lee", file, 5000), token).status, 503);
        const HttpReply kims = registerList(listBody("kim", file, 5000), token);
        QCOMPARE(kims.status, 201);
        const QByteArray key = QJsonDocument::fromJson(kims.body)["key"].toString().toUtf8();
        QVERIFY(!key.isEmpty());
    }

    // The page control proves the list is the member's with the token from the service's
    // state folder: the service's own default, or the folder --state names.
    void pageControlSendsTheToken() {
        FileServiceProcess s(addr);
        QVERIFY(s.start({"--store", store, "--state", state, "--member", "kim"}));
        WindowBus uploader("vaultry_uploader");
        QVERIFY(uploader.isRegistered());
        QList<QByteArray> received;
        uploader.setHandler([&](const CopyData& m) {
            received << m.data;
            return 0;
        });
        const QString boxLog = TestEnvironment::scratch("boxes") + "/boxes.log";
        const QString chosen = TestEnvironment::scratch("chosen") + "/chosen.txt";
        QVERIFY(PageFlow::writeFile(chosen, (uploads + "/u1.txt\n").toUtf8()));
        auto run = [&](const QStringList& options) {
            QProcess p;
            QProcessEnvironment env = PageFlow::programEnvironment(boxLog);
            env.insert("VAULTRY_CHOSEN_FILES", chosen);
            p.setProcessEnvironment(env);
            p.start(
                TestEnvironment::binary("vaultry-pagectl"),
                QStringList{"page"} + options +
                    QStringList{PageFlow::link("vastrelle-page", "Vaultry_uploader_Choose|kim|1")});
            if (!QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 30000))
                return -1;
            return p.exitCode();
        };
        // The default folder is not this service's: refused, and the member is told.
        QCOMPARE(run({}), 1);
        QVERIFY2(PageFlow::contents(boxLog).contains("403"), PageFlow::contents(boxLog));
        QVERIFY(received.isEmpty());
        QCOMPARE(run({"--state", state}), 0);
        QVERIFY(s.waitForLog("POST /api/upload-lists 201", 3000));
        QCOMPARE(received.size(), 1);
        QVERIFY(received[0].startsWith("Vaultry_uploader_Manager|L"));
    }
};

QTEST_GUILESS_MAIN(TestFileServiceGuards)
#include "tst_fileservice_guards.moc"
