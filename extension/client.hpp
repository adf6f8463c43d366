#pragma once

#include "extension/Formatter.hpp"
#include "extension/Logger.hpp"
#include "extension/config/Config.hpp"
#include "platform/endpoint_security/EndpointSecurity.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vorla::extension {

// Counts the messages that the service skipped, from the sequence numbers of messages of
// version 4 and later (older ones carry none). Owned and called by the handler alone.
class DroppedMessageCount {
public:
    // How many messages were skipped before this one; 0 when none were.
    std::uint64_t operator()(const es_message_t& message);
    // The sequence number last accounted for.
    std::uint64_t counter() const { return counter_; }

private:
    std::uint64_t counter_ = 0;
};

// The event types to subscribe to: executions for the audit log, everything else for the
// access log, su and sudo only where the system has them.
std::vector<es_event_type_t> subscriptionList(const Config& configuration, bool suAndSudoExist);

// The two error-log lines that explain a refused client.
std::vector<std::string> newClientFailureLines(es_new_client_result_t result);

// Writes an audit line (flag set) or an access line on the calling thread; without a line it
// notes the dropped message in the error log.
void writeLine(const Logger& logger, const std::optional<std::string>& line, bool audit);

// The extension's Endpoint Security client: it subscribes to the configured events and turns
// every message into one line in the audit or access log.
class ESClient {
public:
    using NewClient = std::function<es_new_client_result_t(es_client_t**, es_handler_block_t)>;

    // Creates the client with its message handler. A refused client is reported to the error
    // log and ends the process with status 5.
    ESClient(std::shared_ptr<const Config> configuration, std::shared_ptr<const Logger> logger,
             const NewClient& newClient = es_new_client);

    // The extension keeps its client until the process ends; only a shorter-lived owner (a
    // test) ever gets here, and the client goes with it.
    ~ESClient();
    ESClient(const ESClient&) = delete;
    ESClient& operator=(const ESClient&) = delete;

    // Applies the muting and subscribes. A refused subscription is reported to the error log,
    // the client deleted and the process ended with status 6.
    void run() const;

    // The handler body: one message, one line (or one error-log line).
    void handleEvent(const es_message_t& message) const;

private:
    // Everything the handler touches; shared with the handler that the service keeps.
    struct HandlerState {
        std::shared_ptr<const Config> configuration;
        std::shared_ptr<const Logger> logger;
        Formatter formatter;
        DroppedMessageCount droppedMessageCount;
        bool suAndSudoExist;

        void handle(const es_message_t& message);
    };

    es_client_t* client_ = nullptr;
    std::shared_ptr<HandlerState> state_;
};

} // namespace vorla::extension
