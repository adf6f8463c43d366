#pragma once

#include "platform/endpoint_security/ESMessage.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace vorla::endpoint_security {

// A message together with everything its pointers reach. The message owns that memory, so it
// stays valid for as long as the message lives and is freed with it.
class DecodedMessage {
public:
    DecodedMessage() = default;
    DecodedMessage(const DecodedMessage&) = delete;
    DecodedMessage& operator=(const DecodedMessage&) = delete;
    DecodedMessage(DecodedMessage&&) noexcept = default;
    DecodedMessage& operator=(DecodedMessage&&) noexcept = default;

    es_message_t& message() { return message_; }
    const es_message_t& message() const { return message_; }

    // A zero-initialised value owned by the message.
    template <typename T> T* make() {
        auto value = std::make_shared<T>();
        T* raw = value.get();
        storage_.push_back(std::move(value));
        return raw;
    }

    // Zero-initialised values owned by the message (nullptr for none).
    template <typename T> T* makeArray(size_t count) {
        if (count == 0) {
            return nullptr;
        }
        auto values = std::make_shared<std::vector<T>>(count);
        T* raw = values->data();
        storage_.push_back(std::move(values));
        return raw;
    }

    // Copies the bytes, padded with zero bytes up to size, and returns where they lie; they are
    // followed by at least one zero byte.
    const char* keep(std::string_view bytes, size_t size) {
        // One zero-filled allocation holds the bytes, the padding and the final zero byte.
        auto value = std::make_shared<char[]>(std::max(size, bytes.size()) + 1);
        if (!bytes.empty()) { // a token of length alone has no bytes to copy, not even a pointer
            std::memcpy(value.get(), bytes.data(), bytes.size());
        }
        const char* raw = value.get();
        storage_.push_back(std::move(value));
        return raw;
    }

private:
    es_message_t message_{};
    std::vector<std::shared_ptr<const void>> storage_;
};

} // namespace vorla::endpoint_security
