// The handler of "vastrelle-page://" links, run as the desktop runs it (one argument, the
// link), against the real file service on the test's own address: what it hands to the
// clients, what it registers and records, and what it refuses, with its boxes answered into
// a log file and the file chooser answered by VAULTRY_CHOSEN_FILES.

#include "core/LaunchLink.h"
#include "core/TextCodec.h"
#include "core/UploadChoices.h"
#include "core/WindowBus.h"
#include "pagectl/PageAction.h"
#include "tests/pagectl/PageFlowSupport.h"
#include "tests/support/FileServiceProcess.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QHostAddress>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>
#include <optional>

#include <sys/stat.h>

namespace {

constexpr quint32 kDownloadTag = 41160500;
constexpr quint32 kUploadTag = 60504110;

QByteArray withNul(const QByteArray& text) {
    return text + '\0';
}

QString pageLink(const QByteArray& payload) {
    return PageFlow::link("vastrelle-page", payload);
}

// A web port that takes requests and answers each only when the test says, so that a page
// control can be kept busy in the middle of a registration.
class HeldWebPort : public QObject {
public:
    QList<QByteArray> requests;

    bool listen() {
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
            }
        });
        return server_.listen(QHostAddress(TestEnvironment::address()), 7580);
    }

    void answer(int request, const QByteArray& status, const QByteArray& text) {
        QTcpSocket* socket = held_.value(request);
        if (!socket)
            return;
        socket->write("HTTP/1.1 " + status +
                      "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
                      QByteArray::number(text.size()) + "\r\nConnection: close\r\n\r\n" + text);
        socket->disconnectFromHost();
    }

private:
    void read(QTcpSocket* socket) {
        QByteArray& buffer = buffers_[socket];
        buffer += socket->readAll();
        const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return;
        static const QRegularExpression length(QStringLiteral("(?i)content-length: *(\\d+)"));
        const auto match = length.match(QString::fromLatin1(buffer.left(headEnd)));
        const qsizetype body = match.hasMatch() ? match.captured(1).toLongLong() : 0;
        if (buffer.size() < headEnd + 4 + body || held_.contains(socket))
            return;
        requests << buffer;
        held_ << socket;
    }

    QTcpServer server_;
    QHash<QTcpSocket*, QByteArray> buffers_;
    QList<QTcpSocket*> held_;
};

} // namespace

class TestPageAction : public QObject {
    Q_OBJECT
    QString boxLog_, source_, store_, save_, outputs_;
    int runs_ = 0;

    QString boxes() const {
        QFile f(boxLog_);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    // Starts `program` (the build's page control unless named) on a link; `chosen` answers
    // the file chooser (nothing: the chooser is left to the modal seam).
    std::unique_ptr<QProcess> startPage(const QString& link,
                                        std::optional<QStringList> chosen = std::nullopt,
                                        const QString& program = QString(),
                                        const QString& path = QString()) {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = PageFlow::programEnvironment(boxLog_);
        if (chosen) {
            const QString answer = QDir(outputs_).filePath(QStringLiteral("chosen-%1").arg(runs_));
            PageFlow::writeFile(answer,
                                chosen->join('\n').toUtf8() + (chosen->isEmpty() ? "" : "\n"));
            env.insert("VAULTRY_CHOSEN_FILES", answer);
        }
        if (!path.isEmpty())
            env.insert("PATH", path);
        p->setProcessEnvironment(env);
        // A file, not a pipe: the clients it starts inherit it and outlive it.
        p->setStandardOutputFile(QDir(outputs_).filePath(QStringLiteral("out-%1").arg(runs_++)));
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(program.isEmpty() ? TestEnvironment::binary("vaultry-pagectl") : program,
                 {"page", link});
        return p;
    }

    // Waits for its end while this test's windows go on answering.
    static bool finished(QProcess& p, int timeoutMs = 30000) {
        return QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, timeoutMs);
    }

    QString output(int run) const {
        return QString::fromUtf8(
            PageFlow::contents(QDir(outputs_).filePath(QStringLiteral("out-%1").arg(run))));
    }
    QString lastOutput() const { return output(runs_ - 1); }

    // Nothing the page control could have handed work to was started, and no window of a
    // client or of a page control is left on the bus.
    static bool noClientStarted() {
        return PageFlow::running("Vaultry_DOWN").isEmpty() &&
               PageFlow::running("Vaultry_UPLOAD").isEmpty() &&
               WindowBus::findWindow("Vaultry_downloader").isEmpty() &&
               WindowBus::findWindow("vaultry_uploader").isEmpty() &&
               WindowBus::findWindow("VAULtry_AX_EXE").isEmpty();
    }

