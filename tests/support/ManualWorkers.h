#pragma once

#include "core/WorkerThreads.h"

#include <QList>
#include <functional>

// Workers that never run: the test decides when each ends, after setting what it reports on
// the engine's workerProgress(). Deterministic: no thread, no timing.
class ManualWorkers : public WorkerRunner {
public:
    int started = 0;

    void start(std::function<void()>, std::function<void()> ended) override {
        ++started;
        pending_.append(std::move(ended));
    }
    bool empty() const override { return pending_.isEmpty(); }
    bool joinAll(int) override {
        pending_.clear();
        return true;
    }
    // Ends the oldest worker: its ended step runs now.
    bool endOne() {
        if (pending_.isEmpty())
            return false;
        const std::function<void()> ended = pending_.takeFirst();
        if (ended)
            ended();
        return true;
    }
    int running() const { return int(pending_.size()); }

private:
    QList<std::function<void()>> pending_;
};
