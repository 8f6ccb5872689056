#include "core/Formats.h"
#include "core/SettingsStore.h"
#include "download/window/CFileOverCheck.h"
#include "download/window/CFolderSelect.h"
#include "download/window/CVaultry_downloadDlg.h"
#include "tests/download/RecordingHost.h"
#include "tests/support/FileServiceProcess.h"
#include "tests/support/ManualWorkers.h"
#include "tests/support/TestEnvironment.h"
#include "ui/CButtontoImage.h"
#include "ui/CFileList.h"
#include "ui/CTrayicon.h"
#include "ui/CUser_button.h"
#include "ui/FolderChooser.h"
#include "ui/ModalSeam.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSystemTrayIcon>
#include <QtTest>

// The download window offscreen, with every box answered by the test.
using W = CVaultry_downloadDlg;

class TestDownloadWindow : public QObject {
    Q_OBJECT

    struct Box {
        QString caption, text;
        QMessageBox::Icon icon;
    };
    QList<Box> boxes_;
    QList<int> answers_; // for questions; default Yes
    std::function<int(QDialog&)> dialogAnswer_;
    RecordingShell shell_;
    QString source_, save_;

    // The boxes asked for so far have been shown and answered (they show one at a time, from
    // the event loop).
    static bool boxesDone(const CSkinnedMainWindow& window) {
        return QTest::qWaitFor([&] { return window.boxesPending() == 0; }, 5000);
    }

    bool sawBox(const QString& text) const {
        for (const Box& b : boxes_)
            if (b.text == text)
                return true;
        return false;
    }

    static void writeFile(const QString& path, qint64 size) {
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray(size, 'v'));
    }

    void answerBoxes() {
        ModalSeam::install([this](QDialog& dialog) -> int {
            if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
                boxes_.append({box->windowTitle(), box->text(), box->icon()});
                if (box->standardButtons() & QMessageBox::Yes)
                    return answers_.isEmpty() ? QMessageBox::Yes : answers_.takeFirst();
                return QMessageBox::Ok;
            }
            return dialogAnswer_ ? dialogAnswer_(dialog) : 0;
        });
    }

