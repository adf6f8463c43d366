#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

// Serial queues, groups, a background task pool and the main loop: the small part of Dispatch
// that the programs use. All queues and tasks share one pool of worker threads, so the main
// loop can wait for all of them to finish before the process ends.
namespace vorla::dispatch {

using Work = std::function<void()>;

namespace detail {
class SerialQueue;
}

// A serial queue: work items run one at a time, in submission order. Copies share the queue.
class Queue {
public:
    explicit Queue(std::string label);

    const std::string& label() const;
    void async(Work work) const;
    // Runs the work on the queue and waits for it. Called from the queue itself, it runs the
    // work at once instead of waiting for itself forever.
    void sync(Work work) const;

    friend bool operator==(const Queue&, const Queue&) = default;

private:
    friend Queue mainQueue();
    explicit Queue(std::shared_ptr<detail::SerialQueue> impl);
    std::shared_ptr<detail::SerialQueue> impl_;
};

// The queue whose items run on the main thread, inside dispatchMain() or runMainQueueItems().
Queue mainQueue();

// A counter of outstanding work that can be waited on.
class Group {
public:
    Group();
    void enter() const;
    void leave() const;
    // True when every enter() has been matched by a leave() by the deadline.
    bool wait(std::chrono::steady_clock::time_point deadline) const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

// Starts background work on the task pool without waiting for it.
void runTask(Work work);

// Waits until every serial queue (but the main queue) and every background task is idle.
void drain();

// Runs the main queue's pending items on the calling thread (the main thread).
void runMainQueueItems();

// Lets another event loop (the app's) run the main queue: the wakeup is called, from any
// thread, whenever items are added; it must arrange for runMainQueueItems() on the main thread.
void setMainQueueWakeup(std::function<void()> wakeup);

// Called once when the main loop is asked to stop, before the queues are drained; a message
// source uses it to stop delivering.
void onStop(Work hook);

// Asks the main loop to stop, as SIGTERM and SIGINT do.
void requestStop();

// For another event loop (the app's) that runs instead of dispatchMain(): from now on SIGTERM
// and SIGINT ask for a stop, as they do there. The descriptor returned becomes readable when
// a stop may have been asked for; the loop then calls takeStopRequest(), which empties it and
// says whether one was. Without a descriptor (-1) the signals keep their default action.
int watchStopRequests();
bool takeStopRequest();
// The signal (SIGTERM, SIGINT) that asked for the stop, or 0 when none did: a program that is
// interrupted tells it in its exit status.
int stopSignal();

// The main loop: runs main-queue items until a stop is asked for, then lets every queue and
// task finish the work already given to it and ends the process with status 0.
[[noreturn]] void dispatchMain();

} // namespace vorla::dispatch
