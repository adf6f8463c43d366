#include "extension/records/AccessRecords.hpp"
#include "extension/records/RecordFields.hpp"

namespace vorla::records {

nlohmann::json sudoRecord(const es_event_sudo_t& event, const RecordContext& context) {
    nlohmann::json fields = {
        {"success", event.success},
        {"reject_info", event.reject_info ? textOrEmpty(event.reject_info->failure_message) : ""},
        {"from_uid", event.from_uid},
        {"to_uid", event.to_uid},
        {"has_to_uid", event.has_to_uid},
        {"has_from_uid", event.has_from_uid},
    };
    putText(fields, "from_username", event.from_username);
    putText(fields, "to_username", event.to_username);
    putText(fields, "command", event.command);
    return accessRecord(context, "sudo", std::move(fields));
}

nlohmann::json setmodeRecord(const es_event_setmode_t& event, const RecordContext& context) {
    nlohmann::json fields = {{"mode", event.mode}};
    putPath(fields, "path", event.target);
    return accessRecord(context, "setmode", std::move(fields));
}

nlohmann::json setownerRecord(const es_event_setowner_t& event, const RecordContext& context) {
    nlohmann::json fields = {{"gid", event.gid}, {"uid", event.uid}};
    putPath(fields, "path", event.target);
    return accessRecord(context, "setowner", std::move(fields));
}

} // namespace vorla::records
