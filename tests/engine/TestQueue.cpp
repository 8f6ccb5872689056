#include "core/SettingsStore.h"
#include "download/engine/DownloadEngine.h"
#include "tests/download/RecordingHost.h"
#include "tests/support/ManualWorkers.h"
#include "tests/support/TestClock.h"
#include "tests/support/TestEnvironment.h"
#include "upload/engine/UploadEngine.h"

#include <QSignalSpy>
#include <QtTest>

// How the two engines move a list, driven step by step: workers that end when the script
// says and with the outcome it says, a clock that only moves when the script fires a timer,
// and questions that stay open until the script answers them. Each row of a table is one
// case, named by what it shows.
//
// Steps: "complete", "fail", "stopped" (the worker ends on a stop), "ask" (the local file
// exists), "cannotwrite", "unacceptable", "diskfull", "cannotopen" end the running worker
// that way; "start" and "stop" press the start/stop button; "exit" presses the exit button;
// "retry" fires the retry timer; "workers:N" checks how many workers were started so far;
// "resume:N" checks the download's resume index; "delete:N" deletes row N as the list command
// does. Questions: "asking:K" checks that a question of kind K (exit, duplicate, folder,
// dialog) is open, "withdrawn:K" that the one asked is no longer; "answer:A" answers it (yes,
// no, overwrite, resume, cancel, folder, closed); "questions:N" counts the questions asked,
// "quits:N" the ends of the program; "moving:0|1" checks what the desktop was last told
// (whether files move).
namespace {

using Kind = MemberQuestion::Kind;

Kind kindNamed(const QString& name) {
    return name == "exit"        ? Kind::ExitAnyway
           : name == "duplicate" ? Kind::DuplicateFile
           : name == "folder"    ? Kind::Folder
                                 : Kind::SaveFolderSettings;
}

const QString kAllDone = QStringLiteral("모든 파일이 전송완료되었습니다.");
const QString kOneFailed = QStringLiteral("1개의 파일을 전송하지 못했습니다.");
const QString kServerLost = QStringLiteral("서버와 연결되지 않아 접속이 종료되었습니다.");
const QString kCannotOpen =
    QStringLiteral("업로드할 파일을 열수 없습니다.\n업로드할 파일이 존재하는지 확인해주세요.");
const QString kDiskFull = QStringLiteral("디스크 공간이 부족하여 다운로드를 멈추었습니다.\n"
                                         "공간을 확보한 후 다시 시작하면 이어받습니다.");

template <class Engine, class Record> struct Bench {
    RecordingHost host;
    ManualWorkers* workers = new ManualWorkers;
    std::shared_ptr<TestClock> clock = manualClock();
    Engine engine{host, setupWith(workers, clock)};
    bool moving = false; // what transferringChanged() said last

    static std::shared_ptr<TestClock> manualClock() {
        auto clock = std::make_shared<TestClock>();
        clock->manual = true;
        return clock;
    }
    static EngineSetup setupWith(ManualWorkers* runner, std::shared_ptr<TestClock> clock) {
        EngineSetup setup;
        setup.workers.reset(runner);
        setup.notices = std::make_unique<ManualWorkers>(); // never sent: no file server here
        setup.clock = std::move(clock);
        return setup;
    }

    explicit Bench(int files) : Bench(QList<qint64>(files, 1000)) {}
    explicit Bench(const QList<qint64>& sizes) {
        host.manualAnswers = true;
        host.answerer = [this](quint64 id, const MemberReply& reply) { engine.answer(id, reply); };
        for (int i = 0; i < sizes.size(); ++i) {
            Record record;
            record.name = "f" + QByteArray::number(i);
            record.size = sizes[i];
            engine.table().append(record, QString::fromLatin1(record.name), QString());
        }
        engine.refreshAfterListing();
        QObject::connect(&engine, &TransferEngineBase::transferringChanged,
                         [this](bool now) { moving = now; });
    }

    // Ends the running worker with `outcome`, or with its whole file.
    bool end(AttemptOutcome outcome, bool complete = false) {
        TransferProgress* progress = engine.workerProgress();
        if (!progress || workers->running() == 0)
            return false;
        if (complete) {
            // The running row may have been deleted under its worker.
            const int row = engine.currentIndex();
            if (row >= 0)
                progress->done = engine.table().recordAt(row).size;
            progress->markComplete();
        } else {
            progress->result = outcome;
        }
        return workers->endOne();
    }

    QStringList stateTexts() const {
        QStringList texts;
        for (int row = 0; row < engine.table().count(); ++row)
            texts << engine.table().text(row, TransferTable::StateColumn);
        return texts;
    }
    QStringList messageTexts() const {
        QStringList texts;
        for (const auto& m : host.messages)
            texts << m.text;
        return texts;
    }
};

} // namespace

