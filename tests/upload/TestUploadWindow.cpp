#include "core/Protocol.h"
#include "core/SettingsStore.h"
#include "core/UploadChoices.h"
#include "core/WindowBus.h"
#include "tests/support/FileServiceProcess.h"
#include "tests/support/TestEnvironment.h"
#include "ui/CButtontoImage.h"
#include "ui/CFileList.h"
#include "ui/ModalSeam.h"
#include "ui/TrayCommand.h"
#include "upload/window/CBellcove_uploadDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

// The upload window offscreen, with every box answered by the test.
using W = CBellcove_uploadDlg;

class TestUploadWindow : public QObject {
    Q_OBJECT

    struct Box {
        QString caption, text;
        QMessageBox::Icon icon;
    };
    QList<Box> boxes_;
    QList<int> answers_; // for questions; default Yes
    QString source_, store_;

    // The boxes asked for so far have been shown and answered (they show one at a time, from
    // the event loop).
    static bool boxesDone(const CSkinnedMainWindow& window) {
        return QTest::qWaitFor([&] { return window.boxesPending() == 0; }, 5000);
    }

    static CopyData copyData(quint32 tag, const QByteArray& text) {
        CopyData message;
        message.tag = tag;
        message.data = text + '\0';
        return message;
    }

    QByteArray addFile(const QString& name, int size) {
        QFile f(QDir(source_).filePath(name));
        f.open(QIODevice::WriteOnly);
        const QByteArray bytes(size, 'u');
        f.write(bytes);
        return bytes;
    }

    QStringList serviceArgs(const QStringList& extra = {}) const {
        return QStringList{
                   "--member",
                   "kim",
                   "--store",
                   store_,
                   "--upload-list",
                   "q=" + QDir(source_).filePath("a.txt") + "," + QDir(source_).filePath("b.txt")} +
               extra;
    }

    // Every box is answered by the test: recorded, and "Yes" unless `answers_` says otherwise.
    void answerBoxes() {
        ModalSeam::install([this](QDialog& dialog) -> int {
            if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
                boxes_.append({box->windowTitle(), box->text(), box->icon()});
                if (box->standardButtons() & QMessageBox::Yes)
                    return answers_.isEmpty() ? QMessageBox::Yes : answers_.takeFirst();
                return QMessageBox::Ok;
            }
            return 0;
        });
    }

