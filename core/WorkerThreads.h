#pragma once

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <list>
#include <memory>
#include <mutex>

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
// owner's thread at once (a queued call). Nothing on the owner's thread ever blocks on a
// running worker, except the program's end, which waits a bounded time. A thread whose work
// has returned waits a moment for the next work: over a slow link files follow one another
// within a millisecond, and starting a thread costs about half of one on a busy machine.
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

    // How long a thread whose work has returned waits for the next.
    static constexpr int kParkMs = 2000;
    // A thread waits for work now: the next start takes it.
    bool threadWaiting() const;

private:
    struct Worker {
        quint64 id = 0;
        std::shared_ptr<std::atomic<bool>> returned;
    };
    // Where a thread waits for its next work; shared with the threads, which may outlive
    // the owner.
    struct Parking {
        std::mutex mutex;
        std::condition_variable wake;
        std::function<void()> next; // handed to the waiting thread
        bool waiting = false;       // a thread waits (one at most)
        bool closing = false;
    };
    static void runThread(std::shared_ptr<Parking> parking, std::function<void()> task);
    // What a worker thread needs to reach its owner; the owner clears it when it goes.
    struct OwnerLink {
        std::mutex mutex;
        QObject* owner = nullptr;
    };

    void settle(quint64 id, const std::function<void()>& ended);

    QObject* owner_;
    std::shared_ptr<OwnerLink> link_;
    std::shared_ptr<Parking> parking_ = std::make_shared<Parking>();
    std::list<Worker> workers_;
    quint64 nextId_ = 1;
};
