#include "tests/upload/FakeServers.h"
#include "tests/upload/UploadFixture.h"

// The engine against the substitute file service: member check, listing, byte-exact uploads,
// resumes at the service's offsets, and the completion actions.
class TestUploadEngine : public QObject {
    Q_OBJECT
    RecordingPower power_;

private slots:
    void initTestCase() { PowerSeam::install(&power_); }
    void init() {
        SettingsStore::WriteInt(SettingKey::UpProgramEnd, 0);
        SettingsStore::WriteInt(SettingKey::UpSystemEnd, 0);
        SettingsStore::WriteInt(SettingKey::UpTray, 0);
    }

    void memberCheck() {
        UploadFixture f("member");
        f.addFile("a.txt", 100);
        QVERIFY(f.startService());

        // No member id: told to log in, the exit routine runs, the server hears nothing.
        f.process(UploadFixture::command(""));
        QCOMPARE(f.host.messages.size(), 1);
        QCOMPARE(f.host.messages[0].text, QString("회원 로그인후 이용해주세요."));
        QCOMPARE(f.host.messages[0].caption, QString("회원정보 (오류)"));
        QCOMPARE(f.host.quits, 1);
        QVERIFY(!f.service.log().contains("ctl#"));

        // An unknown member: signed off, told to log in, the exit routine runs.
        f.makeEngine();
        f.process(UploadFixture::command("ghost"));
        QCOMPARE(f.host.quits, 2);
        QCOMPARE(f.host.messages.size(), 2);
        QVERIFY(f.service.waitForLog("sign-off \"ghost\"", 3000));
        QCOMPARE(f.engine->table().count(), 0);
        f.makeEngine();

        // A member already in use is listed anyway, and never signed off.
        SettingsStore::WriteInt(SettingKey::UpAutostart, 0);
        f.process(UploadFixture::command("busy"));
        QCOMPARE(f.engine->table().count(), 1);
        QVERIFY(!f.service.log().contains("sign-off \"busy\""));
        QCOMPARE(f.host.quits, 2);

        // Another word is ignored; the bare word names no member: told to log in, and the
        // exit routine asks about the unfinished row ("No" stays).
        f.process("Vaultry_downloader_Manager|q|kim|1");
        QCOMPARE(f.host.messages.size(), 2);
        f.host.yesNoAnswers = {false};
        f.process("Vaultry_uploader_Manager");
        QCOMPARE(f.host.messages.last().text, QString("회원 로그인후 이용해주세요."));
        QCOMPARE(f.host.questions.last().caption, QString("종료확인"));
        QCOMPARE(f.host.openCount(), 0);
        QCOMPARE(f.host.quits, 2);
        QCOMPARE(f.engine->table().count(), 1);

        // A member is signed off right after the check, and the rows are added.
        f.process(UploadFixture::command("kim"));
        QVERIFY(f.service.waitForLog("sign-off \"kim\"", 3000));
        QCOMPARE(f.engine->table().count(), 2);
        QCOMPARE(f.engine->table().text(1, 0), QString("a.txt"));
        QCOMPARE(f.engine->table().text(1, 1), QString("100.0Byte"));
        QCOMPARE(f.stateText(1), QString("대기"));
        QCOMPARE(f.host.statusLines.last(), QString("'a.txt' 업로드중"));
        QCOMPARE(f.host.speeds.last(), QString("-"));
        QCOMPARE(f.host.fileCaption, QString("0/100%(0/0 Byte)"));
        QCOMPARE(f.host.totalCaption, QString("0%/100%(0/200 Byte)"));
        QCOMPARE(f.host.totalPosition, 1);
    }

    void refusedListingAddsNothing() {
        UploadFixture f("refused");
        f.addFile("a.txt", 100);
        QVERIFY(f.startService({"--upload-reply", "No"}));
        f.process(UploadFixture::command());
        QCOMPARE(f.engine->table().count(), 0);
        QVERIFY(f.service.waitForLog("\"@Server1\"", 3000));
        QVERIFY(!f.service.log().contains("list key"));
        QVERIFY(!f.host.running);
    }