class TestQueue : public QObject {
    Q_OBJECT

    static int resumeIndexOf(const DownloadEngine& engine) { return engine.resumeIndex(); }
    static int resumeIndexOf(const UploadEngine&) { return -2; } // the upload keeps none

    static void columns() {
        QTest::addColumn<int>("files");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("states");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<int>("workers");
    }

    // Answers the open question the answer fits, as the window does.
    static bool answer(RecordingHost& host, const QString& answer) {
        if (answer == "yes" || answer == "no")
            return host.answer(Kind::ExitAnyway,
                               answer == "yes" ? MemberAnswer::Yes : MemberAnswer::No);
        if (answer == "overwrite" || answer == "resume")
            return host.answer(Kind::DuplicateFile,
                               answer == "resume" ? MemberAnswer::Resume : MemberAnswer::Overwrite);
        if (answer == "cancel")
            return host.answer(Kind::Folder, MemberAnswer::Cancelled);
        if (answer == "folder")
            return host.answer(Kind::Folder, {MemberAnswer::FolderChosen, "/elsewhere"});
        return host.answer(Kind::SaveFolderSettings, MemberAnswer::Closed);
    }

    // Runs the steps on a bench; the download and the upload name their own results.
    template <class B> static void run(B& bench, const QStringList& steps) {
        for (const QString& step : steps) {
            bool ok = true;
            if (step == "complete")
                ok = bench.end(AttemptOutcome::None, true);
            else if (step == "fail")
                ok = bench.end(AttemptOutcome::Failed);
            else if (step == "stopped")
                ok = bench.end(AttemptOutcome::Stopped);
            else if (step == "ask")
                ok = bench.end(AttemptOutcome::AskUser);
            else if (step == "cannotwrite")
                ok = bench.end(AttemptOutcome::CannotWrite);
            else if (step == "unacceptable")
                ok = bench.end(AttemptOutcome::NotAcceptable);
            else if (step == "diskfull")
                ok = bench.end(AttemptOutcome::DiskFull);
            else if (step == "cannotopen")
                ok = bench.end(AttemptOutcome::CannotOpen);
            else if (step == "start" || step == "stop")
                bench.engine.toggle();
            else if (step == "exit")
                bench.engine.exitProgram();
            else if (step.startsWith("asking:"))
                ok = bench.host.open(kindNamed(step.mid(7))).has_value();
            else if (step.startsWith("withdrawn:"))
                ok = !bench.host.open(kindNamed(step.mid(10))) && !bench.host.withdrawn.isEmpty();
            else if (step.startsWith("answer:"))
                ok = answer(bench.host, step.mid(7));
            else if (step.startsWith("questions:"))
                ok = bench.host.questions.size() == step.mid(10).toInt();
            else if (step.startsWith("quits:"))
                ok = bench.host.quits == step.mid(6).toInt();
            else if (step.startsWith("moving:"))
                ok = bench.moving == (step.mid(7) == "1");
            else if (step == "retry")
                ok = bench.clock->fire(TransferEngineBase::kRetryTimer);
            else if (step.startsWith("workers:"))
                ok = bench.workers->started == step.mid(8).toInt();
            else if (step.startsWith("delete:"))
                bench.engine.deleteRows({step.mid(7).toInt()});
            else if (step.startsWith("resume:"))
                ok = resumeIndexOf(bench.engine) == step.mid(7).toInt();
            else
                ok = false;
            QVERIFY2(ok, qPrintable(QString("step \"%1\" of %2").arg(step, steps.join(' '))));
        }
    }

