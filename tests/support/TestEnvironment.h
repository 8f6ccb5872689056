#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QProcess;

// Folders and addresses that one test executable owns, set up by CTest's environment.
namespace TestEnvironment {

// Creates fresh settings and runtime folders (runtime 0700) and returns the test's home.
QString prepare();

// The loopback address reserved for this test executable (VAULTRY_TEST_ADDRESS).
QString address();

// A path in the build's bin folder, e.g. binary("vaultry-fileservice").
QString binary(const QString& name);

// A scratch folder under the test's home, emptied first.
QString scratch(const QString& name);

// Starts a client program offscreen against the test's own file service, its boxes logged to
// `boxLog` and answered there; standard error goes to the test's.
std::unique_ptr<QProcess> startClient(const QString& program, const QStringList& args,
                                      const QString& boxLog);

} // namespace TestEnvironment
