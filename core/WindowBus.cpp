#include "WindowBus.h"

#include "RuntimeDir.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace {

constexpr quint32 kMagic = 0x56425553; // "VBUS"
constexpr int kMaxSender = 4096;
constexpr int kHeader = 16; // magic, tag, sender length, data length
constexpr int kFrameIdleMs = 5000;

QString endpointPath(const QString& endpoint) {
    const QString dir = PrivateRuntimeDir();
    return dir.isEmpty() ? QString() : QDir(dir).filePath(endpoint);
}

bool processAlive(qint64 pid) {
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

QByteArray frame(quint32 tag, const QString& sender, const QByteArray& data) {
    const QByteArray senderBytes = sender.toUtf8();
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << kMagic << tag << quint32(senderBytes.size()) << quint32(data.size());
    bytes += senderBytes;
    bytes += data;
    return bytes;
}

} // namespace

QByteArray CopyData::text() const {
    const qsizetype end = data.indexOf('\0');
    return end < 0 ? data : data.left(end);
}

WindowBus::WindowBus(const QString& className, QObject* parent)
    : QObject(parent), className_(className),
      endpoint_(QStringLiteral("%1.%2").arg(className).arg(::getpid())) {
    const QString path = endpointPath(endpoint_);
    if (path.isEmpty())
        return;
    QFile::remove(path); // a leftover of a dead process that had our pid
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(path)) {
        delete server_;
        server_ = nullptr;
        return;
    }
    connect(server_, &QLocalServer::newConnection, this, &WindowBus::onNewConnection);
}

WindowBus::~WindowBus() {
    if (server_)
        server_->close(); // removes the socket file
}

bool WindowBus::isRegistered() const {
    return server_ && server_->isListening();
}

void WindowBus::onNewConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        pending_.insert(socket, {});
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            pending_.remove(socket);
            socket->deleteLater();
        });
        // A sender that never completes its frame is dropped.
        QTimer::singleShot(kFrameIdleMs, socket, [socket] { socket->abort(); });
    }
}

void WindowBus::onReadyRead(QLocalSocket* socket) {
    auto it = pending_.find(socket);
    if (it == pending_.end())
        return;
    it->append(socket->readAll());
    QByteArray& bytes = *it;
    if (bytes.size() < kHeader)
        return;
    QDataStream in(bytes);
    quint32 magic = 0, tag = 0, senderLength = 0, dataLength = 0;
    in >> magic >> tag >> senderLength >> dataLength;
    if (magic != kMagic || senderLength > kMaxSender || dataLength > quint32(kMaxData)) {
        pending_.erase(it);
        socket->abort();
        return;
    }
    const qsizetype total = kHeader + qsizetype(senderLength) + qsizetype(dataLength);
    if (bytes.size() < total)
        return;
    CopyData message;
    message.tag = tag;
    message.sender = QString::fromUtf8(bytes.mid(kHeader, senderLength));
    message.data = bytes.mid(kHeader + senderLength, dataLength);
    pending_.erase(it);
    const qint64 answer = handler_ ? handler_(message) : 0;
    QByteArray reply;
    QDataStream out(&reply, QIODevice::WriteOnly);
    out << answer;
    socket->write(reply);
    socket->flush();
    socket->disconnectFromServer();
}

QString WindowBus::findWindow(const QString& className) {
    const QString dir = PrivateRuntimeDir();
    if (dir.isEmpty() || className.isEmpty())
        return {};
    const QStringList names = QDir(dir).entryList({className + QStringLiteral(".*")},
                                                  QDir::System | QDir::Files, QDir::Name);
    for (const QString& name : names) {
        bool numeric = false;
        const qint64 pid = name.mid(className.size() + 1).toLongLong(&numeric);
        if (!numeric)
            continue;
        if (!processAlive(pid)) {
            QFile::remove(QDir(dir).filePath(name));
            continue;
        }
        return name;
    }
    return {};
}

std::optional<qint64> WindowBus::send(const QString& endpoint, quint32 tag, const QString& sender,
                                      const QByteArray& data, int timeoutMs) {
    const QString path = endpointPath(endpoint);
    if (path.isEmpty() || endpoint.contains(QLatin1Char('/')) || data.size() > kMaxData)
        return std::nullopt;
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(timeoutMs))
        return std::nullopt;
    socket.write(frame(tag, sender, data));
    if (!socket.waitForBytesWritten(timeoutMs))
        return std::nullopt;
    QByteArray answer;
    while (answer.size() < 8) {
        if (!socket.waitForReadyRead(timeoutMs))
            return std::nullopt;
        answer += socket.readAll();
    }
    QDataStream in(answer);
    qint64 result = 0;
    in >> result;
    return result;
}
