#pragma once

#include <QString>
#include <QStringList>

// The per-user private folder for the window bus endpoints and the instance locks. Both come
// from here, so that every program of the user agrees on one folder.
//
// The first usable of: $XDG_RUNTIME_DIR/vaultry, then $XDG_CACHE_HOME/vaultry-runtime (or
// ~/.cache/vaultry-runtime). Usable means a real folder (not a symlink), owned by this user,
// writable by nobody else (0700 is restored when only read bits were given away). A folder
// that someone else owns or could have written into is passed over, never trusted. Returns "" when
// none can be had: callers then fail closed (no bus, no lock held).
QString PrivateRuntimeDir();

// Makes `dir` (its parent must exist) or takes it as it is, if it is a real folder of this user
// that nobody else can write into; tightens it to 0700. False when it cannot be trusted.
bool MakePrivateFolder(const QString& dir);

// The folders tried, in order, for a message that says why none could be had.
QStringList PrivateRuntimeDirCandidates();

// Every private folder where a program of this user may keep its lock and endpoints: the one
// in use (PrivateRuntimeDir) first, then each other candidate that exists and can be trusted.
// A program that started while the runtime folder could not be used lives in the cache
// folder; one that starts after the runtime folder came back must still find it there.
// Empty when no folder can be had.
QStringList PrivateRuntimeDirs();