    QStringList stored() const {
        return QDir(store_).entryList(QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden);
    }

    static QStringList recordedChoices() {
        return QDir(UploadChoices::folder()).entryList({"*.json"}, QDir::Files);
    }

    static void setting(const char* key, const QVariant& value) {
        QSettings s("Vastrelle", "Shuttlebox");
        s.setValue(QString("Config/") + key, value);
    }

    QString addSource(const QString& name, const QByteArray& bytes) {
        const QString path = QDir(source_).filePath(name);
        PageFlow::writeFile(path, bytes);
        return path;
    }

private slots:
    void initTestCase() {
        TestEnvironment::prepare();
        QVERIFY(QFileInfo(TestEnvironment::binary("vaultry-pagectl")).isExecutable());
    }

    void init() {
        TestEnvironment::prepare();
        source_ = TestEnvironment::scratch("source");
        store_ = TestEnvironment::scratch("store");
        save_ = TestEnvironment::scratch("save");
        outputs_ = TestEnvironment::scratch("outputs");
        boxLog_ = TestEnvironment::scratch("boxes") + "/boxes.log";
        setting("User_Config", 1);
        setting("Default_folder", save_);
        setting("Default_folder_use", 1);
        setting("DOWN_File_over", 1);
        setting("DOWN_Autostart", 1);
        setting("DOWN_Program_end", 1);
        setting("UP_Autostart", 1);
        setting("UP_Program_end", 1);
    }

    void linksThatAreNoPageActionAreRefusedWithABox() {
        const QString page = QString::fromUtf8("웹페이지 도우미 (오류)|");
        const QString unreadable = page + QString::fromUtf8("웹페이지의 요청을 읽을수 없습니다.");
        const QString unknown = page + QString::fromUtf8("알수 없는 웹페이지 요청입니다.");
        const QString download =
            QString::fromUtf8("다운로더 (오류)|다운로드 요청을 읽을수 없습니다.");
        const QString upload = QString::fromUtf8("업로더 (오류)|업로드 요청을 읽을수 없습니다.");
        const QList<QPair<QString, QString>> cases = {
            {"vastrelle-page:86,97/", unreadable},
            {"vastrelle-page:///", unreadable},
            {"VASTRELLE-PAGE://86,97,124,49/", unreadable},
            // The download client's own scheme is not the page control's.
            {PageFlow::link("vastrelle", "Vaultry_uploader_Choose|kim|1"), unreadable},
            {pageLink("Vaultry_deleter|kim|1"), unknown},
            {pageLink("Vaultry_uploader_Choose"), unknown},
            // A page never names an upload list itself: only the member's choice makes one.
            {pageLink("Vaultry_uploader_Manager|L0123|kim|1"), unknown},
            {pageLink("Vaultry_downloader_Manager||kim|1"), download},
            {pageLink("Vaultry_downloader_Manager|a.txt?|kim"), download},
            {pageLink("Vaultry_downloader_Manager|a.txt?||1"), download},
            {pageLink("Vaultry_uploader_Choose||1"), upload},
            {pageLink("Vaultry_uploader_Choose|kim|1|2"), upload},
            {pageLink("Vaultry_uploader_Choose|kim|one"), upload},
            {pageLink("Vaultry_uploader_Choose|k\x01m|1"), upload},
        };
        for (const auto& [link, box] : cases) {
            QFile::remove(boxLog_);
            auto p = startPage(link, QStringList{addSource("a.txt", "a")});
            QVERIFY2(finished(*p), qPrintable(link));
            QCOMPARE(p->exitCode(), 1);
            const QStringList shown = boxes().split('\n', Qt::SkipEmptyParts);
            QVERIFY2(shown.size() == 1 && shown[0].startsWith(box),
                     qPrintable(link + " -> " + boxes()));
        }
        QVERIFY(noClientStarted());
        QVERIFY(recordedChoices().isEmpty());
    }

