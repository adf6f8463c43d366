#pragma once

#include "platform/endpoint_security/ESMessage.h"
#include "platform/endpoint_security/MessageArena.hpp"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <type_traits>

namespace vorla::endpoint_security {

// A message together with everything its pointers reach. The message owns that memory, so it
// stays valid for as long as the message lives and is freed with it.
class DecodedMessage {
public:
    es_message_t& message() { return message_; }
    const es_message_t& message() const { return message_; }

    // A zero-initialised value owned by the message.
    template <typename T> T* make() {
        static_assert(std::is_trivially_destructible_v<T>);
        return new (arena_.allocate(sizeof(T), alignof(T))) T{};
    }

    // Zero-initialised values owned by the message (nullptr for none).
    template <typename T> T* makeArray(size_t count) {
        static_assert(std::is_trivially_destructible_v<T>);
        if (count == 0) {
            return nullptr;
        }
        auto* values = static_cast<T*>(arena_.allocate(sizeof(T) * count, alignof(T)));
        std::uninitialized_value_construct_n(values, count);
        return values;
    }

    // Copies the bytes, padded with zero bytes up to size, and returns where they lie; they are
    // followed by at least one zero byte.
    const char* keep(std::string_view bytes, size_t size) {
        const size_t padded = std::max(size, bytes.size()) + 1;
        auto* kept = static_cast<char*>(arena_.allocate(padded, 1));
        if (!bytes.empty()) { // a token of length alone has no bytes to copy, not even a pointer
            std::memcpy(kept, bytes.data(), bytes.size());
        }
        // Most tokens are their bytes alone, which a call to clear one byte would cost more than.
        if (padded - bytes.size() == 1) {
            kept[bytes.size()] = 0;
        } else {
            std::memset(kept + bytes.size(), 0, padded - bytes.size());
        }
        return kept;
    }

    // Asks the processor to fetch the values that the message's pointers reach, ahead of their
    // use on another thread than the one that decoded them.
    void prefetch() const { arena_.prefetch(); }

private:
    es_message_t message_{};
    MessageArena arena_;
};

} // namespace vorla::endpoint_security
