#include "core/SettingsStore.h"
#include "tests/support/TestEnvironment.h"
#include "ui/FolderChooser.h"
#include "ui/SkinPath.h"
#include "ui/Vaultry_Config.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSettings>
#include <QtTest>

namespace {

const char* const kSavedKeys[] = {
    SettingKey::DefaultFolder,    SettingKey::DownFileOver, SettingKey::DownAutostart,
    SettingKey::DefaultFolderUse, SettingKey::DownListDel,  SettingKey::DownProgramEnd,
    SettingKey::DownSystemEnd,    SettingKey::UpAutostart,  SettingKey::UpTray,
    SettingKey::UpCompleteShow,   SettingKey::UpProgramEnd, SettingKey::UpSystemEnd};

QMap<QString, QVariant> storeContents() {
    QSettings settings(QStringLiteral("Vastrelle"), QStringLiteral("Shuttlebox"));
    QMap<QString, QVariant> all;
    for (const QString& key : settings.allKeys())
        all.insert(key, settings.value(key));
    return all;
}

void clearStore() {
    QSettings settings(QStringLiteral("Vastrelle"), QStringLiteral("Shuttlebox"));
    settings.clear();
    settings.sync();
}

class ScriptedChooser : public FolderChooser {
public:
    QString answer;
    QString title;
    QString chooseFolder(QWidget*, const QString& t) override {
        title = t;
        return answer;
    }
};

} // namespace

class TestSettingsDialog : public QObject {
    Q_OBJECT

    static QAbstractButton* control(Vaultry_Config& dialog, int id) {
        return dialog.findChild<QAbstractButton*>(QStringLiteral("id%1").arg(id));
    }
    static bool ticked(Vaultry_Config& dialog, int id) { return control(dialog, id)->isChecked(); }

private slots:
    void initTestCase() { TestEnvironment::prepare(); }
    void init() {
        clearStore();
        SettingsStore::EnsureDefaults();
    }

    void freshStoreInBothPrograms() {
        for (const ClientProfile* profile :
             {&ClientProfile::download(), &ClientProfile::upload()}) {
            Vaultry_Config dialog(*profile);
            const ConfigControlIds& id = dialog.ids();
            for (int each : {id.folderEdit, id.browse, id.save, id.cancel, id.overwrite, id.confirm,
                             id.resume, id.downAutostart, id.folderUse, id.downListDel,
                             id.downProgramEnd, id.downSystemEnd, id.upAutostart, id.upTray,
                             id.upCompleteShow, id.upProgramEnd, id.upSystemEnd})
                QVERIFY2(dialog.findChild<QWidget*>(QStringLiteral("id%1").arg(each)),
                         qPrintable(QString::number(each)));
            QVERIFY(!ticked(dialog, id.overwrite));
            QVERIFY(!ticked(dialog, id.confirm));
            QVERIFY(ticked(dialog, id.resume));
            const QList<int> on{id.downAutostart, id.folderUse, id.upAutostart, id.upCompleteShow};
            for (int box : {id.downAutostart, id.folderUse, id.downListDel, id.downProgramEnd,
                            id.downSystemEnd, id.upAutostart, id.upTray, id.upCompleteShow,
                            id.upProgramEnd, id.upSystemEnd})
                QCOMPARE(ticked(dialog, box), on.contains(box));
            QCOMPARE(
                dialog.findChild<QLineEdit*>(QStringLiteral("id%1").arg(id.folderEdit))->text(),
                SettingsStore::ReadText(SettingKey::DefaultFolder));
        }
        QCOMPARE(ClientProfile::upload().config.folderEdit, 1037);
        QCOMPARE(ClientProfile::download().config.save, 1058);
    }

