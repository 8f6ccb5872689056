#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Runs the substitute file service (vaultry-fileservice from VAULTRY_BIN_DIR) for a test,
// bound to one address, and collects what it prints (stdout and stderr merged). The output
// goes to a file, not a pipe, so a test that does not read it for a while never blocks the
// service.
//
//   FileServiceProcess service(TestEnvironment::address());
//   QVERIFY(service.start({"--root", dir, "--member", "kim"}));
//   ... talk to 7510 / 7301 / 7312 / 7580 on that address ...
//   QVERIFY(service.waitForLog("upload complete: file 1001", 5000));
//
// The log has one line per exchange; see fileservice/README.md for the line formats.
class FileServiceProcess {
public:
    explicit FileServiceProcess(QString bindAddress);
    ~FileServiceProcess(); // stops it
    FileServiceProcess(const FileServiceProcess&) = delete;
    FileServiceProcess& operator=(const FileServiceProcess&) = delete;

    // Adds "--bind <addr>" and waits until the service prints "listening on". False (with the
    // log shown as a warning) when it does not start, exits, or times out.
    bool start(const QStringList& args, int timeoutMs = 10000);
    // SIGTERM, then SIGKILL if it has not ended within 5 s. Safe to call twice.
    void stop();

    QString log() const; // everything printed so far
    // Waits until the log contains needle (true), or the time is up or the service ended
    // (false). Processes the caller's events while it waits.
    bool waitForLog(const QString& needle, int timeoutMs);

    bool isRunning() const;
    int exitCode() const; // after it ended
    QString address() const { return address_; }
    static QString program(); // the binary's path

private:
    QByteArray readLog() const;

    QString address_;
    QTemporaryDir dir_;
    QString logPath_;
    QProcess process_;
};
