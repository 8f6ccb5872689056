#pragma once

#include <QByteArray>
#include <QString>

// The service's own state folder: the secret that file keys, upload tokens and list keys are
// made from, and the registration token that the page control sends with an upload list.
// Made on first start and kept, so that keys handed out stay valid across restarts. The
// folder is private (0700) and both files 0600; a folder or file that another user owns, or a
// file that is not what this service wrote, is an error, never silently replaced.
class ServiceState {
public:
    // $XDG_STATE_HOME/vaultry-fileservice, else ~/.local/state/vaultry-fileservice.
    static QString defaultFolder();

    // Opens (or makes) the folder and loads (or makes) the secret and the token. False with
    // error set.
    bool open(const QString& folder, QString& error);

    const QByteArray& secret() const { return secret_; } // 32 random bytes
    // 64 hex digits (32 random bytes); never derived from the secret.
    const QByteArray& registrationToken() const { return token_; }
    QString secretPath() const;

private:
    bool makeFolder(QString& error);
    // Loads the random bytes kept as hex in `path`, making the file first if it is missing.
    bool loadOrCreate(const QString& path, const QString& what, QByteArray& bytes, QString& error);
    bool create(const QString& path, QString& error);

    QString folder_;
    QByteArray secret_;
    QByteArray token_;
};
