#pragma once

#include "core/WindowBus.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

// The page's control window: registers "VAULtry_AX_EXE" and answers every client that
// announces itself with the manager commands it was given for that kind of client.
class PageControl : public QObject {
    Q_OBJECT
public:
    static constexpr int kSendTimeoutMs = 5000;

    // Commands are the wire bytes (code page 949) without their terminator.
    PageControl(QList<QByteArray> downloadCommands, QList<QByteArray> uploadCommands, bool once,
                QObject* parent = nullptr);

    bool isRegistered() const { return bus_.isRegistered(); }
    QString endpoint() const { return bus_.endpoint(); }

signals:
    // Only with `once`: the one announcement has been served; ok is false when a command
    // could not be delivered.
    void served(bool ok);

private:
    qint64 onMessage(const CopyData& message);
    void answer(const QString& client, quint32 tag, const QList<QByteArray>& commands);

    WindowBus bus_;
    QList<QByteArray> downloadCommands_;
    QList<QByteArray> uploadCommands_;
    bool once_ = false;
    bool answering_ = false; // with `once`, later announcements are not served
};

// One line on stdout, flushed at once so that a reader on a pipe sees it immediately.
void LogLine(const QString& line);
