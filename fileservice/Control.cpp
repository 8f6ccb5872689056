// Control port 7510: sign-on and sign-off, the download and upload listings and the
// completion notices, server side.
//
// The clients work in lock-step: one bare command, then they wait for the one reply. So one
// receive is one command, and every reply goes out in one send.

#include "fileservice/Handlers.h"
#include "fileservice/Net.h"
#include "fileservice/WireText.h"

#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>

#include <sys/socket.h>

namespace {

using Clock = std::chrono::steady_clock;

// How long a completion notice waits for its file's data connection to end.
constexpr int kCompleteWaitMs = 5000;

enum class State {
    Idle,            // waiting for a keyword
    SignOnMember,    // after "@Connect_start": the member id
    SignOffMember,   // after "@Connect_end": the member id
    DownloadServer,  // after "@Download": "@Server%s"
    DownloadEntries, // every command is an entry
    UploadServer,    // after "@Upload": "@Server%s"
    UploadList,      // the list key, again and again
    UploadPrint,     // after a listing record: the fingerprint
    CompleteNumber,  // after "@Upload_complute": the file number
};

QByteArray garbageReply(int index) {
    switch (index % 5) {
    case 0: {
        static const char noise[] = "\x01\x7f\xfe\xff\x80\x81garbage\x1b[0m\xa4";
        return QByteArray(noise, sizeof noise - 1);
    }
    case 1:
        return QByteArray("||||");
    case 2:
        return QByteArray("garbage");
    case 3:
        return QByteArray("x.bin|not-an-address|key|sub\\|not-a-number");
    default:
        return QByteArray(kBlockSize, 'G');
    }
}

// "a/b/c.txt" -> "a\b\" (empty at the top).
QByteArray wireFolder(const QString& relative) {
    const int slash = relative.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QByteArray();
    QByteArray folder;
    for (const QString& part : relative.left(slash).split(QLatin1Char('/')))
        folder += ToWire(part) + '\\';
    return folder;
}

class ControlSession {
public:
    ControlSession(Service& s, const Connection& c) : s_(s), c_(c), opt_(s.options()) {}

    // The data server the replies name: the bound address, unless another was given.
    QByteArray dataAddress() const {
        return (opt_.dataAddress.isEmpty() ? opt_.bind : opt_.dataAddress).toLatin1();
    }

