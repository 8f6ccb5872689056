#include "tests/download/EngineFixture.h"

#include "core/Formats.h"

class TestDownloadEngine : public QObject {
    Q_OBJECT
    RecordingShell shell_;
    RecordingPower power_;

private slots:
    void initTestCase() {
        ShellSeam::install(&shell_);
        PowerSeam::install(&power_);
    }

    void entryRules() {
        EngineFixture f("entries");
        for (const char* name : {"a", "b"})
            f.addFile(name, 10);
        QVERIFY(f.startService());
        auto entries = [&] {
            QStringList list;
            for (int i = 0; i < f.engine->table().count(); ++i)
                list << QString::fromLatin1(f.engine->table().record(i).entry);
            return list;
        };
        // An entry not followed by "?" is never requested.
        f.process("Vaultry_downloader_Manager|a?b|kim|1");
        QCOMPARE(entries(), QStringList{"a"});
        // The repeated entry is added once.
        f.process("Vaultry_downloader_Manager|a?b?|kim|1");
        QCOMPARE(entries(), (QStringList{"a", "b"}));
        QCOMPARE(f.engine->table().text(1, TransferTable::StateColumn), QString("대기"));
        QCOMPARE(f.engine->table().text(1, TransferTable::SizeColumn), QString("10.0Byte"));
        QCOMPARE(f.host.totalCaption, QString("0%/100%(0/20 Byte)"));
        QCOMPARE(f.host.statusLines.last(), QString("'a' 다운로드중"));
        QCOMPARE(f.host.folderLines.last(), f.saveRoot);

        f.service.stop();
        EngineFixture g("entries2");
        g.addFile("a", 1);
        g.addFile("b", 1);
        QVERIFY(g.startService());
        g.process("Vaultry_downloader_Manager|a??b?|kim|");
        QCOMPARE(g.engine->table().count(), 1);
        // Another command word is ignored; unknown entries are skipped like "Null".
        g.process("Vaultry_uploader_Manager|b?|kim|");
        g.process("Vaultry_downloader_Manager|nothing-here?b?|kim|");
        QCOMPARE(g.engine->table().count(), 2);
        QCOMPARE(g.engine->table().record(1).entry, QByteArray("b"));
    }

    void listLimitAndRefusedDownload() {
        EngineFixture f("limit");
        QStringList names;
        for (int i = 0; i < 181; ++i) {
            names << QString("f%1").arg(i, 3, 10, QChar('0'));
            f.addFile(names.last(), 1);
        }
        QVERIFY(f.startService());
        f.process(EngineFixture::request(names.mid(0, 170)));
        QCOMPARE(f.engine->table().count(), 170);
        f.process(EngineFixture::request(names.mid(170, 11)));
        QCOMPARE(f.engine->table().count(), 170);
        QVERIFY(f.host.hasMessage(
            "추가할수 있는 파일의 개수를 초과할수 없습니다.\n총개수 : 180개 제한"));
        f.process(EngineFixture::request(names.mid(170, 10)));
        QCOMPARE(f.engine->table().count(), 180);

        f.service.stop();
        EngineFixture g("refused");
        g.addFile("x", 5);
        QVERIFY(g.startService({"--download-reply", "Busy"}));
        g.process(EngineFixture::request({"x"}));
        QCOMPARE(g.engine->table().count(), 0);
        QVERIFY(g.host.messages.isEmpty());
    }

