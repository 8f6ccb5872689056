#include "tests/support/FileServiceProcess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>
#include <QtGlobal>

#include <csignal>
#include <sys/prctl.h>

FileServiceProcess::FileServiceProcess(QString bindAddress) : address_(std::move(bindAddress)) {
    process_.setProcessChannelMode(QProcess::MergedChannels);
    // A test that dies (a sanitizer's finding, a crash) takes its service along: one left
    // behind would hold the test's address and fail every later run of that test.
    process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    logPath_ = dir_.filePath(QStringLiteral("fileservice.log"));
}

FileServiceProcess::~FileServiceProcess() {
    stop();
}

QString FileServiceProcess::program() {
    QString dir = qEnvironmentVariable("VAULTRY_BIN_DIR");
    if (dir.isEmpty())
        dir = QStringLiteral(".");
    return QDir(dir).filePath(QStringLiteral("vaultry-fileservice"));
}

bool FileServiceProcess::start(const QStringList& args, int timeoutMs) {
    stop();
    QFile::remove(logPath_);
    process_.setStandardOutputFile(logPath_, QIODevice::Truncate);
    process_.start(program(), QStringList(args) << QStringLiteral("--bind") << address_);
    if (!process_.waitForStarted(timeoutMs)) {
        qWarning("FileServiceProcess: cannot start %s: %s", qPrintable(program()),
                 qPrintable(process_.errorString()));
        return false;
    }
    if (waitForLog(QStringLiteral("listening on"), timeoutMs))
        return true;
    qWarning("FileServiceProcess: the service did not start on %s; its output:\n%s",
             qPrintable(address_), qPrintable(log()));
    stop();
    return false;
}

void FileServiceProcess::stop() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished(2000);
    }
}

QByteArray FileServiceProcess::readLog() const {
    QFile f(logPath_);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

QString FileServiceProcess::log() const {
    return QString::fromUtf8(readLog());
}

bool FileServiceProcess::waitForLog(const QString& needle, int timeoutMs) {
    const QByteArray bytes = needle.toUtf8();
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (readLog().contains(bytes))
            return true;
        if (process_.state() == QProcess::NotRunning || deadline.hasExpired())
            return readLog().contains(bytes);
        // Keep the caller's event loop alive (timers, sockets of an engine under test).
        if (QCoreApplication::instance())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(10);
    }
}

bool FileServiceProcess::isRunning() const {
    return process_.state() != QProcess::NotRunning;
}

int FileServiceProcess::exitCode() const {
    return process_.exitCode();
}
