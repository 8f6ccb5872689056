#include "tests/download/EngineFixture.h"
#include "tests/upload/UploadFixture.h"
#include "upload/engine/UploadTexts.h"

#include <QtTest>

// What the clients show when the file server closes their control connection instead of
// answering: a server that is full and turns them away, or one that cuts them off part-way.
// Either is said in a box; neither may end the request quietly.
namespace {

const QString kCannotConnect = QStringLiteral("파일전송 서버에 접속할수 없습니다.");

template <class Host> QStringList captionsOf(const Host& host, const QString& text) {
    QStringList captions;
    for (const auto& m : host.messages)
        if (m.text == text)
            captions << m.caption;
    return captions;
}

} // namespace

class TestRefusedExchanges : public QObject {
    Q_OBJECT

private slots:
    void downloadClientSaysSo() {
        {
            // Every control connection closed at once: the sign-on and the listing each say
            // so, as when no connection can be made at all.
            EngineFixture f("download-refused");
            f.addFile("a.txt", 10);
            QVERIFY(f.startService({"--close-after", "0"}));
            SettingsStore::WriteInt(SettingKey::DownAutostart, 1);
            f.process(EngineFixture::request({"a.txt"}));
            QCOMPARE(captionsOf(f.host, kCannotConnect),
                     QStringList(2, QStringLiteral("다운로더 (오류)")));
            QCOMPARE(f.engine->table().count(), 0);
            QVERIFY(!f.engine->isRunning());
        }
        {
            // The listing connection cut after its first entry: the others are counted.
            EngineFixture f("download-cut");
            for (const char* name : {"one", "two", "three"})
                f.addFile(name, 5);
            QVERIFY(f.startService({"--close-after", "3"}));
            f.process(EngineFixture::request({"one", "two", "three"}));
            QCOMPARE(f.engine->table().count(), 1);
            QVERIFY(
                f.host.hasMessage("서버의 응답이 없어 2개의 파일을 목록에 추가하지 못했습니다."));
            QVERIFY(!f.host.hasMessage(kCannotConnect));
        }
    }

    void uploadClientSaysSo() {
        {
            // The member check turned away: one box, and nothing more is asked.
            UploadFixture f("upload-refused");
            f.addFile("a.bin", 10);
            QVERIFY(f.startService({"--close-after", "0"}));
            f.process(UploadFixture::command());
            QCOMPARE(captionsOf(f.host, kCannotConnect),
                     QStringList{UploadText::applicationTitle()});
            QCOMPARE(f.engine->table().count(), 0);
            QCOMPARE(f.service.log().count("closed at once"), 1);
        }
        {
            // The listing cut after the first record and its fingerprint: what came is listed,
            // and the member is told the list is not whole.
            UploadFixture f("upload-cut");
            f.addFile("a.bin", 10);
            f.addFile("b.bin", 20);
            QVERIFY(f.startService({"--close-after", "4"}));
            SettingsStore::WriteInt(SettingKey::UpAutostart, 0);
            f.process(UploadFixture::command());
            QCOMPARE(f.engine->table().count(), 1);
            QCOMPARE(captionsOf(f.host, UploadText::listCutShort()),
                     QStringList{UploadText::errorCaption()});
            QVERIFY(!f.host.hasMessage(kCannotConnect));
        }
    }
};

QTEST_GUILESS_MAIN(TestRefusedExchanges)
#include "TestRefusedExchanges.moc"
