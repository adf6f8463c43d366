#include "platform/endpoint_security/Delivery.hpp"

#include "platform/endpoint_security/LineReader.hpp"
#include "platform/endpoint_security/MessageDecoder.hpp"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <unistd.h>

namespace vorla::endpoint_security {

struct Delivery::State {
    std::string source;
    Handler handler;
    std::function<void()> streamEnded;
    std::atomic<bool> stopped{false};
    std::unique_ptr<LineReader> reader;

    void run();
};

namespace {

int openSource(const std::string& source) {
    if (source == "-") {
        return STDIN_FILENO;
    }
    return open(source.c_str(), O_RDONLY | O_CLOEXEC);
}

bool blank(const std::string& line) {
    return line.find_first_not_of(" \t\r") == std::string::npos;
}

} // namespace

void Delivery::State::run() {
    MessageDecoder decoder;
    size_t lineNumber = 0;
    bool tooLong = false;
    while (!stopped) {
        auto line = reader->next(tooLong);
        if (!line || stopped) {
            break;
        }
        ++lineNumber;
        if (tooLong) {
            std::cerr << "VORLA_ES_SOURCE line " << lineNumber
                      << " skipped: longer than the service accepts\n";
            continue;
        }
        if (blank(*line)) {
            continue;
        }
        auto decoded = decoder.decode(*line);
        if (!decoded.message) {
            std::cerr << "VORLA_ES_SOURCE line " << lineNumber << " skipped: " << decoded.error
                      << '\n';
            continue;
        }
        if (stopped) {
            break;
        }
        handler(&decoded.message->message());
    }
    if (!stopped && streamEnded) {
        streamEnded();
    }
}

Delivery::Delivery(std::string source, Handler handler, std::function<void()> streamEnded)
    : state_(std::make_shared<State>()) {
    state_->source = std::move(source);
    state_->handler = std::move(handler);
    state_->streamEnded = std::move(streamEnded);
}

Delivery::~Delivery() {
    stop();
}

void Delivery::start() {
    if (thread_.joinable() || state_->stopped) {
        return;
    }
    const int fd = openSource(state_->source);
    if (fd < 0) {
        // An unreadable stream is an empty one: the service ends as after its last message.
        std::cerr << "VORLA_ES_SOURCE: cannot open " << state_->source << ": "
                  << std::strerror(errno) << '\n';
    }
    state_->reader =
        std::make_unique<LineReader>(fd < 0 ? open("/dev/null", O_RDONLY | O_CLOEXEC) : fd);
    // The thread shares the state, so it stays valid even when the delivery is stopped from
    // within a handler and the thread is let go.
    thread_ = std::thread([state = state_] { state->run(); });
}

void Delivery::stop() {
    state_->stopped = true;
    if (!thread_.joinable()) {
        return;
    }
    state_->reader->interrupt();
    if (thread_.get_id() == std::this_thread::get_id()) {
        thread_.detach();
    } else {
        thread_.join();
    }
}

} // namespace vorla::endpoint_security
