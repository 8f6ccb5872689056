#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>

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

    // `folder` empty: no action.
    void notify(const QString& summary, const QString& body, const QString& folder);

private slots:
    void onActionInvoked(uint id, const QString& action);
    void onClosed(uint id, uint reason);

private:
    void send(const QString& summary, const QString& body, const QString& folder, bool withAction);

    QDBusConnection bus_;
    QString application_;
    QString desktopEntry_;
    QHash<uint, QString> folders_; // shown notifications with an action, by id
};
