#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <utility>
#include <vector>

// Command line of vaultry-fileservice. Texts that travel on the wire are kept here as they
// were given (UTF-8 from the command line) and converted to CP949 where they are sent.

struct MemberSpec {
    QString id;
    QString className; // may be empty: an empty class field is sent as given
    QString paidUntil; // YYYYMMDDHH, sent as given
    QString megabytes; // decimal, sent as given
};

struct UploadListSpec {
    QString key;
    QStringList paths; // local paths, as given
};

enum class RefuseData { None, Close, NoListen };

// The four ports, in the order of Options::maxConnections.
enum class PortKind { Control = 0, Download = 1, Upload = 2, Web = 3 };
inline constexpr int kPortKinds = 4;

struct Options {
    QString bind = QStringLiteral("127.0.0.1");
    QString dataAddress; // named as the data server in replies; empty: the bound address
    QString root;
    QString store;
    QString state; // folder of the service's own state (its secret); empty: the per-user default
    QString serverNumber = QStringLiteral("1"); // the homepage's links name this server
    bool demo = false;
    QString demoRoot;
    bool quiet = false;

    std::vector<MemberSpec> members;
    QStringList overUsers;
    std::vector<UploadListSpec> uploadLists;
    std::vector<std::pair<QString, QString>> webPages; // url path -> file

    int idleTimeoutSec = 60;          // an identified connection's silence, stalled sends
    int controlIdleTimeoutSec = 3600; // a signed-on control connection with no command
    int listingIdleTimeoutSec = 5;    // any other identified control connection
    int identifyTimeoutSec = 10;      // a new connection's time to identify itself (in total)
    // Connections served at once, per port (control, download, upload, web).
    int maxConnections[kPortKinds] = {128, 64, 64, 32};

    // Fault switches (see --help).
    int64_t cutAfter = -1;  // bytes; -1 off
    int cutConnections = 0; // 0: every download data connection
    bool cutReset = false;  // cut with a reset instead of a clean close
    int64_t stallAfter = -1;
    int stallConnections = 0;
    int64_t overshoot = 0;
    int delayMs = 0;
    int64_t uploadReadRate = 0; // bytes per second the upload data port reads; 0 unlimited
    RefuseData refuseData = RefuseData::None;
    int hangAfter = -1;  // -1 off; N: answer the first N commands of each connection, then hang
    int closeAfter = -1; // -1 off; N: answer the first N commands of each connection, then close
    QByteArray hangOn;   // a control command that is never answered ("" off)
    bool garbageEntries = false;
    QString downloadReply = QStringLiteral("Ok");
    QString uploadReply = QStringLiteral("Ok");
    bool hostileNameSet = false;
    QString hostileName;
    bool hostileFolderSet = false;
    QString hostileFolder;
};

// Reads the arguments (without the program's name) in order, with QCommandLineParser: a
// value follows its option or comes after "=", repeated options add up or override as each
// says. Returns 0 to go on; 1 after printing the help or the version (exit 0); otherwise the
// exit code after printing the error.
int ParseOptions(const QStringList& args, Options& out);

QString HelpText();

// The default paid-until stamp and megabyte count of a member given by id alone.
inline constexpr const char* kDefaultPaidUntil = "2099123123";
inline constexpr const char* kDefaultMegabytes = "10240";
