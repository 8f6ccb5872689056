#include "core/InstanceLock.h"

#include "core/RuntimeDir.h"

#include <QDir>

InstanceLock::InstanceLock(const QString& name) : name_(name) {
    if (name.isEmpty() || name.contains(QLatin1Char('/'))) {
        unavailable_ = true;
        return;
    }
    take();
}

// The name is held in every private folder there is, the one in use first. A holder that
// started while the runtime folder could not be used holds it in the cache folder only, and
// is found there; two starters going the same order never both come away empty-handed.
void InstanceLock::take() {
    const QStringList dirs = PrivateRuntimeDirs();
    unavailable_ = dirs.isEmpty();
    std::vector<std::unique_ptr<QLockFile>> held; // given up again unless all are taken
    for (qsizetype i = 0; i < dirs.size(); ++i) {
        auto lock =
            std::make_unique<QLockFile>(QDir(dirs[i]).filePath(name_ + QStringLiteral(".lock")));
        lock->setStaleLockTime(0); // only a dead owner makes a lock stale, never its age
        if (lock->tryLock(0)) {
            held.push_back(std::move(lock));
            continue;
        }
        // Held by a live process is the one answer that says "another instance runs".
        if (lock->error() == QLockFile::LockFailedError)
            return;
        // The folder in use must hold it; another one that cannot has no holder to find.
        if (i == 0) {
            unavailable_ = true;
            return;
        }
    }
    locks_ = std::move(held);
    acquired_ = !locks_.empty();
}

bool InstanceLock::tryAgain() {
    if (!acquired_ && !unavailable_)
        take();
    return acquired_;
}
