// vaultry-pagectl: the page control for browsers, and what the service's web page does
// through its control window, for trying the clients without the page.
//
//   vaultry-pagectl page [--state DIR] LINK
//   vaultry-pagectl serve [--download-command TEXT]... [--upload-command TEXT]... [--once]
//   vaultry-pagectl send --class NAME --tag N TEXT
//   vaultry-pagectl allow KEY PATH...
//
// page is the handler of "vastrelle-page://<decimal codes>/" links (res/vastrelle-page.desktop):
// it carries out the page action the link holds (PageSession.h) and ends; it shows boxes and
// the file chooser, so it runs a QApplication (VAULTRY_MODAL_LOG answers the boxes and
// VAULTRY_CHOSEN_FILES the chooser, FileChooser.h). It exits 0 when the work was handed over
// or the member cancelled the chooser, 1 when a box told why not or there is no display, 2 on
// a usage error. --help and --version answer on standard output. An upload list is registered
// with the token the file service keeps in its state folder: the service's default folder, or
// DIR for a service started with --state DIR.
//
// Texts are given in UTF-8 and travel as code page 949 bytes with a terminating NUL.
// send exits 0 when the window answered, 1 when no window of that class exists, 2 on any
// other failure. serve --once exits 0 after one announcement was answered with every
// command delivered, 2 when a command was not delivered or the class cannot be registered.
// allow records that the member chose these files for the upload list KEY (the upload client
// reads no other file for it); it exits 0, or 2 when a path is not a regular file.
#include "core/ProgramStart.h"
#include "core/TextCodec.h"
#include "core/UploadChoices.h"
#include "core/WindowBus.h"
#include "pagectl/PageControl.h"
#include "pagectl/PageSession.h"
#include "pagectl/UploadRegistration.h"
#include "ui/DesktopApplication.h"

#include <QApplication>
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <optional>

namespace {

constexpr int kExitDelivered = 0;
constexpr int kExitNoWindow = 1;
constexpr int kExitError = 2;

const char kUsage[] = "usage: vaultry-pagectl page [--state DIR] LINK\n"
                      "       vaultry-pagectl serve [--download-command TEXT]... "
                      "[--upload-command TEXT]... [--once]\n"
                      "       vaultry-pagectl send --class NAME --tag N TEXT\n"
                      "       vaultry-pagectl allow KEY PATH...\n";

void usage() {
    std::fputs(kUsage, stderr);
}

int fail(const QString& why) {
    std::fprintf(stderr, "vaultry-pagectl: %s\n", qPrintable(why));
    return kExitError;
}

// The wire bytes of a command; nothing when a character has no code page 949 form, so that
// a command never goes out with question marks in place of what was asked for.
std::optional<QByteArray> wireText(const QString& text) {
    const QByteArray bytes = ToCp949(text);
    if (FromCp949(bytes) != text || bytes.contains('\0'))
        return std::nullopt;
    return bytes;
}

int serve(const QStringList& args) {
    QList<QByteArray> download, upload;
    bool once = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--once")) {
            once = true;
            continue;
        }
        const bool isDownload = a == QLatin1String("--download-command");
        if (!isDownload && a != QLatin1String("--upload-command")) {
            usage();
            return fail(QStringLiteral("unknown argument \"%1\"").arg(a));
        }
        if (i + 1 >= args.size()) {
            usage();
            return fail(QStringLiteral("%1 needs a text").arg(a));
        }
        const auto bytes = wireText(args[++i]);
        if (!bytes)
            return fail(QStringLiteral("\"%1\" cannot be written in code page 949").arg(args[i]));
        (isDownload ? download : upload).append(*bytes);
    }

    PageControl control(download, upload, once);
    if (!control.isRegistered())
        return fail(QStringLiteral("cannot register VAULtry_AX_EXE on the window bus"));
    int code = kExitDelivered;
    QObject::connect(&control, &PageControl::served, QCoreApplication::instance(),
                     [&code](bool ok) {
                         code = ok ? kExitDelivered : kExitError;
                         QCoreApplication::exit(code);
                     });
    LogLine(QStringLiteral("ready %1").arg(control.endpoint()));
    QCoreApplication::exec();
    return code;
}

