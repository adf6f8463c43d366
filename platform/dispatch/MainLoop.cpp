#include "platform/dispatch/Dispatch.hpp"
#include "platform/dispatch/Pool.hpp"
#include "platform/dispatch/SerialQueue.hpp"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <unistd.h>
#include <vector>

namespace vorla::dispatch {

namespace {

// The main thread sleeps on this pipe: queue items and stop requests, from signal handlers
// too, wake it with one byte. The write end never blocks: when the pipe is full the main
// thread is awake anyway, and a stop is also kept in a flag that cannot be lost.
struct WakePipe {
    int readEnd = -1;
    int writeEnd = -1;

    WakePipe() {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
            readEnd = ends[0];
            writeEnd = ends[1];
        }
    }
};

WakePipe& wakePipe() {
    static WakePipe* const pipeEnds = new WakePipe();
    return *pipeEnds;
}

std::atomic<int> signalWriteEnd{-1};
std::atomic<bool> stopRequested{false};
std::atomic<int> stopSignalNumber{0};

void wake(int writeEnd) {
    const char byte = 0;
    while (write(writeEnd, &byte, 1) < 0 && errno == EINTR) {
    }
}

extern "C" void onStopSignal(int signal) {
    const int saved = errno;
    stopSignalNumber = signal;
    stopRequested = true;
    wake(signalWriteEnd.load());
    errno = saved;
}

struct Hooks {
    std::mutex mutex;
    std::function<void()> wakeup;
    std::vector<Work> stopHooks;
};

Hooks& hooks() {
    static Hooks* const shared = new Hooks();
    return *shared;
}

void installStopSignals() {
    signalWriteEnd = wakePipe().writeEnd;
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

void emptyWakePipe() {
    char bytes[256];
    while (read(wakePipe().readEnd, bytes, sizeof bytes) > 0) {
    }
}

// Blocks until a stop is asked for, running main-queue items as they arrive.
void runUntilStop() {
    while (!stopRequested) {
        runMainQueueItems();
        if (stopRequested) {
            return;
        }
        pollfd waiting{wakePipe().readEnd, POLLIN, 0};
        if (poll(&waiting, 1, -1) > 0) {
            emptyWakePipe();
        }
    }
}

} // namespace

namespace detail {
void wakeMainThread() {
    std::function<void()> wakeup;
    {
        const std::lock_guard lock(hooks().mutex);
        wakeup = hooks().wakeup;
    }
    if (wakeup) {
        wakeup();
    } else {
        wake(wakePipe().writeEnd);
    }
}
} // namespace detail

void setMainQueueWakeup(std::function<void()> wakeup) {
    const std::lock_guard lock(hooks().mutex);
    hooks().wakeup = std::move(wakeup);
}

void onStop(Work hook) {
    const std::lock_guard lock(hooks().mutex);
    hooks().stopHooks.push_back(std::move(hook));
}

void requestStop() {
    stopRequested = true;
    wake(wakePipe().writeEnd);
}

int watchStopRequests() {
    const int readEnd = wakePipe().readEnd;
    if (readEnd >= 0) {
        installStopSignals();
    }
    return readEnd;
}

int stopSignal() {
    return stopSignalNumber;
}

bool takeStopRequest() {
    emptyWakePipe();
    return stopRequested;
}

void dispatchMain() {
    installStopSignals();
    runUntilStop();

    std::vector<Work> stopHooks;
    {
        const std::lock_guard lock(hooks().mutex);
        stopHooks.swap(hooks().stopHooks);
    }
    for (const Work& hook : stopHooks) {
        detail::runGuarded(hook, "stop");
    }
    // Work already given to the queues may still add items to the main queue; run those too.
    drain();
    runMainQueueItems();
    drain();
    std::exit(EXIT_SUCCESS);
}

} // namespace vorla::dispatch
