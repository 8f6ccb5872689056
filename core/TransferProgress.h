#pragma once

#include <QtGlobal>
#include <atomic>

// How a worker's attempt at a file ended when the file is not complete. Both clients' workers
// report the first three; the others are one client's own.
enum class AttemptOutcome {
    None,    // no verdict (the attempt is under way, or it completed)
    Failed,  // retried after a second, three times in a row
    Stopped, // on request: what the receiving side holds stays, the file resumes later
    // the download client's
    CannotWrite,   // the folder cannot be written: the member is asked for another
    AskUser,       // the local file exists: the duplicate-file question decides
    NotAcceptable, // a link or a non-file on the way: this file fails, the list goes on
    DiskFull,      // no space left: the list stops, the bytes stay
    // the upload client's
    CannotOpen, // the local file cannot be opened: the queue waits until the member acts
};

// What a transfer worker and its engine share about one attempt at one file. The engine
// keeps it with shared ownership beside the worker, reads it on its display ticks, asks for
// a stop through it, and copies the outcome into the file's row once the worker has ended.
// The worker never touches a row.
class TransferProgress {
public:
    enum class Phase { Working, StopRequested, Complete };

    // Bytes of the file the receiving side holds.
    std::atomic<qint64> done{0};
    // Bytes per second over the last measuring window.
    std::atomic<qint64> rate{0};
    // The data connection got as far as the file's bytes (a resumed row keeps this).
    std::atomic<bool> started{false};
    // How the ended attempt went, when it did not complete the file.
    std::atomic<AttemptOutcome> result{AttemptOutcome::None};

    // A stop turns a working attempt into a stopped one; a file whose last byte has gone is
    // complete whatever is asked later. Both are one compare-and-set, so the two can never
    // both win: false when the attempt had already completed.
    bool requestStop() {
        Phase expected = Phase::Working;
        return phase_.compare_exchange_strong(expected, Phase::StopRequested);
    }
    // The worker's own verdict once every byte is there; it wins over a stop that comes
    // after the last byte.
    void markComplete() { phase_.store(Phase::Complete); }
    bool stopRequested() const { return phase_.load() == Phase::StopRequested; }
    bool complete() const { return phase_.load() == Phase::Complete; }

private:
    std::atomic<Phase> phase_{Phase::Working};
};
