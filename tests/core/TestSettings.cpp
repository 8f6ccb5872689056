#include "core/SettingsStore.h"
#include "tests/support/TestEnvironment.h"

#include <QProcess>
#include <QSettings>
#include <QtTest>

using namespace SettingKey;

class TestSettings : public QObject {
    Q_OBJECT

    QString configFile() const {
        return qEnvironmentVariable("XDG_CONFIG_HOME") + "/Vastrelle/Shuttlebox.conf";
    }
    QStringList storedKeys() const {
        QSettings s("Vastrelle", "Shuttlebox");
        s.beginGroup("Config");
        return s.childKeys();
    }

private slots:
    void init() { TestEnvironment::prepare(); }

    void firstRunWritesSevenValuesOnce() {
        SettingsStore::EnsureDefaults();
        QStringList keys = storedKeys();
        keys.sort();
        QStringList expected = {UserConfig,  DefaultFolder, DownFileOver,  DownAutostart,
                                DownListDel, UpAutostart,   UpCompleteShow};
        expected.sort();
        QCOMPARE(keys, expected);
        QCOMPARE(SettingsStore::ReadInt(UserConfig, 0), 1);
        QCOMPARE(SettingsStore::ReadInt(DownFileOver, 0), 3);
        QCOMPARE(SettingsStore::ReadInt(DownAutostart, 0), 1);
        QCOMPARE(SettingsStore::ReadInt(DownListDel, 7), 0);
        QCOMPARE(SettingsStore::ReadInt(UpAutostart, 0), 1);
        QCOMPARE(SettingsStore::ReadInt(UpCompleteShow, 0), 1);
        QCOMPARE(SettingsStore::ReadText(DefaultFolder), SettingsStore::DocumentsFolder());
        QVERIFY(QFile::exists(configFile()));

        // A second start writes nothing.
        SettingsStore::WriteInt(DownFileOver, 1);
        SettingsStore::WriteText(DefaultFolder, "/data/mine");
        SettingsStore::EnsureDefaults();
        QCOMPARE(SettingsStore::ReadInt(DownFileOver, 0), 1);
        QCOMPARE(SettingsStore::ReadText(DefaultFolder), QString("/data/mine"));

        // User_Config removed by hand: the seven values come back, other keys stay.
        SettingsStore::WriteInt(DownProgramEnd, 1);
        {
            QSettings s("Vastrelle", "Shuttlebox");
            s.remove("Config/User_Config");
        }
        SettingsStore::EnsureDefaults();
        QCOMPARE(SettingsStore::ReadInt(DownFileOver, 0), 3);
        QCOMPARE(SettingsStore::ReadText(DefaultFolder), SettingsStore::DocumentsFolder());
        QCOMPARE(SettingsStore::ReadInt(DownProgramEnd, 0), 1);
    }

    void fallbacksAndBadValues() {
        QCOMPARE(SettingsStore::ReadInt(DefaultFolderUse, 0), 0);
        QCOMPARE(SettingsStore::ReadInt(DownFileOver, 1), 1);
        QCOMPARE(SettingsStore::ReadText(DefaultFolder), QString());
        QVERIFY(QDir().mkpath(QFileInfo(configFile()).path()));
        QFile f(configFile());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Config]\nDOWN_File_over=7\nDOWN_Autostart=4294967296\nUP_Tray=yes\n"
                "DOWN_List_del=-2147483648\nUP_Autostart= 12 \n"
                "Default_folder=/a, b\n");
        f.close();
        QCOMPARE(SettingsStore::ReadInt(DownFileOver, 0), 7);
        QCOMPARE(SettingsStore::ReadInt(DownAutostart, 0), 0); // beyond 32 bits
        QCOMPARE(SettingsStore::ReadInt(UpTray, 5), 5);
        QCOMPARE(SettingsStore::ReadInt(DownListDel, 0), std::numeric_limits<int>::min());
        QCOMPARE(SettingsStore::ReadInt(UpAutostart, 0), 12);
        QCOMPARE(SettingsStore::ReadText(DefaultFolder), QString("/a,b")); // not lost, if respaced
    }

    void textsRoundTripAndReadsSeeOtherWriters() {
        const QString korean = QString::fromUtf8("/home/사용자/다운로드, 폴더");
        QVERIFY(SettingsStore::WriteText(DefaultFolder, korean));
        QCOMPARE(SettingsStore::ReadText(DefaultFolder), korean);
        QVERIFY(SettingsStore::WriteInt(DownAutostart, 0));
        // Another process writes the same key; the next read here sees it.
        const QString script = QString("[Config]\nDOWN_Autostart=1\nDefault_folder=/other\n");
        QProcess writer;
        writer.start("sh", {"-c", QString("printf '%1' > '%2'").arg(script, configFile())});
        QVERIFY(writer.waitForFinished());
        QCOMPARE(SettingsStore::ReadInt(DownAutostart, 0), 1);
        QCOMPARE(SettingsStore::ReadText(DefaultFolder), QString("/other"));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "TestSettings.moc"
