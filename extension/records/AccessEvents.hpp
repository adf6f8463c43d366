#pragma once

#include "extension/records/RecordContext.hpp"
#include "platform/endpoint_security/ESMessage.h"

#include <optional>
#include <span>
#include <string>

namespace vorla::records {

// One event type that the access log writes: how its line is made from the message, and
// whether the type exists only from operating-system version 14 on (su and sudo); below that
// it is neither subscribed nor routed.
struct AccessEvent {
    es_event_type_t type;
    std::string (*record)(const es_message_t& message, const RecordContext& context);
    bool needsVersion14;
};

// Every access event, in the order the subscription lists them. Subscription and routing both
// walk this one table.
std::span<const AccessEvent> accessEvents();

// The line of a message of a type in the table (a payload pointer that is not set reads as a
// payload of defaults); nothing for any other type, and for a version-14 type where su and sudo
// do not exist. Throws the encoder's error for a record that writes nothing.
std::optional<std::string> accessRecordFor(const es_message_t& message,
                                           const RecordContext& context, bool suAndSudoExist);

} // namespace vorla::records
