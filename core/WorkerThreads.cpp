#include "WorkerThreads.h"

void WorkerThreads::start(std::function<void()> work) {
    auto finished = std::make_shared<Shared<bool>>(false);
    Worker worker;
    worker.finished = finished;
    worker.thread = std::thread([work = std::move(work), finished] {
        work();
        finished->store(true);
    });
    workers_.push_back(std::move(worker));
}

void WorkerThreads::reap() {
    for (auto it = workers_.begin(); it != workers_.end();) {
        if (it->finished->load()) {
            it->thread.join();
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
}

void WorkerThreads::joinAll() {
    for (Worker& w : workers_)
        w.thread.join();
    workers_.clear();
}
