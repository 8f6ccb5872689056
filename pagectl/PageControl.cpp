#include "pagectl/PageControl.h"

#include "core/Protocol.h"
#include "core/TextCodec.h"

#include <QTimer>

#include <cstdio>

void LogLine(const QString& line) {
    std::fputs(line.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

PageControl::PageControl(QList<QByteArray> downloadCommands, QList<QByteArray> uploadCommands,
                         bool once, QObject* parent)
    : QObject(parent), bus_(QString::fromLatin1(Protocol::kPageControlClass)),
      downloadCommands_(std::move(downloadCommands)), uploadCommands_(std::move(uploadCommands)),
      once_(once) {
    bus_.setHandler([this](const CopyData& message) { return onMessage(message); });
}

qint64 PageControl::onMessage(const CopyData& message) {
    const QByteArray text = message.text();
    LogLine(QStringLiteral("received tag %1 from %2: \"%3\"")
                .arg(message.tag)
                .arg(message.sender.isEmpty() ? QStringLiteral("(no window)") : message.sender,
                     FromCp949(text)));

    const QList<QByteArray>* commands = nullptr;
    if (message.tag == Protocol::kDownloadTag && text == Protocol::kDownloadAnnouncement)
        commands = &downloadCommands_;
    else if (message.tag == Protocol::kUploadTag && text == Protocol::kUploadAnnouncement)
        commands = &uploadCommands_;
    if (!commands) {
        LogLine(QStringLiteral("ignored: not an announcement"));
        return 0;
    }
    // A client this control has nothing for stays unanswered, and does not count as the one
    // announcement a `once` control serves.
    if (commands->isEmpty()) {
        LogLine(QStringLiteral("ignored: no command for this client"));
        return 0;
    }
    if (message.sender.isEmpty()) {
        LogLine(QStringLiteral("ignored: the announcement names no window to answer"));
        return 0;
    }
    if (once_ && answering_) {
        LogLine(QStringLiteral("ignored: already serving one announcement"));
        return 0;
    }
    answering_ = true;
    // Answered after this handler returns: the client is waiting in its send meanwhile (it
    // would take a command sent from here too, but the announcement's own answer comes first).
    const QString client = message.sender;
    const quint32 tag = message.tag;
    const QList<QByteArray> toSend = *commands;
    QTimer::singleShot(0, this, [this, client, tag, toSend] { answer(client, tag, toSend); });
    return 1;
}

void PageControl::answer(const QString& client, quint32 tag, const QList<QByteArray>& commands) {
    bool ok = true;
    for (const QByteArray& command : commands) {
        QByteArray data = command;
        data.append('\0');
        const auto result = WindowBus::send(client, tag, bus_.endpoint(), data, kSendTimeoutMs);
        if (result) {
            LogLine(QStringLiteral("sent tag %1 to %2: \"%3\" (answer %4)")
                        .arg(tag)
                        .arg(client, FromCp949(command))
                        .arg(*result));
        } else {
            ok = false;
            LogLine(QStringLiteral("not delivered: tag %1 to %2: \"%3\"")
                        .arg(tag)
                        .arg(client, FromCp949(command)));
        }
    }
    if (once_)
        emit served(ok);
}
