#pragma once

#include "core/SettingsStore.h"
#include "core/UploadChoices.h"
#include "tests/support/FileServiceProcess.h"
#include "tests/support/TestClock.h"
#include "tests/support/TestEnvironment.h"
#include "tests/upload/UploadRecordingHost.h"
#include "upload/engine/UploadEngine.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QtTest>
#include <memory>

// One engine with its recording host, uploading local files to a substitute file service on
// the test's own loopback address.
struct UploadFixture {
    UploadRecordingHost host;
    std::shared_ptr<TestClock> clock = std::make_shared<TestClock>(); // shortened delays
    std::unique_ptr<UploadEngine> engine;
    FileServiceProcess service{TestEnvironment::address()};
    QString source; // the local files
    QString store;  // where the service keeps what it received
    QStringList queued;

    explicit UploadFixture(const QString& name) {
        TestEnvironment::prepare();
        qputenv("VAULTRY_FILE_SERVER", TestEnvironment::address().toLatin1());
        qputenv("VAULTRY_HOMEPAGE", "http://127.0.0.1:9/");
        source = TestEnvironment::scratch(name + "-source");
        store = TestEnvironment::scratch(name + "-store");
        SettingsStore::EnsureDefaults();
        SettingsStore::WriteInt(SettingKey::UpAutostart, 1);
        makeEngine();
    }

    void makeEngine(EngineSetup setup = {}) {
        if (!setup.clock)
            setup.clock = clock;
        engine = std::make_unique<UploadEngine>(host, std::move(setup));
        host.answerer = [this](quint64 id, const MemberReply& reply) { engine->answer(id, reply); };
    }

    // The member chose `paths` for list `key`, as the page control records it.
    static void choose(const QStringList& paths, const QByteArray& key = "q") {
        QString error;
        QVERIFY2(UploadChoices::record(key, paths, &error), qPrintable(error));
    }

    // Writes a local file of random bytes and queues it under the list key "q".
    QByteArray addFile(const QString& name, qint64 size) {
        QByteArray bytes(size, Qt::Uninitialized);
        for (qint64 i = 0; i < size; ++i)
            bytes[i] = char(QRandomGenerator::global()->bounded(256));
        const QString path = QDir(source).filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        f.close();
        queued << path;
        choose({path});
        return bytes;
    }

    // A local file the member chose for a second list, "r", that the service does not know
    // until the test names it (`--upload-list r=<path>`).
    QString addSecondList(const QString& name, const QByteArray& bytes) {
        const QString path = QDir(source).filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        f.close();
        choose({path}, "r");
        return path;
    }

    bool startService(const QStringList& extra = {}) {
        QStringList args{"--member", "kim", "--over-user", "busy", "--store", store};
        if (!queued.isEmpty())
            args << "--upload-list"
                 << "q=" + queued.join(',');
        return service.start(args + extra);
    }

    static QByteArray command(const QByteArray& member = "kim", const QByteArray& key = "q") {
        return "Vaultry_uploader_Manager|" + key + "|" + member + "|1";
    }

    QByteArray stored(const QString& name) const {
        QFile f(QDir(store).filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    // Hands a command to the engine and waits until its exchanges with the file server, and
    // what follows them on this thread, are over.
    void process(const QByteArray& command, int timeoutMs = 20000) {
        engine->processRequest(command);
        settle(timeoutMs);
    }
    void settle(int timeoutMs = 20000) {
        QDeadlineTimer deadline(timeoutMs);
        while (engine->exchangeInProgress() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QVERIFY2(!engine->exchangeInProgress(), "the command's exchanges never ended");
    }

    bool finished(int timeoutMs = 20000) {
        QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            if (host.hasMessage(QStringLiteral("모든 파일이 전송완료되었습니다.")))
                return true;
        }
        return false;
    }

    // The service has taken every byte of `count` data connections and closed them.
    bool storedAll(int count, int timeoutMs = 10000) {
        QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            if (service.log().count("(client closed)") >= count)
                return true;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return false;
    }

    QString stateText(int row) const {
        return engine->table().text(row, TransferTable::StateColumn);
    }
};
