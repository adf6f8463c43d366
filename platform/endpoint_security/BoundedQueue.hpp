#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace vorla::endpoint_security {

// Hands items from one thread to another, holding at most a fixed number and a fixed total
// weight (the memory an item stands for), so a producer that runs ahead waits instead of filling
// memory. An item heavier than the whole bound still passes alone. Closing it ends both sides at
// once and frees what it still holds; finishing it lets the consumer take what is left first.
// The consumer hands each item it is done with back with its next pop, and the one producer
// destroys them with its next push: an item's memory is freed on the thread that allocated it,
// where the allocator takes no lock that the other thread contends for. Handed-back items wait
// for that push, so there are never more of them than the queue holds.
template <typename T> class BoundedQueue {
public:
    explicit BoundedQueue(size_t capacity, size_t weightCapacity = SIZE_MAX)
        : capacity_(capacity), weightCapacity_(weightCapacity) {}

    // Waits for room; false once the queue is closed, and the item is then dropped.
    bool push(T item, size_t weight = 0) {
        // Emptied after the lock is let go: their destructors must not hold up the consumer.
        const SpentItems spent(spent_);
        std::unique_lock lock(mutex_);
        notFull_.wait(lock, [&] {
            return closed_ || (items_.size() < capacity_ &&
                               (items_.empty() || (weight_ <= weightCapacity_ &&
                                                   weight <= weightCapacity_ - weight_)));
        });
        if (closed_) {
            return false;
        }
        items_.push_back({std::move(item), weight});
        weight_ += weight;
        spent_.swap(handedBack_);
        lock.unlock();
        notEmpty_.notify_one();
        return true;
    }

    // Waits for an item; nothing once the queue is closed, or finished and empty. `done` is the
    // item that the last pop gave, once the consumer is done with it.
    std::optional<T> pop(std::optional<T> done = std::nullopt) {
        std::unique_lock lock(mutex_);
        if (done && !closed_) {
            handedBack_.push_back(std::move(*done));
        }
        notEmpty_.wait(lock, [this] { return closed_ || finished_ || !items_.empty(); });
        if (closed_ || items_.empty()) {
            return std::nullopt;
        }
        std::optional<T> item(std::move(items_.front().first));
        weight_ -= items_.front().second;
        items_.pop_front();
        // A waiting producer is woken only once half the room is free, in items and in weight
        // alike, so that it refills in a burst instead of switching threads for every item:
        // whichever bound holds it back, the other is loose, and the queue running empty
        // satisfies both.
        const bool wakeProducer = items_.size() <= capacity_ / 2 && weight_ <= weightCapacity_ / 2;
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
        std::deque<std::pair<T, size_t>> dropped;
        std::vector<T> handedBack;
        {
            const std::lock_guard lock(mutex_);
            closed_ = true;
            weight_ = 0;
            dropped.swap(items_);
            handedBack.swap(handedBack_);
        }
        notFull_.notify_all();
        notEmpty_.notify_all();
    }

private:
    // Clears the producer's items on leaving a push, whichever way it leaves.
    struct SpentItems {
        std::vector<T>& items;
        explicit SpentItems(std::vector<T>& spent) : items(spent) {}
        ~SpentItems() { items.clear(); }
    };

    const size_t capacity_;
    const size_t weightCapacity_;
    std::mutex mutex_;
    std::condition_variable notFull_;
    std::condition_variable notEmpty_;
    std::deque<std::pair<T, size_t>> items_;
    size_t weight_ = 0;
    // Handed back by the consumer, and taken over by the producer (whose own is spent_, kept
    // apart so that the two vectors swap and keep their room instead of allocating anew).
    std::vector<T> handedBack_;
    std::vector<T> spent_;
    bool finished_ = false;
    bool closed_ = false;
};

} // namespace vorla::endpoint_security
