#include "fileservice/Options.h"

#include <QCommandLineParser>

#include <QHash>
#include <QRegularExpression>
#include <arpa/inet.h>

#include <climits>
#include <cstdio>

QString HelpText() {
    return QStringLiteral(
        R"(Usage: vaultry-fileservice [options]

Substitute Vaultry file service: control port 7510, download data port 7301, upload data
port 7312 and web port 7580, all on one address. Prints "listening on <addr>" once every
port is bound. Ctrl-C or SIGTERM ends it.

General:
  --bind ADDR              address to bind (default 127.0.0.1); also the data address
                           named in every reply, unless --data-address names another
  --data-address ADDR      dotted IPv4 address named as the data server in every reply (a
                           proxy in front of the service, say)
  --root DIR               download catalogue: every regular file under DIR; the entry is
                           its path relative to DIR with "/" separators
  --member ID[:CLASS[:PAID_UNTIL[:MEGABYTES]]]
                           a member (repeatable). CLASS: 일반회원 (default), 스페셜정액제,
                           오전정액제, 오후정액제, 심야정액제 (an empty CLASS sends an empty
                           class field). PAID_UNTIL: YYYYMMDDHH (default 2099123123).
                           MEGABYTES: default 10240
  --over-user ID           that id gets "Over_user" (repeatable)
  --upload-list KEY=PATH[,PATH...]
                           files queued for upload under list KEY (repeatable; the same KEY
                           again appends). Give absolute paths: they are sent as given
  --store DIR              where uploaded files are stored by name (default: a temporary
                           folder, removed at exit)
  --state DIR              the service's own state: the secret that file keys, upload tokens
                           and list keys are made from (made on first start, kept; folder
                           0700, file 0600). Default: $XDG_STATE_HOME/vaultry-fileservice,
                           else ~/.local/state/vaultry-fileservice
  --server-number N        server number the homepage's links name (default 1)
  --web-page PATH=FILE     serve FILE at URL PATH, e.g. /app/download.html=alert.html
                           (repeatable; overrides the built-in pages)
  --demo                   sample tree (temporary folder unless --root or --demo-root), the
                           member "demo" (일반회원), the upload list "demo-upload"; prints the
                           launch link and the manager commands
  --demo-root DIR          put the demo's sample tree in DIR (kept; files already there with
                           the right size are not rewritten)
  --quiet                  no log lines (the "listening on" line is still printed)
  --identify-timeout SEC   time a new connection has, in total, to identify itself: a control
                           connection until its first known command, a data connection for
                           all its header blocks, a web request for its head and body
                           (default 10)
  --idle-timeout SEC       silence allowed once a data connection is identified (a download
                           the client does not read, an upload that sends nothing), and for a
                           blocked send (default 60)
  --control-idle-timeout SEC
                           close a control connection that signed a member on and is idle
                           this long (default 3600)
  --listing-idle-timeout SEC
                           close any other control connection (a listing, a sign-off, a
                           completion notice) idle this long (default 5)
  --max-connections N      connections served at once on every port; a newcomer to a full
                           port closes the port's longest-idle connection
  --max-control-connections N, --max-download-connections N,
  --max-upload-connections N, --max-web-connections N
                           the same for one port (defaults 128, 64, 64, 32)
  --help                   this text
  --version                the program's name and version

Fault switches (for tests):
  --cut-after N            close download data connections after N bytes of file data
  --cut-connections K      ... only the first K download data connections (default 0: all)
  --cut-reset              cut with a connection reset instead of a clean close
  --stall-after N          after N bytes of file data keep the download data connection
                           open and send nothing more (until the client closes)
  --stall-connections K    ... only the first K download data connections (default 0: all)
  --overshoot N            after the file's bytes send N more bytes (0xA5) before closing
  --delay-ms N             delay every control reply and every upload offset reply by N ms
  --upload-read-rate N     upload data connections read at most N bytes per second
  --refuse-data MODE       data ports: "close" accepts and closes at once; "nolisten" does
                           not bind 7301 and 7312 at all
  --hang                   read control commands but never reply
  --hang-after N           reply to the first N commands of each control connection, then
                           read but never reply
  --close-after N          reply to the first N commands of each control connection, then
                           close it (0: close every control connection at once, as a full
                           service that refuses it would)
  --hang-on TEXT           read the control command TEXT but never reply to it (e.g.
                           @Connect_end: a sign-off that hangs)
  --garbage-entries        answer every download entry with garbage (rotating: binary noise,
                           "||||", a bare word, bad address and size, a 20480-byte reply)
  --download-reply TEXT    reply TEXT to "@Download" instead of "Ok"
  --upload-reply TEXT      reply TEXT to "@Upload" instead of "Ok"
  --hostile-name TEXT      file replies carry TEXT as the file name (e.g. ../evil or /abs)
  --hostile-folder TEXT    file replies carry TEXT as the subfolder (e.g. ..\..\ or /abs\)
)");
}

