#include "core/Formats.h"
#include "core/LaunchLink.h"
#include "core/StringSplitter.h"
#include "core/TextCodec.h"
#include "core/WireNumbers.h"
#include "tests/support/TestEnvironment.h"

#include <QtTest>

class TestText : public QObject {
    Q_OBJECT
private slots:
    void splitterPiecesAndEmptyPieces() {
        StringSplitter s("|");
        s.split("a||b|");
        QCOMPARE(s.count(), 4u);
        QCOMPARE(s.piece(0), QByteArray("a"));
        QCOMPARE(s.piece(1), QByteArray(""));
        QCOMPARE(s.piece(2), QByteArray("b"));
        QCOMPARE(s.piece(3), QByteArray(""));
        QCOMPARE(s.piece(4), QByteArray(""));
        QCOMPARE(s.piece(-1), QByteArray(""));

        s.split("|x");
        QCOMPARE(s.count(), 2u);
        QCOMPARE(s.piece(0), QByteArray(""));
        s.split("no separator");
        QCOMPARE(s.count(), 1u);
        QCOMPARE(s.piece(0), QByteArray("no separator"));

        StringSplitter slashes("//");
        slashes.split("a///b");
        QCOMPARE(slashes.count(), 2u); // no overlapping matches
        QCOMPARE(slashes.piece(1), QByteArray("/b"));
    }

    void splitterKeepsTheRestBeyond500Pieces() {
        QByteArray text;
        for (int i = 0; i < 600; ++i)
            text += QByteArray::number(i) + ",";
        StringSplitter s(",");
        s.split(text);
        QCOMPARE(s.count(), 500u);
        QCOMPARE(s.piece(498), QByteArray("498"));
        QVERIFY(s.piece(499).startsWith("499,500,"));
        QVERIFY(s.piece(499).endsWith("599,"));

        StringSplitter longSeparator(QByteArray(80, '-'));
        longSeparator.split(QByteArray(51, '-') + "x" + QByteArray(51, '-'));
        QCOMPARE(longSeparator.count(), 3u); // the separator was cut to 51 bytes
    }

    void wireNumbersReadLikeAtoi() {
        QCOMPARE(ParseWireInt64("  42abc"), 42);
        QCOMPARE(ParseWireInt64("-7"), -7);
        QCOMPARE(ParseWireInt64("+9"), 9);
        QCOMPARE(ParseWireInt64("abc"), 0);
        QCOMPARE(ParseWireInt64(""), 0);
        QCOMPARE(ParseWireInt64("5000000000"), Q_INT64_C(5000000000));
        QCOMPARE(ParseWireInt64("99999999999999999999"), std::numeric_limits<qint64>::max());
        QCOMPARE(ParseWireInt64("-99999999999999999999"), std::numeric_limits<qint64>::min());
        QCOMPARE(ParseWireInt32("5000000000"), std::numeric_limits<int>::max());
    }

    static QByteArray decoded(const QByteArray& argumentText) {
        const LaunchRequest link = DecodeLaunchLink(argumentText);
        return link.kind == LaunchRequest::Kind::Request ? link.request : "<not a request>";
    }
    static bool isNone(const QByteArray& argumentText) {
        return DecodeLaunchLink(argumentText).kind == LaunchRequest::Kind::None;
    }
    static QByteArray codesOf(const QByteArray& bytes) {
        QByteArray codes;
        for (char c : bytes)
            codes += QByteArray::number(int(static_cast<unsigned char>(c))) + ",";
        return codes;
    }

    void launchLinkDecoding() {
        QCOMPARE(decoded("/url vastrelle://65,98,0,99/"), QByteArray("Abc"));
        // "0" and "abc" contribute nothing; 300 is taken modulo 256.
        QCOMPARE(decoded("/url vastrelle://0,abc,300,101/"), QByteArray(",e"));
        // Only zeros: an empty request that still counts.
        QCOMPARE(decoded("/url vastrelle://0,0"), QByteArray());
        QCOMPARE(DownloadManagerCommand(decoded("/url vastrelle://0,0")),
                 QByteArray("Vaultry_downloader_Manager|"));
        // Not recognised: other letter case, nothing after the slashes, no arguments.
        QVERIFY(isNone("/URL vastrelle://65"));
        QVERIFY(isNone("/url VASTRELLE://65"));
        QVERIFY(isNone("/url vastrelle://"));
        QVERIFY(isNone("/url vastrelle:"));
        QVERIFY(isNone("/url vastrelle"));
        QVERIFY(isNone("/url https://65"));
        QVERIFY(isNone(""));
        QVERIFY(isNone("/url"));
        // The payload ends at a following "//"; a word after the link is not part of it.
        QCOMPARE(decoded("/url vastrelle://65,66//67"), QByteArray("AB"));
        QCOMPARE(decoded("/url vastrelle://65,66 67"), QByteArray("AB"));
        // Double-byte characters travel as their two bytes; negative codes wrap like a byte.
        QCOMPARE(decoded("/url vastrelle://199,209,-1"), QByteArray("\xC7\xD1\xFF"));
        // A full request: entries, member and server number.
        QCOMPARE(DownloadManagerCommand(decoded("/url vastrelle://" + codesOf("a.txt?|bob|2"))),
                 QByteArray("Vaultry_downloader_Manager|a.txt?|bob|2"));
    }