    void uploadsByteExactWithFingerprintsAndNotices() {
        UploadFixture f("batch");
        const QByteArray one = f.addFile("one.bin", 3000000);
        const QByteArray two = f.addFile(QString::fromUtf8("업로드 샘플.txt"), 2048);
        const QByteArray empty = f.addFile("empty.dat", 0);
        const QByteArray small = f.addFile("small.bin", 5);
        QVERIFY(f.startService());
        f.process(UploadFixture::command());
        QCOMPARE(f.engine->table().count(), 4);
        QVERIFY(f.finished());
        QVERIFY(f.storedAll(4));
        QCOMPARE(f.stored("one.bin"), one);
        QCOMPARE(f.stored(QString::fromUtf8("업로드 샘플.txt")), two);
        QCOMPARE(f.stored("empty.dat"), empty);
        QCOMPARE(f.stored("small.bin"), small);
        // The notices go beside the next file: the last ones may still be on their way.
        for (int number = 1001; number <= 1004; ++number)
            QVERIFY2(f.service.waitForLog(QString("upload complete: file %1").arg(number), 5000),
                     qPrintable(f.service.log()));
        QCOMPARE(f.service.log().count("(matches)"), 4);
        for (int row = 0; row < 4; ++row)
            QCOMPARE(f.stateText(row), QString("완료"));
        QCOMPARE(f.host.remaining.last(), QString("전송완료"));
        QCOMPARE(f.host.totalPosition, 1000);
        QCOMPARE(f.host.messages.size(), 1);
        QCOMPARE(f.host.messages[0].caption, QString("전송완료"));
        QVERIFY(f.host.topmost > 0);
        QVERIFY(!f.host.running);
        QVERIFY(f.host.statusLines.contains(QString::fromUtf8("'업로드 샘플.txt' 업로드중")));
        // Nothing of the finished list is picked again.
        f.host.messages.clear();
        f.engine->toggle();
        QCOMPARE(f.host.countOf("모든 파일이 전송완료되었습니다."), 1);
        QCOMPARE(f.service.log().count("header token1"), 4);
    }

    void partiallyStoredFileResumesAtItsSize() {
        UploadFixture f("partial");
        const QByteArray bytes = f.addFile("movie.mkv", 1000000);
        QFile held(QDir(f.store).filePath("movie.mkv"));
        QVERIFY(held.open(QIODevice::WriteOnly));
        held.write(bytes.left(400000));
        held.close();
        QVERIFY(f.startService());
        f.process(UploadFixture::command());
        QVERIFY(f.finished());
        QVERIFY(f.storedAll(1));
        QVERIFY(f.service.log().contains("offset -> \"400000\""));
        QVERIFY(f.service.log().contains("received 600000 bytes"));
        QCOMPARE(f.stored("movie.mkv"), bytes);
    }

    void secondCommandAppendsWithoutDisturbingTheRunningFile() {
        UploadFixture f("append");
        const QByteArray first = f.addFile("first.bin", 8 * 1024 * 1024);
        const QString later = f.addSecondList("later.bin", QByteArray(3000, 'L'));
        // The data port is a fake that takes the first file slowly, so it is still being
        // sent when the second command comes.
        QVERIFY(f.startService({"--refuse-data", "nolisten", "--upload-list", "r=" + later}));
        FakeDataServer data(TestEnvironment::address());
        data.reply = [](int, qint64) { return QByteArray("0"); }; // each file from its start
        data.throttled = true;
        f.process(UploadFixture::command());
        QTRY_VERIFY_WITH_TIMEOUT(f.engine->table().record(0).done > 0, 10000);
        f.process(UploadFixture::command("kim", "r"));
        QCOMPARE(f.engine->table().count(), 2);
        QCOMPARE(f.engine->currentIndex(), 0);
        QVERIFY(f.host.running);
        QVERIFY(f.host.messages.isEmpty());
        data.throttled = false;
        QVERIFY(f.finished());
        QTRY_COMPARE(data.closedConnections(), 2);
        QCOMPARE(data.connections(), 2); // nothing was restarted
        QCOMPARE(data.offsets(), (QList<qint64>{0, 0}));
        QCOMPARE(data.held(), QByteArray(3000, 'L'));
        QCOMPARE(f.engine->table().record(0).done, qint64(first.size()));
    }

    // The last file ends while a list handed over meanwhile is still being exchanged: its files
    // join the list, and the program ends (as the member chose) only after them.
    void aListArrivingAsTheLastFileEndsIsNotDropped() {
        UploadFixture f("late-list");
        f.addFile("first.bin", 2 * 1024 * 1024);
        const QString later = f.addSecondList("later.bin", QByteArray(3000, 'L'));
        QVERIFY(f.startService(
            {"--refuse-data", "nolisten", "--upload-list", "r=" + later, "--delay-ms", "300"}));
        FakeDataServer data(TestEnvironment::address());
        data.reply = [](int, qint64) { return QByteArray("0"); };
        data.throttled = true;
        SettingsStore::WriteInt(SettingKey::UpProgramEnd, 1);
        f.process(UploadFixture::command());
        QTRY_VERIFY_WITH_TIMEOUT(f.engine->table().record(0).done > 0, 10000);
        f.engine->processRequest(UploadFixture::command("kim", "r"));
        data.throttled = false; // the first file ends while the second list is exchanged
        QTRY_COMPARE_WITH_TIMEOUT(f.host.quits, 1, 20000);
        QCOMPARE(f.engine->table().count(), 2);
        QCOMPARE(data.connections(), 2);
        QTRY_COMPARE(data.closedConnections(), 2);
        QCOMPARE(data.held(), QByteArray(3000, 'L'));
        SettingsStore::WriteInt(SettingKey::UpProgramEnd, 0);
    }

