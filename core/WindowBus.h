#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QSocketNotifier;
class QTimer;

// Copy-data messages between top-level windows of different processes. Each window registers
// its class name as a local-socket endpoint in the private runtime folder; the endpoint name
// ("<class>.<pid>") is what the clients pass around as a window handle. A send carries a tag,
// the sender's endpoint and bytes, and waits for the receiver's answer, like SendMessage.
struct CopyData {
    quint32 tag = 0;
    QString sender; // endpoint of the sending window, "" when it has none
    QByteArray data;
    // The data read as a terminator-ended text, never past the bytes that were sent.
    QByteArray text() const;
};

// The wire form of one message: "VBUS", tag, sender length and data length (32-bit,
// big-endian), then the sender's endpoint (UTF-8) and the data. The answer is a 64-bit
// big-endian result.
struct BusFrame {
    enum Status { NeedMore, Bad, Complete };
    Status status = NeedMore;
    quint32 tag = 0;
    QByteArray sender;
    QByteArray data;
    qsizetype length = 0; // bytes the frame took from the input, when complete
};
inline constexpr int kBusFrameHeader = 16;
inline constexpr int kBusMaxSender = 4096;
// Room for the largest request a launch link may carry (1 MiB), with the manager command's
// word in front and its terminator.
inline constexpr int kBusMaxData = (1 << 20) + 4096;

// Reads the frame at the start of `bytes`. Bad as soon as the header shows a frame that is
// not ours or larger than allowed, so nobody waits for bytes that will be refused anyway.
BusFrame ReadBusFrame(QByteArrayView bytes);
QByteArray WriteBusFrame(quint32 tag, const QByteArray& sender, const QByteArray& data);

class WindowBus : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxData = kBusMaxData;
    // A connection that has not delivered its whole frame by then is dropped.
    static constexpr int kFrameDeadlineMs = 1000;
    // Connections read at the same time; one more drops the oldest unfinished one, so a crowd
    // of stalled peers costs a genuine sender nothing.
    static constexpr int kMaxIncoming = 32;
    // Sends one thread may have waiting inside each other (a handler served while the thread
    // waits may send again); one deeper fails at once.
    static constexpr int kMaxNestedSends = 4;

    // Registers `className` for this process; handled messages reach the handler on the
    // thread that owns this object. A class already registered in this process stays with
    // its first bus.
    explicit WindowBus(const QString& className, QObject* parent = nullptr);
    ~WindowBus() override;

    bool isRegistered() const { return listenFd_ >= 0; }
    QString endpoint() const { return endpoint_; }

    // The answer to a message; runs on this object's thread.
    using Handler = std::function<qint64(const CopyData&)>;
    void setHandler(Handler handler) { handler_ = std::move(handler); }

    // The endpoint of a live window of that class, or "" (stale endpoints are removed).
    static QString findWindow(const QString& className);

    // Sends and waits for the answer; nothing when the window is gone or does not answer.
    // While it waits, messages to the buses of the calling thread are handled (their handlers
    // run inside this call), as a window blocked in a synchronous send still answers the
    // messages sent to it; without that, a receiver that answers from inside its handler by
    // sending back to us would wait for us while we wait for it.
    static std::optional<qint64> send(const QString& endpoint, quint32 tag, const QString& sender,
                                      const QByteArray& data, int timeoutMs = 10000);

private:
    class Address;
    struct Incoming;

    bool listen(const Address& address);
    void acceptConnections();
    void readIncoming(int fd);
    void dropIncoming(std::size_t index);
    void dropStalled();
    bool accepting(); // false for a moment after running out of descriptors
    // Polls `fd` for `events` and, meanwhile, the endpoints of this thread's buses, serving
    // them; returns what happened on `fd`.
    static short waitServing(int fd, short events, int timeoutMs);

    QString endpoint_;
    QByteArray path_;
    int listenFd_ = -1;
    QSocketNotifier* acceptNotifier_ = nullptr;
    QTimer* stallTimer_ = nullptr;
    QDeadlineTimer acceptPause_;
    std::vector<std::unique_ptr<Incoming>> incoming_; // oldest first
    Handler handler_;
};
