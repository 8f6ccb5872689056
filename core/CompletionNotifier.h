#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

class QDBusPendingCallWatcher;

// The end of a list as a desktop notification (org.freedesktop.Notifications on the session
// bus), beside the completion box. Where the server offers actions, the notification has one
// that opens the save folder through the shell seam. With no server on the bus nothing is
// shown and nothing is reported to the member. Nothing here waits on the bus.
class CompletionNotifier : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kOpenFolderAction = "open-folder";

    // `desktopEntry` is the program's desktop file name; its icon is the notification's.
    CompletionNotifier(QDBusConnection sessionBus, QString application, QString desktopEntry,
                       QObject* parent = nullptr);
    // The program may end right after the list (its completion action): a notification not
    // sent yet goes now, without its action, and what was sent is seen off the connection
    // (one short call to the bus, 1 s at most).
    ~CompletionNotifier() override;

    // `folder` empty: no action.
    void notify(const QString& summary, const QString& body, const QString& folder);

private slots:
    void onActionInvoked(uint id, const QString& action);
    void onClosed(uint id, uint reason);

private:
    void send(const QString& summary, const QString& body, const QString& folder, bool withAction);
    QDBusMessage notifyCall(const QString& summary, const QString& body,
                            const QStringList& actions) const;

    QDBusConnection bus_;
    QString application_;
    QString desktopEntry_;
    QHash<uint, QString> folders_; // shown notifications with an action, by id
    struct Asking {
        const QDBusPendingCallWatcher* capabilities; // removed when its answer is handled
        QString summary, body;
    };
    QList<Asking> asking_; // notifications waiting for the server's capabilities
    int notifying_ = 0;    // Notify calls not answered yet
};