    void saveWritesAllTwelveValues() {
        clearStore(); // not even first-run values: every key must come from the dialog
        Vaultry_Config dialog(ClientProfile::upload());
        QVERIFY(ticked(dialog, dialog.ids().overwrite)); // "DOWN_File_over" absent
        control(dialog, dialog.ids().save)->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        const auto stored = storeContents();
        for (const char* key : kSavedKeys)
            QVERIFY2(stored.contains(QStringLiteral("Config/") + key), key);
        QCOMPARE(SettingsStore::ReadInt(SettingKey::DownFileOver, 0), 1);
        QCOMPARE(SettingsStore::ReadInt(SettingKey::DefaultFolderUse, -1), 0);
        QCOMPARE(SettingsStore::ReadInt(SettingKey::UpTray, -1), 0);

        Vaultry_Config again(ClientProfile::download());
        const ConfigControlIds& id = again.ids();
        control(again, id.folderUse)->click(); // cleared: stored as 1
        control(again, id.confirm)->click();
        control(again, id.upSystemEnd)->click();
        again.findChild<QLineEdit*>(QStringLiteral("id%1").arg(id.folderEdit))
            ->setText(QStringLiteral("/없는/폴더"));
        again.Save();
        QCOMPARE(SettingsStore::ReadInt(SettingKey::DefaultFolderUse, -1), 1);
        QCOMPARE(SettingsStore::ReadInt(SettingKey::DownFileOver, 0), 2);
        QCOMPARE(SettingsStore::ReadInt(SettingKey::UpSystemEnd, 0), 1);
        QCOMPARE(SettingsStore::ReadText(SettingKey::DefaultFolder), QStringLiteral("/없는/폴더"));

        Vaultry_Config third(ClientProfile::download());
        QVERIFY(ticked(third, third.ids().confirm));
        QVERIFY(!ticked(third, third.ids().folderUse));

        // A value no choice stands for selects "항상 덮어쓰기".
        SettingsStore::WriteText(SettingKey::DownFileOver, QStringLiteral("어느 것도 아님"));
        Vaultry_Config garbled(ClientProfile::upload());
        QVERIFY(ticked(garbled, garbled.ids().overwrite));
        SettingsStore::WriteInt(SettingKey::DownFileOver, 7);
        Vaultry_Config unknown(ClientProfile::download());
        QVERIFY(ticked(unknown, unknown.ids().overwrite));
    }

    void leavingWithoutSavingWritesNothing() {
        ScriptedChooser chooser;
        FolderChooser::install(&chooser);
        const auto before = storeContents();
        {
            Vaultry_Config dialog(ClientProfile::download());
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            control(dialog, dialog.ids().downListDel)->click();
            QTest::keyClick(&dialog, Qt::Key_Return);
            QTest::keyClick(&dialog, Qt::Key_Enter);
            QTest::keyClick(&dialog, Qt::Key_F4, Qt::AltModifier);
            QVERIFY(dialog.isVisible());
            control(dialog, dialog.ids().browse)->click(); // the user cancels the chooser
            QCOMPARE(chooser.title, QStringLiteral("Select a folder."));
            chooser.answer = QStringLiteral("/tmp/고른폴더");
            control(dialog, dialog.ids().browse)->click(); // chosen, but not saved
            QCOMPARE(dialog.findChild<QLineEdit*>(QStringLiteral("id1069"))->text(),
                     QStringLiteral("/tmp/고른폴더"));
            QTest::keyClick(&dialog, Qt::Key_Escape);
            QVERIFY(!dialog.isVisible());
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
        }
        {
            Vaultry_Config dialog(ClientProfile::upload());
            dialog.show();
            control(dialog, dialog.ids().upTray)->click();
            control(dialog, dialog.ids().cancel)->click();
            QVERIFY(!dialog.isVisible());
        }
        QCOMPARE(storeContents(), before);
        FolderChooser::install(nullptr);
    }

    void borderlessPictureDraggedByTheBackground() {
        Vaultry_Config dialog(ClientProfile::download());
        QVERIFY(dialog.windowFlags() & Qt::FramelessWindowHint);
        const QString path = skinPath(QStringLiteral("images/config_bg.bmp"));
        QVERIFY2(!path.isEmpty(), "the build copies the skins next to the programs");
        QVERIFY(dialog.hasBackground());
        const QImage picture(path);
        QCOMPARE(dialog.size(), picture.size());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QImage shot = dialog.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shot.pixel(5, 5), picture.pixel(5, 5));
        QCOMPARE(shot.pixel(440, 400), picture.pixel(440, 400));

        // Offscreen there is no system move, so the dialog follows the mouse itself.
        const QPoint start = dialog.pos();
        const QPoint grip(300, 200);
        QVERIFY(!dialog.childAt(grip));
        const QPoint global = dialog.mapToGlobal(grip);
        QMouseEvent press(QEvent::MouseButtonPress, grip, global, Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(&dialog, &press);
        QMouseEvent move(QEvent::MouseMove, grip + QPoint(40, 25), global + QPoint(40, 25),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&dialog, &move);
        QMouseEvent release(QEvent::MouseButtonRelease, grip + QPoint(40, 25),
                            global + QPoint(40, 25), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&dialog, &release);
        QCOMPARE(dialog.pos(), start + QPoint(40, 25));
    }
};

QTEST_MAIN(TestSettingsDialog)
#include "TestSettingsDialog.moc"
