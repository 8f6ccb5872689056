// The members' package as a member gets it: built by `cpack -G DEB` in the build folder
// (scripts/test.sh does so before the tests), its control fields and file list, its desktop
// entries and AppStream data through the desktop's own validators, and its download client run
// from the unpacked tree against the file service, drawing the same window as the build's.

#include "core/ProgramStart.h"
#include "tests/support/FileServiceProcess.h"
#include "tests/support/TestEnvironment.h"
#include "ui/DialogUnits.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

namespace {

struct Run {
    int code = -1;
    QString out;
};

Run run(const QString& program, const QStringList& args, const QString& workingDir = QString()) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    if (!workingDir.isEmpty())
        p.setWorkingDirectory(workingDir);
    p.start(program, args);
    Run r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        r.out = QStringLiteral("<timed out>");
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAll());
    return r;
}

QString contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// The keys of a desktop entry's main group.
QMap<QString, QString> entryKeys(const QString& path) {
    QMap<QString, QString> keys;
    for (const QString& line : contents(path).split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0 && !line.startsWith('#'))
            keys.insert(line.left(equals), line.mid(equals + 1));
    }
    return keys;
}

} // namespace

class TestPackage : public QObject {
    Q_OBJECT
    QString deb_, root_;

    QString control(const QString& field) {
        return run("dpkg-deb", {"--field", deb_, field}).out.trimmed();
    }

    // The download client's window at the end of a list, run from `binary` in a folder that
    // holds no skins, with the banner's corner blanked (the web engine may or may not have
    // drawn its page by then). `log` gets what the program wrote, the banner's lines with it.
    QImage endOfList(const QString& binary, const QString& link, const QString& save,
                     QString* log) {
        QDir(save).removeRecursively();
        QDir().mkpath(save);
        const QString cwd = TestEnvironment::scratch("cwd");
        const QString picture = cwd + "/window.png";
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VAULTRY_FILE_SERVER", TestEnvironment::address());
        env.insert("VAULTRY_HOMEPAGE", "http://" + TestEnvironment::address() + ":7580");
        env.insert("VAULTRY_SCREENSHOT", picture);
        env.insert("VAULTRY_MODAL_LOG", cwd + "/boxes.log");
        env.insert("QT_LOGGING_RULES", "vaultry.banner.debug=true");
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(cwd);
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(binary, {"/url", link});
        const bool ended = p.waitForFinished(120000);
        *log = QString::fromLocal8Bit(p.readAll());
        if (!ended || p.exitCode() != 0) {
            qWarning("%s", qPrintable(*log));
            return QImage();
        }
        if (QFile::exists(cwd + "/boxes.log"))
            qWarning("boxes: %s", qPrintable(contents(cwd + "/boxes.log")));
        QImage image = QImage(picture).convertToFormat(QImage::Format_RGB32);
        QPainter(&image).fillRect(DialogUnits::rect(10, 270, 350, 42), Qt::black);
        return image;
    }

private slots:
    void initTestCase() {
        TestEnvironment::prepare();
        const QDir build(QStringLiteral(VAULTRY_BUILD_DIR));
        const QStringList debs =
            build.entryList({QStringLiteral("vaultry_*.deb")}, QDir::Files, QDir::Time);
        if (debs.isEmpty())
            QSKIP("the package has not been built: run `cpack -G DEB` in the build folder "
                  "(scripts/test.sh does)");
        deb_ = build.filePath(debs.first());
        // A package left from an earlier build would be checked against today's programs.
        const QDateTime made = QFileInfo(deb_).lastModified();
        for (const char* program :
             {"Vaultry_DOWN", "Vaultry_UPLOAD", "vaultry-pagectl", "vaultry-banner.so"})
            if (QFileInfo(TestEnvironment::binary(program)).lastModified() > made)
                QSKIP(qPrintable(QStringLiteral("%1 is older than the build's %2: run `cpack -G "
                                                "DEB` in the build folder again")
                                     .arg(debs.first(), program)));
        for (const char* tool : {"dpkg-deb", "desktop-file-validate", "appstreamcli", "file"})
            QVERIFY2(!QStandardPaths::findExecutable(tool).isEmpty(),
                     qPrintable(QStringLiteral("%1 is missing: scripts/install-deps.sh test "
                                               "installs it")
                                    .arg(tool)));
        root_ = TestEnvironment::scratch("unpacked");
        const Run unpacked = run("dpkg-deb", {"-x", deb_, root_});
        QVERIFY2(unpacked.code == 0, qPrintable(unpacked.out));
    }

