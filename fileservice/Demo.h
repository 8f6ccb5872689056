#pragma once

#include "fileservice/Options.h"

#include <QStringList>

// --demo: a sample download tree, the member "demo", the upload list "demo-upload", and the
// launch link and manager commands that fetch or send them.
struct DemoSetup {
    QStringList lines;    // printed before "listening on"
    QStringList tempDirs; // removed at exit
};

inline constexpr const char* kDemoMember = "demo";
inline constexpr const char* kDemoUploadKey = "demo-upload";
inline constexpr const char* kDemoServer = "1";

// Fills the options for the demo (root, member, upload list). False with error set on failure.
bool PrepareDemo(Options& options, DemoSetup& out, QString& error);

// Lines printed for a demo whose root and member are known: the launch link and the manager
// commands. entries are catalogue paths ("a/b.txt").
QStringList DemoLinks(const QStringList& entries);

// "vastrelle://" + the decimal byte codes of payload, separated by ",".
QByteArray LaunchLink(const QByteArray& payload);