    void overLongLinksAreRefusedWhole() {
        // A command line argument holds at most 128 KiB, so a link this long never reaches
        // the program: the reader it uses is checked on its own.
        QByteArray codes;
        codes.reserve(2 * kMaxLaunchRequest + 8);
        for (qsizetype i = 0; i < kMaxLaunchRequest; ++i)
            codes += "9,";
        const PageActionRead atBound = ReadPageLink("vastrelle-page://" + codes + "/");
        QCOMPARE(atBound.status, PageActionRead::Status::UnknownAction);
        const PageActionRead beyond = ReadPageLink("vastrelle-page://" + codes + "9/");
        QCOMPARE(beyond.status, PageActionRead::Status::Unreadable);
        QVERIFY(beyond.action.command.isEmpty());
        // Zero codes add nothing, however many: not beyond the bound.
        QCOMPARE(ReadPageLink("vastrelle-page://" + QByteArray(3 * kMaxLaunchRequest, '0') + ",86/")
                     .status,
                 PageActionRead::Status::UnknownAction);
        // What a later page control hands over is read with the same bound.
        QCOMPARE(
            ReadPageAction("Vaultry_uploader_Choose|kim|1" + QByteArray(kMaxLaunchRequest, '1'))
                .status,
            PageActionRead::Status::Unreadable);
        const PageActionRead upload =
            ReadPageLink(pageLink("Vaultry_uploader_Choose|kim|12").toLatin1());
        QCOMPARE(upload.status, PageActionRead::Status::Ok);
        QCOMPARE(upload.action.member, QByteArray("kim"));
        QCOMPARE(upload.action.server, QByteArray("12"));
    }

    void refusedRegistrationsShowTheServiceAnswer() {
        FileServiceProcess service(TestEnvironment::address());
        QVERIFY(service.start({"--member", "kim", "--store", store_}));
        const QString file = addSource(QString::fromUtf8("사진.jpg"), QByteArray(5000, 'p'));
        const QString missing = QDir(source_).filePath(QString::fromUtf8("없는 파일.txt"));
        const QString folder = QDir(source_).filePath("folder");
        QVERIFY(QDir().mkpath(folder));
        const QString fifo = QDir(source_).filePath("fifo");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const QString refused = QString::fromUtf8(
            "업로더 (오류)|업로드할 파일을 등록하지 못했습니다.\\n서버의 응답: 422 ");
        // The member sees which file; the reason is the service's log's alone, so another
        // account cannot probe paths through the service.
        const QString unusable = QString::fromUtf8(
            "not a file that can be registered (missing, not a regular file, or of another "
            "size): ");
        const QList<std::tuple<QByteArray, QStringList, QString, QString>> cases = {
            {"kim", {file, missing}, unusable + missing, "no such file: " + missing},
            {"kim", {folder}, unusable + folder, "not a regular file: " + folder},
            {"kim", {fifo, file}, unusable + fifo, "not a regular file: " + fifo},
            {"lee", {file}, "no member \"lee\"", "no member \"lee\""},
        };
        for (const auto& [member, chosen, shown, logged] : cases) {
            QFile::remove(boxLog_);
            auto p = startPage(pageLink("Vaultry_uploader_Choose|" + member + "|1"), chosen);
            QVERIFY(finished(*p));
            QCOMPARE(p->exitCode(), 1);
            QCOMPARE(boxes(), refused + shown + "\n");
            QVERIFY2(service.log().contains(logged), qPrintable(service.log()));
        }
        QCOMPARE(service.log().count("POST /api/upload-lists 422"), 4);
        QVERIFY2(!service.log().contains(" 201 "), qPrintable(service.log()));
        QVERIFY(noClientStarted());
        QVERIFY(recordedChoices().isEmpty());
        QVERIFY(stored().isEmpty());
    }

    void cancelledChooserEndsQuietly() {
        FileServiceProcess service(TestEnvironment::address());
        QVERIFY(service.start({"--member", "kim", "--store", store_}));
        addSource("a.txt", "a");
        // The chooser's answer is no file at all.
        auto answered = startPage(pageLink("Vaultry_uploader_Choose|kim|1"), QStringList());
        QVERIFY(finished(*answered));
        QCOMPARE(answered->exitCode(), 0);
        QCOMPARE(boxes(), QString());
        // The desktop's chooser, cancelled by the modal seam as an unattended run does.
        auto cancelled = startPage(pageLink("Vaultry_uploader_Choose|kim|1"));
        QVERIFY(finished(*cancelled));
        QCOMPARE(cancelled->exitCode(), 0);
        QCOMPARE(boxes(), QString::fromUtf8("업로드할 파일 선택|upload-file-chooser\n"));
        QVERIFY(!service.log().contains("POST"));
        QVERIFY(noClientStarted());
        QVERIFY(recordedChoices().isEmpty());
    }

