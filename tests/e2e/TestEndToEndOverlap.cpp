#include "tests/support/FileServiceProcess.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSettings>
#include <QtTest>

// The real programs against a file service whose every control reply comes late: files start
// while their listing goes on, the next file's connection is opened ahead and notices go
// beside the next file, yet every file arrives whole and every connection carries exactly
// the exchange it carried when everything ran one after another.
class TestEndToEndOverlap : public QObject {
    Q_OBJECT
    QString source_, save_, store_, boxLog_;

    QByteArray addFile(const QString& name, int size) {
        QByteArray bytes(size, Qt::Uninitialized);
        for (int i = 0; i < size; ++i)
            bytes[i] = char(QRandomGenerator::global()->bounded(256));
        QFile f(QDir(source_).filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return bytes;
    }
    static QByteArray read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QString boxes() const { return QString::fromUtf8(read(boxLog_)).remove("<missing>"); }

    std::unique_ptr<QProcess> client(const QString& program, const QStringList& args = {}) {
        return TestEnvironment::startClient(program, args, boxLog_);
    }

    static void setting(const char* key, const QVariant& value) {
        QSettings s("Vastrelle", "Shuttlebox");
        s.setValue(QString("Config/") + key, value);
    }

    // The service's log by connection: each connection's exchanges ("what -> reply" lines,
    // the "what" part) and header lines, in order.
    static QMap<QString, QStringList> byConnection(const QString& log) {
        QMap<QString, QStringList> out;
        static const QRegularExpression line(R"(^(\w+#\d+) (.*)$)");
        for (const QString& l : log.split('\n')) {
            const auto m = line.match(l);
            if (!m.hasMatch())
                continue;
            const QString rest = m.captured(2);
            if (rest.contains(" -> "))
                out[m.captured(1)] << rest.left(rest.indexOf(" -> "));
            else if (rest.startsWith("header ") || rest.contains("incomplete"))
                out[m.captured(1)] << rest;
        }
        return out;
    }
    // A data connection either carried one file's whole header, or nothing at all (one
    // opened ahead and never needed).
    static void checkDataConnections(const QMap<QString, QStringList>& connections,
                                     const QString& prefix, int files) {
        int withHeader = 0;
        for (auto it = connections.cbegin(); it != connections.cend(); ++it) {
            if (!it.key().startsWith(prefix))
                continue;
            const QStringList& lines = it.value();
            // The header, and for an upload the offset it was answered.
            QVERIFY2(lines.size() == (prefix == "ul#" ? 2 : 1) ||
                         lines.first().contains("(0 of 20480 bytes"),
                     qPrintable(lines.join(" | ")));
            if (lines.first().startsWith("header "))
                ++withHeader;
            else
                QVERIFY2(lines.size() == 1 && lines.first().contains("(0 of 20480 bytes"),
                         qPrintable(lines.first()));
        }
        QCOMPARE(withHeader, files);
    }

private slots:
    void init() {
        TestEnvironment::prepare();
        source_ = TestEnvironment::scratch("overlap-source");
        save_ = TestEnvironment::scratch("overlap-save");
        store_ = TestEnvironment::scratch("overlap-store");
        boxLog_ = TestEnvironment::scratch("overlap-boxes") + "/boxes.log";
        setting("User_Config", 1);
        setting("Default_folder", save_);
        setting("Default_folder_use", 1);
        setting("DOWN_File_over", 1);
        setting("DOWN_Autostart", 1);
        setting("DOWN_Program_end", 1);
        setting("UP_Autostart", 1);
        setting("UP_Program_end", 1);
    }

    void downloadOverASlowServer() {
        QMap<QString, QByteArray> files;
        QByteArray entries;
        QStringList listing{"\"@Download\"", "\"@Server1\""};
        for (int i = 0; i < 8; ++i) {
            const QString name = QString("f%1.bin").arg(i);
            files[name] = addFile(name, 20000 + i * 1000);
            entries += name.toLatin1() + "?";
            listing << "entry \"" + name + "\"";
        }
        FileServiceProcess service(TestEnvironment::address());
        QVERIFY(service.start({"--root", source_, "--member", "kim", "--delay-ms", "40"}));
        auto p =
            client("Vaultry_DOWN", {"/url", [&] {
                                        QStringList codes;
                                        for (char c : entries + "|kim|1")
                                            codes << QString::number(static_cast<unsigned char>(c));
                                        return "vastrelle://" + codes.join(',') + "/";
                                    }()});
        QVERIFY(p->waitForFinished(60000));
        QCOMPARE(p->exitCode(), 0);
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            QVERIFY2(read(save_ + "/" + it.key()) == it.value(), qPrintable(it.key()));
        QVERIFY2(boxes().isEmpty(), qPrintable(boxes()));

        const auto connections = byConnection(service.log());
        QList<QStringList> control;
        for (auto it = connections.cbegin(); it != connections.cend(); ++it) {
            if (it.key().startsWith("ctl"))
                control << it.value();
        }
        // Sign-on, listing, sign-off: each on its own connection, as before.
        QCOMPARE(control.size(), 3);
        QVERIFY(control.contains(listing));
        checkDataConnections(connections, "dl#", 8);
        QCOMPARE(service.log().count("offset=\"0\""), 8);
    }

    void uploadOverASlowServer() {
        const QString pagectl = TestEnvironment::binary("vaultry-pagectl");
        QMap<QString, QByteArray> files;
        QStringList paths;
        for (int i = 0; i < 6; ++i) {
            const QString name = QString("u%1.bin").arg(i);
            files[name] = addFile(name, 20000 + i * 1000);
            paths << QDir(source_).filePath(name);
        }
        FileServiceProcess service(TestEnvironment::address());
        QVERIFY(service.start({"--member", "kim", "--store", store_, "--delay-ms", "40",
                               "--upload-list", "list9=" + paths.join(',')}));
        QCOMPARE(QProcess::execute(pagectl, QStringList{"allow", "list9"} + paths), 0);
        QProcess page;
        page.setProcessChannelMode(QProcess::MergedChannels);
        page.start(pagectl,
                   {"serve", "--upload-command", "Vaultry_uploader_Manager|list9|kim|1", "--once"});
        QVERIFY(page.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QDir(qEnvironmentVariable("XDG_RUNTIME_DIR") + "/vaultry")
                                         .entryList({"VAULtry_AX_EXE.*"}, QDir::System)
                                         .size() == 1,
                                 10000);
        auto p = client("Vaultry_UPLOAD");
        QVERIFY(p->waitForFinished(60000));
        QCOMPARE(p->exitCode(), 0);
        QVERIFY(page.waitForFinished(10000));
        // Every notice got through (the program's end waited for those under way).
        for (int i = 1; i <= 6; ++i)
            QVERIFY(service.waitForLog(QString("upload complete: file %1").arg(1000 + i), 5000));
        QTRY_COMPARE_WITH_TIMEOUT(service.log().count("(matches)"), 6, 10000);
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            QVERIFY2(read(store_ + "/" + it.key()) == it.value(), qPrintable(it.key()));
        QVERIFY2(boxes().isEmpty(), qPrintable(boxes()));

        const auto connections = byConnection(service.log());
        int notices = 0;
        bool listed = false;
        for (auto it = connections.cbegin(); it != connections.cend(); ++it) {
            const QStringList& c = it.value();
            if (!it.key().startsWith("ctl") || c.isEmpty())
                continue;
            if (c.first() == "\"@Upload_complute\"") {
                // One notice per connection: the command, then the file number.
                QCOMPARE(c.size(), 2);
                ++notices;
            } else if (c.first() == "\"@Upload\"") {
                // "@Upload", the server, then the list key and a fingerprint per file, and the
                // list key once more for its end.
                QCOMPARE(c.size(), 2 + 2 * 6 + 1);
                for (int i = 2; i < c.size(); i += 2)
                    QVERIFY2(c[i].contains("list9"), qPrintable(c[i]));
                listed = true;
            }
        }
        QCOMPARE(notices, 6);
        QVERIFY(listed);
        checkDataConnections(connections, "ul#", 6);
    }
};

QTEST_GUILESS_MAIN(TestEndToEndOverlap)
#include "TestEndToEndOverlap.moc"