    // What both engines do alike.
    static void sharedCases() {
        QTest::newRow("three files complete in list order: one report")
            << 3 << QStringList{"start", "complete", "complete", "complete"}
            << QStringList{"완료", "완료", "완료"} << QStringList{kAllDone} << 3;
        QTest::newRow("a file after two recovered drops still gets three retries")
            << 2 << QStringList{"start", "fail", "retry", "fail", "retry", "complete", "fail",
                                "retry", "fail", "retry", "fail", "retry", "complete"}
            << QStringList{"완료", "완료"} << QStringList{kAllDone} << 7;
        QTest::newRow("stop while the worker is still ending: the next start waits for it")
            << 1 << QStringList{"start",   "stop",      "start",   "workers:1",
                                "stopped", "workers:2", "complete"}
            << QStringList{"완료"} << QStringList{kAllDone} << 2;
        QTest::newRow("stop after the last byte: the file is complete, once")
            << 1 << QStringList{"start", "stop", "complete", "start"} << QStringList{"완료"}
            << QStringList{kAllDone} << 1;
        QTest::newRow("a stop while a retry waits: nothing starts again by itself")
            << 1 << QStringList{"start", "fail", "start", "stop", "stopped"}
            << QStringList{"전송중"} << QStringList{} << 2;
        QTest::newRow("the running file's row deleted: its worker's end moves the list on")
            << 2 << QStringList{"start", "delete:0", "complete", "workers:2", "complete"}
            << QStringList{"완료"} << QStringList{kAllDone} << 2;
        QTest::newRow("an empty list started by hand: nothing to report")
            << 0 << QStringList{"start"} << QStringList{} << QStringList{} << 0;
        QTest::newRow("the exit question while a file runs: the list goes on, \"no\" stays")
            << 2 << QStringList{"start", "exit",        "asking:exit", "complete", "workers:2",
                                "exit",  "questions:1", "answer:no",   "complete", "quits:0"}
            << QStringList{"완료", "완료"} << QStringList{kAllDone} << 2;
    }

    // Runs the row's steps on a bench of `Engine` and checks where they led.
    template <class Engine, class Record> static void check() {
        QFETCH(int, files);
        QFETCH(QStringList, steps);
        QFETCH(QStringList, states);
        QFETCH(QStringList, messages);
        QFETCH(int, workers);
        Bench<Engine, Record> bench(files);
        bench.host.manualAnswers = true;
        QSignalSpy moving(&bench.engine, &TransferEngineBase::transferringChanged);
        QSignalSpy reported(&bench.engine, &TransferEngineBase::listReported);
        run(bench, steps);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(bench.stateTexts(), states);
        QCOMPARE(bench.messageTexts(), messages);
        QCOMPARE(bench.workers->started, workers);
        QVERIFY(!bench.engine.isRunning());
        QVERIFY(!bench.clock->armed(TransferEngineBase::kRetryTimer));
        // The desktop hears of every start and every stop or end, each once (sleep is held
        // off in between), and of each list's end in its box's words.
        for (int i = 0; i < moving.size(); ++i)
            QCOMPARE(moving[i][0].toBool(), i % 2 == 0);
        QCOMPARE(moving.size() % 2, 0);
        QStringList ends, said;
        for (const QString& text : messages)
            if (text == kAllDone ||
                text.endsWith(QStringLiteral("개의 파일을 전송하지 못했습니다.")))
                ends << text;
        for (const auto& args : reported)
            said << args[0].toString();
        QCOMPARE(said, ends);
    }

    // Removing the completed rows lowers the current row number by one for each removed row,
    // those after it too. Stopped on the third file, the fourth moved to the top: the first
    // and the last row (both complete) go, and the current row number falls from 2 to 0. When
    // it would fall below the first row, the first unfinished row becomes current.
    template <class Engine, class Record> static void removeCompletedFrom() {
        Bench<Engine, Record> bench(4);
        run(bench, {"start", "complete", "complete", "stop", "stopped"});
        QCOMPARE(bench.engine.currentIndex(), 2);
        bench.engine.table().exchangeRows(0, 3);
        bench.engine.deleteCompletedRows();
        QCOMPARE(bench.engine.table().count(), 2);
        QCOMPARE(bench.engine.currentIndex(), 0);
        QVERIFY2(bench.host.statusLines.last().startsWith("'f3'"),
                 qPrintable(bench.host.statusLines.last()));
        bench.engine.table().setState(0, RowState::Done);
        bench.engine.deleteCompletedRows();
        QCOMPARE(bench.engine.currentIndex(), 0);
        QVERIFY2(bench.host.statusLines.last().startsWith("'f2'"),
                 qPrintable(bench.host.statusLines.last()));
    }

private slots:
    // Sizes come from the server; sums of huge ones saturate instead of wrapping negative.
    void hugeSizesNeverWrapTheTotal() {
        Bench<DownloadEngine, FileRecord> bench(0);
        for (int i = 0; i < 3; ++i) {
            FileRecord record;
            record.name = "huge" + QByteArray::number(i);
            record.size = std::numeric_limits<qint64>::max() - 10;
            bench.engine.table().append(record, QString::fromLatin1(record.name), QString());
        }
        bench.engine.refreshAfterListing();
        QVERIFY2(!bench.host.totalCaption.contains('-'), qPrintable(bench.host.totalCaption));
        QVERIFY2(bench.host.totalCaption.startsWith("0%/100%("),
                 qPrintable(bench.host.totalCaption));
    }