    void unreachableServiceIsTold() {
        const QString file = addSource("a.txt", "a");
        auto p = startPage(pageLink("Vaultry_uploader_Choose|kim|1"), QStringList{file});
        QVERIFY(finished(*p));
        QCOMPARE(p->exitCode(), 1);
        QVERIFY2(boxes().startsWith(
                     QString::fromUtf8(
                         "업로더 (오류)|업로드할 파일을 등록할수 없습니다.\\n서버에 연결할수 "
                         "없습니다.\\n(http://%1:7580/api/upload-lists: ")
                         .arg(TestEnvironment::address())),
                 qPrintable(boxes()));
        QVERIFY(noClientStarted());
        QVERIFY(recordedChoices().isEmpty());
    }

    void uploadChoiceIsRegisteredRecordedAndFedToTheRunningUploader() {
        FileServiceProcess service(TestEnvironment::address());
        QVERIFY(service.start({"--member", "kim", "--store", store_}));
        const QString one = addSource(QString::fromUtf8("여름 사진.jpg"), QByteArray(70000, 's'));
        const QString two = addSource("notes.txt", "notes");
        // The member may pick a link; the choice keeps the file it leads to.
        const QString link = QDir(source_).filePath("link-to-notes");
        QVERIFY(QFile::link(two, link));

        WindowBus uploader("vaultry_uploader");
        QVERIFY(uploader.isRegistered());
        QList<CopyData> received;
        uploader.setHandler([&](const CopyData& m) {
            received << m;
            return 0; // what the upload window answers
        });
        auto p = startPage(pageLink("Vaultry_uploader_Choose|kim|7"), QStringList{one, link});
        QVERIFY(finished(*p));
        QCOMPARE(p->exitCode(), 0);
        QCOMPARE(received.size(), 1);
        static const QRegularExpression listLine(
            QStringLiteral("POST /api/upload-lists 201 \\(list (L[0-9a-f]+) for member \"kim\" "
                           "\\(2 files\\)\\)"));
        const auto match = listLine.match(service.log());
        QVERIFY2(match.hasMatch(), qPrintable(service.log()));
        const QByteArray key = match.captured(1).toLatin1();
        QCOMPARE(received[0].tag, kUploadTag);
        QCOMPARE(received[0].data, withNul("Vaultry_uploader_Manager|" + key + "|kim|7"));
        // The upload client will read exactly these for the list.
        const QSet<QString> expected{QFileInfo(one).canonicalFilePath(),
                                     QFileInfo(two).canonicalFilePath()};
        QCOMPARE(UploadChoices::chosen(key), expected);
        QCOMPARE(boxes(), QString());
        QVERIFY(PageFlow::running("Vaultry_UPLOAD").isEmpty());
        QVERIFY(stored().isEmpty());
    }

    void downloadCommandGoesToTheRunningClientOrStartsOne() {
        const QByteArray one(300000, 'o');
        const QByteArray two = "둘째 파일";
        addSource("one.bin", one);
        addSource(QString::fromUtf8("폴더/둘.txt"), two);
        const QByteArray command = "Vaultry_downloader_Manager|one.bin?" +
                                   ToCp949(QString::fromUtf8("폴더/둘.txt")) + "?|kim|1";
        {
            WindowBus client("Vaultry_downloader");
            QVERIFY(client.isRegistered());
            QList<CopyData> received;
            client.setHandler([&](const CopyData& m) {
                received << m;
                return 0;
            });
            auto p = startPage(pageLink(command));
            QVERIFY(finished(*p));
            QCOMPARE(p->exitCode(), 0);
            QCOMPARE(received.size(), 1);
            QCOMPARE(received[0].tag, kDownloadTag);
            QCOMPARE(received[0].data, withNul(command));
            QVERIFY(PageFlow::running("Vaultry_DOWN").isEmpty());
        }
        // No client runs: one starts on the launch link of the same request.
        FileServiceProcess service(TestEnvironment::address());
        QVERIFY(service.start({"--root", source_, "--member", "kim"}));
        auto p = startPage(pageLink(command));
        QVERIFY(finished(*p));
        QCOMPARE(p->exitCode(), 0);
        QVERIFY2(lastOutput().contains("/url " + PageFlow::link("vastrelle", command.mid(27))),
                 qPrintable(lastOutput()));
        QVERIFY(PageFlow::waitUntilEnded("Vaultry_DOWN", 60000));
        QCOMPARE(PageFlow::contents(save_ + "/one.bin"), one);
        QCOMPARE(PageFlow::contents(save_ + QString::fromUtf8("/폴더/둘.txt")), two);
        QVERIFY(service.log().contains("sign-off \"kim\""));
        QVERIFY2(boxes().isEmpty(), qPrintable(boxes()));
    }

