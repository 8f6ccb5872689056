#pragma once

#include "SharedField.h"

#include <functional>
#include <list>
#include <memory>
#include <thread>

// The transfer workers a window's timer has started and not yet seen end. The timer reaps
// them (joins those that are done) on its ticks; nothing blocks on a running worker except
// the program's end.
class WorkerThreads {
public:
    ~WorkerThreads() { joinAll(); }

    void start(std::function<void()> work);
    // Joins the workers that have finished; the rest stay listed.
    void reap();
    bool empty() const { return workers_.empty(); }
    // Waits for every worker; they must have been told to end.
    void joinAll();

private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<Shared<bool>> finished;
    };
    std::list<Worker> workers_;
};
