#pragma once

#include <QByteArray>
#include <QString>

// The service's own state folder: the secret that file keys, upload tokens and list keys are
// made from. Made on first start and kept, so that keys handed out stay valid across restarts.
// The folder is private (0700) and the secret file 0600; a folder or file that another user
// owns, or a secret that is not what this service wrote, is an error, never silently replaced.
class ServiceState {
public:
    // $XDG_STATE_HOME/vaultry-fileservice, else ~/.local/state/vaultry-fileservice.
    static QString defaultFolder();

    // Opens (or makes) the folder and loads (or makes) the secret. False with error set.
    bool open(const QString& folder, QString& error);

    const QByteArray& secret() const { return secret_; } // 32 random bytes
    QString secretPath() const;

private:
    bool makeFolder(QString& error);
    bool loadSecret(QString& error);
    bool createSecret(QString& error);

    QString folder_;
    QByteArray secret_;
};
