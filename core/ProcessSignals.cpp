#include "core/ProcessSignals.h"

#include "core/LogCategories.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <iterator>
#include <unistd.h>

namespace {

constexpr int kSessionSignals[] = {SIGTERM, SIGINT, SIGHUP};
constexpr int kSignalCount = int(std::size(kSessionSignals));

// Touched by the handler: only a descriptor and a lock-free counter.
std::atomic<int> gWriteFd{-1};
std::atomic<int> gReceived{0};
static_assert(std::atomic<int>::is_always_lock_free);

struct sigaction gPrevious[kSignalCount];
bool gTaken[kSignalCount] = {};

extern "C" void onSessionSignal(int number) {
    const int savedErrno = errno;
    if (gReceived.fetch_add(1) > 0) {
        // The second one: the default effect, delivered as soon as this handler returns.
        ::signal(number, SIG_DFL);
        ::raise(number);
    } else {
        const char byte = char(number);
        [[maybe_unused]] const ssize_t written = ::write(gWriteFd.load(), &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

void IgnoreFileSizeSignal() {
    ::signal(SIGXFSZ, SIG_IGN);
}

SessionEndSignals::SessionEndSignals(QObject* parent) : QObject(parent) {
    int fds[2];
    if (gWriteFd.load() >= 0 || ::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        qCWarning(lcBus, "the end of the session cannot be watched; its signals end the program");
        return;
    }
    readFd_ = fds[0];
    gWriteFd.store(fds[1]);
    gReceived.store(0);
    notifier_ = new QSocketNotifier(readFd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SessionEndSignals::readPipe);

    struct sigaction action {};
    action.sa_handler = onSessionSignal;
    sigemptyset(&action.sa_mask);
    for (int number : kSessionSignals)
        sigaddset(&action.sa_mask, number); // one handler at a time counts them
    action.sa_flags = SA_RESTART;           // the workers' blocking calls go on
    for (int i = 0; i < kSignalCount; ++i) {
        struct sigaction previous {};
        ::sigaction(kSessionSignals[i], nullptr, &previous);
        if (previous.sa_handler == SIG_IGN)
            continue;
        gTaken[i] = ::sigaction(kSessionSignals[i], &action, &gPrevious[i]) == 0;
    }
}

SessionEndSignals::~SessionEndSignals() {
    if (!notifier_)
        return;
    for (int i = 0; i < kSignalCount; ++i) {
        if (gTaken[i])
            ::sigaction(kSessionSignals[i], &gPrevious[i], nullptr);
        gTaken[i] = false;
    }
    ::close(gWriteFd.exchange(-1));
    ::close(readFd_);
}

void SessionEndSignals::readPipe() {
    char bytes[16];
    ssize_t got = 0;
    int first = 0;
    while ((got = ::read(readFd_, bytes, sizeof bytes)) > 0) {
        if (first == 0)
            first = static_cast<unsigned char>(bytes[0]);
    }
    if (first != 0 && !emitted_) {
        emitted_ = true;
        emit endRequested(first);
    }
}