namespace {

bool toInt64(const QString& s, int64_t& out) {
    bool ok = false;
    const qlonglong v = s.toLongLong(&ok);
    if (!ok)
        return false;
    out = v;
    return true;
}

// Time-outs are waited for in milliseconds in an int.
constexpr int kMaxTimeoutSec = 2000000;

bool toInt(const QString& s, int& out, int min, int max = INT_MAX) {
    bool ok = false;
    const int v = s.toInt(&ok);
    if (!ok || v < min || v > max)
        return false;
    out = v;
    return true;
}

// The port a "--max-<port>-connections" option caps, or -1.
int portOfCapOption(const QString& name) {
    static const char* const names[kPortKinds] = {
        "--max-control-connections", "--max-download-connections", "--max-upload-connections",
        "--max-web-connections"};
    for (int i = 0; i < kPortKinds; ++i)
        if (name == QLatin1String(names[i]))
            return i;
    return -1;
}

int fail(const QString& message) {
    std::fprintf(stderr, "vaultry-fileservice: %s\n(see --help)\n", message.toUtf8().constData());
    return 2;
}

// Switches without a value, then options with one; every name is used as "--name".
const char* const kSwitches[] = {"demo", "quiet", "hang", "cut-reset", "garbage-entries"};
// clang-format off
const char* const kValued[] = {
    "bind", "data-address", "root", "store", "state", "server-number", "demo-root", "member", "over-user",
    "upload-list", "web-page", "idle-timeout", "control-idle-timeout", "listing-idle-timeout",
    "identify-timeout", "max-connections", "max-control-connections", "max-download-connections",
    "max-upload-connections", "max-web-connections", "cut-after", "cut-connections", "stall-after",
    "stall-connections", "overshoot", "delay-ms", "upload-read-rate", "refuse-data", "hang-after",
    "close-after", "hang-on", "download-reply", "upload-reply", "hostile-name", "hostile-folder",
};
// clang-format on

QString dashed(const QString& name) {
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// Applies one option with its value; 0, or the exit code after the error is printed.
int apply(const QString& option, const QString& v, Options& o) {
    const QString name = dashed(option);
    if (option == QLatin1String("demo")) {
        o.demo = true;
    } else if (option == QLatin1String("quiet")) {
        o.quiet = true;
    } else if (option == QLatin1String("hang")) {
        o.hangAfter = 0;
    } else if (option == QLatin1String("cut-reset")) {
        o.cutReset = true;
    } else if (option == QLatin1String("garbage-entries")) {
        o.garbageEntries = true;
    } else if (name == QLatin1String("--data-address")) {
        in_addr parsed{};
        if (::inet_pton(AF_INET, v.toLatin1().constData(), &parsed) != 1)
            return fail(QStringLiteral("bad --data-address \"%1\" (dotted IPv4)").arg(v));
        o.dataAddress = v;
    } else if (name == QLatin1String("--bind")) {
        o.bind = v;
    } else if (name == QLatin1String("--root")) {
        o.root = v;
    } else if (name == QLatin1String("--store")) {
        o.store = v;
    } else if (name == QLatin1String("--state")) {
        if (v.isEmpty())
            return fail(QStringLiteral("--state needs a folder"));
        o.state = v;
    } else if (name == QLatin1String("--server-number")) {
        static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
        if (!digits.match(v).hasMatch())
            return fail(QStringLiteral("bad --server-number \"%1\" (digits)").arg(v));
        o.serverNumber = v;
    } else if (name == QLatin1String("--demo-root")) {
        o.demoRoot = v;
        o.demo = true;
    } else if (name == QLatin1String("--member")) {
        const QStringList f = v.split(QLatin1Char(':'));
        if (f.size() > 4 || f[0].isEmpty())
            return fail(QStringLiteral("bad --member \"%1\"").arg(v));
        MemberSpec m;
        m.id = f[0];
        m.className = f.size() > 1 ? f[1] : QStringLiteral("일반회원");
        m.paidUntil = f.size() > 2 ? f[2] : QString::fromLatin1(kDefaultPaidUntil);
        m.megabytes = f.size() > 3 ? f[3] : QString::fromLatin1(kDefaultMegabytes);
        o.members.push_back(m);
    } else if (name == QLatin1String("--over-user")) {
        o.overUsers << v;
    } else if (name == QLatin1String("--upload-list")) {
        const int eq = v.indexOf(QLatin1Char('='));
        if (eq <= 0)
            return fail(QStringLiteral("bad --upload-list \"%1\" (KEY=PATH[,PATH...])").arg(v));
        const QString key = v.left(eq);
        QStringList paths = v.mid(eq + 1).split(QLatin1Char(','), Qt::SkipEmptyParts);
        UploadListSpec* list = nullptr;
        for (auto& l : o.uploadLists)
            if (l.key == key)
                list = &l;
        if (!list) {
            o.uploadLists.push_back({key, {}});
            list = &o.uploadLists.back();
        }
        list->paths += paths;
    } else if (name == QLatin1String("--web-page")) {
        const int eq = v.indexOf(QLatin1Char('='));
        if (eq <= 0 || !v.startsWith(QLatin1Char('/')))
            return fail(QStringLiteral("bad --web-page \"%1\" (/PATH=FILE)").arg(v));
        o.webPages.emplace_back(v.left(eq), v.mid(eq + 1));
    } else if (name == QLatin1String("--idle-timeout")) {
        if (!toInt(v, o.idleTimeoutSec, 1, kMaxTimeoutSec))
            return fail(QStringLiteral("bad --idle-timeout \"%1\"").arg(v));
    } else if (name == QLatin1String("--control-idle-timeout")) {
        if (!toInt(v, o.controlIdleTimeoutSec, 1, kMaxTimeoutSec))
            return fail(QStringLiteral("bad --control-idle-timeout \"%1\"").arg(v));
    } else if (name == QLatin1String("--listing-idle-timeout")) {
        if (!toInt(v, o.listingIdleTimeoutSec, 1, kMaxTimeoutSec))
            return fail(QStringLiteral("bad --listing-idle-timeout \"%1\"").arg(v));
    } else if (name == QLatin1String("--identify-timeout")) {
        if (!toInt(v, o.identifyTimeoutSec, 1, kMaxTimeoutSec))
            return fail(QStringLiteral("bad --identify-timeout \"%1\"").arg(v));
    } else if (name == QLatin1String("--max-connections")) {
        int n = 0;
        if (!toInt(v, n, 1))
            return fail(QStringLiteral("bad --max-connections \"%1\"").arg(v));
        for (int& cap : o.maxConnections)
            cap = n;
    } else if (const int port = portOfCapOption(name); port >= 0) {
        if (!toInt(v, o.maxConnections[port], 1))
            return fail(QStringLiteral("bad %1 \"%2\"").arg(name, v));
    } else if (name == QLatin1String("--cut-after")) {
        if (!toInt64(v, o.cutAfter) || o.cutAfter < 0)
            return fail(QStringLiteral("bad --cut-after \"%1\"").arg(v));
    } else if (name == QLatin1String("--cut-connections")) {
        if (!toInt(v, o.cutConnections, 0))
            return fail(QStringLiteral("bad --cut-connections \"%1\"").arg(v));
    } else if (name == QLatin1String("--stall-after")) {
        if (!toInt64(v, o.stallAfter) || o.stallAfter < 0)
            return fail(QStringLiteral("bad --stall-after \"%1\"").arg(v));
    } else if (name == QLatin1String("--stall-connections")) {
        if (!toInt(v, o.stallConnections, 0))
            return fail(QStringLiteral("bad --stall-connections \"%1\"").arg(v));
    } else if (name == QLatin1String("--overshoot")) {
        if (!toInt64(v, o.overshoot) || o.overshoot < 0)
            return fail(QStringLiteral("bad --overshoot \"%1\"").arg(v));
    } else if (name == QLatin1String("--delay-ms")) {
        if (!toInt(v, o.delayMs, 0))
            return fail(QStringLiteral("bad --delay-ms \"%1\"").arg(v));
    } else if (name == QLatin1String("--upload-read-rate")) {
        if (!toInt64(v, o.uploadReadRate) || o.uploadReadRate < 0)
            return fail(QStringLiteral("bad --upload-read-rate \"%1\"").arg(v));
    } else if (name == QLatin1String("--refuse-data")) {
        if (v == QLatin1String("close"))
            o.refuseData = RefuseData::Close;
        else if (v == QLatin1String("nolisten"))
            o.refuseData = RefuseData::NoListen;
        else
            return fail(QStringLiteral("bad --refuse-data \"%1\" (close|nolisten)").arg(v));
    } else if (name == QLatin1String("--hang-after")) {
        if (!toInt(v, o.hangAfter, 0))
            return fail(QStringLiteral("bad --hang-after \"%1\"").arg(v));
    } else if (name == QLatin1String("--close-after")) {
        if (!toInt(v, o.closeAfter, 0))
            return fail(QStringLiteral("bad --close-after \"%1\"").arg(v));
    } else if (name == QLatin1String("--hang-on")) {
        o.hangOn = v.toUtf8();
    } else if (name == QLatin1String("--download-reply")) {
        o.downloadReply = v;
    } else if (name == QLatin1String("--upload-reply")) {
        o.uploadReply = v;
    } else if (name == QLatin1String("--hostile-name")) {
        o.hostileNameSet = true;
        o.hostileName = v;
    } else if (name == QLatin1String("--hostile-folder")) {
        o.hostileFolderSet = true;
        o.hostileFolder = v;
    }
    return 0;
}

} // namespace

int ParseOptions(const QStringList& args, Options& o) {
    QCommandLineParser parser;
    // Long names only, with one dash or two; "-h" and "-v" are the short help and version.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, {});
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, {});
    parser.addOption(help);
    parser.addOption(version);
    for (const char* name : kSwitches)
        parser.addOption(QCommandLineOption(QString::fromLatin1(name)));
    for (const char* name : kValued)
        parser.addOption(
            QCommandLineOption(QString::fromLatin1(name), {}, QStringLiteral("value")));

    if (!parser.parse(QStringList{QStringLiteral("vaultry-fileservice")} + args)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty())
            return fail(QStringLiteral("unknown option %1").arg(dashed(unknown.first())));
        return fail(parser.errorText());
    }
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument \"%1\"")
                        .arg(parser.positionalArguments().constFirst()));
    if (parser.isSet(help)) {
        std::fputs(HelpText().toUtf8().constData(), stdout);
        return 1;
    }
    if (parser.isSet(version)) {
        std::printf("vaultry-fileservice %s\n", VAULTRY_VERSION);
        return 1;
    }
    // In the order given: a later option overrides an earlier one (a port's cap after
    // --max-connections, say), and repeated ones add up.
    QHash<QString, int> taken;
    for (const QString& option : parser.optionNames()) {
        const QString value = parser.values(option).value(taken[option]++);
        if (const int rc = apply(option, value, o))
            return rc;
    }
    return 0;
}