private slots:
    void initTestCase() {
        TestEnvironment::prepare();
        qputenv("VAULTRY_FILE_SERVER", TestEnvironment::address().toLatin1());
        qputenv("VAULTRY_HOMEPAGE", "http://127.0.0.1:9");
        ShellSeam::install(&shell_);
        answerBoxes();
        source_ = TestEnvironment::scratch("source");
        save_ = TestEnvironment::scratch("save");
        writeFile(source_ + "/a.txt", 1000);
        writeFile(source_ + "/b.txt", 2000);
        writeFile(source_ + "/big.bin", 4000000);
        SettingsStore::EnsureDefaults();
        SettingsStore::WriteText(SettingKey::DefaultFolder, save_);
        SettingsStore::WriteInt(SettingKey::DefaultFolderUse, 1);
    }

    void init() {
        boxes_.clear();
        answers_.clear();
        dialogAnswer_ = {};
        SettingsStore::WriteInt(SettingKey::DownAutostart, 0);
        SettingsStore::WriteInt(SettingKey::DownProgramEnd, 0);
    }

    void requestProcessingAndMemberRefusals() {
        FileServiceProcess service(TestEnvironment::address());
        QVERIFY(service.start({"--root", source_, "--member", "kim", "--over-user", "busy",
                               "--member", QString::fromUtf8("night:심야정액제:2099123123")}));
        {
            // No member id: told to log in, and the window ends (nothing unfinished to ask).
            CVaultry_downloadDlg window("Vaultry_downloader_Manager|a.txt?||1");
            window.show();
            QTRY_VERIFY(sawBox("회원 로그인후 이용해주세요."));
            QCOMPARE(boxes_.first().caption, QString("회원정보 (오류)"));
            QTRY_VERIFY(window.hasEnded());
            QVERIFY(!window.isVisible());
        }
        for (const char* member : {"ghost", "busy"}) {
            boxes_.clear();
            CVaultry_downloadDlg window(QByteArray("Vaultry_downloader_Manager|a.txt?|") + member +
                                        "|1");
            window.show();
            QTRY_COMPARE(boxes_.size(), 1);
            QCOMPARE(boxes_[0].text,
                     QString(qstrcmp(member, "ghost") == 0 ? "회원 로그인후 이용해주세요."
                                                           : "이미 해당아이디는 사용중입니다."));
            QCOMPARE(window.engine().table().count(), 0);
        }
        // A good request fills the list; the window moves to the top-left corner.
        boxes_.clear();
        CVaultry_downloadDlg window("Vaultry_downloader_Manager|a.txt?b.txt?|kim|1");
        window.show();
        QTRY_COMPARE(window.list()->GetItemCount(), 2);
        QCOMPARE(window.list()->model()->headerData(0, Qt::Horizontal).toString(),
                 QString("파일명"));
        QCOMPARE(window.list()->model()->index(1, 2).data().toString(), QString("대기"));
        QCOMPARE(window.pos(), QPoint(0, 0));
        QVERIFY(boxes_.isEmpty());
        QVERIFY(service.waitForLog("@Connect_start", 2000));
    }

    void commandsWhileRunningAndDeletes() {
        FileServiceProcess service(TestEnvironment::address());
        QVERIFY(service.start({"--root", source_, "--member", "kim", "--stall-after", "100000"}));
        CVaultry_downloadDlg window("Vaultry_downloader_Manager|big.bin?a.txt?b.txt?|kim|1");
        window.show();
        QTRY_COMPARE(window.list()->GetItemCount(), 3);
        window.onCommand(W::StartStopButton); // start
        QVERIFY(window.engine().isRunning());
        auto* startStop = window.findChild<CButtontoImage*>(ControlName(W::StartStopButton));
        QCOMPARE(startStop->alternateState, 1);
        for (int id : {W::MoveTopButton, W::MoveUpButton, W::MoveDownButton, W::MoveBottomButton,
                       W::DeleteSelectedButton, W::DeleteCompletedButton}) {
            boxes_.clear();
            window.onCommand(id);
            QVERIFY(boxesDone(window));
            QCOMPARE(boxes_.size(), 1);
            QCOMPARE(boxes_[0].text, QString("전송중에는 사용할수 없습니다."));
            QCOMPARE(boxes_[0].caption, QString("다운로더 (오류)"));
            QCOMPARE(boxes_[0].icon, QMessageBox::Critical);
        }
        QCOMPARE(window.list()->GetItemCount(), 3);
        // A hand-off while running appends its files and does not restart the engine.
        QTRY_VERIFY(window.engine().table().record(0).done > 0);
        window.receiveRequest("Vaultry_downloader_Manager|b.txt?a.txt?|kim|1");
        QTRY_VERIFY(window.engine().exchangeInProgress());
        QTRY_VERIFY(!window.engine().exchangeInProgress());
        QCOMPARE(window.list()->GetItemCount(), 3); // both already listed
        window.onCommand(W::StartStopButton);       // stop
        QTRY_VERIFY(!window.engine().isBusy());
        QCOMPARE(startStop->alternateState, 0);

        // 1046 on a waiting file: the playback error; a double click opens it anyway.
        boxes_.clear();
        window.list()->selectRow(2);
        window.onCommand(W::OpenFileButton);
        QVERIFY(boxesDone(window));
        QCOMPARE(boxes_.size(), 1);
        QCOMPARE(boxes_[0].text, QString("선택한 파일은 전송되지 않아 재생할수 없습니다."));
        QCOMPARE(boxes_[0].caption, QString("재생오류"));
        QVERIFY(shell_.files.isEmpty());
        emit window.list()->doubleClicked(window.list()->model()->index(2, 0));
        QCOMPARE(shell_.files.size(), 1);
        QVERIFY(shell_.files[0].endsWith("/b.txt"));

        // Delete: nothing selected asks nothing; a selection is confirmed first.
        window.list()->clearSelection();
        boxes_.clear();
        window.onCommand(W::DeleteSelectedButton);
        QVERIFY(boxesDone(window));
        QCOMPARE(boxes_.size(), 1);
        QCOMPARE(boxes_[0].text, QString("삭제할 파일을 선택하세요."));
        window.list()->selectRow(1);
        answers_ = {QMessageBox::No};
        window.onCommand(W::DeleteSelectedButton);
        QVERIFY(boxesDone(window));
        QCOMPARE(window.list()->GetItemCount(), 3);
        QCOMPARE(boxes_.last().caption, QString("삭제확인"));
        window.onCommand(W::DeleteSelectedButton);
        QVERIFY(boxesDone(window));
        QCOMPARE(window.list()->GetItemCount(), 2);
        QCOMPARE(window.engine().table().record(1).entry, QByteArray("b.txt"));
        // The stopped first file keeps its place as the record to resume.
        QCOMPARE(window.engine().resumeIndex(), 0);
        window.onCommand(W::DeleteCompletedButton); // no completed rows: nothing goes
        QCOMPARE(window.list()->GetItemCount(), 2);
    }

    // While the delete question is open the list starts (a handed-over request, the retry):
    // the answer is refused, not carried out under the worker on the marked row.
    void deleteAnsweredAfterAStartIsRefused() {
        FileServiceProcess service(TestEnvironment::address());
        QVERIFY(service.start({"--root", source_, "--member", "kim", "--stall-after", "100000"}));
        CVaultry_downloadDlg window("Vaultry_downloader_Manager|big.bin?a.txt?|kim|1");
        window.show();
        QTRY_COMPARE(window.list()->GetItemCount(), 2);
        QTRY_VERIFY(!window.engine().isBusy());
        window.list()->selectRow(0);
        ModalSeam::install([&](QDialog& dialog) -> int {
            auto* box = qobject_cast<QMessageBox*>(&dialog);
            if (!box)
                return 0;
            boxes_.append({box->windowTitle(), box->text(), box->icon()});
            if (!(box->standardButtons() & QMessageBox::Yes))
                return QMessageBox::Ok;
            window.engine().toggle(); // the list starts while the member reads
            return QMessageBox::Yes;
        });
        window.onCommand(W::DeleteSelectedButton);
        QVERIFY(boxesDone(window));
        answerBoxes();
        QCOMPARE(window.list()->GetItemCount(), 2);
        QVERIFY(window.engine().isRunning());
        QCOMPARE(boxes_.last().text, QString("전송중에는 사용할수 없습니다."));
        window.onCommand(W::StartStopButton); // stop
        QTRY_VERIFY(!window.engine().isBusy());
    }

    void closingOnlyHidesAndExitAsksWhenUnfinished() {
        FileServiceProcess service(TestEnvironment::address());
        QVERIFY(service.start({"--root", source_, "--member", "kim"}));
        CVaultry_downloadDlg window("Vaultry_downloader_Manager|a.txt?|kim|1");
        window.show();
        QTRY_COMPARE(window.list()->GetItemCount(), 1);
        auto visibleOnDesk = [&] { return window.isVisible() && !window.isMinimized(); };
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!visibleOnDesk());
        window.showNormal();
        QTest::keyClick(&window, Qt::Key_F4, Qt::AltModifier);
        QVERIFY(!visibleOnDesk());
        window.showNormal();
        QVERIFY(!window.close()); // the close request is refused
        QVERIFY(!visibleOnDesk());
        window.showNormal();
        window.onCommand(W::HideButton);
        QVERIFY(!visibleOnDesk());
        QTest::keyClick(&window, Qt::Key_Return);
        QVERIFY(!window.hasEnded());
        // A left click on the tray icon brings a hidden window back.
        window.showNormal();
        window.hide();
        emit window.tray()->findChild<QSystemTrayIcon*>()->activated(QSystemTrayIcon::Trigger);
        QVERIFY(visibleOnDesk());

        // One waiting file: the exit asks, and "No" keeps the program.
        window.showNormal();
        answers_ = {QMessageBox::No};
        window.onCommand(W::ExitButton);
        QVERIFY(boxesDone(window));
        QCOMPARE(boxes_.last().caption, QString("종료확인"));
        QVERIFY(window.isVisible());
        QVERIFY(!service.log().contains("@Connect_end"));
        // Settings check boxes write through at once.
        window.findChild<QCheckBox*>(ControlName(W::ProgramEndBox))->click();
        QCOMPARE(SettingsStore::ReadInt(SettingKey::DownProgramEnd, 0), 1);
        window.findChild<QCheckBox*>(ControlName(W::ProgramEndBox))->click();
        QCOMPARE(SettingsStore::ReadInt(SettingKey::DownProgramEnd, 1), 0);
        // "Yes" signs off and ends the window's run.
        window.onCommand(W::ExitButton2);
        QVERIFY(service.waitForLog("@Connect_end", 3000));
        QTRY_VERIFY(window.hasEnded());
        QVERIFY(!window.isVisible());
    }

    void duplicateDialogAnswers() {
        CFileOverCheck dialog(QString::fromUtf8("여름휴가.mp4"));
        QVERIFY(dialog.findChild<QRadioButton*>("id1021")->isChecked());
        QCOMPARE(dialog.findChild<QLabel*>("id1024")->text(), QString::fromUtf8("여름휴가.mp4"));
        QVERIFY(dialog.windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(dialog.choice(), 1);
        QTimer::singleShot(0, &dialog, [&] {
            QTest::keyClick(&dialog, Qt::Key_Escape); // does nothing
            QVERIFY(dialog.isVisible());
            dialog.findChild<QRadioButton*>("id1022")->click();
            dialog.findChild<QPushButton*>("id1023")->click();
        });
        QCOMPARE(dialog.exec(), 2);
        CFileOverCheck plain("x");
        QTimer::singleShot(0, &plain, [&] { plain.findChild<QPushButton*>("id1023")->click(); });
        QCOMPARE(plain.exec(), 1);
    }

    void listCommandsWaitForTheServersAnswers() {
        FileServiceProcess service(TestEnvironment::address());
        QVERIFY(service.start({"--root", source_, "--member", "kim", "--delay-ms", "400"}));
        CVaultry_downloadDlg window("Vaultry_downloader_Manager|a.txt?b.txt?|kim|1");
        window.show();
        // The window keeps working while the server is asked; rows must not move meanwhile.
        QTRY_VERIFY(window.engine().exchangeInProgress());
        window.onCommand(W::MoveBottomButton);
        QVERIFY(boxesDone(window));
        QVERIFY(sawBox("전송중에는 사용할수 없습니다."));
        QTRY_COMPARE_WITH_TIMEOUT(window.list()->GetItemCount(), 2, 20000);
        QTRY_VERIFY(!window.engine().exchangeInProgress());
        boxes_.clear();
        window.onCommand(W::MoveBottomButton);
        QVERIFY(boxes_.isEmpty());
    }

    void completionLeavesAHiddenWindowHidden() {
        FileServiceProcess service(TestEnvironment::address());
        QVERIFY(service.start({"--root", source_, "--member", "kim", "--delay-ms", "200"}));
        SettingsStore::WriteInt(SettingKey::DownAutostart, 1);
        SettingsStore::WriteInt(SettingKey::DownProgramEnd, 1);
        QFile::remove(save_ + "/a.txt");
        CVaultry_downloadDlg window("Vaultry_downloader_Manager|a.txt?|kim|1");
        window.show();
        QTRY_COMPARE_WITH_TIMEOUT(window.list()->GetItemCount(), 1, 20000);
        window.hide(); // the member put it away while it works
        int shown = 0;
        struct ShowCounter : QObject {
            int* shown;
            explicit ShowCounter(int* s) : shown(s) {}
            bool eventFilter(QObject*, QEvent* e) override {
                *shown += e->type() == QEvent::Show ? 1 : 0;
                return false;
            }
        } counter(&shown);
        window.installEventFilter(&counter);
        // The list ends and the program with it; the window is never brought back for that.
        QTRY_VERIFY_WITH_TIMEOUT(window.hasEnded(), 20000);
        // Nor by taking back the topmost flag of the list's end, which has no box here.
        QTRY_VERIFY(!(window.windowFlags() & Qt::WindowStaysOnTopHint));
        QCOMPARE(shown, 0);
        window.removeEventFilter(&counter);
    }

    void titleTrayAndTopmostFollowTheList() {
        CVaultry_downloadDlg window("");
        window.show();
        const QString plain = QString::fromUtf8("Willowmere - 다운로드");
        QCOMPARE(window.windowTitle(), plain);
        // While files move, the total percentage in the title and the tray tip.
        window.showRunning(true);
        window.showTotalProgress(376, "37%/100%(376/1,000 Byte)");
        QCOMPARE(window.windowTitle(), "37% - " + plain);
        QCOMPARE(window.tray()->tip(), QString::fromUtf8("다운로더 37%"));
        window.showTotalProgress(1000, "100%/100%(1,000/1,000 Byte)");
        QCOMPARE(window.windowTitle(), "100% - " + plain);
        window.showRunning(false);
        QCOMPARE(window.windowTitle(), plain);
        QCOMPARE(window.tray()->tip(), QString::fromUtf8("다운로더"));

        // The list's end: above the others while its box shows, then among them again.
        bool topmostWhileBoxShows = false;
        ModalSeam::install([&](QDialog&) -> int {
            topmostWhileBoxShows = window.windowFlags() & Qt::WindowStaysOnTopHint;
            return QMessageBox::Ok;
        });
        window.raiseTopmost();
        window.message("모든 파일이 전송완료되었습니다.", "전송완료",
                       TransferHost::Icon::Information);
        QVERIFY(boxesDone(window));
        answerBoxes();
        QVERIFY(topmostWhileBoxShows);
        QTRY_VERIFY(!(window.windowFlags() & Qt::WindowStaysOnTopHint));
        QVERIFY(window.isVisible());
    }

    void unattendedRunsNeverWaitInAChooser() {
        // With boxes answered into a log and no runner of the test's, the desktop chooser goes
        // through the same seam: logged, and cancelled.
        const QString log = TestEnvironment::scratch("modal-log") + "/boxes.log";
        qputenv("VAULTRY_MODAL_LOG", QFile::encodeName(log));
        ModalSeam::install({});
        FolderChooser::install(nullptr);
        const QString chosen =
            FolderChooser::current().chooseFolder(nullptr, "저장 폴더를 지정하세요");
        qunsetenv("VAULTRY_MODAL_LOG");
        answerBoxes();
        QCOMPARE(chosen, QString());
        QFile written(log);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(written.readAll()).trimmed(),
                 QString("저장 폴더를 지정하세요|FolderChooser"));
    }

    // Rows "f<i>" of 10 bytes whose record carries the entry "t<i>"; rows at `done` are done,
    // the others before `failedBefore` failed (a start passes them over).
    static void fill(DownloadEngine& engine, int rows, const QList<int>& done = {},
                     int failedBefore = 0) {
        auto& table = engine.table();
        while (table.count() > 0)
            table.removeRowAt(0);
        for (int i = 0; i < rows; ++i) {
            FileRecord record;
            record.entry = "t" + QByteArray::number(i);
            record.name = "f" + QByteArray::number(i);
            record.size = 10;
            record.state = done.contains(i)   ? RowState::Done
                           : i < failedBefore ? RowState::Failed
                                              : RowState::Waiting;
            table.append(record, QString::fromLatin1(record.name), QString());
        }
    }
    // The engine on the first row not done, stopped there: the current and the resume index.
    static void stopOnFirstPending(DownloadEngine& engine) {
        engine.toggle();
        engine.toggle();
    }
    static EngineSetup manualWorkers() {
        EngineSetup setup;
        setup.workers = std::make_unique<ManualWorkers>();
        return setup;
    }
    // The row texts and records, which must stay in step.
    static QList<int> tags(DownloadEngine& engine) {
        QList<int> result;
        for (int row = 0; row < engine.table().count(); ++row) {
            const FileRecord& r = engine.table().record(row);
            if (engine.table().text(row, 0) != QString::fromLatin1("f" + r.entry.mid(1)))
                return {-100};
            result << r.entry.mid(1).toInt();
        }
        return result;
    }
    static QList<int> allBut(int count, const QList<int>& gone) {
        QList<int> result;
        for (int i = 0; i < count; ++i)
            if (!gone.contains(i))
                result << i;
        return result;
    }

    void deleteSelectedKeepsRecordsInStep() {
        RecordingHost host;
        DownloadEngine engine(host, manualWorkers());
        QWidget window;
        auto* list = new CFileList(&window);
        list->setTable(&engine.table());
        CUser_button commands(ClientProfile::download());
        commands.Bind(&window, list, &engine);

        fill(engine, TransferTable::kCapacity, {}, 120);
        stopOnFirstPending(engine);
        QCOMPARE(engine.resumeIndex(), 120);
        for (int row : {0, 57, 199})
            list->Mark(row);
        // A row that only holds the focus is not part of the confirmed selection.
        list->selectionModel()->setCurrentIndex(list->model()->index(150, 0),
                                                QItemSelectionModel::NoUpdate);
        commands.DeleteSelected();
        QCOMPARE(engine.table().count(), 197);
        QCOMPARE(tags(engine), allBut(200, {0, 57, 199}));
        QCOMPARE(engine.table().record(197).entry, QByteArray()); // freed records are emptied
        QCOMPARE(engine.resumeIndex(), 118);                      // still names record 120
        QCOMPARE(host.totalCaption, QString("0%/100%(0/1,970 Byte)"));
        list->setTable(nullptr);

        DownloadEngine small(host, manualWorkers());
        list->setTable(&small.table());
        commands.Bind(&window, list, &small);
        fill(small, 5, {}, 4);
        stopOnFirstPending(small);
        QCOMPARE(small.resumeIndex(), 4);
        list->clearSelection();
        list->Mark(4);
        commands.DeleteSelected();
        QCOMPARE(tags(small), (QList<int>{0, 1, 2, 3}));
        QCOMPARE(small.resumeIndex(), -1);
        list->setTable(nullptr);
    }

    void deleteCompletedKeepsRecordsInStep() {
        RecordingHost host;
        CUser_button commands(ClientProfile::download());
        {
            DownloadEngine engine(host, manualWorkers());
            commands.Bind(nullptr, nullptr, &engine);
            fill(engine, TransferTable::kCapacity, {0, 1, 50, 198, 199}, 100);
            stopOnFirstPending(engine);
            QCOMPARE(engine.currentIndex(), 100);
            commands.DeleteCompleted();
            QCOMPARE(engine.table().count(), 195);
            QCOMPARE(tags(engine), allBut(200, {0, 1, 50, 198, 199}));
            QCOMPARE(engine.currentIndex(), 95); // one lower for each of the five removed rows
            QCOMPARE(host.totalCaption, ProgressCaption(0, 1950));
        }
        {
            // All complete: the current file went with the others, and the list is empty.
            DownloadEngine engine(host, manualWorkers());
            commands.Bind(nullptr, nullptr, &engine);
            fill(engine, 3, {0, 1});
            stopOnFirstPending(engine);
            QCOMPARE(engine.currentIndex(), 2);
            engine.table().setState(2, RowState::Done);
            commands.DeleteCompleted();
            QCOMPARE(engine.table().count(), 0);
            QCOMPARE(engine.currentIndex(), DownloadEngine::kNoIndex);
        }
        {
            // Nothing complete: nothing moves, the totals are counted again all the same.
            DownloadEngine engine(host, manualWorkers());
            commands.Bind(nullptr, nullptr, &engine);
            fill(engine, 4, {}, 1);
            stopOnFirstPending(engine);
            host.totalCaption.clear();
            commands.DeleteCompleted();
            QCOMPARE(tags(engine), (QList<int>{0, 1, 2, 3}));
            QCOMPARE(engine.currentIndex(), 1);
            QCOMPARE(host.totalCaption, ProgressCaption(0, 40));
        }
    }

    void handOffsInQuickSuccessionAreAllTaken() {
        FileServiceProcess service(TestEnvironment::address());
        QVERIFY(service.start({"--root", source_, "--member", "kim"}));
        CVaultry_downloadDlg window("Vaultry_downloader_Manager|a.txt?|kim|1");
        window.show();
        // Two more arrive before the first has even begun: none replaces another.
        window.receiveRequest("Vaultry_downloader_Manager|b.txt?|kim|1");
        window.receiveRequest("Vaultry_downloader_Manager|big.bin?|kim|1");
        QTRY_COMPARE_WITH_TIMEOUT(window.list()->GetItemCount(), 3, 20000);
    }

    void saveFolderDialogWrites() {
        struct Chooser : FolderChooser {
            QString answer;
            QString chooseFolder(QWidget*, const QString&) override { return answer; }
        } chooser;
        FolderChooser::install(&chooser);
        SettingsStore::WriteText(SettingKey::DefaultFolder, "/data/downloads");
        SettingsStore::WriteInt(SettingKey::DefaultFolderUse, 0);
        {
            CFolderSelect dialog;
            auto* edit = dialog.findChild<QLineEdit*>("id1025");
            QCOMPARE(edit->text(), QString("/data/downloads"));
            QVERIFY(!dialog.findChild<QCheckBox*>("id1057")->isChecked());
            dialog.pickFolder(); // cancelled: the field keeps its text
            QCOMPARE(edit->text(), QString("/data/downloads"));
            chooser.answer = "/data/picked";
            dialog.pickFolder();
            QCOMPARE(edit->text(), QString("/data/picked"));
            QTest::keyClick(&dialog, Qt::Key_Escape);
            QCOMPARE(SettingsStore::ReadText(SettingKey::DefaultFolder),
                     QString("/data/downloads"));
            dialog.findChild<QCheckBox*>("id1057")->setChecked(true);
            dialog.confirm();
            QCOMPARE(SettingsStore::ReadText(SettingKey::DefaultFolder), QString("/data/picked"));
            QCOMPARE(SettingsStore::ReadInt(SettingKey::DefaultFolderUse, 0), 1);
        }
        {
            // A close request from the desktop ends the run and writes nothing.
            CFolderSelect dialog;
            dialog.show();
            chooser.answer = "/data/other";
            dialog.pickFolder();
            dialog.findChild<QCheckBox*>("id1057")->setChecked(false);
            QVERIFY(dialog.close());
            QVERIFY(!dialog.isVisible());
            QCOMPARE(SettingsStore::ReadText(SettingKey::DefaultFolder), QString("/data/picked"));
            QCOMPARE(SettingsStore::ReadInt(SettingKey::DefaultFolderUse, 0), 1);
        }
        {
            CFolderSelect dialog;
            dialog.findChild<QLineEdit*>("id1025")->clear();
            dialog.confirm();
            QCOMPARE(SettingsStore::ReadText(SettingKey::DefaultFolder), QString());
            QCOMPARE(SettingsStore::ReadInt(SettingKey::DefaultFolderUse, 1), 0);
        }
        FolderChooser::install(nullptr);
        SettingsStore::WriteText(SettingKey::DefaultFolder, save_);
        SettingsStore::WriteInt(SettingKey::DefaultFolderUse, 1);
    }
};

QTEST_MAIN(TestDownloadWindow)
#include "TestDownloadWindow.moc"
