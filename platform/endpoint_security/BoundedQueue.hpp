#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace vorla::endpoint_security {

// Hands items from one thread to another, holding at most a fixed number and a fixed total
// weight (the memory an item stands for), so a producer that runs ahead waits instead of filling
// memory. An item heavier than the whole bound still passes alone. Closing it ends both sides at
// once and frees what it still holds; finishing it lets the consumer take what is left first.
// The consumer hands each item it is done with back with its next pop, the batch of them with
// its next take, and the one producer destroys them with its next push: an item's memory is
// freed on the thread that allocated it, where the allocator takes no lock that the other thread
// contends for. So besides what waits, the consumer may hold as many items again, taken or done,
// and as many again wait for that push. For the same reason the items wait in room made once,
// which the consumer swaps whole for its own: a queue of nodes would allocate on the producer's
// thread and free on the consumer's, a contended lock for every few items.
template <typename T> class BoundedQueue {
public:
    explicit BoundedQueue(size_t capacity, size_t weightCapacity = SIZE_MAX)
        : capacity_(capacity), weightCapacity_(weightCapacity) {
        waiting_.reserve(capacity);
        taken_.reserve(capacity);
    }

    // Waits for room; false once the queue is closed, and the item is then dropped.
    bool push(T item, size_t weight = 0) {
        // Emptied after the lock is let go: their destructors must not hold up the consumer.
        const SpentItems spent(spent_);
        std::unique_lock lock(mutex_);
        notFull_.wait(lock, [&] {
            return closed_ || (waiting_.size() < capacity_ &&
                               (waiting_.empty() || (weight_ <= weightCapacity_ &&
                                                     weight <= weightCapacity_ - weight_)));
        });
        if (closed_) {
            return false;
        }
        waiting_.push_back(std::move(item));
        weight_ += weight;
        spent_.swap(handedBack_);
        lock.unlock();
        notEmpty_.notify_one();
        return true;
    }

    // Waits for an item; nothing once the queue is closed, or finished and empty. `done` is the
    // item that the last pop gave, once the consumer is done with it. The consumer takes all
    // that waits at once and gives it out one by one, so it takes the lock, and wakes a waiting
    // producer, once for every batch rather than for every item.
    std::optional<T> pop(std::optional<T> done = std::nullopt) {
        if (done) {
            delivered_.push_back(std::move(*done));
        }
        if (closed_) {
            taken_.clear();
            delivered_.clear();
            return std::nullopt;
        }
        if (next_ == taken_.size() && !takeWaiting()) {
            return std::nullopt;
        }
        return std::move(taken_[next_++]);
    }

    // For the consumer: the item its next pop gives at once, when it took that one already.
    const T* upcoming() const { return next_ < taken_.size() ? &taken_[next_] : nullptr; }

    // No more items will come.
    void finish() {
        {
            const std::lock_guard lock(mutex_);
            finished_ = true;
        }
        notEmpty_.notify_all();
    }

    // From any thread: what the consumer took stays its own until its next pop.
    void close() {
        // A closed queue takes and gives no more items, so it needs its room no longer.
        std::vector<T> dropped;
        std::vector<T> handedBack;
        {
            const std::lock_guard lock(mutex_);
            closed_ = true;
            weight_ = 0;
            dropped.swap(waiting_);
            handedBack.swap(handedBack_);
        }
        notFull_.notify_all();
        notEmpty_.notify_all();
    }

private:
    // Hands what was delivered back and moves every waiting item over to the consumer, once
    // there is one; false once the queue is closed, or finished and empty.
    bool takeWaiting() {
        // Everything taken before was given out; what is left of it holds nothing.
        taken_.clear();
        next_ = 0;
        std::unique_lock lock(mutex_);
        notEmpty_.wait(lock, [this] { return closed_ || finished_ || !waiting_.empty(); });
        if (closed_ || waiting_.empty()) {
            return false;
        }
        // The push that brought the items took over what was handed back before, so the
        // producer finds exactly these at its next push.
        handedBack_.swap(delivered_);
        taken_.swap(waiting_);
        weight_ = 0;
        lock.unlock();
        notFull_.notify_one();
        return true;
    }

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
    // The items waiting, oldest first, and their weight.
    std::vector<T> waiting_;
    size_t weight_ = 0;
    // Handed back by the consumer, and taken over by the producer (whose own is spent_, kept
    // apart so that the two vectors swap and keep their room instead of allocating anew).
    std::vector<T> handedBack_;
    std::vector<T> spent_;
    // The consumer's own: what it took and gives out from next_ on, and what it is done with.
    std::vector<T> taken_;
    size_t next_ = 0;
    std::vector<T> delivered_;
    bool finished_ = false;
    // Read by the consumer between batches without the lock.
    std::atomic<bool> closed_ = false;
};

} // namespace vorla::endpoint_security
