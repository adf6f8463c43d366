#include "extension/records/AccessRecords.hpp"
#include "extension/records/RecordFields.hpp"

namespace vorla::records {

std::string screensharingAttachRecord(const es_event_screensharing_attach_t& event,
                                      const RecordContext& context) {
    JSONLine line = beginAccessRecord();
    line.key("auth_type").string(bytesOrEmpty(event.authentication_type));
    line.key("auth_username").string(bytesOrEmpty(event.authentication_username));
    line.key("event").string("screensharing_attach");
    line.key("existing_session").boolean(event.existing_session);
    line.key("graphical_session_id").number(event.graphical_session_id);
    line.key("session_username").string(bytesOrEmpty(event.session_username));
    writeSourceAddress(line, event.source_address, event.source_address_type);
    line.key("success").boolean(event.success);
    line.key("viewer_apple_id").string(bytesOrEmpty(event.viewer_appleid));
    return endAccessRecord(line, context);
}

std::string screensharingDetachRecord(const es_event_screensharing_detach_t& event,
                                      const RecordContext& context) {
    JSONLine line = beginAccessRecord();
    line.key("event").string("screensharing_detach");
    line.key("graphical_session_id").number(event.graphical_session_id);
    writeSourceAddress(line, event.source_address, event.source_address_type);
    line.key("viewer_apple_id").string(bytesOrEmpty(event.viewer_appleid));
    return endAccessRecord(line, context);
}

} // namespace vorla::records
