#pragma once

#include "platform/endpoint_security/DecodedMessage.hpp"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vorla::endpoint_security {

class LineParser;

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
    static constexpr size_t maxLineLength = size_t{16} << 20;
    static constexpr size_t maxTokenLength = size_t{1} << 20;
    static constexpr size_t maxMessageBytes = maxLineLength;

    // Why a line longer than maxLineLength is skipped.
    static std::string lineTooLong();

    // The readable bytes that a line given to decodePadded needs behind it.
    static constexpr size_t linePadding = 64;

    explicit MessageDecoder(Clock clock = std::chrono::system_clock::now);
    ~MessageDecoder();

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
    // The same for a line with linePadding readable bytes behind it, whatever they hold, as the
    // stream's reader leaves its lines: it is read where it lies, with no copy.
    Result decodePadded(std::string_view line);

    static void setTime(es_message_t& message, std::chrono::system_clock::time_point time);

private:
    // The longest line whose buffers are kept for the next.
    static constexpr size_t reusedLineLength = size_t{64} << 10;

    Result decodeLine(std::string_view line, bool padded);

    Clock clock_;
    std::unique_ptr<LineParser> parser_;
};

} // namespace vorla::endpoint_security
