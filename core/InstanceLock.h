#pragma once

#include <QLockFile>
#include <QString>
#include <memory>
#include <vector>

// A named single-instance marker held for the life of the process, kept in the private
// runtime folders (the ones the window bus uses, so both programs agree). A lock left behind
// by a process that died is taken over, never trusted.
class InstanceLock {
public:
    explicit InstanceLock(const QString& name);
    // True when this process now holds the name.
    bool acquired() const { return acquired_; }
    // True when there was nowhere safe to keep the lock (no private folder, or the lock file
    // could not be made). Nothing is held then, and the caller must not go on as if it were
    // the only instance: it tells the user and ends.
    bool unavailable() const { return unavailable_; }
    // Tries once more to take the name (its holder may have ended meanwhile); true when this
    // process holds it now.
    bool tryAgain();

private:
    void take();

    QString name_;
    std::vector<std::unique_ptr<QLockFile>> locks_;
    bool acquired_ = false;
    bool unavailable_ = false;
};
