#pragma once

#include <QByteArray>
#include <QList>
#include <QProcessEnvironment>
#include <QString>

// What the tests of the page control share: the links the page writes, the environment a
// program started by the test runs in, and a look at what the programs left running.
namespace PageFlow {

// "<scheme>://<decimal codes>/" of the bytes, as the member's file page writes its links.
QString link(const QByteArray& scheme, const QByteArray& bytes);

// This process's environment with the test's service addresses (its own loopback address),
// message boxes answered into `boxLog`, and offscreen windows.
QProcessEnvironment programEnvironment(const QString& boxLog);

// The processes of the build's `program` (from VAULTRY_BIN_DIR) that run with this test's
// private runtime folder, so clients of tests running in parallel are never counted.
QList<qint64> running(const QString& program);
// Waits, serving events, until none of them runs; false when one still runs after `timeoutMs`.
bool waitUntilEnded(const QString& program, int timeoutMs);

// A file's whole content, or "<missing>".
QByteArray contents(const QString& path);
// Writes bytes into a new file, making its folder.
bool writeFile(const QString& path, const QByteArray& bytes);

} // namespace PageFlow