    void nextFileStartsWhenTheWorkerEnds() {
        // The display tick is set to minutes here: the list still runs file after file,
        // because each worker's end moves it on, not a tick.
        UploadFixture f("pacing");
        QMap<QString, QByteArray> files;
        for (int i = 0; i < 20; ++i) {
            const QString name = QString("small-%1.bin").arg(i, 2, 10, QChar('0'));
            files[name] = f.addFile(name, 1000 + 37 * i);
        }
        QVERIFY(f.startService());
        f.clock->scale = 1000.0;
        QStringList completedRows;
        connect(&f.engine->table(), &QAbstractItemModel::dataChanged, this,
                [&](const QModelIndex& at) {
                    if (at.column() == TransferTable::StateColumn &&
                        at.data().toString() == QString("완료"))
                        completedRows << QString::number(at.row());
                });
        f.process(UploadFixture::command());
        QVERIFY(f.finished());
        QVERIFY(f.storedAll(20));
        QCOMPARE(completedRows.size(), 20); // each file's completion handled once
        for (int i = 0; i < 20; ++i)
            QCOMPARE(completedRows[i], QString::number(i)); // in list order
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            QCOMPARE(f.stored(it.key()), it.value());
        // The notices go beside the next file: the last may still be on its way.
        QTRY_COMPARE(f.service.log().count("upload complete: file"), 20);
        QCOMPARE(f.host.countOf("모든 파일이 전송완료되었습니다."), 1);
    }

    void completionActions() {
        {
            // Any non-zero "UP_Program_end" ends the program, without a question.
            UploadFixture f("programend");
            f.addFile("a.bin", 10);
            QVERIFY(f.startService());
            SettingsStore::WriteInt(SettingKey::UpProgramEnd, 2);
            f.process(UploadFixture::command());
            QTRY_COMPARE_WITH_TIMEOUT(f.host.quits, 1, 10000);
            QVERIFY(f.host.messages.isEmpty());
            QCOMPARE(power_.powerOffs, 0);
        }
        {
            // Shutting down wins; the tray icon goes first; the program is not ended.
            UploadFixture f("systemend");
            f.addFile("a.bin", 10);
            QVERIFY(f.startService());
            SettingsStore::WriteInt(SettingKey::UpProgramEnd, 1);
            SettingsStore::WriteInt(SettingKey::UpSystemEnd, 1);
            f.process(UploadFixture::command());
            QTRY_COMPARE_WITH_TIMEOUT(power_.powerOffs, 1, 10000);
            QCOMPARE(f.host.trayRemovals, 1);
            QCOMPARE(f.host.quits, 0);
            QVERIFY(f.host.messages.isEmpty());
        }
    }

    void hideToTrayAndExitQuestion() {
        UploadFixture f("tray");
        f.addFile("a.bin", 10);
        f.addFile("b.bin", 10);
        QVERIFY(f.startService());
        SettingsStore::WriteInt(SettingKey::UpTray, 1);
        SettingsStore::WriteInt(SettingKey::UpAutostart, 0);
        f.process(UploadFixture::command());
        QCOMPARE(f.host.hidden, 0);
        // Unfinished rows: the exit asks; "No" stays.
        f.host.yesNoAnswers = {false};
        f.engine->exitProgram();
        QCOMPARE(f.host.questions.last().caption, QString("종료확인"));
        QTRY_COMPARE(f.host.openCount(), 0);
        QCOMPARE(f.host.quits, 0);
        f.engine->toggle();
        QVERIFY(f.finished());
        QCOMPARE(f.host.hidden, 2); // once per file
        // All complete: no question.
        f.host.questions.clear();
        f.engine->exitProgram();
        QVERIFY(f.host.questions.isEmpty());
        QCOMPARE(f.host.quits, 1);
        QCOMPARE(f.service.log().count("sign-off"), 1); // the member check only
    }

    void deleteRecomputation() {
        UploadFixture f("recompute");
        f.addFile("a.bin", 300);
        f.addFile("b.bin", 700);
        QVERIFY(f.startService());
        SettingsStore::WriteInt(SettingKey::UpAutostart, 0);
        f.process(UploadFixture::command());
        f.engine->table().removeRowAt(0);
        f.engine->refreshAfterDelete();
        QCOMPARE(f.host.totalCaption, QString("0%/100%(0/700 Byte)"));
        f.engine->table().removeRowAt(0);
        f.engine->refreshAfterDelete();
        QCOMPARE(f.host.totalCaption, QString("0%/0%(0/0 Byte)"));
        QCOMPARE(f.host.totalPosition, 0);
    }
};

QTEST_GUILESS_MAIN(TestUploadEngine)
#include "TestUploadEngine.moc"
