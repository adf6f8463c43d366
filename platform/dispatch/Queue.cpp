#include "platform/dispatch/Dispatch.hpp"
#include "platform/dispatch/Pool.hpp"
#include "platform/dispatch/SerialQueue.hpp"

#include <condition_variable>
#include <mutex>

namespace vorla::dispatch {

using detail::SerialQueue;

Queue::Queue(std::string label)
    : impl_(std::make_shared<SerialQueue>(std::move(label), SerialQueue::Runner::pool)) {}

Queue::Queue(std::shared_ptr<SerialQueue> impl) : impl_(std::move(impl)) {}

const std::string& Queue::label() const {
    return impl_->label();
}

void Queue::async(Work work) const {
    impl_->async(std::move(work));
}

void Queue::sync(Work work) const {
    impl_->sync(std::move(work));
}

namespace {
const std::shared_ptr<SerialQueue>& mainSerialQueue() {
    static const auto main =
        std::make_shared<SerialQueue>("com.apple.main-thread", SerialQueue::Runner::mainThread);
    return main;
}
} // namespace

Queue mainQueue() {
    return Queue(mainSerialQueue());
}

void runMainQueueItems() {
    mainSerialQueue()->runPending();
}

void runTask(Work work) {
    detail::Pool::shared().submit(std::move(work));
}

void drain() {
    detail::Pool::shared().waitUntilIdle();
}

struct Group::State {
    std::mutex mutex;
    std::condition_variable balanced;
    long count = 0;
};

Group::Group() : state_(std::make_shared<State>()) {}

void Group::enter() const {
    const std::lock_guard lock(state_->mutex);
    ++state_->count;
}

void Group::leave() const {
    const std::lock_guard lock(state_->mutex);
    if (--state_->count == 0) {
        state_->balanced.notify_all();
    }
}

bool Group::wait(std::chrono::steady_clock::time_point deadline) const {
    std::unique_lock lock(state_->mutex);
    return state_->balanced.wait_until(lock, deadline, [this] { return state_->count <= 0; });
}

} // namespace vorla::dispatch
