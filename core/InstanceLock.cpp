#include "InstanceLock.h"

#include "RuntimeDir.h"

#include <QDir>

InstanceLock::InstanceLock(const QString& name) {
    const QString dir = PrivateRuntimeDir();
    if (dir.isEmpty() || name.isEmpty() || name.contains(QLatin1Char('/'))) {
        unavailable_ = true;
        return;
    }
    lock_ = std::make_unique<QLockFile>(QDir(dir).filePath(name + QStringLiteral(".lock")));
    lock_->setStaleLockTime(0); // only a dead owner makes a lock stale, never its age
    acquired_ = lock_->tryLock(0);
    // Held by a live process is the one answer that says "another instance runs".
    unavailable_ = !acquired_ && lock_->error() != QLockFile::LockFailedError;
}

bool InstanceLock::tryAgain() {
    if (!acquired_ && lock_)
        acquired_ = lock_->tryLock(0);
    return acquired_;
}
