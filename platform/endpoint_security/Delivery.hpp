#pragma once

#include "platform/endpoint_security/ESMessage.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace vorla::endpoint_security {

// Delivers the messages of a stream on one service thread, one at a time and in stream order.
// A message of a type the service knows is delivered only while the client is subscribed to
// that type; others are skipped silently and take no sequence number. Lines that are not
// messages are skipped with one diagnostic on standard error that names
// the line number. A reader thread reads and decodes a few messages ahead, so decoding does not
// hold up the handler; the diagnostics still appear in stream order among the deliveries.
class Delivery {
public:
    using Handler = std::function<void(const es_message_t*)>;
    using Subscribed = std::function<bool(es_event_type_t)>;

    // source: a path, or "-" for standard input. streamEnded runs on the service thread after
    // the last message has been handled, unless the delivery was stopped before.
    Delivery(std::string source, Handler handler, Subscribed subscribed,
             std::function<void()> streamEnded);
    Delivery(const Delivery&) = delete;
    Delivery& operator=(const Delivery&) = delete;
    ~Delivery();

    void start();
    // No message is delivered after this returns, and the one being handled, if any, has
    // been handled completely. From the service thread itself it only stops what follows.
    void stop();

private:
    struct State;
    std::shared_ptr<State> state_;
    // Guards thread_: a handler may stop the delivery from the service thread while start()
    // is still storing the thread that runs it.
    std::mutex threadMutex_;
    std::thread thread_;
};

} // namespace vorla::endpoint_security