    void aSecondActionIsHandedToTheRunningControl() {
        HeldWebPort web;
        QVERIFY(web.listen());
        const QString file = addSource("a.txt", "a");
        auto first = startPage(pageLink("Vaultry_uploader_Choose|kim|1"), QStringList{file});
        const int firstRun = runs_ - 1;
        QTRY_COMPARE_WITH_TIMEOUT(web.requests.size(), 1, 15000);
        QVERIFY(web.requests[0].contains("\"member\":\"kim\""));

        // While the first waits for the service, a second link is handled: it only hands
        // its action over and ends.
        auto second = startPage(pageLink("Vaultry_uploader_Choose|lee|1"), QStringList{file});
        QVERIFY(finished(*second, 15000));
        QCOMPARE(second->exitCode(), 0);
        QVERIFY2(lastOutput().contains("handed over to the running page control"),
                 qPrintable(lastOutput()));
        QCOMPARE(first->state(), QProcess::Running);

        web.answer(0, "422 Unprocessable Entity", "no member \"kim\"\n");
        QTRY_COMPARE_WITH_TIMEOUT(web.requests.size(), 2, 15000);
        QVERIFY(web.requests[1].contains("\"member\":\"lee\""));
        web.answer(1, "422 Unprocessable Entity", "no member \"lee\"\n");
        QVERIFY(finished(*first));
        QCOMPARE(first->exitCode(), 1);
        const QStringList shown = boxes().split('\n', Qt::SkipEmptyParts);
        QCOMPARE(shown.size(), 2);
        QVERIFY(shown[0].endsWith("422 no member \"kim\""));
        QVERIFY(shown[1].endsWith("422 no member \"lee\""));
        QVERIFY(output(firstRun).contains("took over"));
        QVERIFY(noClientStarted());
    }

    void clientsAreFoundBesideItElseOnPath() {
        FileServiceProcess service(TestEnvironment::address());
        QVERIFY(service.start({"--member", "kim", "--store", store_}));
        const QString file = addSource("a.txt", "a");
        // A page control with no client beside it.
        const QString alone = TestEnvironment::scratch("alone") + "/vaultry-pagectl";
        QVERIFY(QFile::copy(TestEnvironment::binary("vaultry-pagectl"), alone));
        QVERIFY(QFile::setPermissions(alone, QFile::ReadOwner | QFile::ExeOwner));
        const QString path = TestEnvironment::scratch("path");

        auto missing =
            startPage(pageLink("Vaultry_uploader_Choose|kim|1"), QStringList{file}, alone, path);
        QVERIFY(finished(*missing));
        QCOMPARE(missing->exitCode(), 1);
        QCOMPARE(boxes(), QString::fromUtf8("업로더 (오류)|Vaultry_UPLOAD 프로그램을 찾을수 "
                                            "없습니다.\\n설치를 확인해주세요.\n"));

        // On PATH: an uploader that ends without announcing itself is told at once.
        QFile::remove(boxLog_);
        const QString marker = path + "/started";
        const QString fake = path + "/Vaultry_UPLOAD";
        QVERIFY(PageFlow::writeFile(fake, "#!/bin/sh\necho started > '" + marker.toUtf8() +
                                              "'\nexit 0\n"));
        QVERIFY(QFile::setPermissions(fake, QFile::ReadOwner | QFile::ExeOwner));
        auto silent =
            startPage(pageLink("Vaultry_uploader_Choose|kim|1"), QStringList{file}, alone, path);
        QVERIFY(finished(*silent));
        QCOMPARE(silent->exitCode(), 1);
        QVERIFY(QFile::exists(marker));
        QCOMPARE(boxes(), QString::fromUtf8("업로더 (오류)|업로더가 응답하지 않습니다.\\n잠시 후 "
                                            "홈페이지에서 다시 실행해주세요.\n"));
        QVERIFY(WindowBus::findWindow("VAULtry_AX_EXE").isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPageAction)
#include "TestPageAction.moc"