private slots:
    void initTestCase() {
        TestEnvironment::prepare();
        qputenv("VAULTRY_FILE_SERVER", TestEnvironment::address().toLatin1());
        qputenv("VAULTRY_HOMEPAGE", "http://127.0.0.1:9");
        answerBoxes();
        source_ = TestEnvironment::scratch("source");
        store_ = TestEnvironment::scratch("store");
        addFile("a.txt", 1000);
        addFile("b.txt", 2000);
        QVERIFY(UploadChoices::record(
            "q", {QDir(source_).filePath("a.txt"), QDir(source_).filePath("b.txt")}));
        SettingsStore::EnsureDefaults();
    }

    void init() {
        boxes_.clear();
        answers_.clear();
        SettingsStore::WriteInt(SettingKey::UpAutostart, 0);
        SettingsStore::WriteInt(SettingKey::UpProgramEnd, 0);
        SettingsStore::WriteInt(SettingKey::UpSystemEnd, 0);
    }

    // Without a runner the boxes are real dialogs, shown modal without a loop of their own and
    // one at a time in the order asked: a message asked before the exit question is on screen
    // alone, the question follows once it is closed, and the buttons clicked decide.
    void boxesShowOneAtATimeAndTheirButtonsDecide() {
        ModalSeam::install({});
        const std::shared_ptr<void> answeredAgain(nullptr, [this](void*) { answerBoxes(); });
        CBellcove_uploadDlg window;
        window.show();
        UploadRecord unfinished;
        unfinished.name = "a.txt";
        window.engine().table().append(unfinished, "a.txt", "1.0KB");
        const auto openBox = [] {
            return qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        };
        const auto click = [](QMessageBox* box, QMessageBox::StandardButton which) {
            box->button(which)->click();
        };
        window.message("먼저", "업로더", TransferHost::Icon::Information);
        window.onCommand(W::ExitButton);
        QTRY_VERIFY(openBox());
        QCOMPARE(openBox()->text(), QString("먼저"));
        QCOMPARE(window.boxesPending(), 2);
        int shown = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            shown += qobject_cast<QMessageBox*>(w) && w->isVisible() ? 1 : 0;
        QCOMPARE(shown, 1);
        click(openBox(), QMessageBox::Ok);
        QTRY_VERIFY(openBox() && openBox()->windowTitle() == "종료확인");
        QVERIFY(window.engine().isWaitingFor(UploadEngine::Waiting::ExitAnswer));
        click(openBox(), QMessageBox::No);
        QTRY_COMPARE(window.boxesPending(), 0);
        QVERIFY(!window.engine().isWaitingFor(UploadEngine::Waiting::ExitAnswer));
        QVERIFY(!window.hasEnded());
        window.onCommand(TrayCommand::ExitProgram);
        QTRY_VERIFY(openBox());
        click(openBox(), QMessageBox::Yes);
        QTRY_VERIFY(window.hasEnded());
    }

    void copyDataAndColumns() {
        FileServiceProcess service(TestEnvironment::address());
        QVERIFY(service.start(serviceArgs()));
        CBellcove_uploadDlg window;
        window.show();
        QCOMPARE(window.windowTitle(), QString("Vastrelle - 업로드"));
        QVERIFY(!WindowBus::findWindow("vaultry_uploader").isEmpty());
        // Another tag: ignored. The tag with an empty text: nothing but set-up.
        window.receiveCopyData(copyData(41160500, "Vaultry_uploader_Manager|q|kim|1"));
        window.receiveCopyData(copyData(Protocol::kUploadTag, ""));
        QCoreApplication::processEvents(); // whatever the messages queued has run
        QVERIFY(!window.columnsMade());
        QCOMPARE(window.list()->GetItemCount(), 0);
        QVERIFY(!service.log().contains("@Connect_start"));
        // The first command makes the columns and lists its files.
        window.receiveCopyData(copyData(Protocol::kUploadTag, "Vaultry_uploader_Manager|q|kim|1"));
        QVERIFY(window.columnsMade());
        QTRY_COMPARE(window.list()->GetItemCount(), 2);
        auto* model = window.list()->model();
        QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QString("파일명"));
        QCOMPARE(model->headerData(2, Qt::Horizontal).toString(), QString("진행상태"));
        QCOMPARE(model->index(1, 0).data().toString(), QString("b.txt"));
        QCOMPARE(model->index(0, 2).data().toString(), QString("대기"));
        QCOMPARE(window.findChild<QLabel*>(ControlName(W::StatusLine))->text(),
                 QString("'a.txt' 업로드중"));
        QCOMPARE(window.findChild<QLabel*>(ControlName(W::SpeedLine))->text(), QString("-"));
        QVERIFY(boxes_.isEmpty());
        // Start: both files go, the completion is reported.
        window.onCommand(W::StartStopButton);
        QTRY_VERIFY_WITH_TIMEOUT(!boxes_.isEmpty(), 10000);
        QCOMPARE(boxes_[0].text, QString("모든 파일이 전송완료되었습니다."));
        QCOMPARE(boxes_[0].caption, QString("전송완료"));
        QCOMPARE(window.findChild<QLabel*>(ControlName(W::RemainingLine))->text(),
                 QString("전송완료"));
        QCOMPARE(model->index(1, 2).data().toString(), QString("완료"));
        // Remove the completed rows: the list is empty; an exit asks nothing.
        window.onCommand(W::DeleteCompletedButton);
        QCOMPARE(window.list()->GetItemCount(), 0);
        boxes_.clear();
        window.onCommand(W::ExitButton);
        QVERIFY(boxes_.isEmpty());
        QVERIFY(window.hasEnded());
        QCOMPARE(service.log().count("sign-off"), 1); // the member check only
    }

    void refusalsWhileTransferring() {
        FileServiceProcess service(TestEnvironment::address());
        // The offset waits, so the first file stays in transfer while the test clicks.
        QVERIFY(service.start(serviceArgs({"--delay-ms", "400"})));
        CBellcove_uploadDlg window;
        window.show();
        window.receiveCopyData(copyData(Protocol::kUploadTag, "Vaultry_uploader_Manager|q|kim|1"));
        QTRY_COMPARE_WITH_TIMEOUT(window.list()->GetItemCount(), 2, 10000);
        window.onCommand(W::StartStopButton);
        QVERIFY(window.engine().isRunning());
        auto* startStop = window.findChild<CButtontoImage*>(ControlName(W::StartStopButton));
        QCOMPARE(startStop->alternateState, 1);
        window.list()->selectRow(1);
        for (int id : {W::DeleteSelectedButton, W::DeleteCompletedButton, W::MoveUpButton,
                       W::MoveDownButton, W::MoveTopButton, W::MoveBottomButton}) {
            boxes_.clear();
            window.onCommand(id);
            QVERIFY(boxesDone(window));
            QCOMPARE(boxes_.size(), 1);
            QCOMPARE(boxes_[0].text, QString("전송중에는 사용할수 없습니다."));
            QCOMPARE(boxes_[0].caption, QString("업로더 (오류)"));
            QCOMPARE(boxes_[0].icon, QMessageBox::Critical);
        }
        QCOMPARE(window.list()->GetItemCount(), 2);
        window.onCommand(W::StartStopButton); // stop
        QCOMPARE(startStop->alternateState, 0);
        QTRY_VERIFY_WITH_TIMEOUT(!window.engine().isBusy(), 5000);

        // Delete: nothing selected asks nothing; a selection is confirmed first.
        window.list()->clearSelection();
        boxes_.clear();
        window.onCommand(W::DeleteSelectedButton);
        QVERIFY(boxesDone(window));
        QCOMPARE(boxes_.size(), 1);
        QCOMPARE(boxes_[0].text, QString("삭제할 파일을 선택하세요."));
        QCOMPARE(boxes_[0].caption, QString("업로더"));
        window.list()->selectRow(1);
        answers_ = {QMessageBox::No};
        window.onCommand(W::DeleteSelectedButton);
        QVERIFY(boxesDone(window));
        QCOMPARE(boxes_.last().caption, QString("삭제확인"));
        QCOMPARE(window.list()->GetItemCount(), 2);
        window.onCommand(W::DeleteSelectedButton);
        QVERIFY(boxesDone(window));
        QCOMPARE(window.list()->GetItemCount(), 1);
        QCOMPARE(window.engine().table().record(0).name, QByteArray("a.txt"));
    }

    void closeCommandLeavesItOpenAndExitAsksWhenUnfinished() {
        FileServiceProcess service(TestEnvironment::address());
        QVERIFY(service.start(serviceArgs()));
        SettingsStore::WriteInt(SettingKey::UpProgramEnd, 1);
        CBellcove_uploadDlg window;
        window.show();
        QVERIFY(window.findChild<QCheckBox*>(ControlName(W::ProgramEndBox))->isChecked());
        QVERIFY(!window.findChild<QCheckBox*>(ControlName(W::SystemEndBox))->isChecked());
        window.receiveCopyData(copyData(Protocol::kUploadTag, "Vaultry_uploader_Manager|q|kim|1"));
        QTRY_COMPARE(window.list()->GetItemCount(), 2);
        auto visibleOnDesk = [&] { return window.isVisible() && !window.isMinimized(); };
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!visibleOnDesk());
        window.showNormal();
        QTest::keyClick(&window, Qt::Key_F4, Qt::AltModifier);
        QVERIFY(!visibleOnDesk());
        window.showNormal();
        QTest::keyRelease(&window, Qt::Key_Alt); // the click leaves Alt recorded as held
        QVERIFY(!window.close());                // the close command: the window stays where it is
        QVERIFY(visibleOnDesk());
        QTest::keyPress(&window, Qt::Key_A, Qt::AltModifier); // Alt held: the desktop's Alt+F4
        QVERIFY(!window.close());
        QTest::keyRelease(&window, Qt::Key_Alt);
        QVERIFY(!visibleOnDesk());
        window.showNormal();
        window.onCommand(W::HideButton);
        QVERIFY(!visibleOnDesk());
        QTest::keyClick(&window, Qt::Key_Return);
        QVERIFY(!window.hasEnded());

        // The check boxes write through at once.
        window.findChild<QCheckBox*>(ControlName(W::ProgramEndBox))->click();
        QCOMPARE(SettingsStore::ReadInt(SettingKey::UpProgramEnd, 1), 0);
        window.findChild<QCheckBox*>(ControlName(W::SystemEndBox))->click();
        QCOMPARE(SettingsStore::ReadInt(SettingKey::UpSystemEnd, 0), 1);
        window.findChild<QCheckBox*>(ControlName(W::SystemEndBox))->click();
        QCOMPARE(SettingsStore::ReadInt(SettingKey::UpSystemEnd, 1), 0);

        // Unfinished rows: the exit asks, "No" stays, "Yes" ends without a word to the server.
        window.showNormal();
        answers_ = {QMessageBox::No};
        window.onCommand(W::ExitButton);
        QVERIFY(boxesDone(window));
        QCOMPARE(boxes_.last().caption, QString("종료확인"));
        QVERIFY(!window.hasEnded());
        const int exchanges = service.log().count("ctl#");
        window.onCommand(TrayCommand::ExitProgram);
        QTRY_VERIFY(window.hasEnded());
        QVERIFY(!window.isVisible());
        QVERIFY(!window.engine().isBusy()); // nothing left that could still reach the server
        QCOMPARE(service.log().count("ctl#"), exchanges);
    }
};

QTEST_MAIN(TestUploadWindow)
#include "TestUploadWindow.moc"