    void initTestCase() {
        TestEnvironment::prepare();
        // Control exchanges (a request, the sign-off) find no file server here and fail at once.
        qputenv("VAULTRY_FILE_SERVER", TestEnvironment::address().toLatin1());
        SettingsStore::EnsureDefaults();
        SettingsStore::WriteInt(SettingKey::DownListDel, 0);
    }

    // The end of the program closes whatever question is open, and an answer that comes after
    // it starts nothing: the list's end with "end the program" set while the exit question
    // is open (every file is complete now, so nothing is asked), and "yes" to the exit while
    // the duplicate question is open.
    void theEndClosesOpenQuestions() {
        SettingsStore::WriteInt(SettingKey::DownProgramEnd, 1);
        SettingsStore::WriteInt(SettingKey::UpProgramEnd, 1);
        {
            Bench<DownloadEngine, FileRecord> bench(1);
            run(bench, {"start", "exit", "asking:exit", "complete", "withdrawn:exit"});
            QTRY_COMPARE(bench.host.quits, 1); // after the sign-off's exchange
        }
        {
            Bench<UploadEngine, UploadRecord> bench(1);
            run(bench, {"start", "exit", "asking:exit", "complete", "withdrawn:exit", "quits:1"});
        }
        SettingsStore::WriteInt(SettingKey::DownProgramEnd, 0);
        SettingsStore::WriteInt(SettingKey::UpProgramEnd, 0);
        Bench<DownloadEngine, FileRecord> bench(1);
        run(bench, {"start", "ask", "exit", "asking:duplicate", "answer:yes"});
        QVERIFY(!bench.host.open(Kind::DuplicateFile));
        bench.engine.answer(bench.host.questions.first().id, MemberAnswer::Resume);
        QCOMPARE(bench.workers->started, 1);
        QTRY_COMPARE(bench.host.quits, 1);
    }

    // A request's questions (the save-folder dialog, then the folder) are open while the list
    // runs: a hand-off waits its turn, and the end of the last file waits for the request, so
    // the completion comes once both requests are through.
    void requestsWhileTheirQuestionsAreOpen() {
        const QString stored = TestEnvironment::scratch("queue-save");
        SettingsStore::WriteText(SettingKey::DefaultFolder, stored);
        SettingsStore::WriteInt(SettingKey::DefaultFolderUse, 0);
        SettingsStore::WriteInt(SettingKey::DownAutostart, 0);
        Bench<DownloadEngine, FileRecord> bench(1);
        const QByteArray request = "Vaultry_downloader_Manager|x?|kim|1";
        run(bench, {"start"});
        bench.engine.processRequest(request);
        QTRY_VERIFY(bench.host.open(Kind::SaveFolderSettings));
        bench.engine.processRequest(request); // handed over meanwhile
        run(bench, {"questions:1", "complete"});
        QVERIFY(!bench.host.hasMessage(kAllDone));
        QVERIFY(bench.engine.isRunning());
        run(bench, {"answer:closed", "asking:folder", "answer:cancel"});
        // The first request lists (nothing, without a server); the second one asks in turn.
        QTRY_COMPARE(bench.host.questions.size(), 3);
        QVERIFY(!bench.host.hasMessage(kAllDone));
        run(bench, {"answer:closed", "answer:folder"});
        QTRY_VERIFY(bench.host.hasMessage(kAllDone));
        QVERIFY(!bench.engine.isRunning());
        QVERIFY(!bench.engine.exchangeInProgress());
        QCOMPARE(bench.host.folderTitles, QStringList(2, "저장 폴더를 지정하세요"));
        SettingsStore::WriteInt(SettingKey::DefaultFolderUse, 1);
    }

