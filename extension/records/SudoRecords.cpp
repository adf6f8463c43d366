#include "extension/records/AccessRecords.hpp"
#include "extension/records/RecordFields.hpp"

namespace vorla::records {

std::string sudoRecord(const es_event_sudo_t& event, const RecordContext& context) {
    JSONLine line = beginAccessRecord();
    writeIfPresent(line, "command", tokenView(event.command));
    line.key("event").string("sudo");
    line.key("from_uid").number(event.from_uid);
    writeIfPresent(line, "from_username", tokenView(event.from_username));
    line.key("has_from_uid").boolean(event.has_from_uid);
    line.key("has_to_uid").boolean(event.has_to_uid);
    line.key("reject_info")
        .string(event.reject_info ? bytesOrEmpty(event.reject_info->failure_message) : "");
    line.key("success").boolean(event.success);
    line.key("to_uid").number(event.to_uid);
    writeIfPresent(line, "to_username", tokenView(event.to_username));
    return endAccessRecord(line, context);
}

std::string setmodeRecord(const es_event_setmode_t& event, const RecordContext& context) {
    JSONLine line = beginAccessRecord();
    line.key("event").string("setmode");
    line.key("mode").number(event.mode);
    writeIfPresent(line, "path", pathView(event.target));
    return endAccessRecord(line, context);
}

std::string setownerRecord(const es_event_setowner_t& event, const RecordContext& context) {
    JSONLine line = beginAccessRecord();
    line.key("event").string("setowner");
    line.key("gid").number(event.gid);
    writeIfPresent(line, "path", pathView(event.target));
    line.key("uid").number(event.uid);
    return endAccessRecord(line, context);
}

} // namespace vorla::records