    void controlFieldsAndFileList() {
        QCOMPARE(control("Package"), QStringLiteral("vaultry"));
        QCOMPARE(control("Version"), ProgramVersion());
        const QString depends = control("Depends");
        // From the shared-library scan, and what the scan cannot see.
        for (const char* needed : {"libqt6widgets6", "libqt6webenginewidgets6", "libc6",
                                   "libqt6webenginecore6-bin", "fonts-nanum"})
            QVERIFY2(depends.contains(QLatin1String(needed)), qPrintable(depends));
        QCOMPARE(control("Recommends"),
                 QStringLiteral("qt6-wayland, qt6-translations-l10n, xdg-utils"));

        QStringList files;
        QDirIterator it(root_, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << it.next().mid(root_.size() + 1);
        // The banner's web engine comes with its module, loaded when the banner is due.
        QStringList expected{"usr/share/metainfo/kr.vastrelle.vaultry.metainfo.xml",
                             "usr/lib/vaultry/vaultry-banner.so"};
        for (const char* program : {"Vaultry_DOWN", "Vaultry_UPLOAD", "vaultry-pagectl"})
            expected << QStringLiteral("usr/bin/") + program;
        for (const char* id : {DesktopId::Download, DesktopId::Upload, DesktopId::PageControl})
            expected << QStringLiteral("usr/share/applications/%1.desktop").arg(id);
        for (const char* skin : {"download_bg.bmp", "upload_bg.bmp", "config_bg.bmp"})
            expected << QStringLiteral("usr/share/vaultry/images/") + skin;
        for (const char* icon : {"vaultry-download", "vaultry-upload"}) {
            for (const int side : {16, 32, 48, 64, 128, 256}) {
                const QString path =
                    QStringLiteral("usr/share/icons/hicolor/%1x%1/apps/%2.png").arg(side).arg(icon);
                expected << path;
                QCOMPARE(QImage(root_ + "/" + path).size(), QSize(side, side));
            }
            expected << QStringLiteral("usr/share/icons/hicolor/scalable/apps/%1.svg").arg(icon);
        }
        for (const QString& path : expected)
            QVERIFY2(files.contains(path), qPrintable(path + " is not in the package"));
        // The developers' programs stay out; nothing outside /usr.
        for (const QString& path : files) {
            QVERIFY2(path.startsWith("usr/"), qPrintable(path));
            for (const char* tool : {"fileservice", "webdemo", "artgen", "snapshots", "test_"})
                QVERIFY2(!path.contains(QLatin1String(tool)), qPrintable(path));
        }
        for (const char* program : {"bin/Vaultry_DOWN", "bin/Vaultry_UPLOAD", "bin/vaultry-pagectl",
                                    "lib/vaultry/vaultry-banner.so"}) {
            const Run type = run("file", {"-b", root_ + "/usr/" + program});
            QVERIFY2(type.out.contains("ELF") && type.out.contains(", stripped"),
                     qPrintable(type.out));
        }
    }

    void desktopEntriesAndAppStreamValidate() {
        const QString applications = root_ + "/usr/share/applications/";
        const QMap<QString, QString> classes{{DesktopId::Download, "Vaultry_DOWN"},
                                             {DesktopId::Upload, "Vaultry_UPLOAD"},
                                             {DesktopId::PageControl, "vaultry-pagectl"}};
        for (auto it = classes.cbegin(); it != classes.cend(); ++it) {
            const QString entry = applications + it.key() + ".desktop";
            const Run valid = run("desktop-file-validate", {entry});
            QVERIFY2(valid.code == 0 && valid.out.isEmpty(), qPrintable(entry + valid.out));
            const QMap<QString, QString> keys = entryKeys(entry);
            // The window class on X11 is the program's name; on Wayland the app id is the
            // entry's name, which the programs set as their desktop file name.
            QCOMPARE(keys.value("StartupWMClass"), it.value());
            QVERIFY(QFileInfo(root_ + "/usr/bin/" + keys.value("Exec").section(' ', 0, 0))
                        .isExecutable());
            QVERIFY(!keys.value("Name").isEmpty() && !keys.value("Name[ko]").isEmpty());
            QVERIFY2(keys.value("Name").toLatin1() == keys.value("Name").toUtf8(),
                     qPrintable(keys.value("Name")));
        }
        QCOMPARE(entryKeys(applications + DesktopId::Download + ".desktop").value("MimeType"),
                 QStringLiteral("x-scheme-handler/vastrelle;"));
        QCOMPARE(entryKeys(applications + DesktopId::PageControl + ".desktop").value("MimeType"),
                 QStringLiteral("x-scheme-handler/vastrelle-page;"));
        const Run metainfo =
            run("appstreamcli", {"validate", "--no-net",
                                 root_ + "/usr/share/metainfo/kr.vastrelle.vaultry.metainfo.xml"});
        QVERIFY2(metainfo.code == 0, qPrintable(metainfo.out));
    }

    void unpackedClientDrawsTheBuildsWindow() {
        const QString source = TestEnvironment::scratch("source");
        QFile one(source + "/one.bin");
        QVERIFY(one.open(QIODevice::WriteOnly));
        one.write(QByteArray(300000, 'v'));
        one.close();
        QDir().mkpath(source + QString::fromUtf8("/폴더"));
        QFile two(source + QString::fromUtf8("/폴더/둘.txt"));
        QVERIFY(two.open(QIODevice::WriteOnly));
        two.write("two");
        two.close();
        // A slow server: the banner's engine starts while the sign-on is on the wire, so the
        // module is loaded however quickly the list is done.
        FileServiceProcess service(TestEnvironment::address());
        QVERIFY(service.start({"--root", source, "--member", "kim", "--delay-ms", "200"}));
        const QString save = TestEnvironment::scratch("save");
        QSettings settings("Vastrelle", "Shuttlebox");
        settings.beginGroup("Config");
        for (const auto& [key, value] :
             std::initializer_list<std::pair<const char*, QVariant>>{{"User_Config", 1},
                                                                     {"Default_folder", save},
                                                                     {"Default_folder_use", 1},
                                                                     {"DOWN_File_over", 1},
                                                                     {"DOWN_Autostart", 1},
                                                                     {"DOWN_Program_end", 1}})
            settings.setValue(key, value);
        settings.sync();
        // "one.bin?폴더/둘.txt?|kim|1", the folder name in code page 949.
        QStringList codes;
        for (const char c : QByteArray("one.bin?\xC6\xFA\xB4\xF5/\xB5\xD1.txt?|kim|1"))
            codes << QString::number(static_cast<unsigned char>(c));
        const QString link = "vastrelle://" + codes.join(',') + "/";

        QString log;
        const QImage built = endOfList(TestEnvironment::binary("Vaultry_DOWN"), link, save, &log);
        QVERIFY(!built.isNull());
        QCOMPARE(contents(save + QString::fromUtf8("/폴더/둘.txt")), QStringLiteral("two"));
        const QImage packaged = endOfList(root_ + "/usr/bin/Vaultry_DOWN", link, save, &log);
        QVERIFY(!packaged.isNull());
        // Its banner came from the package's module, found from the program's folder.
        QVERIFY2(log.contains("banner module loaded from " + QFileInfo(root_).canonicalFilePath() +
                              "/usr/lib/vaultry/vaultry-banner.so"),
                 qPrintable(log));
        QCOMPARE(QFileInfo(save + "/one.bin").size(), 300000);
        QCOMPARE(contents(save + QString::fromUtf8("/폴더/둘.txt")), QStringLiteral("two"));
        if (packaged != built) {
            const QString kept = TestEnvironment::scratch("differs");
            built.save(kept + "/built.png");
            packaged.save(kept + "/packaged.png");
        }
        QVERIFY2(packaged == built, "the unpacked client's window differs from the build's "
                                    "(pictures under test-home/test_package/differs)");
    }
};

QTEST_MAIN(TestPackage)
#include "TestPackage.moc"