    void downloadQueue_data() {
        columns();
        sharedCases();
        QTest::newRow("last file fails four times: 오류, no completion actions")
            << 1 << QStringList{"start", "fail", "retry", "fail", "retry", "fail", "retry", "fail"}
            << QStringList{"오류"} << QStringList{} << 4;
        QTest::newRow("a file given up: the next goes, and the end counts the failure")
            << 2 << QStringList{"start", "fail",  "retry", "fail",  "retry",
                                "fail",  "retry", "fail",  "retry", "complete"}
            << QStringList{"오류", "완료"} << QStringList{kOneFailed} << 5;
        QTest::newRow("the local file exists: the list waits, the answer starts the file again")
            << 1 << QStringList{"start",    "moving:1",  "ask",           "asking:duplicate",
                                "moving:0", "workers:1", "answer:resume", "workers:2",
                                "moving:1", "complete",  "moving:0"}
            << QStringList{"완료"} << QStringList{kAllDone} << 2;
        QTest::newRow("a stop while the duplicate question is open: asked again on a start")
            << 1 << QStringList{"start",     "ask",   "stop", "withdrawn:duplicate",
                                "resume:-1", "start", "ask",  "answer:overwrite",
                                "complete"}
            << QStringList{"완료"} << QStringList{kAllDone} << 3;
        QTest::newRow("an unwritable folder: the list waits for another; cancelled, it stays")
            << 1
            << QStringList{"start", "cannotwrite", "asking:folder", "answer:cancel", "workers:1"}
            << QStringList{"대기"} << QStringList{} << 1;
        QTest::newRow("a start while the folder question is open tries the folder again")
            << 1 << QStringList{"start", "cannotwrite", "start", "withdrawn:folder", "complete"}
            << QStringList{"완료"} << QStringList{kAllDone} << 2;
        QTest::newRow("a link in the way: 오류 at once, no retry, the list goes on")
            << 2 << QStringList{"start", "unacceptable", "workers:2", "complete"}
            << QStringList{"오류", "완료"} << QStringList{kOneFailed} << 2;
        QTest::newRow("a full disk: the list stops, the next start resumes the file")
            << 1 << QStringList{"start", "diskfull", "resume:0", "workers:1",
                                "start", "complete", "resume:-1"}
            << QStringList{"완료"} << QStringList{kDiskFull, kAllDone} << 2;
    }
    void downloadQueue() { check<DownloadEngine, FileRecord>(); }

    void uploadQueue_data() {
        columns();
        sharedCases();
        QTest::newRow("four lost connections: three silent retries, then the box")
            << 1 << QStringList{"start", "fail", "retry", "fail", "retry", "fail", "retry", "fail"}
            << QStringList{"대기"} << QStringList{kServerLost} << 4;
        QTest::newRow("a file that cannot be opened: the box, the queue waits, the row as it was")
            << 2 << QStringList{"start", "cannotopen"} << QStringList{"대기", "대기"}
            << QStringList{kCannotOpen} << 1;
        QTest::newRow("a stopped file resumes, and a retry never restarts a started queue")
            << 1 << QStringList{"start", "stop",  "stopped",   "start",   "fail",
                                "start", "retry", "workers:3", "complete"}
            << QStringList{"완료"} << QStringList{kAllDone} << 3;
    }
    void uploadQueue() { check<UploadEngine, UploadRecord>(); }

    // "전송완료" on the remaining-time line: the download client shows it once the total reads
    // 100%, the upload client only once every byte is in (10,000 of 10,099 bytes is "100%").
    void remainingLineSaysDoneOnEachClientsRule() {
        const QString done = QStringLiteral("전송완료");
        Bench<DownloadEngine, FileRecord> download({10000, 99});
        run(download, {"start", "complete", "fail"});
        QVERIFY(download.host.remaining.contains(done));
        Bench<UploadEngine, UploadRecord> upload({10000, 99});
        run(upload, {"start", "complete", "fail"});
        QCOMPARE(upload.host.totalCaption, QString("100%/100%(10,000/10,099 Byte)"));
        QVERIFY(!upload.host.remaining.contains(done));
        run(upload, {"retry", "complete"});
        QCOMPARE(upload.host.remaining.last(), done);
    }

    void removingCompletedRowsLowersTheCurrentRowForEach() {
        removeCompletedFrom<DownloadEngine, FileRecord>();
        removeCompletedFrom<UploadEngine, UploadRecord>();
    }
};

QTEST_GUILESS_MAIN(TestQueue)
#include "TestQueue.moc"
