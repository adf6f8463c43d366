#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

namespace vorla::endpoint_security {

// Hands items from one thread to another, holding at most a fixed number, so a producer that
// runs ahead waits instead of filling memory. Closing it ends both sides at once and frees what
// it still holds; finishing it lets the consumer take what is left first.
template <typename T> class BoundedQueue {
public:
    explicit BoundedQueue(size_t capacity) : capacity_(capacity) {}

    // Waits for room; false once the queue is closed, and the item is then dropped.
    bool push(T item) {
        std::unique_lock lock(mutex_);
        notFull_.wait(lock, [this] { return closed_ || items_.size() < capacity_; });
        if (closed_) {
            return false;
        }
        items_.push_back(std::move(item));
        lock.unlock();
        notEmpty_.notify_one();
        return true;
    }

    // Waits for an item; nothing once the queue is closed, or finished and empty.
    std::optional<T> pop() {
        std::unique_lock lock(mutex_);
        notEmpty_.wait(lock, [this] { return closed_ || finished_ || !items_.empty(); });
        if (closed_ || items_.empty()) {
            return std::nullopt;
        }
        std::optional<T> item(std::move(items_.front()));
        items_.pop_front();
        // A waiting producer is woken only once half the room is free, so that it refills in a
        // burst instead of switching threads for every item.
        const bool wakeProducer = items_.size() <= capacity_ / 2;
        lock.unlock();
        if (wakeProducer) {
            notFull_.notify_one();
        }
        return item;
    }

    // No more items will come.
    void finish() {
        {
            const std::lock_guard lock(mutex_);
            finished_ = true;
        }
        notEmpty_.notify_all();
    }

    void close() {
        std::deque<T> dropped;
        {
            const std::lock_guard lock(mutex_);
            closed_ = true;
            dropped.swap(items_);
        }
        notFull_.notify_all();
        notEmpty_.notify_all();
    }

private:
    const size_t capacity_;
    std::mutex mutex_;
    std::condition_variable notFull_;
    std::condition_variable notEmpty_;
    std::deque<T> items_;
    bool finished_ = false;
    bool closed_ = false;
};

} // namespace vorla::endpoint_security
