#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class QLocalServer;
class QLocalSocket;

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

class WindowBus : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxData = 1 << 20;

    // Registers `className` for this process; handled messages reach the handler on the
    // thread that owns this object.
    explicit WindowBus(const QString& className, QObject* parent = nullptr);
    ~WindowBus() override;

    bool isRegistered() const;
    QString endpoint() const { return endpoint_; }

    // The answer to a message; runs on this object's thread.
    using Handler = std::function<qint64(const CopyData&)>;
    void setHandler(Handler handler) { handler_ = std::move(handler); }

    // The endpoint of a live window of that class, or "" (stale endpoints are removed).
    static QString findWindow(const QString& className);

    // Sends and waits for the answer; nothing when the window is gone or does not answer.
    static std::optional<qint64> send(const QString& endpoint, quint32 tag, const QString& sender,
                                      const QByteArray& data, int timeoutMs = 10000);

private:
    void onNewConnection();
    void onReadyRead(QLocalSocket* socket);

    QString className_;
    QString endpoint_;
    QLocalServer* server_ = nullptr;
    Handler handler_;
    QHash<QLocalSocket*, QByteArray> pending_;
};
