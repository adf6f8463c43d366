#include "extension/records/AccessRecords.hpp"
#include "extension/records/Enumerations.hpp"
#include "extension/records/RecordFields.hpp"

namespace vorla::records {

nlohmann::json screensharingAttachRecord(const es_event_screensharing_attach_t& event,
                                         const RecordContext& context) {
    return accessRecord(
        context, "screensharing_attach",
        {
            {"auth_type", textOrEmpty(event.authentication_type)},
            {"auth_username", textOrEmpty(event.authentication_username)},
            {"existing_session", event.existing_session},
            {"graphical_session_id", event.graphical_session_id},
            {"session_username", textOrEmpty(event.session_username)},
            {"source_address", textOrEmpty(event.source_address)},
            {"source_address_type", toString(sourceAddrTypeFromValue(event.source_address_type))},
            {"success", event.success},
            {"viewer_apple_id", textOrEmpty(event.viewer_appleid)},
        });
}

nlohmann::json screensharingDetachRecord(const es_event_screensharing_detach_t& event,
                                         const RecordContext& context) {
    return accessRecord(
        context, "screensharing_detach",
        {
            {"graphical_session_id", event.graphical_session_id},
            {"source_address", textOrEmpty(event.source_address)},
            {"source_address_type", toString(sourceAddrTypeFromValue(event.source_address_type))},
            {"viewer_apple_id", textOrEmpty(event.viewer_appleid)},
        });
}

} // namespace vorla::records