    void batchDownloadsByteExactInOrder() {
        EngineFixture f("batch");
        const QString korean = QString::fromUtf8("한글 이름.txt");
        QMap<QString, QByteArray> files;
        files["empty.dat"] = f.addFile("empty.dat", 0);
        files["top.bin"] = f.addFile("top.bin", 3 * 1024 * 1024 + 17);
        files["docs/deep/nested.txt"] = f.addFile("docs/deep/nested.txt", 4097);
        files[korean] = f.addFile(korean, 777);
        QVERIFY(f.startService());
        SettingsStore::WriteInt(SettingKey::DownAutostart, 1);
        const QStringList order = {"top.bin", "empty.dat", "docs/deep/nested.txt", korean};
        f.process(EngineFixture::request(order));
        QCOMPARE(f.engine->table().count(), 4);
        QCOMPARE(f.engine->table().record(2).folder, QDir(f.saveRoot).filePath("docs/deep"));
        QVERIFY(f.finished());
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            QCOMPARE(f.saved(it.key()), it.value());
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(f.stateText(i), QString("완료"));
            QCOMPARE(f.engine->table().record(i).state, RowState::Done);
        }
        // Status lines name the files in list order.
        QStringList started;
        for (const QString& line : f.host.statusLines)
            if (started.isEmpty() || started.last() != line)
                started << line;
        QCOMPARE(started.mid(started.size() - 4),
                 (QStringList{"'top.bin' 다운로드중", "'empty.dat' 다운로드중",
                              "'nested.txt' 다운로드중", "'" + korean + "' 다운로드중"}));
        QVERIFY(!f.engine->isRunning());
        QVERIFY(!f.host.running);
        QVERIFY(f.host.topmost > 0);
        QCOMPARE(f.host.remaining.last(), QString("전송완료"));
        QCOMPARE(f.host.totalCaption, ProgressCaption(3 * 1024 * 1024 + 17 + 4097 + 777,
                                                      3 * 1024 * 1024 + 17 + 4097 + 777));
        QVERIFY(f.clock->starts.contains({TransferEngineBase::kDisplayTimer, 500}));
        // Pressing start with nothing pending runs the completion actions at once.
        f.host.messages.clear();
        f.engine->toggle();
        QVERIFY(f.host.hasMessage("모든 파일이 전송완료되었습니다."));
    }

    void fileOverModes() {
        EngineFixture f("fileover");
        const QByteArray source = f.addFile("five.bin", 5000);
        QVERIFY(f.startService({}));
        const QString local = QDir(f.saveRoot).filePath("five.bin");
        const QByteArray foreignHead(1000, 'Z'); // proves which bytes were kept
        auto prepare = [&](int mode, const QByteArray& existing) {
            SettingsStore::WriteInt(SettingKey::DownFileOver, mode);
            QFile out(local);
            out.open(QIODevice::WriteOnly);
            out.write(existing);
            out.close();
            f.host.messages.clear();
            f.makeEngine();
            SettingsStore::WriteInt(SettingKey::DownAutostart, 1);
            f.process(EngineFixture::request({"five.bin"}));
        };
        // 3: resume at the local size, only the missing 4000 bytes are appended.
        prepare(3, foreignHead);
        QVERIFY(f.finished());
        QCOMPARE(f.saved("five.bin"), foreignHead + source.mid(1000));
        // 1: start again from byte 0.
        prepare(1, foreignHead);
        QVERIFY(f.finished());
        QCOMPARE(f.saved("five.bin"), source);
        // Any other stored value resumes.
        prepare(7, foreignHead);
        QVERIFY(f.finished());
        QCOMPARE(f.saved("five.bin"), foreignHead + source.mid(1000));
        // 2: ask; "resume" keeps the local part, "overwrite" starts again.
        f.host.duplicateAnswers = {MemberAnswer::Resume};
        prepare(2, foreignHead);
        QVERIFY(f.finished());
        QCOMPARE(f.host.duplicateQuestions, QStringList{"five.bin"});
        QCOMPARE(f.saved("five.bin"), foreignHead + source.mid(1000));
        f.host.duplicateAnswers = {MemberAnswer::Overwrite};
        prepare(2, foreignHead);
        QVERIFY(f.finished());
        QCOMPARE(f.saved("five.bin"), source);
        // A complete local file completes without data.
        prepare(3, source);
        QVERIFY(f.finished());
        QCOMPARE(f.saved("five.bin"), source);
        QCOMPARE(f.stateText(0), QString("완료"));
        QVERIFY(f.service.log().contains("offset=\"1000\""));
        QVERIFY(f.service.waitForLog("offset=\"5000\"", 5000));
        // A local file longer than the server's is not a beginning of it: the file fails
        // at once, the member's file stays as it was, and no success is reported.
        const QByteArray longer = QByteArray(7000, 'Z');
        prepare(3, longer);
        QTRY_COMPARE(f.stateText(0), QString("오류"));
        QVERIFY(!f.engine->isBusy());
        QCOMPARE(f.saved("five.bin"), longer);
        QVERIFY(!f.host.hasMessage("모든 파일이 전송완료되었습니다."));
        QVERIFY(!f.service.log().contains("offset=\"7000\""));
    }

    void completionActions() {
        EngineFixture f("completion");
        f.addFile("one", 100);
        f.addFile("two", 200);
        QVERIFY(f.startService());
        SettingsStore::WriteInt(SettingKey::DownAutostart, 1);

        // "DOWN_Program_end" 2 does not end the program.
        SettingsStore::WriteInt(SettingKey::DownProgramEnd, 2);
        f.process(EngineFixture::request({"one"}));
        QVERIFY(f.finished());
        QCOMPARE(f.host.quits, 0);

        // Exactly 1 ends it through the exit procedure, which signs off and asks nothing.
        SettingsStore::WriteInt(SettingKey::DownProgramEnd, 1);
        f.host.messages.clear();
        f.process(EngineFixture::request({"two"}));
        QTRY_COMPARE_WITH_TIMEOUT(f.host.quits, 1, 20000);
        QVERIFY(f.host.messages.isEmpty());

        // Shutting down wins and does nothing else.
        SettingsStore::WriteInt(SettingKey::DownSystemEnd, 1);
        QFile::remove(QDir(f.saveRoot).filePath("one"));
        f.makeEngine();
        f.process(EngineFixture::request({"one"}));
        QTRY_COMPARE_WITH_TIMEOUT(power_.powerOffs, 1, 20000);
        QCOMPARE(f.host.quits, 1);
        QVERIFY(f.host.messages.isEmpty());
        SettingsStore::WriteInt(SettingKey::DownSystemEnd, 0);
        SettingsStore::WriteInt(SettingKey::DownProgramEnd, 0);

        // "DOWN_List_del": completed rows leave the list.
        SettingsStore::WriteInt(SettingKey::DownListDel, 1);
        f.makeEngine();
        QFile::remove(QDir(f.saveRoot).filePath("one"));
        QFile::remove(QDir(f.saveRoot).filePath("two"));
        f.process(EngineFixture::request({"one", "two"}));
        QVERIFY(f.finished());
        QCOMPARE(f.engine->table().count(), 0);
        QCOMPARE(f.saved("two").size(), 200);
    }

    void exitAsksOnlyWhenUnfinished() {
        EngineFixture f("exit");
        f.addFile("one", 10);
        QVERIFY(f.startService());
        f.process(EngineFixture::request({"one"}));
        f.host.yesNoAnswers = {false};
        f.engine->exitProgram();
        QCOMPARE(f.host.questions.last().caption, QString("종료확인"));
        QTRY_COMPARE(f.host.openCount(), 0);
        QCOMPARE(f.host.quits, 0);
        QVERIFY(!f.engine->isWaitingFor(DownloadEngine::Waiting::ExitAnswer));
        f.host.yesNoAnswers = {true};
        f.engine->exitProgram();
        QTRY_COMPARE(f.host.quits, 1);
        QVERIFY(f.service.waitForLog("@Connect_end", 5000));
    }

    void totalNeverPassesTheWholeList() {
        EngineFixture f("total");
        const QByteArray a = f.addFile("a.bin", 300000);
        f.addFile("b.bin", 200000);
        QVERIFY(f.startService({"--stall-after", "100000", "--stall-connections", "1"}));
        SettingsStore::WriteInt(SettingKey::DownAutostart, 1);
        f.process(EngineFixture::request({"a.bin", "b.bin"}));
        QTRY_COMPARE_WITH_TIMEOUT(f.engine->table().record(0).done, qint64(100000), 10000);
        // Stop "a" part-way, delete "b", start again: "a" completes the list.
        f.engine->toggle();
        QTRY_VERIFY(!f.engine->isBusy());
        f.engine->table().removeRowAt(1);
        f.engine->refreshAfterDelete();
        QCOMPARE(f.host.totalCaption, QString("33%/100%(100,000/300,000 Byte)"));
        f.engine->toggle();
        QVERIFY(f.finished());
        QCOMPARE(f.saved("a.bin"), a);
        QCOMPARE(f.host.totalCaption, QString("100%/100%(300,000/300,000 Byte)"));
        QCOMPARE(f.host.totalPosition, 1000);
    }

    void nothingTransferredIsNeverReportedAsDone() {
        const QString allDone("모든 파일이 전송완료되었습니다.");
        const QString cannot("파일전송 서버에 접속할수 없습니다.");
        {
            // No file server at all: the connection boxes, and no word of success.
            EngineFixture f("unreachable");
            SettingsStore::WriteInt(SettingKey::DownAutostart, 1);
            f.process(EngineFixture::request({"x"}));
            QCOMPARE(f.host.countOf(cannot), 2);
            QVERIFY(!f.host.hasMessage(allDone));
            QVERIFY(!f.engine->isRunning());
        }
        {
            // A refused list and a list over the limit add nothing: nothing to report either.
            EngineFixture f("refusals");
            f.addFile("x", 5);
            QVERIFY(f.startService({"--download-reply", "Busy"}));
            SettingsStore::WriteInt(SettingKey::DownAutostart, 1);
            f.process(EngineFixture::request({"x"}));
            QStringList many;
            for (int i = 0; i < 181; ++i)
                many << QString("f%1").arg(i);
            f.process(EngineFixture::request(many));
            QVERIFY(!f.host.hasMessage(allDone));
            QCOMPARE(f.host.messages.size(), 1); // the limit's own box
        }
        {
            // Rows an earlier list completed do not make a later, empty request a success;
            // a start the member presses on the finished list still says it is all done.
            EngineFixture f("after-earlier");
            f.addFile("a.txt", 1000);
            QVERIFY(f.startService({}));
            SettingsStore::WriteInt(SettingKey::DownAutostart, 1);
            f.process(EngineFixture::request({"a.txt"}));
            QVERIFY(f.finished());
            QCOMPARE(f.host.countOf(allDone), 1);
            f.process(EngineFixture::request({"missing.txt"}));
            QTRY_VERIFY(!f.engine->isBusy());
            f.service.stop();
            f.process(EngineFixture::request({"other.txt"}));
            QTRY_VERIFY(!f.engine->isBusy());
            QCOMPARE(f.host.countOf(allDone), 1);
            f.engine->toggle();
            QCOMPARE(f.host.countOf(allDone), 2);
        }
    }

    void nextFileStartsWhenTheWorkerEnds() {
        // The display tick is set to minutes here: the list still runs file after file,
        // because each worker's end moves it on, not a tick.
        EngineFixture f("pacing");
        QStringList names;
        QMap<QString, QByteArray> files;
        for (int i = 0; i < 20; ++i) {
            names << QString("small-%1.bin").arg(i, 2, 10, QChar('0'));
            files[names.last()] = f.addFile(names.last(), 1000 + 37 * i);
        }
        QVERIFY(f.startService());
        f.clock->scale = 1000.0;
        SettingsStore::WriteInt(SettingKey::DownAutostart, 1);
        int completions = 0;
        QStringList completedRows;
        connect(&f.engine->table(), &QAbstractItemModel::dataChanged, this,
                [&](const QModelIndex& at) {
                    if (at.column() == TransferTable::StateColumn &&
                        at.data().toString() == QString("완료"))
                        completedRows << QString::number(at.row());
                });
        f.process(EngineFixture::request(names));
        QVERIFY(f.finished());
        completions = int(completedRows.size());
        QCOMPARE(completions, 20); // each file's completion handled once
        for (int i = 0; i < 20; ++i) {
            QCOMPARE(completedRows[i], QString::number(i)); // in list order
            QCOMPARE(f.saved(names[i]), files[names[i]]);
        }
        QCOMPARE(f.service.log().count("header ext="), 20);
        QCOMPARE(f.host.countOf("모든 파일이 전송완료되었습니다."), 1);
    }

    void hugeSizesInCaptions() {
        EngineFixture f("huge");
        const QString path = QDir(f.source).filePath("big.iso");
        QFile big(path);
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(Q_INT64_C(5) * 1024 * 1024 * 1024)); // sparse
        big.close();
        QVERIFY(f.startService());
        f.process(EngineFixture::request({"big.iso"}));
        QCOMPARE(f.engine->table().record(0).size, Q_INT64_C(5368709120));
        QCOMPARE(f.engine->table().text(0, TransferTable::SizeColumn), QString("5.0GB"));
        QCOMPARE(f.host.totalCaption, QString("0%/100%(0/5,368,709,120 Byte)"));
    }
};

QTEST_GUILESS_MAIN(TestDownloadEngine)
#include "TestDownloadEngine.moc"