int send(const QStringList& args) {
    QString className, tagText, text;
    bool haveText = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if ((a == QLatin1String("--class") || a == QLatin1String("--tag")) && i + 1 < args.size()) {
            (a == QLatin1String("--class") ? className : tagText) = args[++i];
        } else if (!a.startsWith(QLatin1String("--")) && !haveText) {
            text = a;
            haveText = true;
        } else {
            usage();
            return fail(QStringLiteral("unexpected argument \"%1\"").arg(a));
        }
    }
    if (className.isEmpty() || tagText.isEmpty() || !haveText) {
        usage();
        return kExitError;
    }
    bool numeric = false;
    const quint32 tag = tagText.toUInt(&numeric, 10);
    if (!numeric)
        return fail(QStringLiteral("bad tag \"%1\"").arg(tagText));
    auto bytes = wireText(text);
    if (!bytes)
        return fail(QStringLiteral("\"%1\" cannot be written in code page 949").arg(text));

    const QString endpoint = WindowBus::findWindow(className);
    if (endpoint.isEmpty()) {
        std::fprintf(stderr, "vaultry-pagectl: no window of class %s\n", qPrintable(className));
        return kExitNoWindow;
    }
    bytes->append('\0');
    const auto answer = WindowBus::send(endpoint, tag, QString(), *bytes);
    if (!answer)
        return fail(QStringLiteral("%1 did not answer").arg(endpoint));
    LogLine(QStringLiteral("delivered to %1 (answer %2)").arg(endpoint).arg(*answer));
    return kExitDelivered;
}

int allow(const QStringList& args) {
    if (args.size() < 2) {
        usage();
        return kExitError;
    }
    const auto key = wireText(args[0]);
    if (!key || key->isEmpty())
        return fail(QStringLiteral("\"%1\" cannot be a list key").arg(args[0]));
    QString error;
    if (!UploadChoices::record(*key, args.mid(1), &error))
        return fail(error);
    LogLine(QStringLiteral("allowed %1 file(s) for %2").arg(args.size() - 1).arg(args[0]));
    return kExitDelivered;
}

int page(int argc, char** argv) {
    if (!BeginDisplayStart(argc, argv, QStringLiteral("vaultry-pagectl")))
        return kExitNoWindow;
    QApplication app(argc, argv);
    EndDisplayStart();
    QApplication::setApplicationName(QStringLiteral("vaultry-pagectl"));
    QApplication::setQuitOnLastWindowClosed(false);
    SetUpDesktopApplication(DesktopId::PageControl);
    QStringList args = QCoreApplication::arguments().mid(2);
    if (args.size() == 3 && args[0] == QLatin1String("--state") && !args[1].isEmpty()) {
        SetServiceStateFolder(args[1]);
        args = args.mid(2);
    }
    if (args.size() != 1) {
        usage();
        return kExitError;
    }
    return RunPageLink(args[0]);
}

} // namespace

int main(int argc, char** argv) {
    const ProgramInfo info{
        QStringLiteral("vaultry-pagectl"),
        QStringLiteral(
            "The page control for browsers and scripts.\n\n"
            "  page [--state DIR] LINK\n"
            "                carry out a vastrelle-page:// link of the service's web page\n"
            "                (file chooser, download or upload hand-off); an upload list is\n"
            "                registered with the token in the file service's state folder\n"
            "                (its default, or DIR)\n"
            "  serve [--download-command TEXT]... [--upload-command TEXT]... [--once]\n"
            "                answer the clients' announcements with manager commands\n"
            "  send --class NAME --tag N TEXT\n"
            "                send one command to a running client\n"
            "  allow KEY PATH...\n"
            "                record the member's choice of files for an upload list"),
        {{QStringLiteral("command"), QStringLiteral("page, serve, send or allow.")},
         {QStringLiteral("[arguments...]"), QStringLiteral("The command's arguments.")}}};
    if (const auto answered = AnswerHelpOrVersion(argc, argv, info))
        return *answered;
    QuietToolkitLogging();
    // Only the page control shows anything; the others run without a display.
    if (argc > 1 && qstrcmp(argv[1], "page") == 0)
        return page(argc, argv);
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        usage();
        return kExitError;
    }
    if (args[0] == QLatin1String("serve"))
        return serve(args.mid(1));
    if (args[0] == QLatin1String("send"))
        return send(args.mid(1));
    if (args[0] == QLatin1String("allow"))
        return allow(args.mid(1));
    usage();
    return kExitError;
}
