#include "core/Formats.h"
#include "core/SettingsStore.h"
#include "core/TransferTable.h"
#include "core/WebEngineStart.h"
#include "download/window/CFileOverCheck.h"
#include "download/window/CFolderSelect.h"
#include "download/window/CVaultry_downloadDlg.h"
#include "tests/support/FileServiceProcess.h"
#include "tests/support/RecordingTransferHost.h"
#include "tests/support/TestEnvironment.h"
#include "ui/CBannerArea.h"
#include "ui/CButtontoImage.h"
#include "ui/CFileList.h"
#include "ui/CPic_Progress.h"
#include "ui/FolderChooser.h"
#include "ui/ModalSeam.h"
#include "ui/Vaultry_Config.h"
#include "upload/window/CBellcove_uploadDlg.h"

#include <QAccessible>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>

// The windows as a screen reader and a keyboard alone meet them.
namespace {

// The banner's area is there with or without its web view.
constexpr int kBanner = 1;

QString focusName() {
    QWidget* widget = QApplication::focusWidget();
    if (!widget)
        return QStringLiteral("none");
    for (QWidget* w = widget; w; w = w->parentWidget())
        if (qobject_cast<CBannerArea*>(w))
            return QStringLiteral("banner");
    return widget->objectName();
}

// The window the keys are for. A desktop gives a window the keyboard back when its box
// closes; the offscreen platform leaves that to the test.
QWidget* g_window = nullptr;

// A key pressed where the keyboard is.
void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    if (!QApplication::focusWidget() && g_window) {
        g_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(g_window));
    }
    QWidget* to = QApplication::focusWidget();
    QVERIFY2(to, "nothing has the keyboard");
    QTest::keyClick(to, key, modifiers);
}

void tab(bool backward = false) {
    press(backward ? Qt::Key_Backtab : Qt::Key_Tab, backward ? Qt::ShiftModifier : Qt::NoModifier);
}

// Tabs on until control `name` has the focus; false when a whole round never reached it.
bool tabTo(const QString& name, bool backward = false) {
    for (int i = 0; i < 40 && focusName() != name; ++i)
        tab(backward);
    return focusName() == name;
}

// Where Tab (Shift+Tab) goes, `presses` times.
QStringList tabRound(int presses, bool backward = false) {
    QStringList seen;
    for (int i = 0; i < presses; ++i) {
        tab(backward);
        seen << focusName();
    }
    return seen;
}

// The same stops met backwards from the round's last one.
QStringList backwards(const QStringList& round) {
    QStringList back(round.rbegin() + 1, round.rend());
    return back << round.last();
}

QStringList ids(std::initializer_list<int> controls) {
    QStringList names;
    for (int id : controls)
        names << QStringLiteral("id%1").arg(id);
    return names;
}

QAccessible::Role roleOfKind(const QWidget* w) {
    if (qobject_cast<const QRadioButton*>(w))
        return QAccessible::RadioButton;
    if (qobject_cast<const QCheckBox*>(w))
        return QAccessible::CheckBox;
    if (qobject_cast<const QAbstractButton*>(w))
        return QAccessible::Button;
    if (qobject_cast<const CPic_Progress*>(w))
        return QAccessible::ProgressBar;
    if (qobject_cast<const CFileList*>(w))
        return QAccessible::Table;
    if (qobject_cast<const QLineEdit*>(w))
        return QAccessible::EditableText;
    if (qobject_cast<const QLabel*>(w))
        return QAccessible::StaticText;
    if (qobject_cast<const QGroupBox*>(w))
        return QAccessible::Grouping;
    if (qobject_cast<const CBannerArea*>(w))
        return QAccessible::Section;
    return QAccessible::NoRole;
}

// Every control the window shows, as a screen reader finds it: named, in the role of its kind.
void verifyNamed(QWidget& window, int controls) {
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&window);
    QVERIFY(face && !face->text(QAccessible::Name).isEmpty());
    int seen = 0;
    for (int i = 0; i < face->childCount(); ++i) {
        QAccessibleInterface* child = face->child(i);
        auto* widget = qobject_cast<QWidget*>(child->object());
        if (!widget || !widget->isVisible())
            continue;
        ++seen;
        const QString what =
            QString::fromLatin1(widget->metaObject()->className()) + ' ' + widget->objectName();
        QVERIFY2(!child->text(QAccessible::Name).trimmed().isEmpty(), qPrintable(what));
        QVERIFY2(child->role() == roleOfKind(widget), qPrintable(what));
    }
    QCOMPARE(seen, controls);
}

