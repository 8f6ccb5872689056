#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

// A named single-instance marker held for the life of the process. A lock left behind by a
// process that died is taken over, never trusted.
class InstanceLock {
public:
    explicit InstanceLock(const QString& name);
    // True when this process now holds the name; false when another live process holds it.
    bool acquired() const { return acquired_; }

private:
    std::unique_ptr<QLockFile> lock_;
    bool acquired_ = false;
};
