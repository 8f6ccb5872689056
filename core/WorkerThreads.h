#pragma once

#include <QObject>

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

// What runs an engine's workers: each gets one piece of work, and its `ended` step follows on
// the engine's thread once the work has returned.
class WorkerRunner {
public:
    virtual ~WorkerRunner() = default;
    virtual void start(std::function<void()> work, std::function<void()> ended = {}) = 0;
    // A worker is listed from its start until its `ended` step has run.
    virtual bool empty() const = 0;
    // Waits up to `ms` for the listed workers to return. Those that have not are left to end
    // by themselves, with nothing of the owner's: their `ended` steps never run. True when
    // every worker returned.
    virtual bool joinAll(int ms) = 0;
};

// Workers on threads of their own. When the work returns, its `ended` step runs on the
// owner's thread at once (a queued call), after the thread has been joined. Nothing on the
// owner's thread ever blocks on a running worker, except the program's end, which waits a
// bounded time.
class WorkerThreads final : public WorkerRunner {
public:
    // `ended` steps run on `owner`'s thread; none runs once the owner is gone.
    explicit WorkerThreads(QObject* owner);
    ~WorkerThreads() override;
    WorkerThreads(const WorkerThreads&) = delete;
    WorkerThreads& operator=(const WorkerThreads&) = delete;

    void start(std::function<void()> work, std::function<void()> ended = {}) override;
    bool empty() const override { return workers_.empty(); }
    bool joinAll(int ms) override;

    // What a worker hands to the owner's thread on its way (a listed row, say): each step runs
    // there in the order posted, before the `ended` step of the work that posted it. Steps
    // posted once the owner is gone, or after joinAll gave up on the workers, are dropped.
    using Post = std::function<void(std::function<void()>)>;
    Post poster() const;

private:
    struct Worker {
        quint64 id = 0;
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> returned;
    };
    // What a worker thread needs to reach its owner; the owner clears it when it goes.
    struct OwnerLink {
        std::mutex mutex;
        QObject* owner = nullptr;
    };

    void settle(quint64 id, const std::function<void()>& ended);

    QObject* owner_;
    std::shared_ptr<OwnerLink> link_;
    std::list<Worker> workers_;
    quint64 nextId_ = 1;
};