QAccessibleInterface* faceOf(QWidget* window, const QString& name) {
    return QAccessible::queryAccessibleInterface(window->findChild<QWidget*>(name));
}

} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT

    RecordingShell shell_;
    QString source_, save_;
    // Dialogs answered so far, and what the keyboard does in the next duplicate question.
    QStringList dialogs_;
    QList<std::function<void()>> duplicateAnswers_;
    bool stuck_ = false;

    static void writeFile(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    static QByteArray read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // Every box and dialog is answered from the keyboard alone, once it has the keyboard.
    void answerWithKeys() {
        ModalSeam::install([this](QDialog& dialog) -> int {
            std::function<void()> keys;
            if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
                dialogs_ << box->text();
                keys = [] { press(Qt::Key_Return); }; // the default button
            } else if (qobject_cast<CFileOverCheck*>(&dialog)) {
                dialogs_ << dialog.objectName();
                keys = duplicateAnswers_.isEmpty() ? [] { press(Qt::Key_Return); }
                                                   : duplicateAnswers_.takeFirst();
            } else if (qobject_cast<Vaultry_Config*>(&dialog)) {
                dialogs_ << dialog.accessibleName();
                keys = [] {
                    QVERIFY(tabTo("id1078")); // 목록삭제
                    press(Qt::Key_Space);
                    QVERIFY(tabTo("id1058")); // 저장
                    press(Qt::Key_Return);
                };
            }
            QTimer::singleShot(0, &dialog, [&dialog, keys] {
                const bool ready = QTest::qWaitFor(
                    [&] {
                        return dialog.isActiveWindow() && QApplication::focusWidget() &&
                               dialog.isAncestorOf(QApplication::focusWidget());
                    },
                    10000);
                if (ready && keys)
                    keys();
            });
            // A dialog the keys did not end would wait for ever.
            QTimer::singleShot(15000, &dialog, [this, &dialog] {
                stuck_ = true;
                dialog.done(0);
            });
            return dialog.exec();
        });
    }

