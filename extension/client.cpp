#include "extension/client.hpp"

#include "extension/ExitStatus.hpp"
#include "extension/records/AccessEvents.hpp"
#include "platform/foundation/OperatingSystem.hpp"

#include <cstdlib>
#include <exception>
#include <utility>

namespace vorla::extension {

namespace {

// An exit does not drain the error-log queue, so the logs are finished first: whoever looks
// into why the extension stopped finds the reason in the file.
[[noreturn]] void endProcess(const Logger& logger, ExitStatus status) {
    logger.finishWriting();
    std::exit(static_cast<int>(status));
}

es_mute_path_type_t muteType(enum MutePath::type type) {
    return type == MutePath::type::prefix ? ES_MUTE_PATH_TYPE_TARGET_PREFIX
                                          : ES_MUTE_PATH_TYPE_TARGET_LITERAL;
}

} // namespace

std::uint64_t DroppedMessageCount::operator()(const es_message_t& message) {
    if (message.version < 4) {
        return 0;
    }
    const std::uint64_t expected = counter_ + 1;
    counter_ = expected;
    if (message.global_seq_num <= expected) {
        return 0;
    }
    counter_ = message.global_seq_num;
    return message.global_seq_num - expected;
}

std::vector<es_event_type_t> subscriptionList(const Config& configuration, bool suAndSudoExist) {
    std::vector<es_event_type_t> events;
    if (configuration.auditLogger->enabled) {
        events.push_back(ES_EVENT_TYPE_NOTIFY_EXEC);
    }
    if (configuration.accessLogger->enabled) {
        for (const records::AccessEvent& event : records::accessEvents()) {
            if (suAndSudoExist || !event.needsVersion14) {
                events.push_back(event.type);
            }
        }
    }
    return events;
}

std::vector<std::string> newClientFailureLines(es_new_client_result_t result) {
    std::string reason;
    switch (result) {
    case ES_NEW_CLIENT_RESULT_ERR_NOT_ENTITLED:
        reason = "extension is missing entitlement.";
        break;
    case ES_NEW_CLIENT_RESULT_ERR_NOT_PERMITTED:
        reason = "prompt is not approved on Security & Privacy pane.";
        break;
    case ES_NEW_CLIENT_RESULT_ERR_NOT_PRIVILEGED:
        reason = "extension is not running as root.";
        break;
    default:
        reason = "error occured: es_new_client_result_t(rawValue: " + std::to_string(result) + ")";
        break;
    }
    return {"failed to create new ES client: " + std::to_string(result), reason};
}

void writeLine(const Logger& logger, const std::optional<std::string>& line, bool audit) {
    if (!line) {
        logger.logError("formatted line empty, dropping message");
        return;
    }
    (audit ? logger.audit() : logger.access()).log(LogLevel::info, *line);
}

ESClient::ESClient(std::shared_ptr<const Config> configuration,
                   std::shared_ptr<const Logger> logger, const NewClient& newClient) {
    const AuditLogger& audit = *configuration->auditLogger;
    // Asked once: subscription and routing must agree on it.
    const bool suAndSudoExist = foundation::isOperatingSystemAtLeast(14, 0, 0);
    state_ = std::make_shared<HandlerState>(
        HandlerState{std::move(configuration), std::move(logger),
                     Formatter(audit.outputFormat, audit.customLogFormat, suAndSudoExist),
                     DroppedMessageCount(), suAndSudoExist});
    const es_new_client_result_t result =
        newClient(&client_, [state = state_](es_client_t*, const es_message_t* message) {
            state->handle(*message);
        });
    if (result != ES_NEW_CLIENT_RESULT_SUCCESS) {
        client_ = nullptr;
        for (std::string& line : newClientFailureLines(result)) {
            state_->logger->logError(std::move(line));
        }
        endProcess(*state_->logger, ExitStatus::clientNotCreated);
    }
}

ESClient::~ESClient() {
    if (client_) {
        es_delete_client(client_);
    }
}

void ESClient::run() const {
    const Config& configuration = *state_->configuration;
    const std::vector<es_event_type_t> events =
        subscriptionList(configuration, state_->suAndSudoExist);
    if (!client_) {
        return;
    }
    // Muting applies to the whole client, so to both logs. Its results are not checked: a
    // path that cannot be muted only means more lines.
    const Muting& muting = configuration.auditLogger->muting;
    if (muting.inverted) {
        es_unmute_all_target_paths(client_);
        es_invert_muting(client_, ES_MUTE_INVERSION_TYPE_TARGET_PATH);
    }
    for (const MutePath& target : muting.targets) {
        es_mute_path(client_, target.path.c_str(), muteType(target.type));
    }
    if (es_subscribe(client_, events.data(), static_cast<uint32_t>(events.size())) !=
        ES_RETURN_SUCCESS) {
        state_->logger->logError("failed to subscribe to events");
        es_delete_client(client_);
        endProcess(*state_->logger, ExitStatus::subscriptionRefused);
    }
}

void ESClient::handleEvent(const es_message_t& message) const {
    state_->handle(message);
}

void ESClient::HandlerState::handle(const es_message_t& message) {
    const std::uint64_t dropped = droppedMessageCount(message);
    if (dropped > 0) {
        logger->logError(std::to_string(dropped) + " lines dropped");
    }
    try {
        routeEvent(message, *logger, formatter);
    } catch (const Formatter::FormatErr& error) {
        logger->logError(error.what());
    } catch (const std::exception& error) {
        logger->logError(std::string("dropping line: ") + error.what());
    } catch (...) {
        // Nothing may leave the handler: on the service's thread it would end the extension.
        logger->logError("dropping line: unknown error");
    }
}

} // namespace vorla::extension