    void run() {
        if (opt_.closeAfter == 0) {
            s_.log(QStringLiteral("%1 connect %2: closed at once (fault switch)")
                       .arg(c_.tag, c_.peer));
            return;
        }
        s_.log(QStringLiteral("%1 connect %2").arg(c_.tag, c_.peer));
        // One byte more than a command may hold, so that a longer one is recognised.
        std::unique_ptr<char[]> buf(new char[kBlockSize + 1]);
        // Until its first known command a connection is a stranger, and gets a short time in
        // total. A listing or a notice goes on in lock-step, so its client is never silent
        // for more than moments. Only a member's sign-on connection may stay idle long: the
        // download client keeps it open while the program runs.
        const auto identifyBy = Clock::now() + std::chrono::seconds(opt_.identifyTimeoutSec);
        QString end = QStringLiteral("closed by client");
        for (;;) {
            int waitMs =
                (signedOn_ ? opt_.controlIdleTimeoutSec : opt_.listingIdleTimeoutSec) * 1000;
            if (!identified_)
                waitMs =
                    int(std::max<int64_t>(0, std::chrono::duration_cast<std::chrono::milliseconds>(
                                                 identifyBy - Clock::now())
                                                 .count()));
            const int w = WaitReadable(c_.fd, waitMs);
            if (w == 0) {
                end = !identified_ ? QStringLiteral("no known command in time, closed")
                      : signedOn_  ? QStringLiteral("idle time-out, closed")
                                   : QStringLiteral("idle without a sign-on, closed");
                break;
            }
            if (c_.evicted()) {
                end = QStringLiteral("closed to make room for a newer connection");
                break;
            }
            if (w < 0 || s_.stopping()) {
                end = QStringLiteral("closed");
                break;
            }
            const ssize_t n = ::recv(c_.fd, buf.get(), kBlockSize + 1, 0);
            if (n == 0) {
                if (c_.evicted())
                    end = QStringLiteral("closed to make room for a newer connection");
                break;
            }
            c_.touch();
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                end = QStringLiteral("receive error, closed");
                break;
            }
            if (n > kBlockSize) {
                bool overflow = false;
                const int64_t more =
                    Drain(c_.fd, 100, opt_.identifyTimeoutSec * 1000, 64 << 20, overflow);
                s_.log(QStringLiteral("%1 command too long (%2 bytes or more), dropped")
                           .arg(c_.tag)
                           .arg(n + more));
                if (overflow) {
                    end = QStringLiteral("flood, closed");
                    break;
                }
                continue;
            }
            const QByteArray command(buf.get(), static_cast<int>(strnlen(buf.get(), n)));
            if (!handle(command))
                break;
        }
        s_.log(QStringLiteral("%1 %2").arg(c_.tag, end));
    }

private:
    // Returns false when the connection is to end.
    bool handle(const QByteArray& command) {
        ++commands_;
        QString what;
        const QByteArray reply = answer(command, what);
        if (opt_.closeAfter >= 0 && commands_ > opt_.closeAfter) {
            s_.log(QStringLiteral("%1 %2 -> (closed: fault switch)").arg(c_.tag, what));
            return false;
        }
        const bool hang = (opt_.hangAfter >= 0 && commands_ > opt_.hangAfter) ||
                          (!opt_.hangOn.isEmpty() && command == opt_.hangOn);
        if (hang) {
            s_.log(QStringLiteral("%1 %2 -> (hang: no reply)").arg(c_.tag, what));
            return true;
        }
        if (opt_.delayMs > 0 && !s_.sleepMs(opt_.delayMs))
            return false;
        if (!SendWhole(c_.fd, reply.constData(), reply.size())) {
            s_.log(QStringLiteral("%1 %2 -> send failed").arg(c_.tag, what));
            return false;
        }
        s_.log(QStringLiteral("%1 %2 -> %3").arg(c_.tag, what, Shown(reply)));
        return true;
    }

    QByteArray answer(const QByteArray& cmd, QString& what) {
        bool known = true;
        const QByteArray reply = answerKnown(cmd, what, known);
        identified_ |= known;
        return reply;
    }

    // known is cleared for a command this port does not know.
    QByteArray answerKnown(const QByteArray& cmd, QString& what, bool& known) {
        what = Shown(cmd);
        switch (state_) {
        case State::SignOnMember: {
            state_ = State::Idle;
            QByteArray reply;
            signedOn_ |= s_.checkMember(cmd, reply) == Service::MemberCheck::Member;
            what = QStringLiteral("member ") + Shown(cmd);
            return reply;
        }
        case State::SignOffMember:
            state_ = State::Idle;
            what = QStringLiteral("sign-off ") + Shown(cmd);
            return "Ok";
        case State::DownloadServer:
            state_ = State::DownloadEntries;
            if (cmd.startsWith("@Server"))
                return "Ok";
            return entry(cmd, what);
        case State::DownloadEntries:
            return entry(cmd, what);
        case State::UploadServer:
            state_ = State::UploadList;
            if (cmd.startsWith("@Server"))
                return "Ok";
            return listKey(cmd, what);
        case State::UploadList:
            return listKey(cmd, what);
        case State::UploadPrint:
            state_ = State::UploadList;
            return fingerprint(cmd, what);
        case State::CompleteNumber:
            state_ = State::Idle;
            return complete(cmd, what);
        case State::Idle:
            break;
        }
        if (cmd == "@Connect_start") {
            state_ = State::SignOnMember;
            return "Ok";
        }
        if (cmd == "@Connect_end") {
            state_ = State::SignOffMember;
            return "Ok";
        }
        if (cmd == "@Download") {
            state_ = State::DownloadServer;
            return ToWire(opt_.downloadReply);
        }
        if (cmd == "@Upload") {
            state_ = State::UploadServer;
            return ToWire(opt_.uploadReply);
        }
        if (cmd == "@Upload_complute") {
            state_ = State::CompleteNumber;
            return "Ok";
        }
        if (cmd.startsWith("@Server"))
            return "Ok";
        what = QStringLiteral("unknown command ") + Shown(cmd);
        known = false;
        return "Null";
    }