    void launchLinksOfRealisticLength() {
        // 180 entries with Korean names in subfolders: several kilobytes of request, tens of
        // kilobytes of link. Every byte comes back, and the member and server survive.
        QByteArray files;
        for (int i = 0; i < 180; ++i)
            files += ToCp949(
                QString::fromUtf8("사진/여름 휴가 %1/가나다라마바사 %2.jpg?").arg(i % 7).arg(i));
        const QByteArray request = files + "|kim|12";
        QVERIFY(request.size() > 5000);
        const QByteArray link = "/url vastrelle://" + codesOf(request) + "/";
        QVERIFY(link.size() > 20000);
        QCOMPARE(decoded(link), request);
        const QByteArray command = DownloadManagerCommand(decoded(link));
        QVERIFY(command.endsWith("|kim|12"));

        // A request beyond the bound is refused whole rather than cut: nothing of it is used.
        QByteArray huge = "/url vastrelle://";
        huge.reserve(4 * kMaxLaunchRequest + 64);
        for (qsizetype i = 0; i <= kMaxLaunchRequest; ++i)
            huge += "65,";
        QCOMPARE(DecodeLaunchLink(huge).kind, LaunchRequest::Kind::Unreadable);
        QVERIFY(DecodeLaunchLink(huge).request.isEmpty());
        // Zeros add nothing, so a long run of them is still a (short) request.
        QByteArray zeros = "/url vastrelle://";
        for (int i = 0; i < 300000; ++i)
            zeros += "0,";
        QCOMPARE(decoded(zeros + "66"), QByteArray("B"));
    }

    // Both clients' commands are read in one place, each with its own rule for a missing "|":
    // the download client leaves the field empty and passes the rest on, the upload client
    // ends the field with the text.
    void managerCommands() {
        using K = ManagerCommand::Kind;
        const struct {
            const char* text;
            K kind;
            const char* list;
            const char* member;
            const char* server;
        } cases[] = {
            {"Vaultry_downloader_Manager|a?b?|kim|1", K::Download, "a?b?", "kim", "1"},
            {"Vaultry_downloader_Manager|a?|kim|1|2", K::Download, "a?", "kim", "1|2"},
            {"Vaultry_downloader_Manager|a?|kim", K::Download, "a?", "", "kim"},
            {"Vaultry_downloader_Manager|a?", K::Download, "", "", "a?"},
            {"Vaultry_downloader_Manager", K::Download, "", "", ""},
            {"Vaultry_uploader_Manager|q|kim|1", K::Upload, "q", "kim", "1"},
            {"Vaultry_uploader_Manager|q|kim|1|2", K::Upload, "q", "kim", "1|2"},
            {"Vaultry_uploader_Manager|q|kim", K::Upload, "q", "kim", ""},
            {"Vaultry_uploader_Manager|q", K::Upload, "q", "", ""},
            {"Vaultry_uploader_Choose|kim|1", K::Other, "", "", ""},
            {"vaultry_downloader_manager|a?|kim|1", K::Other, "", "", ""},
        };
        for (const auto& c : cases) {
            const ManagerCommand read = ReadManagerCommand(c.text);
            QCOMPARE(read.kind, c.kind);
            QCOMPARE(read.list, QByteArray(c.list));
            QCOMPARE(read.memberId, QByteArray(c.member));
            QCOMPARE(read.serverNumber, QByteArray(c.server));
        }
        QCOMPARE(ReadManagerCommand(DownloadManagerCommand("x?|m|3")).request,
                 QByteArray("x?|m|3"));
        QCOMPARE(UploadManagerCommand("k", "m", "3"), QByteArray("Vaultry_uploader_Manager|k|m|3"));
    }

