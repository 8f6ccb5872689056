#include "InstanceLock.h"

#include "RuntimeDir.h"

#include <QDir>

InstanceLock::InstanceLock(const QString& name) {
    const QString dir = PrivateRuntimeDir();
    if (dir.isEmpty()) {
        // Without a private folder there is nothing safe to lock; behave as the only instance.
        acquired_ = true;
        return;
    }
    lock_ = std::make_unique<QLockFile>(QDir(dir).filePath(name + QStringLiteral(".lock")));
    lock_->setStaleLockTime(0); // only a dead owner makes a lock stale, never its age
    acquired_ = lock_->tryLock(0);
}