    QByteArray entry(const QByteArray& cmd, QString& what) {
        what = QStringLiteral("entry ") + Shown(cmd);
        const int index = entries_++;
        if (opt_.garbageEntries)
            return garbageReply(index);
        CatalogueEntry e;
        QString why;
        if (!s_.catalogue().lookup(cmd, e, why)) {
            what += QStringLiteral(" (%1)").arg(why);
            return "Null";
        }
        const QString name = e.relative.mid(e.relative.lastIndexOf(QLatin1Char('/')) + 1);
        const QByteArray nameWire = opt_.hostileNameSet ? ToWire(opt_.hostileName) : ToWire(name);
        const QByteArray folderWire =
            opt_.hostileFolderSet ? ToWire(opt_.hostileFolder) : wireFolder(e.relative);
        return nameWire + '|' + dataAddress() + '|' + e.key + '|' + folderWire + '|' +
               QByteArray::number(static_cast<qlonglong>(e.size));
    }

    QByteArray listKey(const QByteArray& cmd, QString& what) {
        what = QStringLiteral("list key ") + Shown(cmd);
        const std::vector<const UploadFile*> files = s_.uploads().list(cmd);
        if (files.empty())
            return "ListEnd"; // unknown key: nothing remembered for it
        int& cursor = cursors_[cmd];
        if (cursor >= static_cast<int>(files.size()))
            return "ListEnd";
        const UploadFile* f = files[cursor++];
        pending_ = f;
        pendingSize_ = s_.listedSize(*f);
        state_ = State::UploadPrint;
        if (pendingSize_ == 0 && !QFileInfo(f->localPath).isFile())
            what += QStringLiteral(" (local file missing)");
        return f->token1 + '|' + f->token2 + '|' + dataAddress() + '|' + ToWire(f->name) + '|' +
               ToWire(f->localPath) + '|' +
               QByteArray::number(static_cast<qlonglong>(pendingSize_));
    }

    QByteArray fingerprint(const QByteArray& cmd, QString& what) {
        const QByteArray expected = Fingerprint(pending_->localPath, pendingSize_);
        what = QStringLiteral("fingerprint %1 for file %2 (%3)")
                   .arg(Shown(cmd))
                   .arg(pending_->number)
                   .arg(cmd == expected ? QStringLiteral("matches")
                                        : QStringLiteral("differs from %1").arg(Shown(expected)));
        return QByteArray::number(pending_->number) + "|Ok";
    }

    QByteArray complete(const QByteArray& cmd, QString& what) {
        const int number = static_cast<int>(ParseInt64(cmd));
        const UploadFile* f = s_.uploads().byNumber(number);
        if (!f) {
            what = QStringLiteral("upload complete: unknown file %1").arg(Shown(cmd));
            return "Ok";
        }
        const QString stored = s_.store().storedPath(*f);
        // A client may tell before the data connection has delivered its last bytes (they can
        // still be on their way when its sends return): the answer waits for that connection
        // to end, a few seconds at most, so the log tells what is really stored.
        const bool settled = s_.store().awaitUnclaimed(stored, kCompleteWaitMs);
        const qint64 have = QFileInfo(stored).size();
        what =
            QStringLiteral("upload complete: file %1 \"%2\" stored %3 of %4 bytes%5")
                .arg(number)
                .arg(f->name)
                .arg(have)
                .arg(s_.listedSize(*f))
                .arg(settled ? QString() : QStringLiteral(" (its data connection is still open)"));
        return "Ok";
    }

    Service& s_;
    const Connection& c_;
    const Options& opt_;
    State state_ = State::Idle;
    bool identified_ = false;
    bool signedOn_ = false; // a member signed on here: the long idle limit
    int commands_ = 0;
    int entries_ = 0;
    std::map<QByteArray, int> cursors_;
    const UploadFile* pending_ = nullptr;
    int64_t pendingSize_ = 0;
};

} // namespace

void ServeControl(Service& service, const Connection& c) {
    ControlSession(service, c).run();
}
