#include "core/WorkerThreads.h"

#include <QMetaObject>
#include <QThread>
#include <chrono>
#include <thread>
#include <utility>

WorkerThreads::WorkerThreads(QObject* owner) : owner_(owner), link_(std::make_shared<OwnerLink>()) {
    link_->owner = owner;
}

WorkerThreads::~WorkerThreads() {
    joinAll(0);
    std::lock_guard<std::mutex> lock(parking_->mutex);
    parking_->closing = true;
    parking_->wake.notify_all();
}

void WorkerThreads::runThread(std::shared_ptr<Parking> parking, std::function<void()> task) {
    for (;;) {
        task();
        task = nullptr; // what the work held goes now, not when the next work comes
        std::unique_lock<std::mutex> lock(parking->mutex);
        if (parking->waiting || parking->closing)
            return;
        parking->waiting = true;
        parking->wake.wait_for(lock, std::chrono::milliseconds(kParkMs),
                               [&parking] { return parking->next || parking->closing; });
        parking->waiting = false;
        if (!parking->next)
            return;
        task = std::exchange(parking->next, nullptr);
    }
}

bool WorkerThreads::threadWaiting() const {
    std::lock_guard<std::mutex> lock(parking_->mutex);
    return parking_->waiting && !parking_->next;
}

void WorkerThreads::start(std::function<void()> work, std::function<void()> ended) {
    const quint64 id = nextId_++;
    auto returned = std::make_shared<std::atomic<bool>>(false);
    // The thread reaches the owner only through the link, which the owner clears before it
    // goes; the queued step then finds the worker by its id, or nothing when it was already
    // taken care of by joinAll.
    std::function<void()> task = [this, id, work = std::move(work), ended = std::move(ended),
                                  link = link_, returned]() mutable {
        work();
        returned->store(true);
        std::lock_guard<std::mutex> lock(link->mutex);
        if (!link->owner)
            return;
        QMetaObject::invokeMethod(
            link->owner, [this, id, ended = std::move(ended)] { settle(id, ended); },
            Qt::QueuedConnection);
    };
    workers_.push_back(Worker{id, returned});
    {
        std::lock_guard<std::mutex> lock(parking_->mutex);
        if (parking_->waiting && !parking_->next) {
            parking_->next = std::move(task);
            parking_->wake.notify_one();
            return;
        }
    }
    std::thread(runThread, parking_, std::move(task)).detach();
}

WorkerThreads::Post WorkerThreads::poster() const {
    return [link = link_](std::function<void()> step) {
        std::lock_guard<std::mutex> lock(link->mutex);
        if (link->owner)
            QMetaObject::invokeMethod(link->owner, std::move(step), Qt::QueuedConnection);
    };
}

void WorkerThreads::settle(quint64 id, const std::function<void()>& ended) {
    for (auto it = workers_.begin(); it != workers_.end(); ++it) {
        if (it->id != id)
            continue;
        workers_.erase(it);
        if (ended)
            ended();
        return;
    }
}

bool WorkerThreads::joinAll(int ms) {
    {
        std::lock_guard<std::mutex> lock(link_->mutex);
        link_->owner = nullptr;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    bool allReturned = true;
    for (Worker& w : workers_) {
        while (!w.returned->load() && std::chrono::steady_clock::now() < deadline)
            QThread::msleep(5);
        allReturned = allReturned && w.returned->load();
    }
    workers_.clear();
    // Workers started from now on report as before.
    link_ = std::make_shared<OwnerLink>();
    link_->owner = owner_;
    return allReturned;
}
