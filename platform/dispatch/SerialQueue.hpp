#pragma once

#include "platform/dispatch/Dispatch.hpp"

#include <deque>
#include <memory>
#include <mutex>
#include <string>

namespace vorla::dispatch::detail {

class SerialQueue : public std::enable_shared_from_this<SerialQueue> {
public:
    enum class Runner { pool, mainThread };

    SerialQueue(std::string label, Runner runner);

    const std::string& label() const { return label_; }
    void async(Work work);
    void sync(Work work);
    bool isCurrent() const;
    // Runs every item that is waiting, on the calling thread (the main queue's runner).
    void runPending();

private:
    void runBatch();
    bool runOne();

    const std::string label_;
    const Runner runner_;
    std::mutex mutex_;
    std::deque<Work> items_;
    bool scheduled_ = false;
};

// Tells the main thread that the main queue has items (defined by the main loop).
void wakeMainThread();

} // namespace vorla::dispatch::detail
