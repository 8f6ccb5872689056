#pragma once

#include <QString>
#include <QStringList>

// Starts a client program for the page control: the one beside the page control's own
// executable (an installed set, or a build's bin folder), else the one on PATH.
namespace ClientLauncher {

// The program's path, or "" when there is none.
QString find(const QString& program);

// Starts it detached, in its own folder (where a build keeps the skins), with this process's
// environment; false when it could not be started. `pid` gets its process id.
bool start(const QString& path, const QStringList& arguments, qint64* pid = nullptr);

// False once the process has ended (gone, or a zombie nobody has reaped yet).
bool isRunning(qint64 pid);

} // namespace ClientLauncher
