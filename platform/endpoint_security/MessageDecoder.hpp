#pragma once

#include "platform/endpoint_security/DecodedMessage.hpp"
#include "platform/endpoint_security/LineDocument.hpp"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vorla::endpoint_security {

// Turns the lines of a message stream (one JSON object per line) into messages. Keys that are
// left out take their defaults; a left-out sequence number is given by the service that
// delivers the message, since only it knows which messages are delivered. The decoder keeps
// the buffers of one line for the next, unless the line was long.
class MessageDecoder {
public:
    using Clock = std::function<std::chrono::system_clock::time_point()>;

    // No line longer than this is decoded. A token or a whole message may not make the service
    // hold more than this many bytes either: explicit lengths may pad a token beyond its text,
    // but never a message beyond what its longest possible line could bring.
    static constexpr size_t maxLineLength = LineDocument::maxLineLength;
    static constexpr size_t maxTokenLength = size_t{1} << 20;
    static constexpr size_t maxMessageBytes = maxLineLength;

    // Why a line longer than maxLineLength is skipped.
    static std::string lineTooLong();

    explicit MessageDecoder(Clock clock = std::chrono::system_clock::now);

    struct Result {
        std::optional<DecodedMessage> message;
        // Why the line was not a message, when it was not.
        std::string error;
        // The line gave no time, so the message carries the moment of decoding; a service that
        // delivers it later gives it the moment of delivery instead (setTime).
        bool timeLeftOut = false;
        // The line gave no sequence number.
        bool sequenceLeftOut = false;
        // The stream format has a payload for the message's type: an event the service knows,
        // as opposed to a number it passes on as it comes.
        bool knownType = false;
    };

    Result decode(std::string_view line);

    static void setTime(es_message_t& message, std::chrono::system_clock::time_point time);

private:
    // The longest line whose buffers are kept for the next.
    static constexpr size_t reusedLineLength = size_t{64} << 10;

    Result decodeObject(std::string_view line);

    Clock clock_;
    LineDocument document_;
};

} // namespace vorla::endpoint_security
