#pragma once

#include "core/SettingsStore.h"
#include "core/TextCodec.h"
#include "download/engine/DownloadEngine.h"
#include "tests/download/RecordingHost.h"
#include "tests/support/FileServiceProcess.h"
#include "tests/support/TestClock.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QtTest>
#include <memory>

// One engine with its recording host, talking to a substitute file service on the test's own
// loopback address.
struct EngineFixture {
    RecordingHost host;
    std::shared_ptr<TestClock> clock = std::make_shared<TestClock>(); // shortened delays
    std::unique_ptr<DownloadEngine> engine;
    FileServiceProcess service{TestEnvironment::address()};
    QString source;   // the service's catalogue
    QString saveRoot; // the client's save folder

    explicit EngineFixture(const QString& name) {
        TestEnvironment::prepare();
        qputenv("VAULTRY_FILE_SERVER", TestEnvironment::address().toLatin1());
        qputenv("VAULTRY_HOMEPAGE", "http://127.0.0.1:9/");
        source = TestEnvironment::scratch(name + "-source");
        saveRoot = TestEnvironment::scratch(name + "-save");
        SettingsStore::EnsureDefaults();
        SettingsStore::WriteText(SettingKey::DefaultFolder, saveRoot);
        SettingsStore::WriteInt(SettingKey::DefaultFolderUse, 1);
        SettingsStore::WriteInt(SettingKey::DownAutostart, 0);
        makeEngine();
    }

    void makeEngine(EngineSetup setup = {}) {
        if (!setup.clock)
            setup.clock = clock;
        engine = std::make_unique<DownloadEngine>(host, std::move(setup));
        host.answerer = [this](quint64 id, const MemberReply& reply) { engine->answer(id, reply); };
        engine->loadSettings();
    }

    bool startService(QStringList extra = {}) {
        return service.start(QStringList{"--root", source, "--member", "kim"} + extra);
    }

    QByteArray addFile(const QString& relative, qint64 size) {
        QByteArray bytes(size, Qt::Uninitialized);
        for (qint64 i = 0; i < size; ++i)
            bytes[i] = char(QRandomGenerator::global()->bounded(256));
        const QString path = QDir(source).filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return bytes;
    }

    static QByteArray readFile(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    QByteArray saved(const QString& relative) const {
        return readFile(QDir(saveRoot).filePath(relative));
    }

    // A request for these catalogue entries, as the launch link would carry it.
    static QByteArray request(const QStringList& entries, const QByteArray& member = "kim") {
        QByteArray list;
        for (const QString& e : entries)
            list += ToCp949(e) + "?";
        return "Vaultry_downloader_Manager|" + list + "|" + member + "|1";
    }

    // Hands a request to the engine and waits until its exchanges with the file server, and
    // what follows them on this thread, are over.
    void process(const QByteArray& command, int timeoutMs = 20000) {
        engine->processRequest(command);
        settle(timeoutMs);
    }
    void settle(int timeoutMs = 20000) {
        QDeadlineTimer deadline(timeoutMs);
        while (engine->exchangeInProgress() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QVERIFY2(!engine->exchangeInProgress(), "the request's exchanges never ended");
    }

    bool finished(int timeoutMs = 20000) {
        QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            if (host.hasMessage(QStringLiteral("모든 파일이 전송완료되었습니다.")))
                return true;
        }
        // Say where it stood, so a failure under load can be read from the log.
        QStringList states;
        for (int i = 0; i < engine->table().count(); ++i)
            states << QString("%1:%2/%3")
                          .arg(int(engine->table().record(i).state))
                          .arg(qint64(engine->table().record(i).done))
                          .arg(engine->table().record(i).size);
        qWarning().noquote() << "not finished; running" << engine->isRunning() << "busy"
                             << engine->isBusy() << "records" << states.join(' ')
                             << "\nservice log:\n"
                             << service.log().right(1500);
        return false;
    }

    QString stateText(int row) const {
        return engine->table().text(row, TransferTable::StateColumn);
    }
};