    void sizeAndTimeFormats() {
        const QList<QPair<qint64, QString>> sizes = {
            {0, "0.0Byte"},      {999, "999.0Byte"},    {1000, "1.0KB"},         {1536, "1.5KB"},
            {99999, "97.7KB"},   {100000, "97.0KB"},    {123456, "120.0KB"},     {1048575, "1.0MB"},
            {10000000, "9.5MB"}, {1073741824, "1.0GB"}, {5000000000LL, "4.7GB"}, {-5, "-5.0Byte"}};
        for (const auto& [bytes, text] : sizes)
            QCOMPARE(FormatSize(bytes), text);
        QCOMPARE(FormatTime(0), QString("00:00:00"));
        QCOMPARE(FormatTime(59), QString("00:00:59"));
        QCOMPARE(FormatTime(3600), QString("01:00:00"));
        QCOMPARE(FormatTime(3599), QString("00:59:59"));
        QCOMPARE(FormatTime(86400), QString("24:00:00"));
    }

    void progressFigures() {
        QCOMPARE(GroupDigits(0), QString("0"));
        QCOMPARE(GroupDigits(999), QString("999"));
        QCOMPARE(GroupDigits(1234567), QString("1,234,567"));
        QCOMPARE(GroupDigits(-1234), QString("-1,234"));
        QCOMPARE(ProgressCaption(500, 1000), QString("50%/100%(500/1,000 Byte)"));
        QCOMPARE(ProgressCaption(0, 0), QString("0%/100%(0/0 Byte)"));
        QCOMPARE(ProgressCaption(50, 99), QString("50%/100%(50/99 Byte)")); // total/100 = 0 -> 1
        QCOMPARE(ProgressCaption(3072, 3072), QString("100%/100%(3,072/3,072 Byte)"));
        QCOMPARE(ProgressPercent(3050, 3072), 100); // 3050 / 30 would be 101
        // Below 100 bytes the share is exact: a whole 3-byte file used to read "3%".
        QCOMPARE(ProgressCaption(3, 3), QString("100%/100%(3/3 Byte)"));
        QCOMPARE(ProgressPercent(1, 4), 25);
        const qint64 big = Q_INT64_C(6000000000);
        QCOMPARE(ProgressCaption(big / 2, big),
                 QString("50%/100%(3,000,000,000/6,000,000,000 Byte)"));
        QCOMPARE(ProgressBarPosition(0, 0), 0);
        QCOMPARE(ProgressBarPosition(1, 3), 333);
        QCOMPARE(ProgressBarPosition(big / 2, big), 500);
        QCOMPARE(ProgressBarPosition(big, big), 1000);
        QCOMPARE(ProgressBarPosition(big * 2, big), 1000);
        QCOMPARE(
            ProgressBarPosition(Q_INT64_C(9000000000000000000) / 2, Q_INT64_C(9000000000000000000)),
            500);
    }

    void nameShortening() {
        QCOMPARE(ShortenName("short.txt", 30), QByteArray("short.txt"));
        const QByteArray ascii(31, 'a');
        QCOMPARE(ShortenName(ascii, 30), QByteArray(30, 'a') + "...");
        QCOMPARE(ShortenName(QByteArray(30, 'a'), 30), QByteArray(30, 'a'));
        // 29 ASCII bytes and a Korean character: the 30th byte starts the character, so the
        // cut keeps 29 bytes.
        const QByteArray korean = ToCp949(QString::fromUtf8("한글"));
        QCOMPARE(korean.size(), 4);
        QCOMPARE(ShortenName(QByteArray(29, 'a') + korean, 30), QByteArray(29, 'a') + "...");
        QCOMPARE(ShortenName(QByteArray(28, 'a') + korean, 30),
                 QByteArray(28, 'a') + korean.left(2) + "...");
        // A run of double-byte characters counted from the start of the name.
        const QByteArray allKorean = ToCp949(QString(16, QChar(0xD55C)));
        QCOMPARE(ShortenName(allKorean, 30), allKorean.left(30) + "...");
        QCOMPARE(CutName(QByteArray(31, 'b'), 30), QByteArray(30, 'b') + "...");
        QCOMPARE(FromCp949(korean), QString::fromUtf8("한글"));
        // ASCII stays ASCII both ways: folder separators must survive.
        QCOMPARE(ToCp949("a\\b~"), QByteArray("a\\b~"));
        QCOMPARE(FromCp949("a\\b~"), QString("a\\b~"));
    }
};

QTEST_GUILESS_MAIN(TestText)
#include "TestText.moc"
