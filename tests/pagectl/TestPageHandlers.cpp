// The desktop's side of the links: the install rules put both .desktop files and the
// programs into a prefix; registered with xdg-mime in data and config folders of the test's
// own (as the README tells a member to), they are the default handlers of their schemes, and
// xdg-open runs the installed page control for a page link, which hands the download to the
// client window it finds.

#include "core/WindowBus.h"
#include "tests/pagectl/PageFlowSupport.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

namespace {

constexpr quint32 kDownloadTag = 41160500;

} // namespace

class TestPageHandlers : public QObject {
    Q_OBJECT
    QString prefix_, boxLog_;
    QProcessEnvironment desktop_;

    // Installs what one folder of the build installs (its cmake_install.cmake) into the prefix.
    bool install(const QString& folder) {
        QProcess cmake;
        cmake.setProcessChannelMode(QProcess::MergedChannels);
        cmake.start(QStringLiteral(VAULTRY_CMAKE_COMMAND),
                    {"-DCMAKE_INSTALL_PREFIX=" + prefix_, "-P",
                     QStringLiteral(VAULTRY_BUILD_DIR "/%1/cmake_install.cmake").arg(folder)});
        const bool ok = cmake.waitForFinished(120000) && cmake.exitCode() == 0;
        if (!ok)
            qWarning("%s", cmake.readAll().constData());
        return ok;
    }

    QString xdg(const QString& tool, const QStringList& args, int* exitCode = nullptr) {
        QProcess p;
        p.setProcessEnvironment(desktop_);
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(tool, args);
        // xdg-open runs the handler in the foreground; the handler may send to this test's
        // windows, so events are served meanwhile.
        if (!QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 30000))
            return QStringLiteral("<still running>");
        if (exitCode)
            *exitCode = p.exitCode();
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }

private slots:
    void initTestCase() {
        TestEnvironment::prepare();
        for (const char* tool : {"xdg-mime", "xdg-open"}) {
            if (QStandardPaths::findExecutable(tool).isEmpty())
                QSKIP(qPrintable(QStringLiteral("%1 is missing: install the Debian package "
                                                "xdg-utils (scripts/install-deps.sh)")
                                     .arg(tool)));
        }
        prefix_ = TestEnvironment::scratch("prefix");
        boxLog_ = TestEnvironment::scratch("boxes") + "/boxes.log";
        QVERIFY(install("pagectl"));
        QVERIFY(install("download"));

        // A desktop of the test's own: the installed handlers and nothing of the machine's.
        desktop_.insert("PATH", prefix_ + "/bin:/usr/local/bin:/usr/bin:/bin");
        desktop_.insert("HOME", qEnvironmentVariable("HOME"));
        desktop_.insert("XDG_DATA_HOME", prefix_ + "/share");
        desktop_.insert("XDG_CONFIG_HOME", TestEnvironment::scratch("xdg-config"));
        desktop_.insert("XDG_DATA_DIRS", TestEnvironment::scratch("no-system-data"));
        desktop_.insert("XDG_CONFIG_DIRS", TestEnvironment::scratch("no-system-config"));
        desktop_.insert("XDG_RUNTIME_DIR", qEnvironmentVariable("XDG_RUNTIME_DIR"));
        // xdg-open hands links to handlers only where there is a display; none is opened.
        desktop_.insert("WAYLAND_DISPLAY", "vaultry-test-no-display");
        desktop_.insert("QT_QPA_PLATFORM", "offscreen");
        desktop_.insert("VAULTRY_MODAL_LOG", boxLog_);
        // Should no handler be found, xdg-open tries the browser named here: one that opens
        // nothing.
        desktop_.insert("BROWSER", "false");
    }

    void installedHandlersAreTheDefaultsOnceRegistered() {
        const QString applications = prefix_ + "/share/applications";
        for (const char* entry : {"vastrelle-page.desktop", "vastrelle-download.desktop"}) {
            const QString installed = applications + "/" + entry;
            QVERIFY2(QFile::exists(installed), qPrintable(installed));
            QCOMPARE(
                PageFlow::contents(installed),
                PageFlow::contents(qEnvironmentVariable("VAULTRY_SOURCE_DIR") + "/res/" + entry));
        }
        QVERIFY(QFileInfo(prefix_ + "/bin/vaultry-pagectl").isExecutable());
        QVERIFY(QFileInfo(prefix_ + "/bin/Vaultry_DOWN").isExecutable());

        int code = -1;
        xdg("xdg-mime", {"default", "vastrelle-page.desktop", "x-scheme-handler/vastrelle-page"},
            &code);
        QCOMPARE(code, 0);
        xdg("xdg-mime", {"default", "vastrelle-download.desktop", "x-scheme-handler/vastrelle"},
            &code);
        QCOMPARE(code, 0);
        QCOMPARE(xdg("xdg-mime", {"query", "default", "x-scheme-handler/vastrelle-page"}),
                 QString("vastrelle-page.desktop"));
        QCOMPARE(xdg("xdg-mime", {"query", "default", "x-scheme-handler/vastrelle"}),
                 QString("vastrelle-download.desktop"));
    }

    void xdgOpenRunsTheInstalledPageControlForAPageLink() {
        WindowBus client("Vaultry_downloader");
        QVERIFY(client.isRegistered());
        QList<CopyData> received;
        client.setHandler([&](const CopyData& m) {
            received << m;
            return 0;
        });
        const QByteArray command = "Vaultry_downloader_Manager|a.txt?b.txt?|kim|1";
        int code = -1;
        xdg("xdg-open", {PageFlow::link("vastrelle-page", command)}, &code);
        QCOMPARE(code, 0);
        QCOMPARE(received.size(), 1);
        QCOMPARE(received[0].tag, kDownloadTag);
        QCOMPARE(received[0].data, command + '\0');
        QVERIFY2(!QFile::exists(boxLog_), qPrintable(PageFlow::contents(boxLog_)));

        // A link of the page scheme that names no action: the installed page control tells
        // the member, and nothing else happens.
        xdg("xdg-open", {PageFlow::link("vastrelle-page", "Vaultry_remove|kim|1")}, &code);
        QCOMPARE(received.size(), 1);
        QVERIFY(PageFlow::contents(boxLog_).startsWith(
            QString::fromUtf8("웹페이지 도우미 (오류)|알수 없는 웹페이지 요청입니다.").toUtf8()));
    }
};

QTEST_GUILESS_MAIN(TestPageHandlers)
#include "TestPageHandlers.moc"
