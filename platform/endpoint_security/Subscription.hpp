#pragma once

#include "platform/endpoint_security/ESTypes.h"

#include <array>
#include <atomic>
#include <cstddef>

namespace vorla::endpoint_security {

// The event types a client has subscribed to. The client's calls add to it while the service
// thread reads it for every message, so each type is a flag of its own and no lock is needed.
class Subscription {
public:
    void add(const es_event_type_t* events, uint32_t count) {
        for (uint32_t i = 0; i < count; ++i) {
            if (events[i] < subscribed_.size()) {
                subscribed_[events[i]].store(true, std::memory_order_relaxed);
            }
        }
    }

    bool contains(es_event_type_t type) const {
        return type < subscribed_.size() && subscribed_[type].load(std::memory_order_relaxed);
    }

private:
    // Beyond every event type the service has a payload for.
    static constexpr size_t typeCount = 256;
    std::array<std::atomic<bool>, typeCount> subscribed_{};
};

} // namespace vorla::endpoint_security