private slots:
    void initTestCase() {
        TestEnvironment::prepare();
        qputenv("VAULTRY_FILE_SERVER", TestEnvironment::address().toLatin1());
        qputenv("VAULTRY_HOMEPAGE", "http://127.0.0.1:9");
        ShellSeam::install(&shell_);
        answerWithKeys();
        source_ = TestEnvironment::scratch("source");
        save_ = TestEnvironment::scratch("save");
        writeFile(source_ + "/a.txt", QByteArray(1000, 'v'));
        writeFile(source_ + "/b.txt", QByteArray(2000, 'v'));
        writeFile(source_ + "/big.bin", QByteArray(4000000, 'v'));
        SettingsStore::EnsureDefaults();
        SettingsStore::WriteText(SettingKey::DefaultFolder, save_);
        SettingsStore::WriteInt(SettingKey::DefaultFolderUse, 1);
        SettingsStore::WriteInt(SettingKey::DownAutostart, 0);
    }

    void everyControlIsNamed() {
        CVaultry_downloadDlg download{QByteArray()};
        verifyNamed(download, 14 + 4 + 2 + 1 + 2 + kBanner);
        // The start/stop button says what its face shows.
        QCOMPARE(faceOf(&download, "id1016")->text(QAccessible::Name), QString("시작"));
        download.showRunning(true);
        QCOMPARE(faceOf(&download, "id1016")->text(QAccessible::Name), QString("중지"));
        download.showRunning(false);
        // Bars: the position in the range, and the caption as the value's text.
        download.showFileProgress(372, "37%/100%(372/1,000 Byte)");
        QAccessibleInterface* bar = faceOf(&download, "fileBar");
        QCOMPARE(bar->text(QAccessible::Name), QString("현재파일"));
        QCOMPARE(bar->valueInterface()->currentValue().toInt(), 372);
        QCOMPARE(bar->valueInterface()->maximumValue().toInt(), 1000);
        QCOMPARE(bar->text(QAccessible::Value), QString("37%/100%(372/1,000 Byte)"));
        download.showSpeed("1.2MB");
        QCOMPARE(faceOf(&download, "id1041")->text(QAccessible::Name), QString("속도 1.2MB"));
        // The list: rows and columns under their headers.
        download.list()->InsertColumns(ClientProfile::download());
        FileRecord done;
        done.state = RowState::Done;
        download.engine().table().append(FileRecord{}, "a.txt", FormatSize(1000));
        download.engine().table().append(done, "b.txt", FormatSize(2000));
        QAccessibleTableInterface* table = faceOf(&download, "id1006")->tableInterface();
        QCOMPARE(table->rowCount(), 2);
        QCOMPARE(table->columnCount(), 3);
        QCOMPARE(table->columnDescription(2), QString("진행상태"));
        QCOMPARE(table->cellAt(1, 2)->text(QAccessible::Name), QString("완료"));
        QCOMPARE(faceOf(&download, "id1026")->text(QAccessible::Name), QString("광고"));
        download.quit();

        CBellcove_uploadDlg upload;
        verifyNamed(upload, 11 + 3 + 2 + 1 + 2 + kBanner);
        upload.quit();
        Vaultry_Config settings(ClientProfile::upload());
        verifyNamed(settings, 4 + 1 + 3 + 3 + 10);
        CFileOverCheck duplicate(QStringLiteral("여름휴가.mp4"));
        verifyNamed(duplicate, 5);
        CFolderSelect folder;
        verifyNamed(folder, 6);
    }

    void tabFollowsTheScreen() {
        CVaultry_downloadDlg window{QByteArray()};
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const QStringList order = ids({1002, 1001, 1003, 1036, 1011, 1006, 1007, 1008, 1009, 1010,
                                       1013, 1014, 1046, 1016, 1035, 1017, 1034});
#ifdef VAULTRY_HAVE_BANNER
        // The banner's page comes a moment after the window: Tab passes over it, and a Tab
        // in the page (after a click) goes on as from any control.
        // The view comes from the banner module, loaded then.
        auto* banner = window.findChild<CBannerArea*>();
        QTRY_VERIFY_WITH_TIMEOUT(banner->viewWidget() && banner->viewWidget()->focusProxy(), 60000);
        QVERIFY(banner->viewWidget()->inherits("QWebEngineView"));
        QCOMPARE(banner->viewWidget()->geometry(), banner->rect());
        banner->viewWidget()->focusProxy()->setFocus(Qt::MouseFocusReason);
        QCOMPARE(focusName(), QString("banner"));
        tab();
        QCOMPARE(focusName(), order.first());
        banner->viewWidget()->focusProxy()->setFocus(Qt::MouseFocusReason);
        tab(true);
        QCOMPARE(focusName(), order.last());
#endif
        window.findChild<QWidget*>(order.last())->setFocus();
        QCOMPARE(tabRound(int(order.size())), order);
        QCOMPARE(tabRound(int(order.size()), true), backwards(order));
        window.quit();

        CBellcove_uploadDlg upload;
        upload.show();
        QVERIFY(QTest::qWaitForWindowActive(&upload));
        const QStringList uploadOrder = ids(
            {1008, 1007, 1009, 1048, 1014, 1022, 1020, 1021, 1023, 1018, 1019, 1028, 1015, 1016});
        upload.findChild<QWidget*>(uploadOrder.last())->setFocus();
        QCOMPARE(tabRound(int(uploadOrder.size())), uploadOrder);
        upload.quit();

        // The settings: the chosen radio button is the group's one stop.
        SettingsStore::WriteInt(SettingKey::DownFileOver, 3);
        Vaultry_Config settings(ClientProfile::download());
        settings.show();
        QVERIFY(QTest::qWaitForWindowActive(&settings));
        const QStringList settingsOrder = ids({1069, 1070, 1075, 1076, 1077, 1078, 1079, 1080, 1081,
                                               1082, 1083, 1084, 1085, 1058, 1003});
        QCOMPARE(focusName(), settingsOrder.first());
        QCOMPARE(tabRound(int(settingsOrder.size())), settingsOrder.mid(1)
                                                          << settingsOrder.first());

        // The save-folder dialog; Enter on a focused button presses it.
        struct Chooser : FolderChooser {
            int asked = 0;
            QString chooseFolder(QWidget*, const QString&) override {
                ++asked;
                return {};
            }
        } chooser;
        FolderChooser::install(&chooser);
        CFolderSelect folder;
        folder.show();
        QVERIFY(QTest::qWaitForWindowActive(&folder));
        folder.findChild<QWidget*>("id1058")->setFocus();
        QCOMPARE(tabRound(4), ids({1025, 1056, 1057, 1058}));
        QVERIFY(tabTo("id1056"));
        press(Qt::Key_Return);
        QCOMPARE(chooser.asked, 1);
        FolderChooser::install(nullptr);
    }

    // Without the banner module (missing, or a file that does not load) the area stays an
    // empty named region, once, and the window works on.
    void windowWorksWithoutTheBannerModule() {
        const QString broken = TestEnvironment::scratch("broken-module");
        writeFile(broken + "/vaultry-banner.so", "not a library");
        CBannerArea::setModuleFolders({TestEnvironment::scratch("no-module"), broken});
#ifdef VAULTRY_HAVE_BANNER
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("^no banner: the banner module did not load"));
#endif
        CVaultry_downloadDlg window{QByteArray()};
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto* banner = window.findChild<CBannerArea*>();
        QSignalSpy made(banner, &CBannerArea::viewCreated);
        banner->createViewNow();
        banner->createViewNow(); // tried once; the delayed attempt after the show adds nothing
        QVERIFY(!banner->viewWidget());
        QVERIFY(made.isEmpty());
        QVERIFY(banner->isVisible() && banner->children().isEmpty());
        QCOMPARE(faceOf(&window, "id1026")->text(QAccessible::Name), QString("광고"));
        const QStringList order = ids({1002, 1001, 1003, 1036, 1011, 1006, 1007, 1008, 1009, 1010,
                                       1013, 1014, 1046, 1016, 1035, 1017, 1034});
        window.findChild<QWidget*>(order.last())->setFocus();
        QCOMPARE(tabRound(int(order.size())), order);
        window.quit();
        CBannerArea::setModuleFolders({});
    }

    void duplicateQuestionTakesEitherAnswer() {
        for (const bool resume : {false, true}) {
            CFileOverCheck dialog(QStringLiteral("여름휴가.mp4"));
            dialog.show();
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            QCOMPARE(focusName(), QString("id1023")); // "확인"
            if (resume) {
                // The chosen answer is a Tab stop; the arrow keys choose the other.
                tab(true);
                QCOMPARE(focusName(), QString("id1021"));
                press(Qt::Key_Right);
                QCOMPARE(focusName(), QString("id1022"));
            }
            press(Qt::Key_Return);
            QCOMPARE(dialog.result(), resume ? 2 : 1);
        }
    }

    void focusIsDrawn() {
        CVaultry_downloadDlg window{QByteArray()};
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto* settings = window.findChild<CButtontoImage*>("id1011");
        const QImage plain = settings->grab().toImage();
        window.findChild<QWidget*>("id1036")->setFocus();
        tab();
        QCOMPARE(QApplication::focusWidget(), settings);
        const QImage ringed = settings->grab().toImage();
        QVERIFY(ringed != plain);
        QCOMPARE(ringed.pixelColor(0, ringed.height() / 2),
                 window.palette().color(QPalette::Highlight));
        tab();
        QCOMPARE(settings->grab().toImage(), plain);
        window.quit();
    }

    // A whole batch from the keyboard: reorder, start, stop, delete, both answers to the
    // duplicate question, and the settings.
    void keyboardRunsABatch() {
        FileServiceProcess service(TestEnvironment::address());
        QVERIFY(service.start({"--root", source_, "--member", "kim", "--stall-after", "100000"}));
        SettingsStore::WriteInt(SettingKey::DownFileOver, 2); // ask for files already there
        SettingsStore::WriteInt(SettingKey::DownListDel, 0);
        writeFile(save_ + "/a.txt", QByteArray(300, 'x'));
        writeFile(save_ + "/b.txt", QByteArray(500, 'x'));
        QFile::remove(save_ + "/big.bin");
        dialogs_.clear();
        stuck_ = false;

        CVaultry_downloadDlg window("Vaultry_downloader_Manager|a.txt?b.txt?big.bin?|kim|1");
        g_window = &window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTRY_COMPARE_WITH_TIMEOUT(window.list()->GetItemCount(), 3, 20000);
        QTRY_VERIFY(!window.engine().isBusy());
        auto& table = window.engine().table();
        const auto names = [&] {
            QStringList n;
            for (int row = 0; row < table.count(); ++row)
                n << table.text(row, TransferTable::NameColumn);
            return n;
        };

        // Reorder: the arrow keys choose the last row in the list, "맨 위로" moves it up.
        QVERIFY(tabTo("id1006"));
        for (int i = 0; i < 4; ++i)
            press(Qt::Key_Down);
        QCOMPARE(window.list()->SelectedRows(), QList<int>{2});
        QVERIFY(tabTo("id1007"));
        press(Qt::Key_Space);
        QCOMPARE(names(), (QStringList{"big.bin", "b.txt", "a.txt"}));

        // Start with Enter on the focused button, stop with Space.
        QVERIFY(tabTo("id1016"));
        press(Qt::Key_Return);
        QVERIFY(window.engine().isRunning());
        QTRY_VERIFY(table.record(0).done > 0);
        press(Qt::Key_Space);
        QTRY_VERIFY_WITH_TIMEOUT(!window.engine().isBusy(), 20000);
        QCOMPARE(faceOf(&window, "id1016")->text(QAccessible::Name), QString("시작"));

        // Delete the stopped file: back to the list, its row, "삭제", and Enter for "예".
        QVERIFY(tabTo("id1006", true));
        for (int i = 0; i < 3; ++i)
            press(Qt::Key_Up);
        QVERIFY(tabTo("id1013"));
        press(Qt::Key_Space);
        QTRY_COMPARE(names(), (QStringList{"b.txt", "a.txt"}));
        QCOMPARE(dialogs_.last(), QString("삭제하시겠습니까?"));

        // Start again: b.txt is overwritten, a.txt resumed, each answered from the keyboard.
        duplicateAnswers_ = {[] { press(Qt::Key_Return); },
                             [] {
                                 tab(true);            // to the chosen "덮어쓰기"
                                 press(Qt::Key_Right); // "이어받기"
                                 press(Qt::Key_Return);
                             }};
        QVERIFY(tabTo("id1016"));
        press(Qt::Key_Space);
        QTRY_VERIFY_WITH_TIMEOUT(table.text(0, TransferTable::StateColumn) == "완료" &&
                                     table.text(1, TransferTable::StateColumn) == "완료",
                                 20000);
        QCOMPARE(dialogs_.count("CFileOverCheck"), 2);
        QVERIFY(duplicateAnswers_.isEmpty());
        QCOMPARE(read(save_ + "/a.txt"), QByteArray(300, 'x') + QByteArray(700, 'v'));
        QCOMPARE(read(save_ + "/b.txt"), QByteArray(2000, 'v'));

        // The settings, changed and saved from the keyboard.
        QVERIFY(tabTo("id1011"));
        press(Qt::Key_Return);
        QTRY_COMPARE(SettingsStore::ReadInt(SettingKey::DownListDel, 0), 1);
        QCOMPARE(dialogs_.last(), QString("환경설정"));
        QVERIFY(!stuck_);
        SettingsStore::WriteInt(SettingKey::DownListDel, 0);
        SettingsStore::WriteInt(SettingKey::DownFileOver, 1);
        g_window = nullptr;
        window.quit();
    }
};

int main(int argc, char** argv) {
    WebEngineStart::prepareApplication(); // as the programs do, so the banner gets its view
    QApplication app(argc, argv);
    TestAccessibility test;
    return QTest::qExec(&test, argc, argv);
}
#include "TestAccessibility.moc"
