// The programs as a member's shell meets them: --help and --version on standard output with
// status 0 and no window, even without a display; a program that needs a display and has none
// says so and ends with status 1 (never an abort), also when the platform plugin itself fails;
// a client whose skins are missing says which and ends instead of showing a blank window.

#include "core/ProgramStart.h"
#include "tests/support/TestEnvironment.h"

#include <QFile>
#include <QProcess>
#include <QtTest>

namespace {

struct Run {
    int code = -1;
    QProcess::ExitStatus status = QProcess::CrashExit;
    QString out, err;
};

// The environment of a shell with no desktop session.
QProcessEnvironment noDisplay() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE"})
        env.remove(QString::fromLatin1(name));
    return env;
}

Run run(const QString& program, const QStringList& args, const QProcessEnvironment& env,
        const QString& workingDir = QString()) {
    QProcess p;
    p.setProcessEnvironment(env);
    if (!workingDir.isEmpty())
        p.setWorkingDirectory(workingDir);
    p.start(program, args);
    Run r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("<timed out>");
        return r;
    }
    r.code = p.exitCode();
    r.status = p.exitStatus();
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err += QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

QStringList programs() {
    QStringList names{"Vaultry_DOWN", "Vaultry_UPLOAD", "vaultry-pagectl", "vaultry-fileservice"};
    if (QFile::exists(TestEnvironment::binary("vaultry-webdemo")))
        names << "vaultry-webdemo";
    return names;
}

} // namespace

class TestCommandLines : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { TestEnvironment::prepare(); }

    void helpVersionAndNoDisplay() {
        const QProcessEnvironment env = noDisplay();
        for (const QString& name : programs()) {
            const QString binary = TestEnvironment::binary(name);
            const Run help = run(binary, {"--help"}, env);
            QVERIFY2(help.status == QProcess::NormalExit && help.code == 0,
                     qPrintable(name + ": " + help.err));
            QVERIFY2(help.out.contains("Usage: ") && help.out.contains(name),
                     qPrintable(name + ": " + help.out));
            QVERIFY2(help.err.isEmpty(), qPrintable(name + ": " + help.err));
            const Run version = run(binary, {"--version"}, env);
            QVERIFY2(version.status == QProcess::NormalExit && version.code == 0,
                     qPrintable(name + ": " + version.err));
            QCOMPARE(version.out, name + " " + ProgramVersion() + "\n");
            QVERIFY2(version.err.isEmpty(), qPrintable(name + ": " + version.err));
        }

        // Programs with windows, started as the desktop or a script would start them.
        const QString link =
            QStringLiteral("vastrelle://97,46,116,120,116,63,124,107,105,109,124,49/");
        QList<QPair<QString, QStringList>> windowed{
            {"Vaultry_DOWN", {"/url", link}},
            {"Vaultry_UPLOAD", {}},
            {"vaultry-pagectl", {"page", "vastrelle-page://86,97,117,108,116,114,121/"}}};
        if (programs().contains("vaultry-webdemo"))
            windowed.append({"vaultry-webdemo",
                             {"--page", "http://127.0.0.41:7580/", "--applications", "/nowhere",
                              "--member", "demo"}});
        for (const auto& [name, args] : windowed) {
            const Run r = run(TestEnvironment::binary(name), args, env);
            QVERIFY2(r.status == QProcess::NormalExit && r.code == 1,
                     qPrintable(QStringLiteral("%1: status %2 code %3: %4")
                                    .arg(name)
                                    .arg(int(r.status))
                                    .arg(r.code)
                                    .arg(r.err)));
            QVERIFY2(r.err.contains(name + ": no display"), qPrintable(r.err));
        }

        // A display that is named but cannot be reached: Qt's platform plugin gives up, and
        // the program ends with its message instead of an abort.
        QProcessEnvironment broken = env;
        broken.insert("QT_QPA_PLATFORM", "xcb");
        broken.insert("DISPLAY", ":65000");
        const Run r = run(TestEnvironment::binary("Vaultry_DOWN"), {"/url", link}, broken);
        QVERIFY2(r.status == QProcess::NormalExit && r.code == 1, qPrintable(r.err));
        QVERIFY2(r.err.contains("Vaultry_DOWN: cannot open a window"), qPrintable(r.err));
    }

    void missingSkinsEndTheClientWithAMessage() {
        // A copy of the client with no skins beside it, nor in its data folder or the
        // current directory.
        const QString bin = TestEnvironment::scratch("lonely/bin");
        const QString cwd = TestEnvironment::scratch("lonely/cwd");
        for (const char* name : {"Vaultry_DOWN", "Vaultry_UPLOAD"}) {
            const QString copy = bin + "/" + name;
            QVERIFY(QFile::copy(TestEnvironment::binary(name), copy));
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("QT_QPA_PLATFORM", "offscreen");
            env.insert("VAULTRY_MODAL_LOG", cwd + "/boxes.log");
            const Run r = run(copy, {"/url", "vastrelle://65/"}, env, cwd);
            QVERIFY2(r.status == QProcess::NormalExit && r.code == 1, qPrintable(r.err));
            QVERIFY2(r.err.contains(QStringLiteral("%1: the skin picture images/").arg(name)),
                     qPrintable(r.err));
            QVERIFY2(r.err.contains(cwd) && r.err.contains(bin), qPrintable(r.err));
            QVERIFY(!QFile::exists(cwd + "/boxes.log"));
        }
    }
};

QTEST_GUILESS_MAIN(TestCommandLines)
#include "TestCommandLines.moc"
