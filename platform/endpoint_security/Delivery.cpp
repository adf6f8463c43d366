#include "platform/endpoint_security/Delivery.hpp"

#include "platform/endpoint_security/BoundedQueue.hpp"
#include "platform/endpoint_security/LineReader.hpp"
#include "platform/endpoint_security/MessageDecoder.hpp"
#include "platform/foundation/TrustedStreams.hpp"

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <iostream>
#include <optional>
#include <unistd.h>

namespace vorla::endpoint_security {

namespace {

// Enough decoded messages to keep the handler busy while the reader waits for input, few
// enough that a fast stream cannot make the service hold much memory. A decoded message costs
// memory in proportion to its line, so the lines waiting may together be no longer than one
// line may be; the handler takes them all at once, so as many again may be taken and not yet
// delivered, and as many again, delivered, wait for the reader to free them. The reader is woken
// only when the handler takes what waits, and waking a thread costs as much as writing a few
// lines, so the count also sets how rarely that happens.
constexpr size_t readAheadMessages = 64;
constexpr size_t readAheadLineBytes = MessageDecoder::maxLineLength;

// A line of the stream as the reader leaves it for delivery: a message, or why it was skipped.
struct DecodedLine {
    size_t lineNumber = 0;
    MessageDecoder::Result decoded;
};

// The stream's messages stand for the kernel's: it is read only from what nobody but root (or
// the user the service runs as) can write. -1, after a diagnostic, when it cannot be.
int openSource(const std::string& source) {
    try {
        if (source == "-") {
            foundation::checkTrustedStream(STDIN_FILENO, "standard input");
            return STDIN_FILENO;
        }
        return foundation::openTrustedStream(source).release();
    } catch (const foundation::FoundationError& error) {
        std::cerr << "VORLA_ES_SOURCE: " << error.what() << '\n';
        return -1;
    }
}

bool blank(std::string_view line) {
    return line.find_first_not_of(" \t\r") == std::string_view::npos;
}

} // namespace

struct Delivery::State {
    std::string source;
    Handler handler;
    Subscribed subscribed;
    std::function<void()> streamEnded;
    std::atomic<bool> stopped{false};
    std::unique_ptr<LineReader> reader;
    BoundedQueue<DecodedLine> lines{readAheadMessages, readAheadLineBytes};

    void readAhead();
    void deliver();
    // False once the delivery was stopped.
    bool deliverLine(DecodedLine& item, uint64_t& lastSequenceNumber);
};

// The reader thread: every line in stream order, until the end of the stream or a stop.
void Delivery::State::readAhead() {
    MessageDecoder decoder;
    size_t lineNumber = 0;
    bool tooLong = false;
    while (!stopped) {
        const auto line = reader->next(tooLong);
        if (!line || stopped) {
            break;
        }
        DecodedLine item{++lineNumber, {}};
        if (tooLong) {
            item.decoded.error = MessageDecoder::lineTooLong();
        } else if (blank(*line)) {
            continue;
        } else {
            item.decoded = decoder.decodePadded(*line);
        }
        if (!lines.push(std::move(item), line->size())) {
            break;
        }
    }
    lines.finish();
}

// The service thread. It owns the reader thread, so a delivery that is let go after a stop
// from within a handler still ends the reader before it ends itself.
void Delivery::State::deliver() {
    std::thread readerThread([this] { readAhead(); });
    uint64_t lastSequenceNumber = 0;
    // Each line goes back to the reader, which decoded it, to be freed there.
    std::optional<DecodedLine> done;
    while (auto item = lines.pop(std::move(done))) {
        // The next message was written on the reader's processor: it is fetched over while this
        // one is formatted and written, instead of piece by piece as the next line is formatted
        // (in a replay of executions, formatting went from 14% of this thread to 8%).
        if (const DecodedLine* next = lines.upcoming(); next && next->decoded.message) {
            next->decoded.message->prefetch();
        }
        if (!deliverLine(*item, lastSequenceNumber)) {
            break;
        }
        done = std::move(item);
    }
    // Leaving early (a stop) must not leave the reader waiting for room.
    lines.close();
    readerThread.join();
    if (!stopped && streamEnded) {
        streamEnded();
    }
}

bool Delivery::State::deliverLine(DecodedLine& item, uint64_t& lastSequenceNumber) {
    auto& decoded = item.decoded;
    if (!decoded.message) {
        std::cerr << "VORLA_ES_SOURCE line " << item.lineNumber << " skipped: " << decoded.error
                  << '\n';
        return true;
    }
    if (stopped) {
        return false;
    }
    es_message_t& message = decoded.message->message();
    if (decoded.knownType && !subscribed(message.event_type)) {
        return true;
    }
    if (decoded.sequenceLeftOut) {
        message.global_seq_num = lastSequenceNumber + 1;
    }
    lastSequenceNumber = message.global_seq_num;
    if (decoded.timeLeftOut) {
        MessageDecoder::setTime(message, std::chrono::system_clock::now());
    }
    handler(&message);
    return true;
}

Delivery::Delivery(std::string source, Handler handler, Subscribed subscribed,
                   std::function<void()> streamEnded)
    : state_(std::make_shared<State>()) {
    state_->source = std::move(source);
    state_->handler = std::move(handler);
    state_->subscribed = std::move(subscribed);
    state_->streamEnded = std::move(streamEnded);
}

Delivery::~Delivery() {
    stop();
}

void Delivery::start() {
    const std::lock_guard lock(threadMutex_);
    if (thread_.joinable() || state_->stopped) {
        return;
    }
    // An unreadable stream is an empty one: the service ends as after its last message.
    const int fd = openSource(state_->source);
    state_->reader =
        std::make_unique<LineReader>(fd < 0 ? open("/dev/null", O_RDONLY | O_CLOEXEC) : fd,
                                     MessageDecoder::maxLineLength, MessageDecoder::linePadding);
    // The thread shares the state, so it stays valid even when the delivery is stopped from
    // within a handler and the thread is let go.
    thread_ = std::thread([state = state_] { state->deliver(); });
}

void Delivery::stop() {
    state_->stopped = true;
    state_->lines.close();
    std::thread running;
    {
        const std::lock_guard lock(threadMutex_);
        if (!thread_.joinable()) {
            return;
        }
        state_->reader->interrupt();
        if (thread_.get_id() == std::this_thread::get_id()) {
            thread_.detach();
            return;
        }
        running = std::move(thread_);
    }
    // Joined without the lock: the handler in hand may itself call stop().
    running.join();
}

} // namespace vorla::endpoint_security
